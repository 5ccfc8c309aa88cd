#include <windows.h>

#include "platform/codepage.h"

namespace orv::platform {

bool codepage_to_utf16(std::string_view in, unsigned codePage, std::u16string& out) {
  out.clear();
  if (in.empty()) return true;
  if (in.size() > 0x7FFFFFFF) return false;
  const int n = MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), reinterpret_cast<wchar_t*>(out.data()),
                             n) == n;
}

bool utf16_to_codepage(std::u16string_view in, unsigned codePage, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  if (in.size() > 0x3FFFFFFF) return false;
  const auto* w = reinterpret_cast<const wchar_t*>(in.data());
  const int n = WideCharToMultiByte(codePage, 0, w, static_cast<int>(in.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return WideCharToMultiByte(codePage, 0, w, static_cast<int>(in.size()), out.data(), n, nullptr, nullptr) == n;
}

bool oem_to_ansi(std::string& s) {
  return s.empty() || OemToCharBuffA(s.data(), s.data(), static_cast<DWORD>(s.size()));
}

bool ansi_to_oem(std::string& s) {
  return s.empty() || CharToOemBuffA(s.data(), s.data(), static_cast<DWORD>(s.size()));
}

}  // namespace orv::platform
