// Whole files: read as one piece or streamed, and written without risk to
// what was there (a new content goes to a fresh file beside the target and
// takes the target's place only when it is complete).
#pragma once
#include <cstdint>
#include <string>

#include "builtins/files/exe_headers.h"
#include "engine/context.h"
#include "platform/files.h"

namespace orv::files {

// "XXXX.tmp", four hex digits of `salt`: the end of a temporary file's name.
std::u16string temp_suffix(std::uint32_t salt);
// A name beside `target` (same folder) for a file that will replace it.
std::u16string temp_beside(const std::u16string& target, std::uint32_t salt);

// Copies a file as FileCopy does without asking (its errors, 1008 and 1009):
// an existing target is replaced only by a finished copy.
bool copy_replacing(Context& c, const std::u16string& from, const std::u16string& to);

// The minor "no match" (1002) for a file that is not there, naming the
// function and the path in the additional text. Returns false.
bool fail_missing(Context& c, const char* function, const std::u16string& path);

// An existing file open for reading, closed with the object.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile() { platform::files::close(h_); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  // A missing file (or a folder) is the minor 1002 with the function's name
  // and the path in the additional text; an open that fails is 4042.
  bool open(Context& c, const std::u16string& name, const char* function);
  // A full path, opened without setting any error.
  bool open_quietly(const std::u16string& path);
  std::uint64_t size() const { return platform::files::size_of(h_); }
  // Up to n bytes at the current position; got 0 at the end. False with 4042.
  bool read(Context& c, void* buffer, std::size_t n, std::size_t& got);
  // Random access for header parsers; sets no error.
  ReadAt reader();

 private:
  platform::files::FileHandle h_ = 0;
};

// The whole file as bytes; false with the error set (1002, 4042, 3096).
bool read_whole_file(Context& c, const std::u16string& name, const char* function, std::string& out);

}  // namespace orv::files
