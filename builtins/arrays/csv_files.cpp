// ArrayFileGetCsv (a two-dimensional array from the CSV lines of a file) and
// ArrayFilePutCsv (CSV lines from a one- or two-dimensional array).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "builtins/arrays/array_args.h"
#include "builtins/arrays/array_groups.h"
#include "builtins/arrays/text_file.h"
#include "builtins/text/csv.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv::arrays {

bool csv_delimiter_arg(Call& call, int k, std::string& ansi, std::u16string& wide) {
  ansi.assign(1, ',');
  wide = u",";
  if (call.count < k) return true;
  const Value& v = arg(call, k);
  if (v.flags & vf::kWide) wide = wstr_view(call.c, v);
  else if (!platform::ansi_to_utf16(str_of(call.c, v), wide)) return fail(call.c, errs::kBadDelimiter);
  if (!text::csv_delimiter(std::u16string_view(wide))) return fail(call.c, errs::kBadDelimiter);
  if (!platform::utf16_to_ansi(wide, ansi) || !text::csv_delimiter(std::string_view(ansi))) return fail(call.c, errs::kBadDelimiter);
  return true;
}

bool csv_invalid_line(Context& c, std::size_t number) {
  char text[64];
  std::snprintf(text, sizeof text, "Invalid data found at or near line %u", static_cast<unsigned>(number));
  return fail(c, errs::kBadCsvLine, text);
}

namespace {

constexpr std::int32_t kKeepBlanks = 1;
constexpr std::int32_t kQuoteAll = 4;

// Fills the result from the lines of one width: a first pass validates and
// measures, a second stores; short rows are completed with empty texts.
template <class Ch>
void lines_to_array(Call& call, std::basic_string_view<Ch> text, std::basic_string_view<Ch> delim, bool keepBlanks,
                    std::int32_t extra) {
  Context& c = call.c;
  std::vector<text::Span> fields;
  std::uint64_t rows = 0;
  std::size_t columns = 1;
  const bool valid = for_each_line(text, [&](std::basic_string_view<Ch> line, std::size_t number) {
    if (!text::split_csv_line(line, delim, fields)) return csv_invalid_line(c, number);
    ++rows;
    columns = std::max(columns, fields.size());
    return true;
  });
  if (!valid) return;
  const std::uint64_t total = rows + static_cast<std::uint64_t>(extra < 0 ? 0 : extra);
  if (total > 0xFFFFFFFFu || columns > 0xFFFFFFFFu) { fail(c, errs::kBadArrayDimension); return; }
  NewArray made(c);
  if (!made.create({static_cast<std::uint32_t>(total), total ? static_cast<std::uint32_t>(columns) : 0, 0, 0, 0}))
    return;
  Value* els = made.elements();
  const bool stored = for_each_line(text, [&](std::basic_string_view<Ch> line, std::size_t number) {
    text::split_csv_line(line, delim, fields);
    Value* row = els + (number - 1) * columns;
    for (std::size_t k = 0; k < columns; ++k) {
      std::basic_string<Ch> field;
      if (k < fields.size()) field = text::csv_field(text::span_text(line, fields[k]), delim, keepBlanks);
      if (!store_text(c, row[k], std::basic_string_view<Ch>(field))) return false;
    }
    return true;
  });
  if (stored) made.to_result(call);
}

void array_file_get_csv(Call& call) {
  Context& c = call.c;
  std::string path;
  if (!path_arg(call, 1, path)) return;
  const std::int32_t flags = int_arg(call, 2, 0);
  if (flags & ~kKeepBlanks) { fail(c, errs::kBadFlags); return; }
  std::string delim;
  std::u16string wdelim;
  if (!csv_delimiter_arg(call, 3, delim, wdelim)) return;
  const std::int32_t extra = int_arg(call, 4, 0);
  FileText file;
  if (!read_text_file(c, path, file)) return;
  if (file.wide) lines_to_array<char16_t>(call, file.utf16, wdelim, flags & kKeepBlanks, extra);
  else lines_to_array<char>(call, file.ansi, delim, flags & kKeepBlanks, extra);
}

template <class Ch>
bool csv_lines(Context& c, const ArrayHeader& h, const Value* els, std::basic_string_view<Ch> delim, bool quoteAll,
               std::basic_string<Ch>& out) {
  const std::uint32_t columns = h.dims == 2 ? h.sizes[1] : 1;
  std::basic_string<Ch> field;
  for (std::uint32_t r = 0; r < h.sizes[0]; ++r) {
    for (std::uint32_t k = 0; k < columns; ++k) {
      if (k) out += delim;
      const Value& el = els[std::size_t{r} * columns + k];
      field.clear();
      if (is_assigned(el) && !element_text(c, el, field)) return false;
      text::append_csv_field(out, field, delim, quoteAll);
    }
    out += Ch('\r');
    out += Ch('\n');
  }
  return true;
}

void array_file_put_csv(Call& call) {
  Context& c = call.c;
  std::string path;
  if (!path_arg(call, 1, path)) return;
  ArrayHeader* h = shaped_array_arg(call, 2, 1, 2);
  if (!h) return;
  std::string delim;
  std::u16string wdelim;
  if (!csv_delimiter_arg(call, 3, delim, wdelim)) return;
  const std::int32_t flags = int_arg(call, 4, 0);
  if (flags & ~(kAppend | kUtf16 | kQuoteAll)) { fail(c, errs::kBadFlags); return; }
  const bool append = (flags & kAppend) != 0, quoteAll = (flags & kQuoteAll) != 0;
  const Value* els = elements_arg(call, 2);
  OutText text;
  text.wide = (flags & kUtf16) != 0;
  const bool made = text.wide ? csv_lines<char16_t>(c, *h, els, wdelim, quoteAll, text.utf16)
                              : csv_lines<char>(c, *h, els, delim, quoteAll, text.ansi);
  if (made && write_text_file(c, path, text, append)) make_int(call.result, 1);
}

}  // namespace

void register_csv_files(HandlerTable& t) {
  t.add(kw::fn_arrayfilegetcsv, array_file_get_csv);
  t.add(kw::fn_arrayfileputcsv, array_file_put_csv);
}

}  // namespace orv::arrays
