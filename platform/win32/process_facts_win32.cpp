// Elevation, embedded manifests and version resources, from the system.
#include "platform/process_facts.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace orv::platform {
namespace {

const wchar_t* wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
struct LibraryFreer {
  void operator()(HMODULE m) const { FreeLibrary(m); }
};

// Resource 1 of the manifest type, the one the loader reads for a program.
std::string manifest_of(HMODULE module) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};
  return std::string(static_cast<const char*>(data), size);
}

}  // namespace

OsVersionDetail os_version_detail() {
  OsVersionDetail v;
  static_cast<OsVersion&>(v) = os_version();
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return v;
  v.platformId = info.dwPlatformId;
  v.servicePack = info.szCSDVersion;
  v.servicePackMajor = info.wServicePackMajor;
  v.servicePackMinor = info.wServicePackMinor;
  v.productType = info.wProductType;
  return v;
}

Elevation elevation_level() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return Elevation::unknown;
  std::unique_ptr<void, HandleCloser> token(raw);
  TOKEN_ELEVATION_TYPE type{};
  DWORD got = 0;
  if (!GetTokenInformation(raw, TokenElevationType, &type, sizeof type, &got))
    return GetLastError() == ERROR_INVALID_PARAMETER ? Elevation::unsupported : Elevation::unknown;
  switch (type) {
    case TokenElevationTypeFull: return Elevation::elevated;
    case TokenElevationTypeLimited: return Elevation::admin_not_elevated;
    case TokenElevationTypeDefault: {
      // An administrator with elevation turned off holds a full token too.
      TOKEN_ELEVATION e{};
      if (GetTokenInformation(raw, TokenElevation, &e, sizeof e, &got) && e.TokenIsElevated)
        return Elevation::elevated;
      return Elevation::standard;
    }
  }
  return Elevation::unknown;
}

bool program_manifest(const std::u16string& path, std::string& manifest) {
  manifest.clear();
  HMODULE raw = LoadLibraryExW(wide(path), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!raw) raw = LoadLibraryExW(wide(path), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!raw) return false;
  std::unique_ptr<HINSTANCE__, LibraryFreer> module(raw);
  manifest = manifest_of(raw);
  return true;
}

std::string process_manifest() { return manifest_of(GetModuleHandleW(nullptr)); }

std::string host_version_text() {
  std::vector<wchar_t> path(MAX_PATH + 1);
  DWORD n = 0;
  while ((n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size() &&
         path.size() < 32768)
    path.resize(path.size() * 2);
  if (n == 0 || n == path.size()) return {};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!GetFileVersionInfoW(path.data(), 0, size, block.data())) return {};
  struct Translation {
    WORD language, codePage;
  };
  Translation* tr = nullptr;
  UINT trSize = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr), &trSize) ||
      trSize < sizeof(Translation))
    return {};
  // "\StringFileInfo\<language><code page in hex>\ProductVersion"
  std::wstring key = L"\\StringFileInfo\\";
  for (const WORD part : {tr->language, tr->codePage})
    for (int shift = 12; shift >= 0; shift -= 4) key += L"0123456789abcdef"[(part >> shift) & 0xF];
  key += L"\\ProductVersion";
  wchar_t* text = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&text), &len) || !text) return {};
  std::wstring w(text);
  const int bytes = WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), out.data(), bytes, nullptr, nullptr);
  return out;
}

std::u16string find_program(const std::u16string& name) {
  wchar_t found[MAX_PATH + 1];
  const DWORD n = SearchPathW(nullptr, wide(name), L".exe", MAX_PATH, found, nullptr);
  if (n == 0 || n > MAX_PATH) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(found), n);
}

}  // namespace orv::platform
