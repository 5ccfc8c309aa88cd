// Case mapping and character types through the system's own tables.
#include "platform/text_case.h"

#include <windows.h>

namespace orv::platform {

void upper_ansi(std::string& s) {
  if (!s.empty()) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
}
void lower_ansi(std::string& s) {
  if (!s.empty()) CharLowerBuffA(s.data(), static_cast<DWORD>(s.size()));
}
void upper_utf16(std::u16string& s) {
  if (!s.empty()) CharUpperBuffW(reinterpret_cast<wchar_t*>(s.data()), static_cast<DWORD>(s.size()));
}
void lower_utf16(std::u16string& s) {
  if (!s.empty()) CharLowerBuffW(reinterpret_cast<wchar_t*>(s.data()), static_cast<DWORD>(s.size()));
}

bool string_type_info(std::u16string_view s, unsigned infoType, std::vector<std::uint16_t>& out) {
  out.assign(s.size(), 0);
  if (s.empty()) return true;
  return GetStringTypeW(infoType, reinterpret_cast<const wchar_t*>(s.data()), static_cast<int>(s.size()),
                        reinterpret_cast<WORD*>(out.data())) != 0;
}

}  // namespace orv::platform
