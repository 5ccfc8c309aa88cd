// Files and folders for the script file functions: open handles, whole-file
// operations, directory listing, attributes and times. Paths are UTF-16 and
// already full (see full_path). Functions that fail return false and put the
// system's error code in `err`.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace orv::platform::files {

// An open file: the OS handle as an integer; 0 is no file.
using FileHandle = std::intptr_t;

inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kNotFound = 2;
inline constexpr std::uint32_t kDiskFull = 112;

// Attribute bits as the file system reports them.
inline constexpr std::uint32_t kReadOnly = 0x01, kHidden = 0x02, kSystem = 0x04, kDirectory = 0x10,
                               kArchive = 0x20;
inline constexpr std::uint32_t kNoAttributes = 0xFFFFFFFF;

// create_new fails (err 80) when the file exists: the way to claim a fresh name.
enum class Open { read, create_always, open_always, open_existing_write, create_new };

FileHandle open(const std::u16string& path, Open how, std::uint32_t& err);
void close(FileHandle h);
// Reads up to n bytes; `got` is 0 at the end of the file.
bool read(FileHandle h, void* buffer, std::size_t n, std::size_t& got, std::uint32_t& err);
bool write(FileHandle h, const void* data, std::size_t n, std::uint32_t& err);
bool seek_to(FileHandle h, std::uint64_t offset);
bool seek_end(FileHandle h, std::uint64_t& size);
std::uint64_t position(FileHandle h);
bool truncate_here(FileHandle h);
std::uint64_t size_of(FileHandle h);
// A second handle to the same open file, with a different number.
FileHandle duplicate(FileHandle h);
// What the file system knows an open file by (volume and file number), so
// that two handles can be told to reach the same file; false when unknown.
struct FileIdentity {
  std::uint64_t volume = 0, index = 0;
  bool operator==(const FileIdentity&) const = default;
};
bool identity(FileHandle h, FileIdentity& out);

// The absolute form of a path (relative names against the current folder);
// false when it cannot be formed or is too long.
bool full_path(const std::u16string& path, std::u16string& out);
char16_t separator();
// The long and the short (8.3) form of an existing full path; false when
// nothing exists there. A file system without short names gives the long form.
bool long_name(const std::u16string& path, std::u16string& out);
bool short_name(const std::u16string& path, std::u16string& out);

struct Entry {
  std::u16string name;
  std::uint32_t attributes = 0;
};
// The entries of a folder whose names match a pattern of "*" and "?" in the
// last component, in the file system's order; "." and ".." are left out.
bool find(const std::u16string& pattern, std::vector<Entry>& out, std::uint32_t& err);

std::uint32_t attributes(const std::u16string& path);   // kNoAttributes when missing
bool set_attributes(const std::u16string& path, std::uint32_t attributes, std::uint32_t& err);

bool copy(const std::u16string& from, const std::u16string& to, std::uint32_t& err);
// Renames within one volume or copies across volumes; the target must not exist.
bool move(const std::u16string& from, const std::u16string& to, std::uint32_t& err);
// Atomically puts `from` in the place of `to`, replacing it.
bool replace(const std::u16string& from, const std::u16string& to, std::uint32_t& err);
bool remove(const std::u16string& path, std::uint32_t& err);
bool make_folder(const std::u16string& path, std::uint32_t& err);
bool remove_folder(const std::u16string& path, std::uint32_t& err);
// Free bytes available on the volume that holds the path; false when unknown.
bool free_space(const std::u16string& path, std::uint64_t& bytes);
// True when both paths name the same existing file (links and case included).
bool same_file(const std::u16string& a, const std::u16string& b);

// Local time of day, as the script sees file times.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// Selector: 1 creation, 3 last access, anything else last write.
bool get_time(const std::u16string& path, int selector, LocalTime& out);
// false with err; err 0 means the time cannot be converted.
bool set_time(const std::u16string& path, int selector, const LocalTime& t, std::uint32_t& err);

// What the directory entry tells about a file or folder, without opening it.
struct Facts {
  std::uint64_t size = 0;
  std::uint32_t attributes = 0;
  LocalTime created, accessed, written;
};
bool facts(const std::u16string& path, Facts& out);

// The folder for temporary files, ending with its separator.
bool temp_folder(std::u16string& out);

// True when another open handle keeps the file from being opened exclusively.
bool in_use(const std::u16string& path);

// The system's text for an error code.
std::string error_text(std::uint32_t err);

}  // namespace orv::platform::files
