// The string heap: a boundary-tag allocator over one host-supplied area.
// Strings are named by offsets from the base so that the area can grow in
// place by committing more of its reservation.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include "host/orv_api.h"

namespace orv {

class StringHeap {
 public:
  static constexpr std::uint32_t kHeaderSize = 40;
  static constexpr std::uint32_t kMinBlock = 28;
  static constexpr std::uint32_t kGrowSlack = 32768;
  static constexpr char kTagUsed[4] = {'5', '6', '7', '8'};
  static constexpr char kTagFree[4] = {'Q', 'R', 'S', 'T'};

  // Lays out a fresh heap on an area of `size` committed bytes.
  void init(std::uint8_t* base, std::uint32_t size, api::HeapBookkeeping* book);
  // Points at an existing heap (a later call with the same area).
  void attach(std::uint8_t* base, api::HeapBookkeeping* book) { base_ = base; book_ = book; }
  std::uint32_t end_offset() const { return endOffset_; }
  bool ready() const { return base_ != nullptr; }

  // Payload offset, or 0 when the heap cannot grow.
  std::uint32_t alloc(std::uint32_t bytes);
  void free(std::uint32_t handle);

  char* ptr(std::uint32_t handle) const { return reinterpret_cast<char*>(base_ + handle); }
  std::uint8_t* base() const { return base_; }
  std::uint32_t committed() const;
  // Bytes in blocks that are currently in use (walks the heap; for tests and leak checks).
  std::uint32_t bytes_in_use() const;
  // Checks every tag and the free list; false on any inconsistency.
  bool verify() const;

  static std::uint32_t block_size_for(std::uint32_t request);

 private:
  std::uint32_t& word(std::uint32_t off) const { return *reinterpret_cast<std::uint32_t*>(base_ + off); }
  bool tag_is(std::uint32_t off, const char* tag) const;
  void set_tag(std::uint32_t off, const char* tag) const;
  void make_block(std::uint32_t off, std::uint32_t size, const char* tag) const;
  void link_at_head(std::uint32_t off) const;
  void unlink(std::uint32_t off) const;
  bool grow(std::uint32_t blockSize);
  std::uint32_t rover() const { return word(28); }
  void set_rover(std::uint32_t off) const { word(28) = off; }
  void set_committed(std::uint32_t bytes);

  std::uint8_t* base_ = nullptr;
  api::HeapBookkeeping* book_ = nullptr;
  std::uint32_t localCommitted_ = 0;
  std::uint32_t endOffset_ = 0;   // offset of the end sentinel
};

}  // namespace orv
