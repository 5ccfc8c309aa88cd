// UTF-16 and UTF-8 conversions for the Windows halves of window automation.
// The launcher builds its command lines in UTF-8 (the command-line rules only
// look at ASCII) and hands UTF-16 to the system.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace orv::winauto {

inline std::string to_utf8(std::u16string_view w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(w.data()), static_cast<int>(w.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(w.data()), static_cast<int>(w.size()), out.data(),
                        n, nullptr, nullptr);
  return out;
}

inline std::wstring from_utf8(std::string_view s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

inline std::wstring wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string u16(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

// The system's text for an error number, without trailing line breaks.
inline std::u16string system_error_text(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (n && buffer) text.assign(reinterpret_cast<char16_t*>(buffer), n);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) text.pop_back();
  if (text.empty()) {
    const std::string n = "error " + std::to_string(code);
    return std::u16string(n.begin(), n.end());
  }
  return text;
}

// Owns a kernel handle.
class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() { if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  void reset(HANDLE h) { if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); h_ = h; }

 private:
  HANDLE h_;
};

}  // namespace orv::winauto
