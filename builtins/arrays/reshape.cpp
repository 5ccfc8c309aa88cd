// Shape changes: ArrayInsert, ArrayRemove and ArrayRedim. The elements move
// into a block of the new shape, which then takes the old block's place
// behind the array's handle; a one-dimensional array with room to spare
// grows and shrinks in place.
#include <cstring>

#include "builtins/arrays/array_args.h"
#include "builtins/arrays/array_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::arrays {
namespace {

constexpr std::uint32_t kMaxSize = 2147483647u;

// Subscripts of a flat index.
void subscripts_of(const ArrayHeader& h, std::uint64_t index, std::uint32_t* subs) {
  for (int d = h.dims - 1; d >= 0; --d) {
    subs[d] = static_cast<std::uint32_t>(index % h.sizes[d]);
    index /= h.sizes[d];
  }
}

// Moves every element of `from` to the index place(subscripts, flat index)
// of `to` (or releases it when place gives -1). Cannot fail.
template <class Place>
void move_elements(Context& c, const ArrayHeader& from, Value* src, Value* dst, Place place) {
  std::uint32_t subs[kMaxDimensions] = {};
  for (std::uint64_t i = 0; i < from.count; ++i) {
    subscripts_of(from, i, subs);
    const std::int64_t to = place(subs, i);
    if (to < 0) {
      release_value(c, src[i]);
      continue;
    }
    dst[to] = src[i];
    src[i] = Value{};
  }
}

// Flat index of subscripts in an array of `sizes` with `dims` dimensions.
std::uint64_t flat(const Sizes& sizes, int dims, const std::uint32_t* subs) {
  std::uint64_t idx = 0;
  for (int d = 0; d < dims; ++d) idx = idx * sizes[static_cast<std::size_t>(d)] + subs[d];
  return idx;
}

// Shared checks of insert and remove: a one- or two-dimensional array that
// may change shape, a dimension argument naming one of its dimensions (d is
// 0-based), and a subscript within it (one past the end only for insert).
ArrayHeader* row_column_target(Call& call, bool inserting, int& d, std::uint32_t& pos) {
  ArrayHeader* h = shaped_array_arg(call, 1, 1, 2);
  if (!h) return nullptr;
  if (h->flags & kArrayFixedShape) { fail(call.c, errs::kArrayAccessFailed); return nullptr; }
  const std::int32_t dimension = int_arg(call, 3, 1);
  if (dimension < 1 || dimension > h->dims) { fail(call.c, errs::kBadRowColumn); return nullptr; }
  d = dimension - 1;
  const std::int32_t at = arg(call, 2).i;
  const std::uint32_t size = h->sizes[d];
  if (at < 0 || (inserting ? static_cast<std::uint32_t>(at) > size : static_cast<std::uint32_t>(at) >= size)) {
    fail(call.c, errs::kSubscriptOutOfBounds);
    return nullptr;
  }
  pos = static_cast<std::uint32_t>(at);
  return h;
}

void set_one_dimension(ArrayHeader& h, std::uint32_t size) {
  h.sizes[0] = size;
  h.dims = size ? 1 : 0;
  h.count = size;
  h.dataBytes = size * 44;
}

void array_insert(Call& call) {
  Context& c = call.c;
  int d = 0;
  std::uint32_t pos = 0;
  ArrayHeader* h = row_column_target(call, true, d, pos);
  if (!h) return;
  if (h->sizes[d] >= kMaxSize) { fail(c, errs::kArrayDimensionTooLarge); return; }
  const bool withValue = call.count >= 4;
  Value probe{};
  if (withValue && !element_copy(c, arg(call, 4), probe)) return;
  release_value(c, probe);
  const std::uint32_t handle = arg(call, 1).str;
  if (h->dims == 1 && h->capacity > h->count) {
    Value fresh{};
    if (withValue && !element_copy(c, arg(call, 4), fresh)) return;
    Value* els = c.arrays.elements(handle);
    std::memmove(static_cast<void*>(els + pos + 1), els + pos, (h->count - pos) * sizeof(Value));
    els[pos] = fresh;
    set_one_dimension(*h, h->count + 1);
    make_int(call.result, 1);
    return;
  }
  Sizes sizes = sizes_of(*h);
  ++sizes[static_cast<std::size_t>(d)];
  NewArray made(c);
  if (!made.create(sizes, h->dims == 1)) return;
  Value* dst = made.elements();
  const int dims = h->dims;
  if (withValue) {
    std::uint32_t subs[kMaxDimensions] = {};
    for (std::uint64_t i = 0; i < made.header().count; ++i) {
      subscripts_of(made.header(), i, subs);
      if (subs[d] == pos && !element_copy(c, arg(call, 4), dst[i])) return;
    }
  }
  move_elements(c, *h, c.arrays.elements(handle), dst, [&](std::uint32_t* subs, std::uint64_t) {
    if (subs[d] >= pos) ++subs[d];
    return static_cast<std::int64_t>(flat(sizes, dims, subs));
  });
  made.replace(handle);
  make_int(call.result, 1);
}

void array_remove(Call& call) {
  Context& c = call.c;
  int d = 0;
  std::uint32_t pos = 0;
  ArrayHeader* h = row_column_target(call, false, d, pos);
  if (!h) return;
  const std::uint32_t handle = arg(call, 1).str;
  if (h->dims == 1) {
    Value* els = c.arrays.elements(handle);
    release_value(c, els[pos]);
    std::memmove(static_cast<void*>(els + pos), els + pos + 1, (h->count - pos - 1) * sizeof(Value));
    els[h->count - 1] = Value{};
    set_one_dimension(*h, h->count - 1);
    make_int(call.result, 1);
    return;
  }
  Sizes sizes = sizes_of(*h);
  if (--sizes[static_cast<std::size_t>(d)] == 0) sizes = Sizes{};   // nothing left: an empty array
  NewArray made(c);
  if (!made.create(sizes)) return;
  const int dims = h->dims;
  move_elements(c, *h, c.arrays.elements(handle), made.elements(), [&](std::uint32_t* subs, std::uint64_t) {
    if (sizes[0] == 0 || subs[d] == pos) return std::int64_t{-1};
    if (subs[d] > pos) --subs[d];
    return static_cast<std::int64_t>(flat(sizes, dims, subs));
  });
  made.replace(handle);
  make_int(call.result, 1);
}

// New sizes; -1 keeps a dimension's size. Elements keep their subscripts when
// the dimension count stays, else their order.
void array_redim(Call& call) {
  Context& c = call.c;
  ArrayHeader* h = array_arg(call, 1);
  if (!h) return;
  if (h->flags & kArrayFixedShape) { fail(c, errs::kArrayAccessFailed); return; }
  Sizes sizes{};
  for (int k = 0; k < kMaxDimensions; ++k) {
    const std::int32_t s = arg(call, 2 + k).i;
    sizes[static_cast<std::size_t>(k)] = s == -1 ? h->sizes[k] : static_cast<std::uint32_t>(s);
  }
  const std::uint32_t handle = arg(call, 1).str;
  NewArray made(c);
  if (!made.create(sizes, h->dims <= 1 && (h->flags & kArrayGrowthRoom))) return;
  const ArrayHeader& to = made.header();
  const bool sameDims = to.dims == h->dims;
  move_elements(c, *h, c.arrays.elements(handle), made.elements(), [&](const std::uint32_t* subs, std::uint64_t i) {
    if (!sameDims) return i < to.count ? static_cast<std::int64_t>(i) : std::int64_t{-1};
    for (int k = 0; k < to.dims; ++k)
      if (subs[k] >= to.sizes[k]) return std::int64_t{-1};
    return static_cast<std::int64_t>(flat(sizes, to.dims, subs));
  });
  made.replace(handle);
  make_int(call.result, 1);
}

}  // namespace

void register_reshape(HandlerTable& t) {
  t.add(kw::fn_arrayinsert, array_insert);
  t.add(kw::fn_arrayremove, array_remove);
  t.add(kw::fn_arrayredim, array_redim);
}

}  // namespace orv::arrays
