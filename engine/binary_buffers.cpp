#include "engine/binary_buffers.h"
#include "engine/error_numbers.h"

namespace orv {

BinaryTable::~BinaryTable() { release_all(); }

std::int32_t BinaryTable::allocate(std::int32_t size, std::uint16_t& error) {
  if (size < 0) { error = errs::kBinaryAllocFailed; return 0; }
  for (int i = 0; i < kBinarySlots; ++i) {
    BinaryBuffer& b = slots_[static_cast<std::size_t>(i)];
    if (b.mem) continue;
    // A zero-size buffer still gets a block, so that its slot reads as in use.
    platform::MemHandle mem = platform::mem_alloc(size == 0 ? 1 : static_cast<std::size_t>(size));
    void* data = mem ? platform::mem_lock(mem) : nullptr;
    if (!data) {
      if (mem) platform::mem_free(mem);
      error = errs::kBinaryAllocFailed;
      return 0;
    }
    b = BinaryBuffer{};
    b.mem = mem;
    b.data = static_cast<std::uint8_t*>(data);
    b.size = size;
    return kBinaryHandleBase + i;
  }
  error = errs::kTooManyBinaryBuffers;
  return 0;
}

BinaryBuffer* BinaryTable::find(std::int32_t handle) {
  const std::int64_t slot = static_cast<std::int64_t>(handle) - kBinaryHandleBase;
  if (slot < 0 || slot >= kBinarySlots) return nullptr;
  BinaryBuffer& b = slots_[static_cast<std::size_t>(slot)];
  return b.mem ? &b : nullptr;
}

void BinaryTable::release(std::int32_t handle) {
  BinaryBuffer* b = find(handle);
  if (!b) return;
  platform::mem_unlock(b->mem);
  platform::mem_free(b->mem);
  *b = BinaryBuffer{};
}

void BinaryTable::release_all() {
  for (int i = 0; i < kBinarySlots; ++i) release(kBinaryHandleBase + i);
}

int BinaryTable::live_count() const {
  int n = 0;
  for (const BinaryBuffer& b : slots_) n += b.mem != nullptr;
  return n;
}

}  // namespace orv
