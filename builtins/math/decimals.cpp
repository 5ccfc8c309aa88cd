// Decimals(n): sets how floats are written and returns the previous setting.
// -1 (the default) gives up to eight decimals, -2 and -3 the %g and %e forms,
// 0 to 300 exactly that many decimals.
#include <cstdint>

#include "builtins/math/fp_check.h"
#include "builtins/math/math_groups.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::math {
namespace {

constexpr std::int32_t kLowestSetting = -3;
constexpr std::int32_t kMostDecimals = 300;   // the formatter's precision cap

void decimals_handler(Call& call) {
  const std::int32_t wanted = call.args[1].i;
  if (wanted < kLowestSetting || wanted > kMostDecimals) { fail(call.c, fpe::kDomain); return; }
  make_int(call.result, call.c.decimals);
  call.c.decimals = wanted;
}

}  // namespace

void register_decimals(HandlerTable& t) { t.add(kw::fn_decimals, decimals_handler); }

}  // namespace orv::math
