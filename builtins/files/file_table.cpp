#include "builtins/files/file_table.h"

#include <vector>

#include "engine/context.h"

namespace orv::files {

namespace pf = platform::files;

FileTable::~FileTable() { close_all(); }

FileSlot* FileTable::free_slot() {
  for (auto& s : slots_)
    if (s.handle == 0) return &s;
  return nullptr;
}

void FileTable::occupy(FileSlot& slot, pf::FileHandle h, std::uint32_t st) {
  // Numbers a closed file's values still carry must not come back.
  std::vector<pf::FileHandle> held;
  while (stale_.count(static_cast<std::int32_t>(h))) {
    const pf::FileHandle other = pf::duplicate(h);
    if (other == 0) break;
    held.push_back(h);
    h = other;
  }
  for (pf::FileHandle old : held) pf::close(old);
  slot.handle = h;
  slot.state = st;
  slot.refs = 1;
  slot.reader.reset();
}

bool FileTable::flush(FileSlot& slot, std::uint32_t& err) {
  if (slot.pending.empty()) return true;
  if (!pf::write(slot.handle, slot.pending.data(), slot.pending.size(), err)) {
    // No half line stays behind: cut back to what was whole before.
    if (pf::seek_to(slot.handle, slot.offset)) pf::truncate_here(slot.handle);
    return false;
  }
  slot.offset += slot.pending.size();
  slot.pending.clear();
  // One very long line does not keep its room for the life of the file.
  if (slot.pending.capacity() > 4 * kWriteBufferBytes) std::string().swap(slot.pending);
  slot.heldError = 0;
  return true;
}

void FileTable::flush_all() {
  bool left = false;
  for (auto& s : slots_) {
    if (s.pending.empty()) continue;
    std::uint32_t err = 0;
    if (!flush(s, err)) {
      s.heldError = err ? err : 1;
      left = true;
    }
  }
  maybePending_ = left;
}

void FileTable::mark_sharing(FileSlot& slot) {
  pf::FileIdentity mine, other;
  if (!pf::identity(slot.handle, mine)) return;
  for (auto& s : slots_) {
    if (&s == &slot || s.handle == 0 || !pf::identity(s.handle, other) || !(other == mine)) continue;
    s.shared = slot.shared = true;
  }
}

bool FileTable::close(FileSlot& slot, std::uint32_t& err) {
  if (slot.handle == 0) return true;
  const bool written = flush(slot, err);
  if (!written) slot.pending.clear();   // reported: not tried a second time on the way out
  close(slot);
  return written;
}

void FileTable::close(FileSlot& slot) {
  if (slot.handle == 0) return;
  std::uint32_t err = 0;
  flush(slot, err);   // nobody left to tell of a failure
  pf::close(slot.handle);
  if (slot.refs) stale_[static_cast<std::int32_t>(slot.handle)] += slot.refs;
  slot = FileSlot{};
}

void FileTable::close_all() {
  for (auto& s : slots_) close(s);
  stale_.clear();
}

int FileTable::open_count() const {
  int n = 0;
  for (const auto& s : slots_) n += s.handle != 0;
  return n;
}

void FileTable::add_ref(std::int32_t handle) {
  if (FileSlot* s = find(handle)) {
    ++s->refs;
    return;
  }
  if (auto it = stale_.find(handle); it != stale_.end()) ++it->second;
}

void FileTable::release_ref(std::int32_t handle) {
  if (FileSlot* s = find(handle)) {
    if (s->refs > 0 && --s->refs == 0) close(*s);   // no value holds it: no stale number either
    return;
  }
  if (auto it = stale_.find(handle); it != stale_.end() && --it->second == 0) stale_.erase(it);
}

void flush_writes(Context& c) {
  if (c.files && c.files->maybe_pending()) c.files->flush_all();
}

FileTable& file_table(Context& c) {
  if (!c.files) c.files.reset(std::make_unique<FileTable>().release());
  return *c.files;
}

void FileTableRelease::operator()(FileTable* table) const { std::default_delete<FileTable>()(table); }

int open_file_count(const Context& c) { return c.files ? c.files->open_count() : 0; }

void add_file_ref(Context& c, std::int32_t handle) {
  if (c.files) c.files->add_ref(handle);
}

void release_file_ref(Context& c, std::int32_t handle) {
  if (c.files) c.files->release_ref(handle);
}

}  // namespace orv::files
