// Element moves that keep the shape: ArrayReverse and ArraySwapElements.
#include <algorithm>

#include "builtins/arrays/array_args.h"
#include "builtins/arrays/array_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::arrays {
namespace {

ArrayHeader* movable_array(Call& call) {
  ArrayHeader* h = shaped_array_arg(call, 1, 1, kMaxDimensions);
  if (h && (h->flags & kArrayFixedShape)) {
    fail(call.c, errs::kArrayAccessFailed);
    return nullptr;
  }
  return h;
}

// Reverses the order along one dimension: blocks of the later dimensions'
// elements trade places within each run of the earlier ones.
void array_reverse(Call& call) {
  ArrayHeader* h = movable_array(call);
  if (!h) return;
  const std::int32_t dimension = int_arg(call, 2, 1);
  if (dimension < 1 || dimension > h->dims) { fail(call.c, errs::kDimensionOutOfRange); return; }
  const int d = dimension - 1;
  std::uint64_t outer = 1, stride = 1;
  for (int k = 0; k < d; ++k) outer *= h->sizes[k];
  for (int k = d + 1; k < h->dims; ++k) stride *= h->sizes[k];
  const std::uint64_t size = h->sizes[d];
  Value* els = elements_arg(call, 1);
  for (std::uint64_t o = 0; o < outer; ++o) {
    Value* run = els + o * size * stride;
    for (std::uint64_t k = 0; k < size / 2; ++k)
      std::swap_ranges(run + k * stride, run + (k + 1) * stride, run + (size - 1 - k) * stride);
  }
  make_int(call.result, 1);
}

// The flat index of five subscripts starting at argument k; unused trailing
// subscripts must be 0. False with 1636.
bool five_subscripts(Call& call, const ArrayHeader& h, int k, std::uint64_t& index) {
  index = 0;
  for (int d = 0; d < kMaxDimensions; ++d) {
    const std::int32_t s = arg(call, k + d).i;
    if (d >= h.dims) {
      if (s != 0) return fail(call.c, errs::kSubscriptOutOfBounds);
      continue;
    }
    if (s < 0 || static_cast<std::uint32_t>(s) >= h.sizes[d]) return fail(call.c, errs::kSubscriptOutOfBounds);
    index = index * h.sizes[d] + static_cast<std::uint32_t>(s);
  }
  return true;
}

void array_swap_elements(Call& call) {
  ArrayHeader* h = movable_array(call);
  if (!h) return;
  std::uint64_t a = 0, b = 0;
  if (!five_subscripts(call, *h, 2, a) || !five_subscripts(call, *h, 7, b)) return;
  Value* els = elements_arg(call, 1);
  std::swap(els[a], els[b]);
  make_int(call.result, 1);
}

}  // namespace

void register_rearrange(HandlerTable& t) {
  t.add(kw::fn_arrayreverse, array_reverse);
  t.add(kw::fn_arrayswapelements, array_swap_elements);
}

}  // namespace orv::arrays
