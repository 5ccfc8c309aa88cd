#include "builtins/arrays/logical_compare.h"

#include "platform/platform.h"

namespace orv::arrays {
namespace {

bool is_digit(char16_t ch) { return ch >= u'0' && ch <= u'9'; }

// Case folding of the Latin letters (ASCII and Latin-1), towards lower case
// so that punctuation between the two cases sorts before letters.
char16_t fold(char16_t ch) {
  if (ch >= u'A' && ch <= u'Z') return static_cast<char16_t>(ch + 32);
  if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7) return static_cast<char16_t>(ch + 32);
  return ch;
}

// The end of the digit run starting at i.
std::size_t run_end(std::u16string_view s, std::size_t i) {
  while (i < s.size() && is_digit(s[i])) ++i;
  return i;
}

std::size_t skip_zeros(std::u16string_view s, std::size_t i, std::size_t end) {
  while (i + 1 < end && s[i] == u'0') ++i;
  return i;
}

}  // namespace

int logical_compare_fallback(std::u16string_view a, std::u16string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (is_digit(a[i]) && is_digit(b[j])) {
      const std::size_t ea = run_end(a, i), eb = run_end(b, j);
      const std::size_t sa = skip_zeros(a, i, ea), sb = skip_zeros(b, j, eb);
      if (ea - sa != eb - sb) return ea - sa < eb - sb ? -1 : 1;
      const int digits = a.substr(sa, ea - sa).compare(b.substr(sb, eb - sb));
      if (digits != 0) return digits < 0 ? -1 : 1;
      i = ea;
      j = eb;
      continue;
    }
    const char16_t ca = fold(a[i]), cb = fold(b[j]);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

int logical_compare(std::u16string_view a, std::u16string_view b) {
  int result = 0;
  if (platform::compare_logical(a, b, result)) return result;
  return logical_compare_fallback(a, b);
}

}  // namespace orv::arrays
