#include "engine/heap.h"

#include <cstring>
#include "engine/error_numbers.h"
#include "engine/messages.h"
#include "platform/platform.h"

namespace orv {
namespace {
constexpr std::uint32_t kNext = 8;   // free-list links inside a free block header
constexpr std::uint32_t kPrev = 12;
constexpr std::uint32_t kHead = 0;   // the heap header doubles as the list's head node

void report_corruption(std::uint16_t number) {
  platform::message_box(message_text(number), message_text(errs::kHeapCorruptTitle), platform::mb_ok);
}
}  // namespace

bool StringHeap::tag_is(std::uint32_t off, const char* tag) const {
  return std::memcmp(base_ + off, tag, 4) == 0;
}
void StringHeap::set_tag(std::uint32_t off, const char* tag) const { std::memcpy(base_ + off, tag, 4); }

void StringHeap::make_block(std::uint32_t off, std::uint32_t size, const char* tag) const {
  set_tag(off, tag);
  word(off + 4) = size;
  word(off + size - 8) = size;
  set_tag(off + size - 4, tag);
}

void StringHeap::link_at_head(std::uint32_t off) const {
  std::uint32_t first = word(kHead + kNext);
  word(off + kNext) = first;
  word(off + kPrev) = kHead;
  if (first == kHead) word(kHead + kPrev) = off;
  else word(first + kPrev) = off;
  word(kHead + kNext) = off;
}

void StringHeap::unlink(std::uint32_t off) const {
  std::uint32_t next = word(off + kNext), prev = word(off + kPrev);
  word(prev + kNext) = next;
  word(next + kPrev) = prev;
  if (rover() == off) set_rover(0);
}

void StringHeap::set_committed(std::uint32_t bytes) {
  localCommitted_ = bytes;
  if (book_) {
    book_->committed = bytes;
    book_->base = base_;
  }
}

std::uint32_t StringHeap::committed() const { return book_ ? book_->committed : localCommitted_; }

void StringHeap::forget_lengths() const {
  // Wrapping round to an era still in the table would revive its entries.
  if (++era_ == 0) {
    lengths_.fill(LengthEntry{});
    era_ = 1;
  }
}

std::uint32_t StringHeap::payload_capacity(std::uint32_t handle) const {
  if (!base_ || handle < kHeaderSize + 8 || handle >= endOffset_ || !tag_is(handle - 8, kTagUsed)) return 0;
  const std::uint32_t size = word(handle - 4);
  if (size < kMinBlock || size > endOffset_ - (handle - 8)) return 0;
  return size - 16;
}

void StringHeap::remember_block_text(std::uint32_t handle, std::uint32_t units, unsigned unitBytes) const {
  const std::uint32_t capacity = payload_capacity(handle);
  if ((std::uint64_t{units} + 1) * unitBytes > capacity) return;
  lengths_[length_slot(handle)] = {handle, units, era_, unitBytes};
}

void StringHeap::init(std::uint8_t* base, std::uint32_t size, api::HeapBookkeeping* book) {
  forget_lengths();
  kept_ = {};
  base_ = base;
  book_ = book;
  set_committed(size);
  std::memset(base_, 0, kHeaderSize);
  set_tag(0, kTagUsed);
  word(4) = 0;
  word(kHead + kNext) = kHeaderSize;
  word(kHead + kPrev) = kHeaderSize;
  set_tag(16, kTagUsed);
  set_tag(20, kTagUsed);
  word(24) = 0;
  set_rover(kHeaderSize);
  word(32) = 0;
  set_tag(36, kTagUsed);
  std::uint32_t blockSize = (size - 56) & ~3u;
  make_block(kHeaderSize, blockSize, kTagFree);
  word(kHeaderSize + kNext) = kHead;
  word(kHeaderSize + kPrev) = kHead;
  endOffset_ = kHeaderSize + blockSize;
  set_tag(endOffset_, kTagUsed);
}

std::uint32_t StringHeap::grown_size(std::uint32_t blockSize) const {
  // Pages are a power of two: rounding up is a mask, asked of the system once.
  static const std::uint64_t page = platform::page_size();
  const std::uint64_t wanted = (std::uint64_t{committed()} + blockSize + kGrowSlack + page - 1) & ~(page - 1);
  std::uint64_t ceiling = 0x7FFFFFFFu;
  if (reservation_ != 0 && reservation_ < ceiling) ceiling = reservation_;
  if (const std::size_t limit = platform::commit_limit(); limit != 0 && limit < ceiling) ceiling = limit;
  return wanted > ceiling ? 0 : static_cast<std::uint32_t>(wanted);
}

std::uint32_t StringHeap::largest_free() const {
  std::uint32_t largest = 0;
  for (std::uint32_t cur = word(kHead + kNext); cur != kHead; cur = word(cur + kNext))
    if (word(cur + 4) > largest) largest = word(cur + 4);
  return largest;
}

bool StringHeap::can_hold(std::uint32_t bytes) const {
  if (!base_ || bytes > kMaxRequest) return false;
  const std::uint32_t need = block_size_for(bytes);
  // The block alloc() looks at first answers most asks; then the arithmetic:
  // the walk is only needed near the reservation's end.
  if (need <= kKeptBlockMax && kept_[kept_index(need)].count != 0) return true;
  const std::uint32_t first = word(rover() + kNext);
  if (first != kHead && word(first + 4) >= need) return true;
  return grown_size(need) != 0 || largest_free() >= need;
}

bool StringHeap::grow(std::uint32_t blockSize) {
  const std::uint32_t newCommitted = grown_size(blockSize);
  if (newCommitted == 0) return false;
  std::uint32_t err = platform::vm_commit(base_, newCommitted);
  if (err != 0) {
    if (err != 8 && err != 487)
      platform::message_box(std::to_string(err), "VMalloc error - VirtualAlloc failed", platform::mb_ok);
    return false;
  }
  set_committed(newCommitted);
  std::uint32_t off = endOffset_;
  std::uint32_t size = blockSize + kGrowSlack - 12;
  make_block(off, size, kTagUsed);
  endOffset_ = off + size;
  set_tag(endOffset_, kTagUsed);
  free(off + 8);
  return true;
}

std::uint32_t StringHeap::alloc_listed(std::uint32_t bytes) {
  if (!base_ || bytes > kMaxRequest) return 0;
  const std::uint32_t need = block_size_for(bytes);
  for (;;) {
    std::uint32_t cur = word(rover() + kNext);
    int wraps = 0;
    bool grown = false;
    for (;;) {
      if (cur == kHead) {
        if (++wraps == 2) {
          // Kept blocks may merge into a large enough one before the heap grows.
          if (!settle() && !grow(need)) return 0;
          grown = true;
          break;
        }
        cur = word(kHead + kNext);
        continue;
      }
      std::uint32_t size = word(cur + 4);
      if (size >= need) {
        std::uint32_t used = cur, usedSize = size;
        if (size - need >= kMinBlock) {
          make_block(cur, size - need, kTagFree);
          used = cur + size - need;
          usedSize = need;
          set_rover(cur);
        } else {
          unlink(cur);
        }
        make_block(used, usedSize, kTagUsed);
        // A handle read after its block was freed may have left an entry.
        if (usedSize >= kRememberBlock) forget_length(used + 8);
        return used + 8;
      }
      set_rover(cur);
      cur = word(cur + kNext);
    }
    if (!grown) return 0;
  }
}

// A small, well-formed block into its size's kept list. True also for one
// kept already (a double release, ignored); false when the list is full.
// A kept block carries a mark in its payload, so only a block that has the
// mark needs the list searched.
[[gnu::always_inline]] inline bool StringHeap::keep(std::uint32_t block, std::uint32_t size) {
  if (size < kMinBlock || size % 4 != 0 || block + size > endOffset_ || !tag_is(block + size - 4, kTagUsed))
    return false;   // the free list's checks report it
  KeptBlocks& kept = kept_[kept_index(size)];
  if (word(block + 8) == kKeptMark[0] && word(block + 12) == kKeptMark[1]) {
    for (std::uint32_t k = 0; k < kept.count; ++k)
      if (kept.blocks[k] == block) return true;
  }
  if (kept.count == kKeptPerSize) return false;
  kept.blocks[kept.count++] = block;
  word(block + 8) = kKeptMark[0];
  word(block + 12) = kKeptMark[1];
  return true;
}

void StringHeap::free(std::uint32_t handle) {
  if (!base_ || handle < kHeaderSize + 8 || handle >= endOffset_) return;
  const std::uint32_t block = handle - 8;
  if (!tag_is(block, kTagUsed)) return;   // not a live block: a double release is ignored
  const std::uint32_t size = word(block + 4);
  if (size <= kKeptBlockMax && keep(block, size)) return;
  release_block(block);
}

bool StringHeap::settle() {
  bool any = false;
  for (KeptBlocks& kept : kept_) {
    while (kept.count != 0) {
      release_block(kept.blocks[--kept.count]);
      any = true;
    }
  }
  return any;
}

std::uint32_t StringHeap::kept_bytes() const {
  std::uint32_t total = 0;
  for (std::size_t k = 0; k < kept_.size(); ++k) total += kept_[k].count * kept_size(k);
  return total;
}

// Back to the free list, merged with free neighbours.
void StringHeap::release_block(std::uint32_t block) {
  std::uint32_t size = word(block + 4);
  const std::uint32_t handle = block + 8;
  // Only live blocks large enough for a kept length have an entry; a block
  // handed out again starts without one, as every entry of a freed block is
  // dropped here.
  if (size >= kRememberBlock) forget_length(handle);
  if (size < kMinBlock || block + size > endOffset_ || !tag_is(block + size - 4, kTagUsed)) {
    report_corruption(errs::kHeapTagOverwrite1);
    return;
  }
  if (tag_is(block - 4, kTagFree)) {
    std::uint32_t prevSize = word(block - 8);
    std::uint32_t prev = block - prevSize;
    unlink(prev);
    block = prev;
    size += prevSize;
  } else if (!tag_is(block - 4, kTagUsed)) {
    report_corruption(errs::kHeapTagOverwrite1);
    return;
  }
  std::uint32_t next = block + size;
  if (tag_is(next, kTagFree)) {
    unlink(next);
    size += word(next + 4);
  } else if (!tag_is(next, kTagUsed)) {
    report_corruption(errs::kHeapTagOverwrite2);
    return;
  }
  make_block(block, size, kTagFree);
  link_at_head(block);
}

std::uint32_t StringHeap::bytes_in_use() const {
  std::uint32_t total = 0;
  for (std::uint32_t off = kHeaderSize; off < endOffset_;) {
    std::uint32_t size = word(off + 4);
    if (size == 0) break;
    if (tag_is(off, kTagUsed)) total += size;
    off += size;
  }
  return total - kept_bytes();
}

bool StringHeap::verify() const {
  std::uint32_t freeBlocks = 0;
  for (std::uint32_t off = kHeaderSize; off < endOffset_;) {
    std::uint32_t size = word(off + 4);
    if (size < kMinBlock || off + size > endOffset_) return false;
    bool isFree = tag_is(off, kTagFree);
    if (!isFree && !tag_is(off, kTagUsed)) return false;
    if (word(off + size - 8) != size || std::memcmp(base_ + off, base_ + off + size - 4, 4) != 0) return false;
    if (isFree) ++freeBlocks;
    off += size;
  }
  if (!tag_is(endOffset_, kTagUsed)) return false;
  std::uint32_t listed = 0;
  for (std::uint32_t cur = word(kHead + kNext); cur != kHead; cur = word(cur + kNext)) {
    if (!tag_is(cur, kTagFree) || ++listed > freeBlocks) return false;
  }
  return listed == freeBlocks;
}

}  // namespace orv
