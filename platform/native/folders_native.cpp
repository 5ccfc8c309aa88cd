// POSIX back end of the folder services. There is no Windows folder here; the
// interpreter's folder is the folder of the running program.
#include "platform/folders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <vector>

#include "platform/native/utf8_native.h"

namespace orv::platform::folders {
namespace {

using native_text::from_utf8;
using native_text::to_utf8;

std::uint32_t folder_error(int e) {
  switch (e) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EACCES: case EPERM: case EROFS: return 5;
    case EEXIST: case ENOTEMPTY: return kAlreadyExists;
    case EXDEV: return kNotSameDevice;
    case EBUSY: return 32;
    case ENAMETOOLONG: return 206;
    default: return 31;
  }
}

bool failed_with(std::uint32_t& err) {
  err = folder_error(errno);
  return false;
}

std::string parent_of(const std::string& path) {
  const auto cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

struct DirStream {
  DIR* d;
  ~DirStream() {
    if (d) closedir(d);
  }
};

}  // namespace

bool current(std::u16string& out) {
  std::vector<char> buffer(PATH_MAX + 1);
  if (!getcwd(buffer.data(), buffer.size())) return false;
  out = from_utf8(buffer.data());
  if (out.empty() || out.back() != u'/') out += u'/';
  return true;
}

bool change(const std::u16string& path, std::uint32_t& err) {
  std::string p;
  if (!to_utf8(path, p)) {
    err = 123;   // the system's "bad name"
    return false;
  }
  return ::chdir(p.c_str()) == 0 ? true : failed_with(err);
}

bool module_folder(std::u16string& out) {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return false;
  const std::string exe(buffer.data(), static_cast<std::size_t>(n));
  out = from_utf8(parent_of(exe));
  if (out.empty() || out.back() != u'/') out += u'/';
  return true;
}

bool system_folder(int, std::u16string&) { return false; }

bool rename(const std::u16string& from, const std::u16string& to, std::uint32_t& err) {
  std::string a, b;
  if (!to_utf8(from, a) || !to_utf8(to, b)) {
    err = 123;
    return false;
  }
  struct stat source{}, target{}, targetFolder{};
  if (::lstat(a.c_str(), &source) != 0) return failed_with(err);
  // rename() would silently replace an empty folder.
  if (::lstat(b.c_str(), &target) == 0) {
    err = kAlreadyExists;
    return false;
  }
  if (::stat(parent_of(b).c_str(), &targetFolder) != 0) return failed_with(err);
  if (targetFolder.st_dev != source.st_dev) {
    err = kNotSameDevice;
    return false;
  }
  return std::rename(a.c_str(), b.c_str()) == 0 ? true : failed_with(err);
}

bool content_bytes(const std::u16string& folder, bool recurse, std::uint64_t& bytes, std::u16string& where,
                   std::uint32_t& err) {
  bytes = 0;
  std::string top;
  if (!to_utf8(folder, top)) {
    err = 123;
    where = folder;
    return false;
  }
  std::vector<std::string> pending{top};
  while (!pending.empty()) {
    const std::string dir = std::move(pending.back());
    pending.pop_back();
    DirStream stream{::opendir(dir.c_str())};
    if (!stream.d) {
      where = from_utf8(dir);
      return failed_with(err);
    }
    while (const dirent* e = ::readdir(stream.d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      const std::string path = dir.back() == '/' ? dir + name : dir + "/" + name;
      struct stat st{};
      if (::lstat(path.c_str(), &st) != 0) continue;   // gone while listed
      // Links are not followed: they may lead back up the tree.
      if (S_ISDIR(st.st_mode)) {
        if (recurse) pending.push_back(path);
      } else if (S_ISREG(st.st_mode)) {
        bytes += static_cast<std::uint64_t>(st.st_size);
      }
    }
  }
  return true;
}

}  // namespace orv::platform::folders
