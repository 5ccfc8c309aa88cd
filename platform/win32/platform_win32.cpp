// Win32 back end of the platform layer: the only file of the engine's road
// that includes windows.h.
#include "platform/platform.h"

#include <windows.h>

#include <atomic>
#include <vector>

namespace orv::platform {

// ---- Movable memory blocks ----

std::size_t g_blockLimit = 0;

void set_block_limit(std::size_t bytes) { g_blockLimit = bytes; }

MemHandle mem_alloc(std::size_t bytes) {
  if (g_blockLimit && bytes > g_blockLimit) return nullptr;
  return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes ? bytes : 1);
}
void* mem_lock(MemHandle h) { return h ? GlobalLock(h) : nullptr; }
void mem_unlock(MemHandle h) {
  if (h) GlobalUnlock(h);
}
void mem_free(MemHandle h) {
  if (h) GlobalFree(h);
}
std::size_t mem_size(MemHandle h) { return h ? GlobalSize(h) : 0; }

// ---- Reserved address space ----

namespace {
std::atomic<std::size_t> g_commitLimit{0};
}

void* vm_reserve(std::size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS); }

void vm_release(void* base) {
  if (base) VirtualFree(base, 0, MEM_RELEASE);
}

std::uint32_t vm_commit(void* base, std::size_t bytes) {
  const std::size_t limit = g_commitLimit.load();
  if (limit != 0) {
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(base, &info, sizeof info)) return GetLastError();
    const auto start = reinterpret_cast<std::uintptr_t>(info.AllocationBase);
    if (reinterpret_cast<std::uintptr_t>(base) + bytes - start > limit) return ERROR_NOT_ENOUGH_MEMORY;
  }
  if (!VirtualAlloc(base, bytes, MEM_COMMIT, PAGE_READWRITE)) return GetLastError();
  return 0;
}

// Asked once: the heap checks it on every text it makes, and the system call
// behind it is slow under some loaders.
std::size_t page_size() {
  static const std::size_t size = [] {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return static_cast<std::size_t>(info.dwPageSize);
  }();
  return size;
}

void set_commit_limit(std::size_t bytes) { g_commitLimit = bytes; }
std::size_t commit_limit() { return g_commitLimit; }

// ---- Time ----

std::uint32_t tick_count() { return GetTickCount(); }

// ---- Files ----

FileStatus read_whole_file(const std::string& path, std::string& out) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileStatus::not_found;
  struct Closer {
    HANDLE h;
    ~Closer() { CloseHandle(h); }
  } closer{file};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFFF) return FileStatus::read_error;
  try {
    out.assign(static_cast<std::size_t>(size.QuadPart), '\0');
  } catch (const std::bad_alloc&) {
    return FileStatus::no_memory;
  }
  DWORD done = 0;
  if (!out.empty() && (!ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &done, nullptr) ||
                       done != out.size()))
    return FileStatus::read_error;
  return FileStatus::ok;
}

bool file_exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string current_directory() {
  char buffer[MAX_PATH + 1];
  const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  return (n == 0 || n > MAX_PATH) ? std::string() : std::string(buffer, n);
}

std::string directory_of(const std::string& path) {
  const auto cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool is_absolute_path(std::string_view path) {
  if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/'))
    return true;  // UNC
  return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

std::string search_path(const std::string& name) {
  char buffer[MAX_PATH + 1];
  char* filePart = nullptr;
  const DWORD n = SearchPathA(nullptr, name.c_str(), nullptr, sizeof buffer, buffer, &filePart);
  return (n == 0 || n > MAX_PATH) ? std::string() : std::string(buffer, n);
}

char path_separator() { return '\\'; }

std::string display_path(const std::string& path) {
  // The compatibility layer exports its own converter; real Windows has none.
  using ToUnix = char*(__cdecl*)(const wchar_t*);
  static const ToUnix to_unix = [] {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel ? reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
                  : nullptr;
  }();
  std::u16string wide;
  if (!to_unix || !is_absolute_path(path) || !ansi_to_utf16(path, wide)) return path;
  const std::wstring dos(wide.begin(), wide.end());
  char* unix = to_unix(dos.c_str());
  if (!unix) return path;
  std::string out = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

// ---- Text ----

bool ansi_to_utf16(std::string_view in, std::u16string& out) {
  out.clear();
  if (in.empty()) return true;
  const int n = MultiByteToWideChar(CP_ACP, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return MultiByteToWideChar(CP_ACP, 0, in.data(), static_cast<int>(in.size()),
                             reinterpret_cast<wchar_t*>(out.data()), n) == n;
}

bool utf16_to_ansi(std::u16string_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  const auto* wide = reinterpret_cast<const wchar_t*>(in.data());
  const int n = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(in.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(in.size()), out.data(), n, nullptr, nullptr) == n;
}

int compare_ansi(std::string_view a, std::string_view b, bool ignoreCase) {
  const int r = CompareStringA(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0, a.data(),
                               static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
  return r == 0 ? 0 : r - CSTR_EQUAL;
}

int compare_utf16(std::u16string_view a, std::u16string_view b, bool ignoreCase) {
  const int r = CompareStringW(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0,
                               reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                               reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()));
  return r == 0 ? 0 : r - CSTR_EQUAL;
}

bool is_dbcs_lead_byte(unsigned char c) { return IsDBCSLeadByte(c) != 0; }

bool compare_logical(std::u16string_view a, std::u16string_view b, int& result) {
  using Compare = int(WINAPI*)(const wchar_t*, const wchar_t*);
  static const Compare compare = [] {
    HMODULE module = LoadLibraryA("SHLWAPI.DLL");
    return module ? reinterpret_cast<Compare>(reinterpret_cast<void*>(GetProcAddress(module, "StrCmpLogicalW")))
                  : nullptr;
  }();
  if (!compare) return false;
  // The service wants NUL-terminated text; the buffers are reused between calls.
  static thread_local std::wstring left, right;
  left.assign(a.begin(), a.end());
  right.assign(b.begin(), b.end());
  result = compare(left.c_str(), right.c_str());
  return true;
}

// ---- User interface and process ----

int message_box(const std::string& text, const std::string& caption, unsigned kind) {
  return MessageBoxA(nullptr, text.c_str(), caption.c_str(), kind);
}

void debug_output(const std::string& text) { OutputDebugStringA(text.c_str()); }

void system_beep() { MessageBeep(0xFFFFFFFF); }

namespace {
void write_handle(DWORD which, std::string_view text) {
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  while (!text.empty()) {
    DWORD done = 0;
    if (!WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) || done == 0) return;
    text.remove_prefix(done);
  }
}
}  // namespace

void write_stderr(std::string_view text) { write_handle(STD_ERROR_HANDLE, text); }
void write_stdout(std::string_view text) { write_handle(STD_OUTPUT_HANDLE, text); }

namespace {
// Loading the window library costs a Wine process start about half a second.
// Until something in the process has loaded it, no window of this thread
// exists and no message can wait; a user break is looked for once the
// script has run for a second (by then the load no longer counts).
bool window_library_wanted() {
  static bool wanted = false;
  static const DWORD firstAsked = GetTickCount();
  if (!wanted && (GetModuleHandleW(L"user32.dll") || GetTickCount() - firstAsked >= 1000)) wanted = true;
  return wanted;
}
}  // namespace

bool pump_messages(bool giveUpTimeSlice) {
  if (!window_library_wanted()) {
    if (giveUpTimeSlice) Sleep(0);
    return false;
  }
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // The quit request belongs to the host's own message loop: leave it
    // there (it comes only once the queue is otherwise empty).
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (giveUpTimeSlice) Sleep(0);
  return (GetAsyncKeyState(VK_CONTROL) & 0x8000) && (GetAsyncKeyState(VK_CANCEL) & 0x8000);
}

void sleep_ms(unsigned ms) { Sleep(ms); }

void set_environment(const std::string& name, const std::string& value) {
  SetEnvironmentVariableA(name.c_str(), value.c_str());
}

namespace {
// The three registry calls every initialisation makes. Newer systems (and
// Wine) have them in kernelbase, which every process has loaded; taking them
// from there spares a start loading advapi32 and what it loads.
struct SettingsRegistry {
  decltype(&RegOpenKeyExA) open = &RegOpenKeyExA;
  decltype(&RegQueryValueExA) query = &RegQueryValueExA;
  decltype(&RegCloseKey) close = &RegCloseKey;
  SettingsRegistry() {
    HMODULE base = GetModuleHandleW(L"kernelbase.dll");
    if (!base) return;
    auto o = reinterpret_cast<decltype(open)>(reinterpret_cast<void*>(GetProcAddress(base, "RegOpenKeyExA")));
    auto q = reinterpret_cast<decltype(query)>(reinterpret_cast<void*>(GetProcAddress(base, "RegQueryValueExA")));
    auto c = reinterpret_cast<decltype(close)>(reinterpret_cast<void*>(GetProcAddress(base, "RegCloseKey")));
    if (o && q && c) {
      open = o;
      query = q;
      close = c;
    }
  }
};
}  // namespace

std::string read_setting(const std::string& section, const std::string& name, const std::string& fallback) {
  static const SettingsRegistry reg;
  const std::string key = "Software\\Tarnwick\\Settings\\TARNQUIL\\" + section;
  HKEY hkey = nullptr;
  // The 64-bit view, where the registry functions of scripts write by default
  // (32-bit Windows ignores the flag).
  if (reg.open(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &hkey) != ERROR_SUCCESS)
    return fallback;
  char buffer[1024];
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  const LONG r = reg.query(hkey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  reg.close(hkey);
  if (r != ERROR_SUCCESS) return fallback;
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD v = 0;
    memcpy(&v, buffer, sizeof v);
    return std::to_string(v);
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return fallback;
  buffer[size] = '\0';
  return std::string(buffer);  // stops at the stored terminator
}

bool is_nt_platform() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return true;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void write_settings_file(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& value) {
  WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

std::string settings_file_path(const std::string& file) {
  // A private profile file named without a folder lives in the Windows folder.
  char dir[MAX_PATH + 1];
  const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
  if (n == 0 || n > MAX_PATH) return {};
  std::string path(dir, n);
  if (path.back() != '\\') path += '\\';
  return path + file;
}

OsVersion os_version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  OsVersion v;
  if (!GetVersionExA(&info)) return v;
  v.platform = info.dwPlatformId == VER_PLATFORM_WIN32_NT ? "NT" : "9x";
  v.major = info.dwMajorVersion;
  v.minor = info.dwMinorVersion;
  v.build = info.dwBuildNumber;
  return v;
}

std::string get_environment(const std::string& name) {
  char small[512];
  DWORD n = GetEnvironmentVariableA(name.c_str(), small, sizeof small);
  if (n == 0) return {};
  if (n < sizeof small) return std::string(small, n);
  std::string big(n, '\0');
  n = GetEnvironmentVariableA(name.c_str(), big.data(), static_cast<DWORD>(big.size()));
  big.resize(n < big.size() ? n : 0);
  return big;
}

}  // namespace orv::platform
