// A temporary zero-filled block for whole-buffer rewrites, bounded like every
// other allocation (so a failure reaches the family's own error number).
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/platform.h"

namespace orv::binary {

class WorkBlock {
 public:
  explicit WorkBlock(std::size_t bytes) : mem_(platform::mem_alloc(bytes ? bytes : 1)) {
    if (mem_) data_ = static_cast<std::uint8_t*>(platform::mem_lock(mem_));
  }
  ~WorkBlock() {
    if (data_) platform::mem_unlock(mem_);
    if (mem_) platform::mem_free(mem_);
  }
  WorkBlock(const WorkBlock&) = delete;
  WorkBlock& operator=(const WorkBlock&) = delete;
  std::uint8_t* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  platform::MemHandle mem_ = nullptr;
  std::uint8_t* data_ = nullptr;
};

}  // namespace orv::binary
