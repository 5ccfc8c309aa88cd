// Char2Num, Num2Char and the Chr functions: single characters by code, the
// code page of 8-bit text, and texts as hex digits. Texts are NUL-terminated,
// so a NUL character has no text form: Num2Char(0) is the empty text, and hex
// digits that spell a NUL are refused rather than cut short.
#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "builtins/text/hex.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/codepage.h"

namespace orv::strings {
namespace {

constexpr std::int32_t kWhichConversions = 0, kWhichConsole = 1;

// Char2Num in an 8-bit call: the first byte (the lead byte of a double-byte
// character), so that Num2Char gives back a one-byte text.
template <class Ch>
void char_to_num(Call& call) {
  const Sv<Ch> s = arg_text<Ch>(call, 1);
  if (s.empty()) return;
  if constexpr (sizeof(Ch) == 1) make_int(call.result, static_cast<unsigned char>(s[0]));
  else make_int(call.result, s[0]);
}

// 1-255 give an 8-bit text, 256-65535 a UTF-16 one: a call with only a number
// has no width of its own, so the code decides.
void num_to_char(Call& call) {
  const std::int32_t n = arg_int(call, 1);
  if (n < 0 || n > 0xFFFF) { fail(call.c, errs::kNum2CharOutOfRange); return; }
  if (n == 0) { set_result(call, std::string_view()); return; }
  if (n <= 0xFF) {
    const char byte = static_cast<char>(n);
    set_result(call, std::string_view(&byte, 1));
    return;
  }
  const char16_t unit = static_cast<char16_t>(n);
  set_result(call, std::u16string_view(&unit, 1));
}

unsigned conversion_code_page(const Context& c) {
  const unsigned cp = c.conversionCodePage;
  return cp ? cp : platform::ansi_code_page();
}

bool valid_which(Call& call, std::int32_t which) {
  return which == kWhichConversions || which == kWhichConsole || fail(call.c, errs::kCodePageBadWhich);
}

void get_code_page(Call& call) {
  const std::int32_t which = arg_int(call, 1);
  if (!valid_which(call, which)) return;
  const unsigned cp = which == kWhichConsole ? platform::console_code_page() : conversion_code_page(call.c);
  make_int(call.result, static_cast<std::int32_t>(cp));
}

void set_code_page(Call& call) {
  const std::int32_t which = arg_int(call, 1), wanted = arg_int(call, 2);
  if (!valid_which(call, which)) return;
  if (wanted <= 0 || !platform::code_page_available(static_cast<unsigned>(wanted))) { fail(call.c, errs::kCodePageUnavailable); return; }
  const auto cp = static_cast<unsigned>(wanted);
  if (which == kWhichConsole) {
    const unsigned previous = platform::console_code_page();
    if (!platform::set_console_code_page(cp)) { fail(call.c, errs::kConsoleCodePageFixed); return; }
    make_int(call.result, static_cast<std::int32_t>(previous));
    return;
  }
  make_int(call.result, static_cast<std::int32_t>(conversion_code_page(call.c)));
  call.c.conversionCodePage = cp;
}

void string_to_unicode(Call& call) {
  std::u16string wide;
  if (!platform::codepage_to_utf16(arg_text<char>(call, 1), call.c.conversionCodePage, wide)) {
    fail(call.c, errs::kTextNotInCodePage);
    return;
  }
  set_result(call, std::u16string_view(wide));
}

void unicode_to_string(Call& call) {
  std::string bytes;
  if (!platform::utf16_to_codepage(arg_text<char16_t>(call, 1), call.c.conversionCodePage, bytes)) {
    fail(call.c, errs::kTextNotInCodePage);
    return;
  }
  set_result(call, std::string_view(bytes));
}

bool hex_ok(Call& call, text::HexStatus status) {
  switch (status) {
    case text::HexStatus::ok: return true;
    case text::HexStatus::bad_digit: return fail(call.c, errs::kHexBadDigit);
    case text::HexStatus::incomplete: return fail(call.c, errs::kHexIncomplete);
  }
  return fail(call.c, errs::kHexBadDigit);
}

template <class Str>
bool no_nul(Call& call, const Str& s) {
  return s.find(typename Str::value_type{}) == Str::npos || fail(call.c, errs::kHexHasNul);
}

void string_to_hex(Call& call) { set_result(call, std::string_view(text::bytes_to_hex(arg_text<char>(call, 1)))); }
void unicode_to_hex(Call& call) { set_result(call, std::string_view(text::units_to_hex(arg_text<char16_t>(call, 1)))); }

void hex_to_string(Call& call) {
  std::string bytes;
  if (hex_ok(call, text::hex_to_bytes(arg_text<char>(call, 1), bytes)) && no_nul(call, bytes))
    set_result(call, std::string_view(bytes));
}

void hex_to_unicode(Call& call) {
  std::u16string units;
  if (hex_ok(call, text::hex_to_units(arg_text<char>(call, 1), units)) && no_nul(call, units))
    set_result(call, std::u16string_view(units));
}

}  // namespace

void register_chars(HandlerTable& t) {
  t.add(kw::fn_char2num, by_width<char_to_num<char>, char_to_num<char16_t>>);
  t.add(kw::fn_num2char, num_to_char);
  t.add(kw::fn_chrgetcodepage, get_code_page);
  t.add(kw::fn_chrsetcodepage, set_code_page);
  t.add(kw::fn_chrstringtounicode, string_to_unicode);
  t.add(kw::fn_chrunicodetostring, unicode_to_string);
  t.add(kw::fn_chrstringtohex, string_to_hex);
  t.add(kw::fn_chrhextostring, hex_to_string);
  t.add(kw::fn_chrunicodetohex, unicode_to_hex);
  t.add(kw::fn_chrhextounicode, hex_to_unicode);
}

}  // namespace orv::strings
