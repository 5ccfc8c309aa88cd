// ArraySort: rows of a one- or two-dimensional array ordered in place by one
// column, keys read once and rows moved whole after the order is known.
#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>
#include <utility>
#include <vector>

#include "builtins/arrays/array_groups.h"
#include "builtins/arrays/element_order.h"
#include "builtins/arrays/row_range.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::arrays {
namespace {

constexpr std::int32_t kDescending = 16;

// The keys of the sorted column, or false with the error set. An
// uninitialised element cannot take part in the "<" order; the text orders
// read it as an empty text.
bool column_keys(Context& c, const Value* els, const RowRange& range, Order order, std::vector<OrderKey>& keys) {
  keys.resize(range.rows());
  bool anyWide = false, anyText = false;
  for (std::uint32_t r = 0; r < range.rows(); ++r) {
    const Value& el = els[range.index(range.start + r)];
    if (!is_assigned(el)) {
      if (order == Order::natural) return fail(c, errs::kUninitializedElement);
      continue;
    }
    if (!make_key(c, el, order, keys[r], false)) return false;
    anyWide |= keys[r].hasWide;
    anyText |= keys[r].kind == OrderKey::Kind::text;
  }
  // Numbers compare with texts by their own text: only a mixed column needs it.
  if (order == Order::natural && anyText)
    for (std::uint32_t r = 0; r < range.rows(); ++r)
      if (!add_number_text(c, els[range.index(range.start + r)], keys[r])) return false;
  if (order == Order::natural && anyWide)
    for (OrderKey& k : keys)
      if (!add_wide(k)) return fail(c, errs::kNotConvertibleToUnicode);
  return true;
}

// Puts the rows of the range in the order of `perm` (row offsets within it:
// row r takes row perm[r]), in place by following the permutation's cycles,
// so no second copy of a large array is ever held. Uses up `perm`.
void move_rows(Value* els, const RowRange& range, std::vector<std::uint32_t>& perm) {
  const std::size_t width = range.columns, bytes = width * sizeof(Value);
  Value* first = els + std::size_t{range.start} * width;
  const auto row = [&](std::uint32_t r) { return static_cast<void*>(first + std::size_t{r} * width); };
  std::vector<Value> held(width);
  for (std::uint32_t start = 0; start < perm.size(); ++start) {
    if (perm[start] == start) continue;
    std::memcpy(static_cast<void*>(held.data()), row(start), bytes);
    for (std::uint32_t to = start;;) {
      const std::uint32_t from = perm[to];
      perm[to] = to;   // done
      if (from == start) {
        std::memcpy(row(to), held.data(), bytes);
        break;
      }
      std::memcpy(row(to), row(from), bytes);
      to = from;
    }
  }
}

// A column of plain whole numbers only (the common case) sorts as pairs of
// value and row, without keys: the same order the keys give, ties kept in
// row order. False when the column holds anything else.
bool sort_whole_numbers(const Value* els, const RowRange& range, bool descending, std::vector<std::uint32_t>& perm) {
  std::vector<std::pair<std::int64_t, std::uint32_t>> rows(range.rows());
  for (std::uint32_t r = 0; r < range.rows(); ++r) {
    const Value& el = els[range.index(range.start + r)];
    std::int64_t v = 0;
    if (el.flags == vf::kInt) v = el.i;
    else if (el.flags == vf::kInt64) v = el.wide.i64;
    else return false;
    rows[r] = {descending ? ~v : v, r};   // (~v orders descending without overflow)
  }
  std::sort(rows.begin(), rows.end());
  for (std::uint32_t r = 0; r < range.rows(); ++r) perm[r] = rows[r].second;
  return true;
}

void array_sort(Call& call) {
  Context& c = call.c;
  const std::uint16_t before = c.error;
  ArrayHeader* h = shaped_array_arg(call, 1, 1, 2);
  if (!h) return;
  if (h->flags & kArrayFixedShape) { fail(c, errs::kArrayAccessFailed); return; }
  const std::int32_t options = int_arg(call, 2, 0);
  if ((options & ~(kLogical | kOrdinal | kDescending)) || (options & kLogical && options & kOrdinal)) {
    fail(c, errs::kSortBadOption);
    return;
  }
  RowRange range;
  if (!read_row_range(call, *h, 3, errs::kSortColumnOutOfRange, errs::kSortBadRange, range)) return;
  const Order order = options & kLogical ? Order::logical : options & kOrdinal ? Order::ordinal : Order::natural;
  const bool descending = (options & kDescending) != 0;
  if (range.rows() > 1) {
    try {
      Value* els = elements_arg(call, 1);
      std::vector<std::uint32_t> perm(range.rows());
      if (order != Order::natural || !sort_whole_numbers(els, range, descending, perm)) {
        std::vector<OrderKey> keys;
        if (!column_keys(c, els, range, order, keys)) return;
        std::iota(perm.begin(), perm.end(), 0u);
        std::stable_sort(perm.begin(), perm.end(), [&](std::uint32_t a, std::uint32_t b) {
          const int r = compare_keys(keys[a], keys[b], order, false);
          return descending ? r > 0 : r < 0;
        });
      }
      move_rows(els, range, perm);
    } catch (const std::bad_alloc&) {
      fail(c, errs::kNoMemory);
      return;
    }
  }
  c.error = before;
  make_int(call.result, 1);
}

}  // namespace

void register_sort(HandlerTable& t) { t.add(kw::fn_arraysort, array_sort); }

}  // namespace orv::arrays
