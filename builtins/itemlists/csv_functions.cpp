// ItemCountCsv(line, flags [, delimiter]) and
// ItemExtractCsv(index, line, flags [, delimiter]); flags bit 0 keeps the
// blanks around an extracted field.
#include "builtins/itemlists/itemlists_groups.h"
#include "builtins/itemlists/list_args.h"
#include "builtins/text/csv.h"
#include "engine/error_numbers.h"
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
constexpr Errors kCountErrors{errs::kCsvCountBadLine, errs::kCsvCountBadDelimiter};
constexpr Errors kExtractErrors{errs::kCsvExtractBadLine, errs::kCsvExtractBadDelimiter};

// The delimiter: "," when omitted; exactly one allowed character.
template <class Ch>
bool csv_delimiter(Call& call, int k, std::uint16_t error, Sv<Ch>& delim) {
  static constexpr Ch kComma[] = {Ch(','), Ch(0)};
  delim = kComma;
  if (!has_arg(call, k)) return true;
  delim = arg_text<Ch>(call, k);
  if (!text::csv_delimiter(delim)) return fail(call.c, error);
  return true;
}

template <class Ch>
void count_csv(Call& call) {
  Sv<Ch> delim;
  if (!csv_delimiter<Ch>(call, 3, kCountErrors.delimiter, delim)) return;
  std::vector<text::Span> fields;
  if (!text::split_csv_line(arg_text<Ch>(call, 1), delim, fields)) { fail(call.c, kCountErrors.line); return; }
  make_int(call.result, static_cast<std::int32_t>(fields.size()));
}

template <class Ch>
void extract_csv(Call& call) {
  Sv<Ch> delim;
  if (!csv_delimiter<Ch>(call, 4, kExtractErrors.delimiter, delim)) return;
  const Sv<Ch> line = arg_text<Ch>(call, 2);
  std::vector<text::Span> fields;
  if (!text::split_csv_line(line, delim, fields)) { fail(call.c, kExtractErrors.line); return; }
  const auto k = text::resolve_index(arg_int(call, 1), fields.size());
  const bool keepBlanks = (arg_int(call, 3) & 1) != 0;
  const Str<Ch> v = k ? text::csv_field(text::span_text(line, fields[*k]), delim, keepBlanks) : Str<Ch>();
  set_result(call, Sv<Ch>(v));
}

}  // namespace

void register_csv(HandlerTable& t) {
  t.add(kw::fn_itemcountcsv, by_width<count_csv<char>, count_csv<char16_t>>);
  t.add(kw::fn_itemextractcsv, by_width<extract_csv<char>, extract_csv<char16_t>>);
}

}  // namespace orv::items
