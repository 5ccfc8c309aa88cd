// Random(max): a whole number from 0 to max from the C library generator,
// which the instance initialisation seeds.
#include <cstdint>
#include <cstdlib>

#include "builtins/math/fp_check.h"
#include "builtins/math/math_groups.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::math {
namespace {

// 60 random bits, 15 at a time: RAND_MAX may be as small as 32767.
std::uint64_t random_bits() {
  std::uint64_t v = 0;
  for (int k = 0; k < 4; ++k) v = (v << 15) | (static_cast<unsigned>(std::rand()) & 0x7FFFu);
  return v;
}

// Uniform in 0..max: draws beyond the last whole multiple of the range are redrawn.
std::int32_t random_upto(std::int32_t max) {
  const std::uint64_t range = static_cast<std::uint64_t>(max) + 1;
  constexpr std::uint64_t span = std::uint64_t{1} << 60;
  const std::uint64_t limit = span - span % range;
  std::uint64_t v = 0;
  do v = random_bits(); while (v >= limit);
  return static_cast<std::int32_t>(v % range);
}

void random_handler(Call& call) {
  const std::int32_t max = call.args[1].i;
  if (max < 0) { fail(call.c, fpe::kDomain); return; }
  make_int(call.result, random_upto(max));
}

}  // namespace

void register_random(HandlerTable& t) { t.add(kw::fn_random, random_handler); }

}  // namespace orv::math
