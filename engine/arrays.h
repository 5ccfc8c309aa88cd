// Array storage: one movable block per array (48-byte header, then 44-byte
// element records), kept in the context's array table. Values name an array
// by its table handle; handles are shared and counted.
// A map is an array value too: a block with no dimensions whose header flags
// carry kArrayIsMap, with its keys and values in a MapStore beside the block.
// Code that only knows arrays sees an empty array that may not be reshaped.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>
#include "engine/map_store.h"
#include "engine/value.h"
#include "platform/platform.h"

namespace orv {

struct Context;

#pragma pack(push, 4)
struct ArrayHeader {
  std::uint32_t sizes[5];
  std::uint8_t dims;
  std::uint8_t flags;
  std::uint16_t reserved;
  std::uint32_t data;        // address of the elements on the product build (not used inside)
  std::uint32_t count;
  std::uint32_t dataBytes;
  std::uint32_t capacity;
  std::uint64_t stamp;
};
#pragma pack(pop)
static_assert(sizeof(ArrayHeader) == 48);

inline constexpr std::uint8_t kArrayGrowthRoom = 0x01;
inline constexpr std::uint8_t kArrayFixedShape = 0x02;
inline constexpr std::uint8_t kArrayIsMap = 0x04;
inline constexpr int kMaxDimensions = 5;
inline constexpr std::uint64_t kMaxArrayBytes = 4000000000ull;

class ArrayTable {
 public:
  ArrayTable() = default;
  ~ArrayTable();
  ArrayTable(const ArrayTable&) = delete;
  ArrayTable& operator=(const ArrayTable&) = delete;

  // Creates an array; returns its handle, or 0 with `error` set (1628, 1630, 1644, 1631).
  std::uint32_t create(const std::array<std::uint32_t, 5>& sizes, bool growthRoom, std::uint16_t& error);
  // Creates an empty map; returns its handle, or 0 with `error` set (1631).
  std::uint32_t create_map(std::uint16_t& error);
  ArrayHeader* header(std::uint32_t handle) const;
  // The store of a map handle; nullptr for arrays and bad handles.
  MapStore* map(std::uint32_t handle) const {
    // (An entry without a block holds no map.)
    return handle - 1u < entries_.size() ? entries_[handle - 1].map.get() : nullptr;
  }
  Value* elements(std::uint32_t handle) const;
  void add_ref(std::uint32_t handle);
  std::uint32_t refs(std::uint32_t handle) const;
  // Drops one reference; the last one releases the elements (through the context).
  void release(Context& c, std::uint32_t handle);
  // Exchanges the blocks behind two handles, so that an array reshaped into a
  // new block keeps its handle and every holder sees the new shape.
  void swap_blocks(std::uint32_t a, std::uint32_t b);
  std::size_t live_count() const;

 private:
  struct Entry {
    platform::MemHandle mem = nullptr;
    void* locked = nullptr;
    std::uint32_t refs = 0;
    std::unique_ptr<MapStore> map;
  };
  std::vector<Entry> entries_;
};

// Gives `v` (an array or map value) a block of its own when others share it,
// so that storing it in a variable copies the array (value semantics).
bool own_array(Context& c, Value& v);

// The map store of a value, or nullptr when the value is no map: inline (in
// context.h), as every map element read and store asks it.
inline MapStore* map_of(const Context& c, const Value& v);

// Element index of subscripts (row-major); false with 1635/1636 on a mismatch.
bool array_index(const ArrayHeader& h, const std::int32_t* subs, int count, std::uint32_t& index,
                 std::uint16_t& error);

}  // namespace orv
