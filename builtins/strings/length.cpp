// StrLen / StrCharCount (characters) and StrByteCount (bytes in a given form).
#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::strings {
namespace {

template <class Ch>
std::int32_t chars_of(Sv<Ch> text) {
  // Without double-byte characters every unit is one: no positions needed.
  if (sizeof(Ch) == 2 || !ansi_multibyte()) return static_cast<std::int32_t>(text.size());
  return static_cast<std::int32_t>(Text<Ch>(text).chars());
}

template <class Ch>
void char_count(Call& call) {
  make_int(call.result, chars_of<Ch>(arg_text<Ch>(call, 1)));
}

// The same on an 8-bit text in hand (compiled calls).
bool char_count_straight(std::string_view text, std::int32_t& out) {
  out = chars_of<char>(text);
  return true;
}

void byte_count(Call& call) {
  const std::int32_t form = arg_int(call, 2);
  std::size_t bytes = 0;
  if (form == -1) {
    bytes = call.wide ? 2 * arg_text<char16_t>(call, 1).size() : arg_text<char>(call, 1).size();
  } else if (form == 0) {
    if (call.wide) {
      std::string ansi;
      if (!platform::utf16_to_ansi(arg_text<char16_t>(call, 1), ansi)) { fail(call.c, errs::kNotConvertibleToString); return; }
      bytes = ansi.size();
    } else {
      bytes = arg_text<char>(call, 1).size();
    }
  } else if (form == 1) {
    if (call.wide) {
      bytes = 2 * arg_text<char16_t>(call, 1).size();
    } else {
      std::u16string units;
      if (!platform::ansi_to_utf16(arg_text<char>(call, 1), units)) { fail(call.c, errs::kNotConvertibleToUnicode); return; }
      bytes = 2 * units.size();
    }
  } else {
    fail(call.c, errs::kBadRequest);
    return;
  }
  make_int(call.result, static_cast<std::int32_t>(bytes));
}

}  // namespace

void register_length(HandlerTable& t) {
  t.add(kw::fn_strlen, by_width<char_count<char>, char_count<char16_t>>);
  t.add(kw::fn_strcharcount, by_width<char_count<char>, char_count<char16_t>>);
  for (int id : {kw::fn_strlen, kw::fn_strcharcount}) t.byIdTextCount[static_cast<std::size_t>(id)] = char_count_straight;
  t.add(kw::fn_strbytecount, byte_count);
}

}  // namespace orv::strings
