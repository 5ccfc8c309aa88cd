// The table of open text files: 128 slots in the interpreter context. A
// script holds a file-handle value whose number is the OS handle; every value
// that holds it counts as a reference, and the file closes when the last one
// is released (or at FileClose, or when the context ends). References that
// outlive FileClose are kept apart, and a newly opened file never takes a
// number that such a stale value still carries, so releasing an old value can
// never close a newer file.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "builtins/files/line_reader.h"
#include "platform/files.h"

namespace orv {
struct Context;
}

namespace orv::files {

inline constexpr int kMaxOpenFiles = 128;

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
  std::uint64_t offset = 0;   // writing: where the next line goes
  std::unique_ptr<LineReader> reader;
};

class FileTable {
 public:
  FileTable() = default;
  ~FileTable();
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;

  FileSlot* find(platform::files::FileHandle h);
  // The first free slot, or nullptr when all are taken.
  FileSlot* free_slot();
  // Stores a freshly opened handle (with one reference: the result value).
  // The handle may be replaced by a duplicate whose number no stale value holds.
  void occupy(FileSlot& slot, platform::files::FileHandle h, std::uint32_t state);
  void close(FileSlot& slot);
  void close_all();
  int open_count() const;

  void add_ref(std::int32_t handle);
  void release_ref(std::int32_t handle);

 private:
  std::array<FileSlot, kMaxOpenFiles> slots_{};
  std::unordered_map<std::int32_t, std::uint32_t> stale_;   // handle number -> values still holding it
};

FileTable& file_table(Context& c);

// Reference counting for value records that hold a file handle.
void add_file_ref(Context& c, std::int32_t handle);
void release_file_ref(Context& c, std::int32_t handle);

}  // namespace orv::files
