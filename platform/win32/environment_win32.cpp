// Win32 back end of the environment: the process's own block, which
// CreateProcess hands on to the programs the process starts.
#include "platform/environment.h"

#include <windows.h>

namespace orv::platform::environment {
namespace {

struct EnvironmentBlock {
  wchar_t* block = GetEnvironmentStringsW();
  ~EnvironmentBlock() {
    if (block) FreeEnvironmentStringsW(block);
  }
  EnvironmentBlock() = default;
  EnvironmentBlock(const EnvironmentBlock&) = delete;
  EnvironmentBlock& operator=(const EnvironmentBlock&) = delete;
};

}  // namespace

bool get(const std::u16string& name, std::u16string& value) {
  const std::wstring n(name.begin(), name.end());
  std::wstring buffer(256, L'\0');
  for (int tries = 0; tries < 4; ++tries) {
    SetLastError(0);
    const DWORD got = GetEnvironmentVariableW(n.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) {
      value.clear();
      return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    }
    if (got < buffer.size()) {
      value.assign(buffer.begin(), buffer.begin() + got);
      return true;
    }
    buffer.assign(got + 1, L'\0');   // another thread may grow it between the calls
  }
  return false;
}

bool set(const std::u16string& name, const std::u16string& value) {
  const std::wstring n(name.begin(), name.end()), v(value.begin(), value.end());
  if (SetEnvironmentVariableW(n.c_str(), value.empty() ? nullptr : v.c_str())) return true;
  // Removing a variable that is not there leaves what was asked for.
  return value.empty() && GetLastError() == ERROR_ENVVAR_NOT_FOUND;
}

std::vector<std::u16string> entries() {
  std::vector<std::u16string> out;
  EnvironmentBlock env;
  if (!env.block) return out;
  for (const wchar_t* p = env.block; *p;) {
    const std::wstring entry(p);
    out.emplace_back(entry.begin(), entry.end());
    p += entry.size() + 1;
  }
  return out;
}

}  // namespace orv::platform::environment
