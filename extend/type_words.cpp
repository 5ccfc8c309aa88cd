#include "extend/type_words.h"

#include <cstdio>
#include <utility>

#include "engine/error_numbers.h"

namespace orv::dll {
namespace {

char lower(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool same_word(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

using WordCode = std::pair<const char*, int>;

template <std::size_t N>
int lookup(std::string_view word, const WordCode (&table)[N]) {
  for (const auto& [name, code] : table)
    if (same_word(word, name)) return code;
  return -1;
}

constexpr WordCode kParamWords[] = {
    {"word", p_word}, {"long", p_long}, {"lpstr", p_lpstr}, {"lpbinary", p_lpbinary}, {"lpnull", p_lpnull},
    {"double", p_double}, {"lpwstr", p_lpwstr}, {"callback", p_callback}, {"lpstruct", p_lpstruct},
    {"long_ptr", p_long_ptr}, {"long64", p_long64}};

constexpr WordCode kReturnWords[] = {
    {"word", r_word}, {"long", r_long}, {"lpstr", r_lpstr}, {"lpbinary", r_lpbinary}, {"void", r_void},
    {"double", r_double}, {"lpwstr", r_lpwstr}, {"long_ptr", r_long_ptr}, {"long64", r_long64}};

constexpr WordCode kCallbackReturns[] = {
    {"word", r_word}, {"long", r_long}, {"void", r_void}, {"double", r_double}, {"long64", r_long64}};

constexpr WordCode kCallbackParams[] = {
    {"word", p_word}, {"long", p_long}, {"lpstr", p_lpstr}, {"lpnull", p_lpnull}, {"double", p_double},
    {"lpwstr", p_lpwstr}, {"long64", p_long64}};

constexpr WordCode kMemberWords[] = {
    {"byte", m_byte},
    {"char", m_char}, {"uchar", m_char}, {"unsigned char", m_char},
    {"wchar", m_wchar},
    {"short", m_short}, {"ushort", m_short}, {"unsigned short", m_short}, {"word", m_short}, {"atom", m_short},
    {"int", m_int}, {"uint", m_int}, {"unsigned int", m_int}, {"long", m_int}, {"ulong", m_int},
    {"unsigned long", m_int}, {"dword", m_int}, {"dword_ptr", m_int}, {"int_ptr", m_int}, {"long_ptr", m_int},
    {"bool", m_int}, {"boolean", m_int}, {"colorref", m_int}, {"lparam", m_int}, {"wparam", m_int},
    {"hresult", m_int}, {"wndproc", m_int},
    {"int64", m_int64}, {"long64", m_int64}, {"ulong64", m_int64}, {"dwordlong", m_int64},
    {"float", m_float}, {"double", m_double},
    {"lpstr", m_lpstr}, {"lpcstr", m_lpstr}, {"lpwstr", m_lpwstr}, {"lpcwstr", m_lpwstr},
    {"lpvoid", m_pointer}, {"lptr", m_pointer},
    {"handle", m_handle}, {"hbitmap", m_handle}, {"hbrush", m_handle}, {"hcursor", m_handle},
    {"hdesk", m_handle}, {"hfile", m_handle}, {"hfont", m_handle}, {"hglobal", m_handle}, {"hicon", m_handle},
    {"hinstance", m_handle}, {"hkey", m_handle}, {"hmenu", m_handle}, {"hmodule", m_handle},
    {"hmonitor", m_handle}, {"hpen", m_handle}, {"hrgn", m_handle}, {"hwnd", m_handle}};

bool is_space(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }
bool is_member_separator(char ch) { return is_space(ch) || ch == ';'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

int member_type(std::string_view word) {
  word = trim(word);
  if (!word.empty() && word.back() == '*') {
    std::string_view base = word;
    while (!base.empty() && base.back() == '*') base.remove_suffix(1);
    return member_type(base) >= 0 ? m_pointer : -1;
  }
  return lookup(word, kMemberWords);
}

std::string detail_text(std::string_view a, std::string_view b, bool bracketed) {
  char text[300];
  std::snprintf(text, sizeof text, bracketed ? "%.127s  [%.127s]" : "%.127s  %.127s",
                std::string(a).c_str(), std::string(b).c_str());
  return text;
}

}  // namespace

int param_type(std::string_view word) { return lookup(word, kParamWords); }
int return_type(std::string_view word) { return lookup(word, kReturnWords); }

std::uint16_t parse_callback_signature(std::string_view returnWord, std::string_view paramList, CallbackSignature& out) {
  out = CallbackSignature{};
  out.returnType = lookup(trim(returnWord), kCallbackReturns);
  if (out.returnType < 0) return errs::kCallbackBadReturnType;
  std::size_t i = 0;
  while (i < paramList.size()) {
    while (i < paramList.size() && is_space(paramList[i])) ++i;
    std::size_t start = i;
    while (i < paramList.size() && !is_space(paramList[i])) ++i;
    if (start == i) break;
    const int code = lookup(paramList.substr(start, i - start), kCallbackParams);
    if (code < 0 || out.params.size() == kMaxCallbackParams) return errs::kCallbackBadParamType;
    out.params.push_back(code);
    out.stackBytes += 4 * stack_words(code);
  }
  return 0;
}

int member_size(int type) {
  switch (type) {
    case m_byte: case m_char: return 1;
    case m_wchar: case m_short: return 2;
    case m_int64: case m_double: return 8;
    default: return 4;
  }
}

std::uint16_t parse_struct_descriptor(std::string_view text, StructLayout& out, std::string& detail) {
  out = StructLayout{};
  detail.clear();
  std::size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  if (i == text.size() || text.find(':') == std::string_view::npos) return errs::kBadStructDescriptor;
  std::uint64_t running = 0;
  while (i < text.size()) {
    while (i < text.size() && is_member_separator(text[i])) ++i;
    if (i == text.size()) break;
    const std::size_t colon = text.find(':', i);
    if (colon == std::string_view::npos) {   // trailing words without a member
      detail = detail_text(trim(text.substr(i)), "", false);
      return errs::kBadStructDescriptor;
    }
    const std::string_view typeWord = trim(text.substr(i, colon - i));
    std::size_t j = colon + 1;
    const std::size_t nameStart = j;
    while (j < text.size() && !is_member_separator(text[j]) && text[j] != '[') ++j;
    const std::string_view name = text.substr(nameStart, j - nameStart);
    Member m;
    m.type = member_type(typeWord);
    if (m.type < 0 || name.empty() || name.find(':') != std::string_view::npos) {
      detail = detail_text(typeWord, name, false);
      return errs::kBadStructDescriptor;
    }
    m.name = std::string(name);
    const std::uint32_t element = static_cast<std::uint32_t>(member_size(m.type));
    if (j < text.size() && text[j] == '[') {
      const std::size_t close = text.find(']', j);
      const std::string_view count = text.substr(j + 1, close == std::string_view::npos ? 0 : close - j - 1);
      if (close == std::string_view::npos || count.size() > 31) {
        detail = detail_text(name, count, true);
        return errs::kBadStructDescriptor;
      }
      std::uint64_t n = 0;
      for (char ch : count) {
        if (ch < '0' || ch > '9') return errs::kArrayDimensionsNotNumeric;
        n = n * 10 + static_cast<unsigned>(ch - '0');
        if (n > kMaxStructSize) break;
      }
      if (count.empty()) return errs::kArrayDimensionsNotNumeric;
      if (n == 0 || n * element > kMaxStructSize) {
        detail = detail_text(name, count, true);
        return errs::kBadStructDescriptor;
      }
      m.count = static_cast<std::uint32_t>(n);
      m.isArray = true;
      j = close + 1;
    }
    running = (running + element - 1) / element * element;
    const std::uint64_t end = running + std::uint64_t{m.count} * element;
    if (end > kMaxStructSize) {
      detail = detail_text(typeWord, name, false);
      return errs::kBadStructDescriptor;
    }
    m.offset = static_cast<std::uint32_t>(running);
    m.size = m.count * element;
    running = end;
    out.members.push_back(std::move(m));
    i = j;
  }
  out.size = static_cast<std::uint32_t>(running);
  return 0;
}

const Member* find_member(const StructLayout& layout, std::string_view name) {
  for (const Member& m : layout.members)
    if (same_word(m.name, name)) return &m;
  return nullptr;
}

}  // namespace orv::dll
