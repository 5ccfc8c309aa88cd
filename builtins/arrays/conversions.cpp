// Arrays to and from strings: ArrayFromStr, ArrayToStr, ArrayItemize and
// Arrayize.
#include <string>
#include <vector>

#include "builtins/arrays/array_args.h"
#include "builtins/arrays/array_groups.h"
#include "builtins/text/items.h"
#include "builtins/text/units.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/sizes.h"
#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv::arrays {
namespace {

std::string_view ansi_arg(Call& call, int k) { return str_of(call.c, arg(call, k)); }
std::u16string_view wide_arg(Call& call, int k) { return wstr_view(call.c, arg(call, k)); }

// Units of the character at i: a double-byte ANSI character, or a UTF-16
// surrogate pair, is one character.
std::size_t units_at(std::string_view s, std::size_t i) { return text::char_units(s, i); }
std::size_t units_at(std::u16string_view s, std::size_t i) {
  const bool pair = s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
  return pair ? 2 : 1;
}

template <class Ch>
void from_str(Call& call, std::basic_string_view<Ch> s) {
  std::uint32_t chars = 0;
  for (std::size_t i = 0; i < s.size(); i += units_at(s, i)) ++chars;
  NewArray made(call.c);
  if (!made.create({chars, 0, 0, 0, 0})) return;
  Value* els = made.elements();
  std::uint32_t k = 0;
  for (std::size_t i = 0; i < s.size(); ++k) {
    const std::size_t n = units_at(s, i);
    if (!store_text(call.c, els[k], s.substr(i, n))) return;
    i += n;
  }
  made.to_result(call);
}

// One element per character, each a string of the call's width.
void array_from_str(Call& call) {
  if (call.wide) from_str(call, wide_arg(call, 1));
  else from_str(call, ansi_arg(call, 1));
}

template <class Ch>
bool join(Context& c, const Value* els, std::uint32_t count, const std::basic_string<Ch>* delim,
          std::basic_string<Ch>& out) {
  std::basic_string<Ch> piece;
  TextBudget budget(c, sizeof(Ch));
  for (std::uint32_t i = 0; i < count; ++i) {
    if (delim && i) out += *delim;
    piece.clear();
    if (delim && !is_assigned(els[i])) continue;   // an item list keeps the empty place
    if (!element_text(c, els[i], piece) || !budget.allow(std::uint64_t{out.size()} + piece.size())) return false;
    out += piece;
  }
  return true;
}

// The elements' texts end to end; UTF-16 when any element is.
void array_to_str(Call& call) {
  Context& c = call.c;
  const ArrayHeader* h = shaped_array_arg(call, 1, 1, 1);
  if (!h) return;
  const Value* els = elements_arg(call, 1);
  bool wide = false;
  for (std::uint32_t i = 0; i < h->count && !wide; ++i) wide = (els[i].flags & vf::kWide) != 0;
  if (wide) {
    std::u16string out;
    if (join<char16_t>(c, els, h->count, nullptr, out)) store_text(c, call.result, out);
  } else {
    std::string out;
    if (join<char>(c, els, h->count, nullptr, out)) store_text(c, call.result, out);
  }
}

template <class Ch>
void itemize_list(Call& call, std::basic_string_view<Ch> list, std::basic_string_view<Ch> delimArg) {
  std::basic_string<Ch> delim;
  if (!text::item_delimiter(delimArg, delim)) { fail(call.c, errs::kBadDelimiterChar); return; }
  const auto items = text::split_items(list, std::basic_string_view<Ch>(delim));
  NewArray made(call.c);
  if (!made.create({static_cast<std::uint32_t>(items.size()), 0, 0, 0, 0})) return;
  Value* els = made.elements();
  for (std::size_t k = 0; k < items.size(); ++k)
    if (!store_text(call.c, els[k], text::span_text(list, items[k]))) return;
  made.to_result(call);
}

// One element per item of the list.
void arrayize(Call& call) {
  if (call.wide) itemize_list(call, wide_arg(call, 1), wide_arg(call, 2));
  else itemize_list(call, ansi_arg(call, 1), ansi_arg(call, 2));
}

// The elements as a UTF-16 item list; uninitialised elements are empty items.
void array_itemize(Call& call) {
  Context& c = call.c;
  if (!platform::is_nt_platform()) { fail(c, errs::kNotOnThisWindows); return; }
  const ArrayHeader* h = shaped_array_arg(call, 1, 1, 1);
  if (!h) return;
  std::u16string delim(1, text::kTab);
  if (call.count >= 2 && !text::item_delimiter(wide_arg(call, 2), delim)) { fail(c, errs::kBadDelimiterChar); return; }
  std::u16string out;
  if (join<char16_t>(c, elements_arg(call, 1), h->count, &delim, out)) store_text(c, call.result, out);
}

}  // namespace

void register_conversions(HandlerTable& t) {
  t.add(kw::fn_arrayfromstr, array_from_str);
  t.add(kw::fn_arraytostr, array_to_str);
  t.add(kw::fn_arrayize, arrayize);
  t.add(kw::fn_arrayitemize, array_itemize);
}

}  // namespace orv::arrays
