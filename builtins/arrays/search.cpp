// ArraySearch (linear or binary over one column) and ArrayLocate (the first
// element equal to a value, in storage order).
#include "builtins/arrays/array_args.h"
#include "builtins/arrays/array_groups.h"
#include "builtins/arrays/element_order.h"
#include "builtins/arrays/row_range.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/value_ops.h"

namespace orv::arrays {
namespace {

constexpr std::int32_t kSorted = 1, kIgnoreCase = 2;

// `element op value` as the operators compute it; false with the error set.
bool operator_test(Context& c, int op, const Value& element, const Value& value, bool ignoreCase, bool& truth) {
  // Two plain whole numbers, the common sorted column, compare without copies.
  if (element.flags == vf::kInt && value.flags == vf::kInt) {
    const std::int32_t a = element.i, b = value.i;
    truth = op == id::kLt ? a < b : op == id::kGt ? a > b : a == b;
    return true;
  }
  Temp left(c), right(c);
  if (!copy_value(c, element, left.op()) || !copy_value(c, value, right.op())) return false;
  if (!combine_comparison(c, op, left.op(), right.op(), ignoreCase)) return false;
  truth = left->i != 0;
  return true;
}

// Returns -1 and sets the error; the result then stays -1.
std::int32_t linear_search(Context& c, const Value* els, const RowRange& range, const Value& value, bool ignoreCase) {
  for (std::uint32_t row = range.start; row <= range.end; ++row) {
    const Value& el = els[range.index(row)];
    if (!is_assigned(el)) continue;
    bool equal = false;
    if (!operator_test(c, id::kEq, el, value, ignoreCase, equal)) return -1;
    if (equal) return static_cast<std::int32_t>(row);
  }
  return -1;
}

// Binary search by "<" and ">": the first row that is not below the value,
// when it is not above it either.
std::int32_t sorted_search(Context& c, const Value* els, const RowRange& range, const Value& value, bool ignoreCase) {
  std::uint32_t lo = range.start, hi = range.end + 1;
  auto element = [&](std::uint32_t row) -> const Value* {
    const Value& el = els[range.index(row)];
    if (!is_assigned(el)) { fail(c, errs::kUninitializedElement); return nullptr; }
    return &el;
  };
  while (lo < hi) {
    const std::uint32_t mid = lo + (hi - lo) / 2;
    const Value* el = element(mid);
    bool below = false;
    if (!el || !operator_test(c, id::kLt, *el, value, ignoreCase, below)) return -1;
    if (below) lo = mid + 1;
    else hi = mid;
  }
  if (lo > range.end) return -1;
  const Value* el = element(lo);
  bool above = false;
  if (!el || !operator_test(c, id::kGt, *el, value, ignoreCase, above)) return -1;
  return above ? -1 : static_cast<std::int32_t>(lo);
}

// Binary search in a text order; an uninitialised element reads as empty text.
std::int32_t text_search(Context& c, const Value* els, const RowRange& range, const Value& value, Order order) {
  OrderKey wanted, probe;
  if (!make_key(c, value, order, wanted)) return -1;
  auto compare_row = [&](std::uint32_t row, int& r) {
    const Value& el = els[range.index(row)];
    if (!is_assigned(el)) probe = OrderKey{};
    else if (!make_key(c, el, order, probe, wanted.kind == OrderKey::Kind::text)) return false;
    r = compare_keys(probe, wanted, order, false);
    return true;
  };
  std::uint32_t lo = range.start, hi = range.end + 1;
  while (lo < hi) {
    const std::uint32_t mid = lo + (hi - lo) / 2;
    int r = 0;
    if (!compare_row(mid, r)) return -1;
    if (r < 0) lo = mid + 1;
    else hi = mid;
  }
  int r = 1;
  if (lo > range.end || !compare_row(lo, r)) return -1;
  return r == 0 ? static_cast<std::int32_t>(lo) : -1;
}

void array_search(Call& call) {
  Context& c = call.c;
  make_int(call.result, -1);
  ArrayHeader* h = array_arg(call, 1);
  if (!h) return;
  const Value& value = arg(call, 2);
  if (value.flags & vf::kArray) { fail(c, errs::kArrayDimensionsMissing); return; }
  if (!shaped_array_arg(call, 1, 1, 2)) return;
  if (h->flags & kArrayFixedShape) { fail(c, errs::kArrayAccessFailed); return; }
  const std::int32_t options = int_arg(call, 3, 0);
  if ((options & ~(kSorted | kIgnoreCase | kLogical | kOrdinal)) || (options & kIgnoreCase && options & kOrdinal) ||
      (options & kLogical && options & kOrdinal)) {
    fail(c, errs::kSearchBadOption);
    return;
  }
  RowRange range;
  if (!read_row_range(call, *h, 4, errs::kSearchColumnOutOfRange, errs::kSearchBadRange, range)) return;
  const Value* els = elements_arg(call, 1);
  const bool ignoreCase = (options & kIgnoreCase) != 0;
  std::int32_t row;
  if (options & kLogical) row = text_search(c, els, range, value, Order::logical);
  else if (options & kOrdinal) row = text_search(c, els, range, value, Order::ordinal);
  else if (options & kSorted) row = sorted_search(c, els, range, value, ignoreCase);
  else row = linear_search(c, els, range, value, ignoreCase);
  if (!failed(c)) make_int(call.result, row);
}

// The subscripts of element `index` as a new one-dimensional array.
bool subscripts_result(Call& call, const ArrayHeader& h, std::int64_t index) {
  NewArray made(call.c);
  if (!made.create({h.dims, 0, 0, 0, 0})) return false;
  Value* out = made.elements();
  for (int d = h.dims - 1; d >= 0; --d) {
    if (index < 0) {
      make_int(out[d], -1);
      continue;
    }
    make_int(out[d], static_cast<std::int32_t>(index % h.sizes[d]));
    index /= h.sizes[d];
  }
  made.to_result(call);
  return true;
}

void array_locate(Call& call) {
  Context& c = call.c;
  ArrayHeader* h = array_arg(call, 1);
  if (!h) return;
  const Value& value = arg(call, 2);
  if (value.flags & vf::kArray) { fail(c, errs::kArrayDimensionsMissing); return; }
  if (!shaped_array_arg(call, 1, 1, kMaxDimensions)) return;
  if (h->flags & kArrayFixedShape) { fail(c, errs::kArrayAccessFailed); return; }
  // The search starts at the given subscripts (all 0 by default).
  std::uint64_t from = 0;
  for (int d = 0; d < kMaxDimensions; ++d) {
    const std::int32_t s = int_arg(call, 3 + d, 0);
    if (d >= h->dims) {
      if (s != 0) { fail(c, errs::kSubscriptOutOfBounds); return; }
      continue;
    }
    if (s < 0 || static_cast<std::uint32_t>(s) >= h->sizes[d]) { fail(c, errs::kSubscriptOutOfBounds); return; }
    from = from * h->sizes[d] + static_cast<std::uint32_t>(s);
  }
  const Value* els = elements_arg(call, 1);
  std::int64_t found = -1;
  for (std::uint64_t i = from; i < h->count && found < 0; ++i) {
    if (!is_assigned(els[i])) continue;
    bool equal = false;
    if (!operator_test(c, id::kEq, els[i], value, false, equal)) return;
    if (equal) found = static_cast<std::int64_t>(i);
  }
  subscripts_result(call, *h, found);
}

}  // namespace

void register_search(HandlerTable& t) {
  t.add(kw::fn_arraysearch, array_search);
  t.add(kw::fn_arraylocate, array_locate);
}

}  // namespace orv::arrays
