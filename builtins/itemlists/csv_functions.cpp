// ItemCountCsv(line, flags [, delimiter]) and
// ItemExtractCsv(index, line, flags [, delimiter]); flags bit 0 keeps the
// blanks around an extracted field.
#include "builtins/itemlists/csv.h"
#include "builtins/itemlists/items.h"
#include "builtins/itemlists/itemlists_groups.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::items {
namespace {

using strings::arg_int;
using strings::arg_text;
using strings::by_width;
using strings::has_arg;
using strings::set_result;

struct Errors {
  std::uint16_t line, delimiter;
};
constexpr Errors kCountErrors{1706, 1712};
constexpr Errors kExtractErrors{1707, 1713};

// The delimiter code: "," when omitted; exactly one allowed character.
template <class Ch>
bool csv_delimiter(Call& call, int k, std::uint16_t error, char32_t& delim) {
  delim = U',';
  if (!has_arg(call, k)) return true;
  const std::u32string d = strings::char_codes(arg_text<Ch>(call, k));
  if (d.size() != 1 || !csv::valid_delimiter(d[0])) return fail(call.c, error);
  delim = d[0];
  return true;
}

template <class Ch>
Str<Ch> from_codes(std::u32string_view codes) {
  Str<Ch> out;
  out.reserve(codes.size());
  for (char32_t code : codes) {
    if (sizeof(Ch) == 1 && code > 0xFF) out.push_back(static_cast<Ch>(code >> 8));
    out.push_back(static_cast<Ch>(code));
  }
  return out;
}

template <class Ch>
void count_csv(Call& call) {
  char32_t delim = 0;
  if (!csv_delimiter<Ch>(call, 3, kCountErrors.delimiter, delim)) return;
  const auto fields = csv::split(strings::char_codes(arg_text<Ch>(call, 1)), delim);
  if (!fields) { fail(call.c, kCountErrors.line); return; }
  make_int(call.result, static_cast<std::int32_t>(fields->size()));
}

template <class Ch>
void extract_csv(Call& call) {
  char32_t delim = 0;
  if (!csv_delimiter<Ch>(call, 4, kExtractErrors.delimiter, delim)) return;
  const std::u32string line = strings::char_codes(arg_text<Ch>(call, 2));
  const auto fields = csv::split(line, delim);
  if (!fields) { fail(call.c, kExtractErrors.line); return; }
  const auto k = resolve_index(arg_int(call, 1), fields->size());
  const bool keepBlanks = (arg_int(call, 3) & 1) != 0;
  const std::u32string v = k ? csv::value(line, (*fields)[*k], delim, keepBlanks) : std::u32string();
  set_result(call, Sv<Ch>(from_codes<Ch>(v)));
}

}  // namespace

void register_csv(HandlerTable& t) {
  t.add(kw::fn_itemcountcsv, by_width<count_csv<char>, count_csv<char16_t>>);
  t.add(kw::fn_itemextractcsv, by_width<extract_csv<char>, extract_csv<char16_t>>);
}

}  // namespace orv::items
