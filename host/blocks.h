// Owners of the host's movable blocks and reserved address space.
#pragma once
#include <cstddef>
#include <utility>

#include "platform/platform.h"

namespace orv::host {

class MemBlock {
 public:
  MemBlock() = default;
  explicit MemBlock(std::size_t bytes) : handle_(platform::mem_alloc(bytes)) {}
  MemBlock(MemBlock&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  MemBlock& operator=(MemBlock&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  MemBlock(const MemBlock&) = delete;
  MemBlock& operator=(const MemBlock&) = delete;
  ~MemBlock() { platform::mem_free(handle_); }

  platform::MemHandle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  platform::MemHandle handle_ = nullptr;
};

// A locked view of a block, unlocked when it goes out of scope.
class MemLock {
 public:
  explicit MemLock(platform::MemHandle h) : handle_(h), data_(platform::mem_lock(h)) {}
  MemLock(const MemLock&) = delete;
  MemLock& operator=(const MemLock&) = delete;
  ~MemLock() {
    if (data_) platform::mem_unlock(handle_);
  }
  void* data() const { return data_; }

 private:
  platform::MemHandle handle_;
  void* data_;
};

class VmArea {
 public:
  VmArea() = default;
  explicit VmArea(std::size_t bytes) : base_(platform::vm_reserve(bytes)) {}
  VmArea(VmArea&& other) noexcept : base_(std::exchange(other.base_, nullptr)) {}
  VmArea& operator=(VmArea&& other) noexcept {
    std::swap(base_, other.base_);
    return *this;
  }
  VmArea(const VmArea&) = delete;
  VmArea& operator=(const VmArea&) = delete;
  ~VmArea() { platform::vm_release(base_); }

  void* base() const { return base_; }

 private:
  void* base_ = nullptr;
};

}  // namespace orv::host
