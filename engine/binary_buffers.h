// The binary-buffer table: 128 fixed-size blocks of raw memory, each with an
// end-of-data mark, named by handles 987659 + slot. The blocks stay locked for
// their whole life so that pokes and DLL calls use the address directly.
#pragma once
#include <array>
#include <cstdint>
#include "platform/platform.h"

namespace orv {

inline constexpr int kBinarySlots = 128;
inline constexpr std::int32_t kBinaryHandleBase = 987659;

struct BinaryBuffer {
  platform::MemHandle mem = nullptr;   // nullptr: slot free
  std::uint8_t* data = nullptr;
  std::int32_t size = 0;
  std::int32_t eod = 0;
  std::int32_t comType = 0;            // variant type chosen by BinaryOleType, 0 untyped
  std::int32_t comDirection = 0;
  bool ownedByStruct = false;          // the data of a DLL structure: freed only with it
  void raise_eod(std::int64_t end) {
    if (end > eod) eod = static_cast<std::int32_t>(end);
  }
};

class BinaryTable {
 public:
  BinaryTable() = default;
  ~BinaryTable();
  BinaryTable(const BinaryTable&) = delete;
  BinaryTable& operator=(const BinaryTable&) = delete;

  // A new zero-filled buffer; its handle, or 0 with `error` set (1126, 3024).
  std::int32_t allocate(std::int32_t size, std::uint16_t& error);
  // The buffer of a handle, or nullptr when the handle names no live buffer.
  BinaryBuffer* find(std::int32_t handle);
  void release(std::int32_t handle);
  void release_all();
  int live_count() const;

 private:
  std::array<BinaryBuffer, kBinarySlots> slots_{};
};

}  // namespace orv
