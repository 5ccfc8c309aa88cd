// The text of string arguments in either width, with character positions.
// ANSI text steps over double-byte characters as one character; UTF-16 text
// has one character per unit. Handlers are templates over the unit type and
// are picked by the call's width.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/dispatch.h"
#include "builtins/strings/unit_search.h"
#include "builtins/text/units.h"

namespace orv::strings {

template <class Ch> using Sv = std::basic_string_view<Ch>;
template <class Ch> using Str = std::basic_string<Ch>;

// True when the ANSI code page has double-byte characters.
inline bool ansi_multibyte() { return text::code_page_has_lead_bytes(); }

// Character positions of a text. For single-unit text no table is built, so
// positions cost nothing; ANSI text with lead bytes keeps one start offset
// per character.
template <class Ch>
class Text {
 public:
  explicit Text(Sv<Ch> s);
  Sv<Ch> view() const { return s_; }
  std::size_t chars() const { return starts_.empty() ? s_.size() : starts_.size() - 1; }
  // Unit offset of 0-based character k (k == chars() gives the end).
  std::size_t offset(std::size_t k) const { return starts_.empty() ? k : starts_[k]; }
  // 0-based character that starts at unit offset off, or the one containing it.
  std::size_t index_at(std::size_t off) const;
  bool is_start(std::size_t off) const;
  // Characters [k, k + n) as units.
  Sv<Ch> chars_sub(std::size_t k, std::size_t n) const { return s_.substr(offset(k), offset(k + n) - offset(k)); }
  Sv<Ch> char_at(std::size_t k) const { return chars_sub(k, 1); }

 private:
  Sv<Ch> s_;
  std::vector<std::uint32_t> starts_;
};

// Units of the first character of s (1, or 2 for a double-byte ANSI character).
std::size_t first_char_units(std::string_view s);
inline std::size_t first_char_units(std::u16string_view) { return 1; }

// Case mapping; the length never changes.
Str<char> upper(std::string_view s);
Str<char16_t> upper(std::u16string_view s);
Str<char> lower(std::string_view s);
Str<char16_t> lower(std::u16string_view s);

// The unit offset of the first occurrence of sub at or after character
// boundary `from` that starts on a character boundary; npos when none.
template <class Ch>
std::size_t find_from(const Text<Ch>& t, Sv<Ch> sub, std::size_t from) {
  for (;;) {
    const std::size_t at = find_units(t.view(), sub, from);
    if (at == Sv<Ch>::npos || t.is_start(at)) return at;
    from = at + 1;
  }
}

// One code per character (a double-byte ANSI character is lead * 256 + trail),
// for routines that treat every character alike.
std::u32string char_codes(std::string_view s);
std::u32string char_codes(std::u16string_view s);

// ---- Arguments and results ----

// Argument k as text of the call's width (its ANSI or UTF-16 form).
template <class Ch> Sv<Ch> arg_text(const Call& call, int k);
template <> Sv<char> arg_text<char>(const Call& call, int k);
template <> Sv<char16_t> arg_text<char16_t>(const Call& call, int k);
inline std::int32_t arg_int(const Call& call, int k) { return call.args[static_cast<std::size_t>(k)].i; }
inline bool has_arg(const Call& call, int k) { return call.count >= k; }

// Stores a string result of the given width; false with 3096 when the heap is full.
bool set_result(Call& call, std::string_view text);
bool set_result(Call& call, std::u16string_view text);
// Stores the pieces joined as the result, built in place in the heap.
bool set_joined_result(Call& call, std::initializer_list<std::string_view> pieces);
bool set_joined_result(Call& call, std::initializer_list<std::u16string_view> pieces);

// Runs the ANSI or the UTF-16 form of a handler by the call's width.
template <void (*Ansi)(Call&), void (*Wide)(Call&)>
void by_width(Call& call) {
  if (call.wide) Wide(call);
  else Ansi(call);
}

}  // namespace orv::strings
