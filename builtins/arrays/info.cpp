// ArrDimension, ArrInfo and ArrInitialize.
#include "builtins/arrays/array_args.h"
#include "builtins/arrays/array_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::arrays {
namespace {

void arr_dimension(Call& call) {
  Sizes sizes{};
  for (int k = 1; k <= call.count && k <= kMaxDimensions; ++k)
    sizes[static_cast<std::size_t>(k - 1)] = static_cast<std::uint32_t>(arg(call, k).i);
  NewArray made(call.c);
  if (made.create(sizes)) made.to_result(call);
}

void arr_info(Call& call) {
  const std::int32_t request = arg(call, 2).i;
  const bool isArray = (arg(call, 1).flags & vf::kArray) && !map_of(call.c, arg(call, 1));
  if (request == -1) {
    make_int(call.result, isArray ? 1 : 0);
    return;
  }
  if (request < -3 || request > 6) { fail(call.c, errs::kArrInfoBadRequest); return; }
  const ArrayHeader* h = array_arg(call, 1);
  if (!h) return;
  std::int64_t answer = 0;
  switch (request) {
    case -2: answer = 0; break;
    case -3: answer = (h->flags & kArrayFixedShape) ? 1 : 0; break;
    case 0: answer = h->dims; break;
    case 6: answer = h->count; break;
    default: answer = h->sizes[request - 1]; break;
  }
  make_int(call.result, static_cast<std::int32_t>(answer));
}

void arr_initialize(Call& call) {
  Context& c = call.c;
  ArrayHeader* h = array_arg(call, 1);
  if (!h) return;
  const Value& value = arg(call, 2);
  Value probe{};
  if (!element_copy(c, value, probe)) return;   // checks the kind before anything changes
  if (h->dims == 0 || h->count == 0) {
    release_value(c, probe);
    fail(c, errs::kArrayEmpty);
    return;
  }
  Value* els = elements_arg(call, 1);
  const std::uint32_t count = h->count;
  release_value(c, els[0]);
  els[0] = probe;
  for (std::uint32_t i = 1; i < count; ++i) {
    release_value(c, els[i]);
    if (!copy_value(c, value, els[i])) return;
  }
  make_int(call.result, 1);
}

}  // namespace

void register_info(HandlerTable& t) {
  t.add(kw::fn_arrdimension, arr_dimension);
  t.add(kw::fn_arrinfo, arr_info);
  t.add(kw::fn_arrinitialize, arr_initialize);
}

}  // namespace orv::arrays
