#include <windows.h>

#include "platform/codepage.h"

namespace orv::platform {
namespace {

// UTF-8 fails on bad input; other code pages take no look-alikes. Some code
// pages refuse the no-look-alike flag: they convert without it.
DWORD to_wide_flags(unsigned codePage) { return codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0; }
DWORD to_bytes_flags(unsigned codePage) { return codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS; }

int bytes_needed(unsigned codePage, DWORD& flags, const wchar_t* w, int n) {
  int size = WideCharToMultiByte(codePage, flags, w, n, nullptr, 0, nullptr, nullptr);
  if (size <= 0 && flags == WC_NO_BEST_FIT_CHARS && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    size = WideCharToMultiByte(codePage, flags, w, n, nullptr, 0, nullptr, nullptr);
  }
  return size;
}

}  // namespace

bool codepage_to_utf16(std::string_view in, unsigned codePage, std::u16string& out) {
  out.clear();
  if (in.empty()) return true;
  if (in.size() > 0x7FFFFFFF) return false;
  const DWORD flags = to_wide_flags(codePage);
  const int n = MultiByteToWideChar(codePage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return MultiByteToWideChar(codePage, flags, in.data(), static_cast<int>(in.size()),
                             reinterpret_cast<wchar_t*>(out.data()), n) == n;
}

bool utf16_to_codepage(std::u16string_view in, unsigned codePage, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  if (in.size() > 0x3FFFFFFF) return false;
  const auto* w = reinterpret_cast<const wchar_t*>(in.data());
  DWORD flags = to_bytes_flags(codePage);
  const int n = bytes_needed(codePage, flags, w, static_cast<int>(in.size()));
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return WideCharToMultiByte(codePage, flags, w, static_cast<int>(in.size()), out.data(), n, nullptr, nullptr) == n;
}

bool oem_to_ansi(std::string& s) {
  return s.empty() || OemToCharBuffA(s.data(), s.data(), static_cast<DWORD>(s.size()));
}

bool ansi_to_oem(std::string& s) {
  return s.empty() || CharToOemBuffA(s.data(), s.data(), static_cast<DWORD>(s.size()));
}

// UTF-16 and UTF-32 are no code pages of 8-bit text.
bool code_page_available(unsigned codePage) {
  if (codePage == 1200 || codePage == 1201 || codePage == 12000 || codePage == 12001) return false;
  return IsValidCodePage(codePage) != 0;
}

unsigned ansi_code_page() { return GetACP(); }
unsigned console_code_page() { return GetConsoleOutputCP(); }

bool set_console_code_page(unsigned codePage) {
  if (!SetConsoleOutputCP(codePage)) return false;
  SetConsoleCP(codePage);
  return true;
}

}  // namespace orv::platform
