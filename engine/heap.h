// The string heap: a boundary-tag allocator over one host-supplied area.
// Strings are named by offsets from the base so that the area can grow in
// place by committing more of its reservation.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include "api/orv_api.h"

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
  // The size of the address range the host reserved for the heap: it never
  // grows beyond it. 0 = not known (then only the 2 GB bound applies).
  void set_reservation(std::uint32_t bytes) { reservation_ = bytes; }
  // True when alloc(bytes) can succeed: a free block is large enough or the
  // heap may still grow by it. Checks sizes from scripts before any text of
  // that size is built.
  bool can_hold(std::uint32_t bytes) const;
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
  static constexpr std::uint32_t kMaxRequest = 0x7FFF0000u;

 private:
  std::uint32_t& word(std::uint32_t off) const { return *reinterpret_cast<std::uint32_t*>(base_ + off); }
  bool tag_is(std::uint32_t off, const char* tag) const;
  void set_tag(std::uint32_t off, const char* tag) const;
  void make_block(std::uint32_t off, std::uint32_t size, const char* tag) const;
  void link_at_head(std::uint32_t off) const;
  void unlink(std::uint32_t off) const;
  bool grow(std::uint32_t blockSize);
  // The committed size after growing by blockSize; 0 when growing is impossible.
  std::uint32_t grown_size(std::uint32_t blockSize) const;
  std::uint32_t largest_free() const;
  std::uint32_t rover() const { return word(28); }
  void set_rover(std::uint32_t off) const { word(28) = off; }
  void set_committed(std::uint32_t bytes);

  std::uint8_t* base_ = nullptr;
  api::HeapBookkeeping* book_ = nullptr;
  std::uint32_t localCommitted_ = 0;
  std::uint32_t reservation_ = 0;
  std::uint32_t endOffset_ = 0;   // offset of the end sentinel
};

}  // namespace orv
