// Message texts on Windows: the string table of the module that holds this
// code, optionally overridden by a language file (TRNDLANG.<code>).
#include "platform/messages_platform.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace orv::platform {
namespace {

constexpr DWORD kProfileBuffer = 4096;

HMODULE own_module() {
  // The address of a static of this module finds the DLL itself, not the host.
  static const char anchor = 0;
  static const HMODULE module = [] {
    HMODULE h = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            &anchor, &h))
      h = nullptr;
    return h;
  }();
  return module;
}

std::string module_directory(HMODULE module) {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      std::string full(path.data(), n);
      const auto cut = full.find_last_of("\\/");
      return cut == std::string::npos ? std::string() : full.substr(0, cut + 1);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::string private_profile(const char* section, const char* key, const char* fallback,
                            const std::string& file) {
  std::vector<char> buf(kProfileBuffer);
  const DWORD n = GetPrivateProfileStringA(section, key, fallback, buf.data(),
                                           static_cast<DWORD>(buf.size()), file.c_str());
  return std::string(buf.data(), n);
}

std::string system_profile(const char* section, const char* key, const char* fallback) {
  std::vector<char> buf(kProfileBuffer);
  const DWORD n = GetProfileStringA(section, key, fallback, buf.data(), static_cast<DWORD>(buf.size()));
  return std::string(buf.data(), n);
}

bool is_file(const std::string& path) {
  const DWORD attrs = GetFileAttributesA(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Full path of the language file, or "" when there is none.
std::string find_language_file() {
  std::string code = private_profile("MAIN", "Language", "XXX", "TARNQUIL.INI");
  if (code == "XXX") code = system_profile("INTL", "sLanguage", "enu");

  const std::string extension = "." + code;
  const std::string beside = module_directory(own_module()) + "TRNDLANG" + extension;
  if (is_file(beside)) return beside;

  std::vector<char> found(MAX_PATH);
  const DWORD n = SearchPathA(nullptr, "TRNDLANG", extension.c_str(),
                              static_cast<DWORD>(found.size()), found.data(), nullptr);
  if (n == 0 || n >= found.size()) return {};
  return std::string(found.data(), n);
}

// Looked up once per process, on first use.
const std::string& language_file() {
  static const std::string path = find_language_file();
  return path;
}

}  // namespace

std::string load_resource_string(std::uint32_t number) {
  if (number > 0xFFFF) return {};
  std::vector<char> buf(512);
  for (;;) {
    const int n = LoadStringA(own_module(), static_cast<UINT>(number), buf.data(),
                              static_cast<int>(buf.size()));
    if (n <= 0) return {};
    // A result that fills the buffer may have been cut.
    if (static_cast<std::size_t>(n) < buf.size() - 1 || buf.size() >= 65536)
      return std::string(buf.data(), static_cast<std::size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

bool load_language_string(std::uint32_t number, std::string& out) {
  if (number < 100) return false;
  return load_language_text("X" + std::to_string(number), out);
}

bool load_language_text(const std::string& key, std::string& out) {
  const std::string& file = language_file();
  if (file.empty()) return false;
  std::string text = private_profile("MAIN", key.c_str(), "XXX", file);
  if (text == "XXX") return false;
  out = std::move(text);
  return true;
}

}  // namespace orv::platform
