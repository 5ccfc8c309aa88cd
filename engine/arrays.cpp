#include "engine/arrays.h"

#include <cstring>
#include <utility>
#include "engine/context.h"
#include "engine/error_numbers.h"
#include "engine/sizes.h"
#include "engine/value_ops.h"

namespace orv {

ArrayTable::~ArrayTable() {
  for (Entry& e : entries_) {
    if (e.mem) {
      platform::mem_unlock(e.mem);
      platform::mem_free(e.mem);
    }
  }
}

std::uint32_t ArrayTable::create(const std::array<std::uint32_t, 5>& sizes, bool growthRoom, std::uint16_t& error) {
  int dims = 0;
  std::uint64_t count = 1;
  bool zeroSeen = false;
  for (int i = 0; i < kMaxDimensions; ++i) {
    if (sizes[static_cast<std::size_t>(i)] > 2147483647u) { error = errs::kBadArrayDimension; return 0; }
    if (sizes[static_cast<std::size_t>(i)] == 0) { zeroSeen = true; continue; }
    if (zeroSeen) { error = errs::kZeroDimensionFirst; return 0; }
    ++dims;
    count *= sizes[static_cast<std::size_t>(i)];
    if (44 * count + 48 > kMaxArrayBytes) { error = errs::kArrayTooLarge; return 0; }
  }
  if (dims == 0) count = 0;
  std::uint64_t capacity = count;
  if (growthRoom && dims == 1) {
    std::uint64_t room = count < 186 ? 185 : 371;
    if (44 * (count + room) + 48 <= kMaxArrayBytes) capacity += room;
  }
  // Within the limit above but beyond what one block may take in this
  // process: the allocation could only fail or starve everything else.
  if (!block_fits(48 + 44 * count)) { error = errs::kArrayNoMemory; return 0; }
  if (!block_fits(48 + 44 * capacity)) capacity = count;
  platform::MemHandle mem = platform::mem_alloc(static_cast<std::size_t>(48 + 44 * capacity));
  void* p = mem ? platform::mem_lock(mem) : nullptr;
  if (!p) {
    if (mem) platform::mem_free(mem);
    error = errs::kArrayNoMemory;
    return 0;
  }
  auto* h = static_cast<ArrayHeader*>(p);
  for (int i = 0; i < kMaxDimensions; ++i) h->sizes[i] = i < dims ? sizes[static_cast<std::size_t>(i)] : 0;
  h->dims = static_cast<std::uint8_t>(dims);
  h->flags = growthRoom ? kArrayGrowthRoom : 0;
  h->data = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(static_cast<char*>(p) + 48));
  h->count = static_cast<std::uint32_t>(count);
  h->dataBytes = static_cast<std::uint32_t>(count * 44);
  h->capacity = static_cast<std::uint32_t>(capacity);
  h->stamp = platform::tick_count();
  std::size_t slot = 0;
  while (slot < entries_.size() && entries_[slot].mem) ++slot;
  if (slot == entries_.size()) entries_.emplace_back();
  entries_[slot] = Entry{mem, p, 1, nullptr};
  return static_cast<std::uint32_t>(slot + 1);
}

std::uint32_t ArrayTable::create_map(std::uint16_t& error) {
  std::uint32_t handle = create({0, 0, 0, 0, 0}, false, error);
  if (!handle) return 0;
  header(handle)->flags = kArrayIsMap | kArrayFixedShape;
  entries_[handle - 1].map = std::make_unique<MapStore>();
  return handle;
}

ArrayHeader* ArrayTable::header(std::uint32_t handle) const {
  if (handle == 0 || handle > entries_.size() || !entries_[handle - 1].mem) return nullptr;
  return static_cast<ArrayHeader*>(entries_[handle - 1].locked);
}

Value* ArrayTable::elements(std::uint32_t handle) const {
  ArrayHeader* h = header(handle);
  return h ? reinterpret_cast<Value*>(reinterpret_cast<char*>(h) + 48) : nullptr;
}

void ArrayTable::add_ref(std::uint32_t handle) {
  if (header(handle)) ++entries_[handle - 1].refs;
}

std::uint32_t ArrayTable::refs(std::uint32_t handle) const {
  return header(handle) ? entries_[handle - 1].refs : 0;
}

void ArrayTable::release(Context& c, std::uint32_t handle) {
  if (!header(handle)) return;
  Entry& e = entries_[handle - 1];
  if (--e.refs > 0) return;
  ArrayHeader* h = static_cast<ArrayHeader*>(e.locked);
  Value* els = elements(handle);
  const std::uint32_t count = h->count;
  platform::MemHandle mem = e.mem;
  std::unique_ptr<MapStore> map = std::move(e.map);
  e = Entry{};   // detach first: an element cannot hold its own array, but stay safe
  for (std::uint32_t i = 0; i < count; ++i) release_value(c, els[i]);
  if (map) map->for_each_value([&](Value& v) { release_value(c, v); });
  platform::mem_unlock(mem);
  platform::mem_free(mem);
}

void ArrayTable::swap_blocks(std::uint32_t a, std::uint32_t b) {
  if (!header(a) || !header(b)) return;
  std::swap(entries_[a - 1].mem, entries_[b - 1].mem);
  std::swap(entries_[a - 1].locked, entries_[b - 1].locked);
  std::swap(entries_[a - 1].map, entries_[b - 1].map);
}

std::size_t ArrayTable::live_count() const {
  std::size_t n = 0;
  for (const Entry& e : entries_) n += e.mem ? 1 : 0;
  return n;
}

namespace {

// A map value that shares nothing with `from`; false with the error set.
bool copy_map(Context& c, const MapStore& from, Value& out) {
  std::uint16_t err = 0;
  const std::uint32_t handle = c.arrays.create_map(err);
  if (!handle) return fail(c, err);
  Value made{};
  made.flags = vf::kArray;
  made.str = handle;
  MapStore& to = *c.arrays.map(handle);
  to.reserve(from.size());
  bool ok = true;
  MapKey key;
  from.for_each([&](const MapStore::Entry& e) {
    if (!ok) return;
    from.key_of(e, key);
    bool inserted = false;
    ok = copy_value(c, e.value, to.insert(key, inserted));
  });
  if (!ok) {
    release_value(c, made);
    return false;
  }
  out = made;
  return true;
}

}  // namespace

bool own_array(Context& c, Value& v) {
  if (!(v.flags & vf::kArray) || c.arrays.refs(v.str) <= 1) return true;
  if (const MapStore* m = c.arrays.map(v.str)) {
    Value copy{};
    if (!copy_map(c, *m, copy)) return false;
    c.arrays.release(c, v.str);
    v.str = copy.str;
    return true;
  }
  const ArrayHeader* h = c.arrays.header(v.str);
  std::array<std::uint32_t, 5> sizes{};
  for (int i = 0; i < kMaxDimensions; ++i) sizes[static_cast<std::size_t>(i)] = h->sizes[i];
  std::uint16_t err = 0;
  std::uint32_t copy = c.arrays.create(sizes, (h->flags & kArrayGrowthRoom) != 0, err);
  if (!copy) return fail(c, err);
  const Value* from = c.arrays.elements(v.str);
  Value* to = c.arrays.elements(copy);
  const std::uint32_t count = c.arrays.header(copy)->count;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!is_assigned(from[i])) continue;
    // A map in an element is copied too: two arrays never share one.
    if (!copy_value(c, from[i], to[i]) || !own_array(c, to[i])) {
      Value dead{};
      dead.flags = vf::kArray;
      dead.str = copy;
      release_value(c, dead);
      return false;
    }
  }
  c.arrays.release(c, v.str);
  v.str = copy;
  return true;
}

bool array_index(const ArrayHeader& h, const std::int32_t* subs, int count, std::uint32_t& index,
                 std::uint16_t& error) {
  if (h.dims == 0) { error = errs::kArrayEmpty; return false; }
  if (count != h.dims) { error = errs::kArrayWrongDimensions; return false; }
  std::uint64_t idx = 0;
  for (int i = 0; i < count; ++i) {
    if (subs[i] < 0 || static_cast<std::uint32_t>(subs[i]) >= h.sizes[i]) { error = errs::kSubscriptOutOfBounds; return false; }
    idx = idx * h.sizes[i] + static_cast<std::uint32_t>(subs[i]);
  }
  index = static_cast<std::uint32_t>(idx);
  return true;
}

}  // namespace orv
