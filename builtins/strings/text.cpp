#include "builtins/strings/text.h"

#include <algorithm>
#include <cstring>

#include "engine/value_ops.h"
#include "platform/platform.h"
#include "platform/text_case.h"

namespace orv::strings {

std::size_t first_char_units(std::string_view s) {
  if (s.size() >= 2 && ansi_multibyte() && platform::is_dbcs_lead_byte(static_cast<unsigned char>(s[0]))) return 2;
  return s.empty() ? 0 : 1;
}

template <>
Text<char>::Text(std::string_view s) : s_(s) {
  if (!ansi_multibyte()) return;
  bool any = false;
  for (char ch : s)
    if (platform::is_dbcs_lead_byte(static_cast<unsigned char>(ch))) { any = true; break; }
  if (!any) return;
  starts_.reserve(s.size() + 1);
  for (std::size_t i = 0; i < s.size(); i += first_char_units(s.substr(i))) starts_.push_back(static_cast<std::uint32_t>(i));
  starts_.push_back(static_cast<std::uint32_t>(s.size()));
}

template <>
Text<char16_t>::Text(std::u16string_view s) : s_(s) {}

template <class Ch>
std::size_t Text<Ch>::index_at(std::size_t off) const {
  if (starts_.empty()) return off;
  auto it = std::upper_bound(starts_.begin(), starts_.end(), static_cast<std::uint32_t>(off));
  return static_cast<std::size_t>(it - starts_.begin()) - 1;
}

template <class Ch>
bool Text<Ch>::is_start(std::size_t off) const {
  if (starts_.empty()) return true;
  return std::binary_search(starts_.begin(), starts_.end(), static_cast<std::uint32_t>(off));
}

template class Text<char>;
template class Text<char16_t>;

Str<char> upper(std::string_view s) {
  std::string out(s);
  platform::upper_ansi(out);
  return out;
}
Str<char16_t> upper(std::u16string_view s) {
  std::u16string out(s);
  platform::upper_utf16(out);
  return out;
}
Str<char> lower(std::string_view s) {
  std::string out(s);
  platform::lower_ansi(out);
  return out;
}
Str<char16_t> lower(std::u16string_view s) {
  std::u16string out(s);
  platform::lower_utf16(out);
  return out;
}

std::u32string char_codes(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = first_char_units(s.substr(i));
    char32_t code = static_cast<unsigned char>(s[i]);
    if (n == 2) code = code << 8 | static_cast<unsigned char>(s[i + 1]);
    out.push_back(code);
    i += n;
  }
  return out;
}

std::u32string char_codes(std::u16string_view s) { return std::u32string(s.begin(), s.end()); }

template <>
Sv<char> arg_text<char>(const Call& call, int k) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  if (!(v.flags & vf::kStr)) return {};
  return str_view(call.c, v);
}

template <>
Sv<char16_t> arg_text<char16_t>(const Call& call, int k) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  if (!(v.flags & vf::kWide)) return {};
  return wstr_view(call.c, v);
}

bool set_result(Call& call, std::string_view text) {
  release_value(call.c, call.result);
  return make_string(call.c, call.result, text);
}

bool set_result(Call& call, std::u16string_view text) {
  release_value(call.c, call.result);
  return make_wstring(call.c, call.result, text);
}

bool set_joined_result(Call& call, std::initializer_list<std::string_view> pieces) {
  release_value(call.c, call.result);
  return make_joined_string(call.c, call.result, pieces);
}

bool set_joined_result(Call& call, std::initializer_list<std::u16string_view> pieces) {
  release_value(call.c, call.result);
  return make_joined_wstring(call.c, call.result, pieces);
}

}  // namespace orv::strings
