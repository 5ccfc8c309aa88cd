// What the engine asks of the files family (builtins/files): the context holds
// the script's table of open files without knowing its shape, values that
// carry a file handle count as references, and pending writes go out
// wherever something outside the interpreter could look at a file.
#pragma once
#include <cstdint>
#include <memory>

namespace orv {
struct Context;
}

namespace orv::files {

class FileTable;
// Frees a table; defined beside the table, so the context needs only its name.
struct FileTableRelease {
  void operator()(FileTable* table) const;
};
using FileTablePtr = std::unique_ptr<FileTable, FileTableRelease>;

// Writes every open file's pending lines: called wherever another program,
// or the script through another path, could look at a file.
void flush_writes(Context& c);

// Reference counting for value records that hold a file handle.
void add_file_ref(Context& c, std::int32_t handle);
void release_file_ref(Context& c, std::int32_t handle);

// Files open in the table (0 before the first is opened).
int open_file_count(const Context& c);

}  // namespace orv::files
