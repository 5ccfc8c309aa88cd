// The string heap: a boundary-tag allocator over one host-supplied area.
// Strings are named by offsets from the base so that the area can grow in
// place by committing more of its reservation.
#pragma once
#include <array>
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
  void attach(std::uint8_t* base, api::HeapBookkeeping* book) {
    base_ = base;
    book_ = book;
    kept_ = {};   // (blocks of the area before, if another)
    forget_lengths();
  }
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
  std::uint32_t alloc(std::uint32_t bytes) {
    if (bytes <= kKeptBlockMax - 16) {   // (kept blocks only exist in a ready heap)
      KeptBlocks& kept = kept_[kept_index(block_size_for(bytes))];
      if (kept.count != 0) {
        const std::uint32_t block = kept.blocks[--kept.count];
        word(block + 8) = 0;   // no longer marked as kept
        return block + 8;
      }
    }
    return alloc_listed(bytes);
  }
  void free(std::uint32_t handle);
  // Gives the kept small blocks (see below) back to the free list; true when
  // there were any. The engine calls it when a run ends.
  bool settle();

  char* ptr(std::uint32_t handle) const { return reinterpret_cast<char*>(base_ + handle); }
  // Bytes the payload of the live block at `handle` holds (its text may use
  // fewer); 0 when `handle` is not the start of a live block.
  std::uint32_t payload_capacity(std::uint32_t handle) const;
  std::uint8_t* base() const { return base_; }
  std::uint32_t committed() const;
  // Bytes in blocks that are currently in use, kept ones not counted (walks
  // the heap; for tests and leak checks).
  std::uint32_t bytes_in_use() const;
  // Checks every tag and the free list; false on any inconsistency.
  bool verify() const;

  // Header (8) and trailer (8) around the payload, rounded to 4 bytes.
  static constexpr std::uint32_t block_size_for(std::uint32_t request) {
    const std::uint32_t size = (request + 16 + 3) / 4 * 4;
    return size < kMinBlock ? kMinBlock : size;
  }
  static constexpr std::uint32_t kMaxRequest = 0x7FFF0000u;

  // ---- Known text lengths ----
  // Texts carry no length, and hosts and extenders read and write the blocks
  // by offset, so lengths live beside the heap, never in it: a small table of
  // (handle, units, width) the engine fills when it writes or measures a text.
  // An entry is trusted only while nothing outside the engine can have written
  // into the heap since it was made:
  //  - forget_lengths() drops every entry; the engine calls it whenever
  //    control has been outside (an export entered, a built-in that can reach
  //    foreign code returned, a DLL callback entered, the message queue read);
  //  - alloc() and free() drop the entry of the block they hand out or take;
  //  - the engine never changes a live text in place without setting its entry.
  // A miss only costs a measurement; a stale entry would be a wrong length, so
  // when in doubt, forget.
  // Units of the text at `handle` (unitBytes 1 or 2), or kUnknownLength.
  static constexpr std::uint32_t kUnknownLength = 0xFFFFFFFFu;
  // False for a block too small for a kept text: no look into the table needed.
  bool may_know_length(std::uint32_t handle) const {
    return handle >= kHeaderSize + 8 && word(handle - 4) >= kRememberBlock;
  }
  std::uint32_t known_length(std::uint32_t handle, unsigned unitBytes) const {
    if (!may_know_length(handle)) return kUnknownLength;
    const LengthEntry& e = lengths_[length_slot(handle)];
    return e.handle == handle && e.era == era_ && e.unitBytes == unitBytes ? e.units : kUnknownLength;
  }
  // Records a measured or written text. Only a live block's own text, ending
  // inside the block, is kept: its length cannot change but by a write into
  // that block. Short texts are measured faster than they are looked up, so
  // they are not kept. (The table is a cache: recording leaves the heap unchanged.)
  static constexpr std::uint32_t kRememberFrom = 256;
  static constexpr std::uint32_t kRememberBlock = kRememberFrom + 17;   // the smallest block such a text needs
  void remember_length(std::uint32_t handle, std::uint32_t units, unsigned unitBytes) const {
    if (units >= kRememberFrom) remember_block_text(handle, units, unitBytes);
  }
  void forget_length(std::uint32_t handle) const {
    LengthEntry& e = lengths_[length_slot(handle)];
    if (e.handle == handle) e.era = 0;
  }
  void forget_lengths() const;

 private:
  std::uint32_t& word(std::uint32_t off) const { return *reinterpret_cast<std::uint32_t*>(base_ + off); }
  bool tag_is(std::uint32_t off, const char* tag) const;
  void remember_block_text(std::uint32_t handle, std::uint32_t units, unsigned unitBytes) const;
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
  void release_block(std::uint32_t block);
  std::uint32_t alloc_listed(std::uint32_t bytes);

  // ---- Small blocks kept for reuse ----
  // A small block let go is kept (up to kKeptPerSize of each size) for the
  // next alloc of its size: the texts of a loop come and go in the same few
  // sizes, and a kept block needs no search, split or merge. Kept blocks keep
  // their used tags, so the heap stays well formed for anyone who reads it;
  // they go back to the free list when an alloc finds no room and when a run
  // ends. Too small for a kept length, they have no entry in that table.
  static constexpr std::uint32_t kKeptBlockMax = 128;
  static constexpr std::uint32_t kKeptPerSize = 8;
  static_assert(kKeptBlockMax < kRememberBlock);
  struct KeptBlocks {
    std::array<std::uint32_t, kKeptPerSize> blocks{};
    std::uint32_t count = 0;
  };
  static std::size_t kept_index(std::uint32_t size) { return (size - kMinBlock) / 4; }
  static std::uint32_t kept_size(std::size_t index) { return kMinBlock + 4 * static_cast<std::uint32_t>(index); }
  static constexpr std::uint32_t kKeptMark[2] = {0x7045654Bu, 0x4B657074u};
  bool keep(std::uint32_t block, std::uint32_t size);
  std::uint32_t kept_bytes() const;
  std::array<KeptBlocks, (kKeptBlockMax - kMinBlock) / 4 + 1> kept_{};

  struct LengthEntry {
    std::uint32_t handle = 0, units = 0, era = 0, unitBytes = 0;
  };
  static constexpr std::size_t kLengthSlots = 256;
  static std::size_t length_slot(std::uint32_t handle) {
    return (handle >> 2) * 2654435761u >> 24;   // multiplicative hash onto the 256 slots
  }

  // Era 0 is never current, so a cleared entry can never match.
  mutable std::array<LengthEntry, kLengthSlots> lengths_{};
  mutable std::uint32_t era_ = 1;
  std::uint8_t* base_ = nullptr;
  api::HeapBookkeeping* book_ = nullptr;
  std::uint32_t localCommitted_ = 0;
  std::uint32_t reservation_ = 0;
  std::uint32_t endOffset_ = 0;   // offset of the end sentinel
};

}  // namespace orv
