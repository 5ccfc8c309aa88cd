// POSIX back end of the file services. Script paths use "\" as Windows does;
// here it becomes "/". Names are UTF-8 on disk. Attributes the file system
// cannot hold (archive, system) read as Windows would show a fresh file.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/wildcard.h"

namespace orv::platform::files {
namespace {

constexpr std::size_t kMaxPath = 4096;

// Windows error codes for the errno values scripts can meet.
std::uint32_t win_error(int e) {
  switch (e) {
    case ENOENT: return kNotFound;
    case ENOTDIR: return 3;
    case EACCES: case EPERM: case EROFS: case EISDIR: return 5;
    case EEXIST: return 80;
    case ENOSPC: return kDiskFull;
    case ENAMETOOLONG: return 206;
    case ENOTEMPTY: return 145;
    case EBUSY: return kSharingViolation;
    default: return 31;
  }
}

bool fail_with(std::uint32_t& err) {
  err = win_error(errno);
  return false;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string os_path(const std::u16string& p) {
  std::string out;
  for (std::size_t i = 0; i < p.size(); ++i) {
    char32_t c = p[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < p.size() && p[i + 1] >= 0xDC00 && p[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (p[++i] - 0xDC00);
    append_utf8(out, c == U'\\' ? U'/' : c);
  }
  return out;
}

std::u16string from_os(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    char32_t c = b;
    std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (n > 1 && i + n <= s.size()) {
      c = b & (0xFF >> (n + 1));
      for (std::size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    } else {
      n = 1;
    }
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

int fd_of(FileHandle h) { return static_cast<int>(h - 1); }

std::uint32_t attributes_of(const struct stat& st, const std::string& name) {
  std::uint32_t a = S_ISDIR(st.st_mode) ? kDirectory : kArchive;
  if (!(st.st_mode & S_IWUSR)) a |= kReadOnly;
  if (!name.empty() && name[0] == '.') a |= kHidden;
  return a;
}

std::string base_name(const std::string& p) {
  const auto cut = p.find_last_of('/');
  return cut == std::string::npos ? p : p.substr(cut + 1);
}

// Names Windows cannot hold are refused here too, so scripts behave alike.
bool impossible_name(const std::string& p) {
  const std::string name = base_name(p);
  for (unsigned char ch : name)
    if (ch < 32 || std::strchr("<>:\"|?*", ch)) return true;
  return false;
}

char16_t fold(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

}  // namespace

// Handles are descriptors plus one, so that descriptor 0 is never "no file".
FileHandle open(const std::u16string& path, Open how, std::uint32_t& err) {
  int flags = O_WRONLY | O_CLOEXEC;
  switch (how) {
    case Open::read: flags = O_RDONLY | O_CLOEXEC; break;
    case Open::create_always: flags |= O_CREAT | O_TRUNC; break;
    case Open::open_always: flags |= O_CREAT; break;
    case Open::open_existing_write: break;
    case Open::create_new: flags |= O_CREAT | O_EXCL; break;
  }
  const std::string p = os_path(path);
  struct stat st;
  // Folders and, for writing, read-only files are refused as Windows does
  // (also when the process could override the mode).
  if (::stat(p.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || (how != Open::read && !(st.st_mode & S_IWUSR)))) {
    err = 5;
    return 0;
  }
  if (how != Open::read && impossible_name(p)) {
    err = 123;
    return 0;
  }
  const int fd = ::open(p.c_str(), flags, 0666);
  if (fd < 0) {
    fail_with(err);
    return 0;
  }
  return fd + 1;
}

void close(FileHandle h) {
  if (h) ::close(fd_of(h));
}

bool read(FileHandle h, void* buffer, std::size_t n, std::size_t& got, std::uint32_t& err) {
  for (;;) {
    const ssize_t r = ::read(fd_of(h), buffer, n);
    if (r >= 0) {
      got = static_cast<std::size_t>(r);
      return true;
    }
    if (errno != EINTR) return fail_with(err);
  }
}

bool write(FileHandle h, const void* data, std::size_t n, std::uint32_t& err) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t r = ::write(fd_of(h), p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return fail_with(err);
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

bool seek_to(FileHandle h, std::uint64_t offset) {
  return ::lseek(fd_of(h), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool seek_end(FileHandle h, std::uint64_t& size) {
  const off_t at = ::lseek(fd_of(h), 0, SEEK_END);
  if (at < 0) return false;
  size = static_cast<std::uint64_t>(at);
  return true;
}

std::uint64_t position(FileHandle h) {
  const off_t at = ::lseek(fd_of(h), 0, SEEK_CUR);
  return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

bool truncate_here(FileHandle h) {
  const off_t at = ::lseek(fd_of(h), 0, SEEK_CUR);
  return at >= 0 && ::ftruncate(fd_of(h), at) == 0;
}

bool identity(FileHandle h, FileIdentity& out) {
  struct stat st;
  if (::fstat(fd_of(h), &st) != 0) return false;
  out = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return true;
}

std::uint64_t size_of(FileHandle h) {
  struct stat st;
  return ::fstat(fd_of(h), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

FileHandle duplicate(FileHandle h) {
  const int fd = ::fcntl(fd_of(h), F_DUPFD_CLOEXEC, 0);
  return fd < 0 ? 0 : fd + 1;
}

bool full_path(const std::u16string& path, std::u16string& out) {
  if (path.empty() || path.size() >= kMaxPath) return false;
  std::filesystem::path p(os_path(path));
  std::error_code ec;
  if (p.is_relative()) p = std::filesystem::current_path(ec) / p;
  if (ec) return false;
  std::string s = p.lexically_normal().string();
  if (s.size() >= kMaxPath) return false;
  out = from_os(s);
  return true;
}

char16_t separator() { return u'/'; }

// The file systems here keep no short names: both forms are the name itself.
bool long_name(const std::u16string& path, std::u16string& out) {
  if (attributes(path) == kNoAttributes) return false;
  out = path;
  return true;
}

bool short_name(const std::u16string& path, std::u16string& out) { return long_name(path, out); }

bool find(const std::u16string& pattern, std::vector<Entry>& out, std::uint32_t& err) {
  out.clear();
  const std::string p = os_path(pattern);
  const auto cut = p.find_last_of('/');
  const std::string dir = cut == std::string::npos ? "." : cut == 0 ? "/" : p.substr(0, cut);
  std::u16string mask = from_os(cut == std::string::npos ? p : p.substr(cut + 1));
  for (auto& ch : mask) ch = fold(ch);
  // "*.*" matches names without a dot too, as the Windows find service does.
  if (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, u".*") == 0 &&
      mask.find_first_not_of(u'*') == mask.size() - 2)
    mask.resize(mask.size() - 2);
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    fail_with(err);
    return err == kNotFound;
  }
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::u16string folded = from_os(name);
    for (auto& ch : folded) ch = fold(ch);
    if (!strings::wild::matches<char16_t>(folded, mask)) continue;
    struct stat st;
    if (::stat((dir + "/" + name).c_str(), &st) != 0) continue;
    out.push_back({from_os(name), attributes_of(st, name)});
  }
  ::closedir(d);
  return true;
}

std::uint32_t attributes(const std::u16string& path) {
  const std::string p = os_path(path);
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return kNoAttributes;
  return attributes_of(st, base_name(p));
}

bool set_attributes(const std::u16string& path, std::uint32_t attributes, std::uint32_t& err) {
  const std::string p = os_path(path);
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return fail_with(err);
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & kReadOnly) ? (mode & ~0222) : (mode | S_IWUSR);
  return ::chmod(p.c_str(), mode) == 0 ? true : fail_with(err);
}

bool copy(const std::u16string& from, const std::u16string& to, std::uint32_t& err) {
  struct stat st;
  if (::stat(os_path(to).c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) {
    err = 5;
    return false;
  }
  std::error_code ec;
  std::filesystem::copy_file(os_path(from), os_path(to), std::filesystem::copy_options::overwrite_existing, ec);
  if (!ec) return true;
  err = win_error(ec.value());
  return false;
}

bool move(const std::u16string& from, const std::u16string& to, std::uint32_t& err) {
  const std::string a = os_path(from), b = os_path(to);
  if (::access(b.c_str(), F_OK) == 0 && !same_file(from, to)) {
    err = 183;
    return false;
  }
  if (::rename(a.c_str(), b.c_str()) == 0) return true;
  if (errno != EXDEV) return fail_with(err);
  if (!copy(from, to, err)) return false;
  return remove(from, err);
}

bool replace(const std::u16string& from, const std::u16string& to, std::uint32_t& err) {
  return ::rename(os_path(from).c_str(), os_path(to).c_str()) == 0 ? true : fail_with(err);
}

bool remove(const std::u16string& path, std::uint32_t& err) {
  const std::string p = os_path(path);
  struct stat st;
  if (::stat(p.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))) {
    err = 5;
    return false;
  }
  return ::unlink(p.c_str()) == 0 ? true : fail_with(err);
}

bool make_folder(const std::u16string& path, std::uint32_t& err) {
  if (impossible_name(os_path(path))) {
    err = 123;
    return false;
  }
  return ::mkdir(os_path(path).c_str(), 0777) == 0 ? true : fail_with(err);
}

bool remove_folder(const std::u16string& path, std::uint32_t& err) {
  return ::rmdir(os_path(path).c_str()) == 0 ? true : fail_with(err);
}

bool free_space(const std::u16string& path, std::uint64_t& bytes) {
  std::string p = os_path(path);
  const auto cut = p.find_last_of('/');
  if (cut != std::string::npos) p.resize(cut == 0 ? 1 : cut);
  struct statvfs s;
  if (::statvfs(p.c_str(), &s) != 0) return false;
  bytes = static_cast<std::uint64_t>(s.f_bavail) * s.f_frsize;
  return true;
}

bool same_file(const std::u16string& a, const std::u16string& b) {
  struct stat x, y;
  return ::stat(os_path(a).c_str(), &x) == 0 && ::stat(os_path(b).c_str(), &y) == 0 && x.st_dev == y.st_dev &&
         x.st_ino == y.st_ino;
}

bool get_time(const std::u16string& path, int selector, LocalTime& out) {
  struct stat st;
  if (::stat(os_path(path).c_str(), &st) != 0) return false;
  const std::time_t t = selector == 1 ? st.st_ctime : selector == 3 ? st.st_atime : st.st_mtime;
  std::tm tm{};
  if (!::localtime_r(&t, &tm)) return false;
  out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  return true;
}

bool set_time(const std::u16string& path, int selector, const LocalTime& t, std::uint32_t& err) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  const std::time_t when = std::mktime(&tm);
  if (when == static_cast<std::time_t>(-1)) {
    err = 0;
    return false;
  }
  const std::string p = os_path(path);
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return fail_with(err);
  if (!(st.st_mode & S_IWUSR)) {
    err = 5;
    return false;
  }
  // The creation time cannot be set here; the other two can.
  struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
  if (selector == 3) times[0] = {when, 0};
  else if (selector != 1) times[1] = {when, 0};
  return ::utimensat(AT_FDCWD, p.c_str(), times, 0) == 0 ? true : fail_with(err);
}

namespace {

bool local_time_of(std::time_t t, LocalTime& out) {
  std::tm tm{};
  if (!::localtime_r(&t, &tm)) return false;
  out = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  return true;
}

}  // namespace

// The inode change time stands in for the creation time, as get_time has it.
bool facts(const std::u16string& path, Facts& out) {
  const std::string p = os_path(path);
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return false;
  out.attributes = attributes_of(st, base_name(p));
  out.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
  return local_time_of(st.st_ctime, out.created) && local_time_of(st.st_atime, out.accessed) &&
         local_time_of(st.st_mtime, out.written);
}

bool temp_folder(std::u16string& out) {
  const char* dir = std::getenv("TMPDIR");
  std::string p = dir && *dir ? dir : "/tmp";
  if (p.back() != '/') p += '/';
  out = from_os(p);
  return true;
}

// No mandatory locks here: a file counts as in use while another open file
// description holds a lock on it.
bool in_use(const std::u16string& path) {
  const int fd = ::open(os_path(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);   // closing drops a lock this probe took
  return busy;
}

std::string error_text(std::uint32_t err) {
  switch (err) {
    case kNotFound: return "The system cannot find the file specified.";
    case 3: return "The system cannot find the path specified.";
    case 5: return "Access is denied.";
    case kSharingViolation: return "The process cannot access the file because it is being used by another process.";
    case kDiskFull: return "There is not enough space on the disk.";
    default: return "Error " + std::to_string(err);
  }
}

}  // namespace orv::platform::files
