// POSIX back end of the platform layer: used for sanitizer builds, unit tests,
// fuzzing and profiling. Behaves like the Win32 back end where scripts can tell.
#include "platform/platform.h"
#include "platform/native/code_page_tables.h"

#include <sys/mman.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace orv::platform {
namespace fs = std::filesystem;

// ---- Movable memory blocks ----

namespace {
// The handle points at this header; the payload follows it.
struct BlockHeader {
  std::size_t size;
  int locks;
};
constexpr std::size_t kHeaderSize = (sizeof(BlockHeader) + 15) & ~std::size_t{15};

BlockHeader* header_of(MemHandle h) { return static_cast<BlockHeader*>(h); }
}  // namespace

std::size_t g_blockLimit = 0;

void set_block_limit(std::size_t bytes) { g_blockLimit = bytes; }

MemHandle mem_alloc(std::size_t bytes) {
  if (g_blockLimit && bytes > g_blockLimit) return nullptr;
  void* raw = std::calloc(1, kHeaderSize + bytes);
  if (!raw) return nullptr;
  header_of(raw)->size = bytes;
  return raw;
}

void* mem_lock(MemHandle h) {
  if (!h) return nullptr;
  ++header_of(h)->locks;
  return static_cast<char*>(h) + kHeaderSize;
}

void mem_unlock(MemHandle h) {
  if (h && header_of(h)->locks > 0) --header_of(h)->locks;
}

void mem_free(MemHandle h) { std::free(h); }

std::size_t mem_size(MemHandle h) { return h ? header_of(h)->size : 0; }

// ---- Reserved address space ----

namespace {
struct Reservations {
  std::mutex lock;
  std::map<std::uintptr_t, std::size_t> sizes;  // base -> reserved bytes
};
Reservations& reservations() {
  static Reservations r;
  return r;
}
std::atomic<std::size_t> g_commitLimit{0};
}  // namespace

void* vm_reserve(std::size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  auto& r = reservations();
  std::lock_guard guard(r.lock);
  r.sizes[reinterpret_cast<std::uintptr_t>(p)] = bytes;
  return p;
}

void vm_release(void* base) {
  if (!base) return;
  auto& r = reservations();
  std::lock_guard guard(r.lock);
  auto it = r.sizes.find(reinterpret_cast<std::uintptr_t>(base));
  if (it == r.sizes.end()) return;
  munmap(base, it->second);
  r.sizes.erase(it);
}

std::uint32_t vm_commit(void* base, std::size_t bytes) {
  constexpr std::uint32_t kNoMemory = 8, kInvalidAddress = 487;
  const auto addr = reinterpret_cast<std::uintptr_t>(base);
  std::uintptr_t start = 0;
  std::size_t reserved = 0;
  {
    auto& r = reservations();
    std::lock_guard guard(r.lock);
    auto it = r.sizes.upper_bound(addr);
    if (it == r.sizes.begin()) return kInvalidAddress;
    --it;
    start = it->first;
    reserved = it->second;
  }
  if (addr + bytes > start + reserved) return kInvalidAddress;
  const std::size_t limit = g_commitLimit.load();
  if (limit != 0 && addr + bytes - start > limit) return kNoMemory;
  // mprotect wants a page-aligned start; widen the range to whole pages.
  const std::uintptr_t pageStart = addr & ~(page_size() - 1);
  if (mprotect(reinterpret_cast<void*>(pageStart), addr + bytes - pageStart,
               PROT_READ | PROT_WRITE) != 0)
    return errno == ENOMEM ? kNoMemory : kInvalidAddress;
  return 0;
}

std::size_t page_size() {
  static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

void set_commit_limit(std::size_t bytes) { g_commitLimit = bytes; }
std::size_t commit_limit() { return g_commitLimit; }

// ---- Time ----

std::uint32_t tick_count() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

// ---- Files ----

FileStatus read_whole_file(const std::string& path, std::string& out) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return FileStatus::not_found;
  // C stdio, not a file stream: the streams' locale set-up was a tenth of an
  // empty script's start.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!in) return FileStatus::not_found;
  try {
    out.clear();
    char chunk[16384];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0;) out.append(chunk, got);
  } catch (const std::bad_alloc&) {
    return FileStatus::no_memory;
  }
  return std::ferror(in.get()) ? FileStatus::read_error : FileStatus::ok;
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string current_directory() {
  std::error_code ec;
  auto p = fs::current_path(ec);
  return ec ? std::string() : p.string();
}

std::string directory_of(const std::string& path) {
  const auto cut = path.find_last_of('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool is_absolute_path(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string display_path(const std::string& path) { return path; }

std::string search_path(const std::string& name) {
  if (name.find('/') != std::string::npos) return file_exists(name) ? name : std::string();
  const char* env = std::getenv("PATH");
  std::string_view rest = env ? env : "";
  while (true) {
    const auto colon = rest.find(':');
    std::string dir(rest.substr(0, colon));
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + name;
    if (file_exists(candidate)) return candidate;
    if (colon == std::string_view::npos) return {};
    rest.remove_prefix(colon + 1);
  }
}

char path_separator() { return '/'; }

// ---- Text: Windows-1252 as the ANSI code page (code_page_tables.cpp) ----

namespace {
unsigned char fold_ascii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
char16_t fold_ascii16(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

template <typename Str, typename Fold>
int compare_folded(Str a, Str b, bool ignoreCase, Fold fold) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto x = ignoreCase ? fold(a[i]) : a[i];
    auto y = ignoreCase ? fold(b[i]) : b[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
}  // namespace

bool ansi_to_utf16(std::string_view in, std::u16string& out) {
  return codepages::to_utf16(in, codepages::kAnsi, out);
}

bool utf16_to_ansi(std::u16string_view in, std::string& out) {
  return codepages::from_utf16(in, codepages::kAnsi, out);
}

int compare_ansi(std::string_view a, std::string_view b, bool ignoreCase) {
  auto ua = std::basic_string_view<unsigned char>(reinterpret_cast<const unsigned char*>(a.data()), a.size());
  auto ub = std::basic_string_view<unsigned char>(reinterpret_cast<const unsigned char*>(b.data()), b.size());
  return compare_folded(ua, ub, ignoreCase, fold_ascii);
}

int compare_utf16(std::u16string_view a, std::u16string_view b, bool ignoreCase) {
  return compare_folded(a, b, ignoreCase, fold_ascii16);
}

bool is_dbcs_lead_byte(unsigned char) { return false; }  // a single-byte code page

bool compare_logical(std::u16string_view, std::u16string_view, int&) { return false; }  // no system service

// ---- User interface and process ----

int message_box(const std::string& text, const std::string& caption, unsigned) {
  write_stderr(caption + ": " + text + "\n");
  return 1;
}

void debug_output(const std::string& text) { write_stderr(text); }

void system_beep() {}

namespace {
void write_fd(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}
}  // namespace

void write_stderr(std::string_view text) { write_fd(2, text); }

void write_stdout(std::string_view text) {
  std::fflush(stdout);  // keep order with anything the C library buffered
  write_fd(1, text);
}

bool pump_messages(bool giveUpTimeSlice) {
  if (giveUpTimeSlice) std::this_thread::yield();
  return false;
}

void sleep_ms(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void set_environment(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

std::string read_setting(const std::string&, const std::string&, const std::string& fallback) {
  return fallback;  // no registry here
}

bool is_nt_platform() { return true; }

// The native build keeps no settings file.
void write_settings_file(const std::string&, const std::string&, const std::string&, const std::string&) {}

std::string settings_file_path(const std::string&) { return {}; }

OsVersion os_version() {
  // The kernel's release ("6.1.0-13-amd64") stands in for the version parts.
  OsVersion v;
  v.platform = "native";
  utsname u{};
  if (uname(&u) == 0) {
    unsigned long* parts[] = {&v.major, &v.minor, &v.build};
    const char* p = u.release;
    for (unsigned long* part : parts) {
      char* end = nullptr;
      *part = std::strtoul(p, &end, 10);
      if (end == p || *end != '.') break;
      p = end + 1;
    }
  }
  return v;
}

std::string get_environment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? std::string(value) : std::string();
}

}  // namespace orv::platform
