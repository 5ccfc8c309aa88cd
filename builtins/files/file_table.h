// The table of open text files: 128 slots in the interpreter context. A
// script holds a file-handle value whose number is the OS handle; every value
// that holds it counts as a reference, and the file closes when the last one
// is released (or at FileClose, or when the context ends). References that
// outlive FileClose are kept apart, and a newly opened file never takes a
// number that such a stale value still carries, so releasing an old value can
// never close a newer file.
//
// Lines written collect in a buffer per file and go to the OS when it fills,
// when they have waited a second, at FileClose, and whenever something outside
// the interpreter could look at the file (flush_writes): a built-in that is not
// plain text or number work, the end of a run, an error report. A file open
// through two slots at once writes through, so the two never overtake.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "builtins/files/line_reader.h"
#include "engine/file_hooks.h"
#include "platform/files.h"

namespace orv {
struct Context;
}

namespace orv::files {

inline constexpr int kMaxOpenFiles = 128;
// A file's pending lines go out once they reach this many bytes or this age.
inline constexpr std::size_t kWriteBufferBytes = 64 * 1024;
inline constexpr std::uint32_t kWriteDelayMs = 1000;

// Slot state bits.
namespace state {
inline constexpr std::uint32_t kRead = 1, kEndSeen = 2, kWrite = 4, kEofGiven = 8, kWritten = 16;
}

struct FileSlot {
  platform::files::FileHandle handle = 0;
  std::uint32_t state = 0;
  Encoding encoding = Encoding::ansi;
  bool wideResult = false;
  std::uint32_t refs = 0;
  std::uint64_t offset = 0;   // writing: where the pending lines go
  std::unique_ptr<LineReader> reader;
  std::string line;                 // reading: the last line, its room kept for the next
  std::u16string wideLine;
  std::string pending;              // writing: whole lines not yet handed to the OS
  std::uint32_t pendingSince = 0;   // tick count when the oldest of them came
  std::uint32_t heldError = 0;      // OS error of a flush that no call could report
  bool shared = false;              // another slot has the same file open: write through
};

class FileTable {
 public:
  FileTable() = default;
  ~FileTable();
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;

  FileSlot* find(platform::files::FileHandle h) {
    if (h == 0) return nullptr;
    for (auto& s : slots_)
      if (s.handle == h) return &s;
    return nullptr;
  }
  // The first free slot, or nullptr when all are taken.
  FileSlot* free_slot();
  // Stores a freshly opened handle (with one reference: the result value).
  // The handle may be replaced by a duplicate whose number no stale value holds.
  void occupy(FileSlot& slot, platform::files::FileHandle h, std::uint32_t state);
  // Closes the slot, its pending lines written first; false with the OS error
  // when they could not be (the slot is closed all the same).
  bool close(FileSlot& slot, std::uint32_t& err);
  void close(FileSlot& slot);
  void close_all();
  int open_count() const;

  // Hands the slot's pending lines to the OS. On failure the file is cut back
  // to its last whole flushed line, the lines stay pending and err is set.
  bool flush(FileSlot& slot, std::uint32_t& err);
  // Every slot's pending lines; a failure is held in the slot for its next
  // FileWrite or FileClose to report.
  void flush_all();
  // True when some slot may have pending lines (cheap: checked before most built-ins).
  bool maybe_pending() const { return maybePending_; }
  void note_pending() { maybePending_ = true; }
  // Marks the slot, and any other slot open on the same file, as shared.
  void mark_sharing(FileSlot& slot);

  void add_ref(std::int32_t handle);
  void release_ref(std::int32_t handle);

 private:
  std::array<FileSlot, kMaxOpenFiles> slots_{};
  std::unordered_map<std::int32_t, std::uint32_t> stale_;   // handle number -> values still holding it
  bool maybePending_ = false;
};

FileTable& file_table(Context& c);

}  // namespace orv::files
