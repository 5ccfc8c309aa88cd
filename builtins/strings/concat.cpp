// StrCat: reads its own argument list and joins the texts once at the end.
#include <string>
#include <vector>

#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/sizes.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"

namespace orv::strings {
namespace {

constexpr int kMaxParts = 1024;

// One argument's text, kept in the width it came in.
struct Part {
  bool wide = false;
  std::string ansi;
  std::u16string units;
};

bool take_part(Context& c, Operand& v, Part& part) {
  if (v.flags & (vf::kWide | vf::kCom)) {
    if (!to_wide(c, v)) return false;
    part.wide = true;
    part.units = wstr_view(c, v);
    return true;
  }
  if (!to_string(c, v)) return false;
  part.ansi = str_view(c, v);
  return true;
}

void concat(Call& call) {
  Context& c = call.c;
  std::vector<Part> parts;
  get_token(c);
  if (failed(c)) return;
  bool anyWide = false;
  std::uint64_t units = 0;   // so far; a join that cannot fit stops before copying more
  TextBudget budget(c, 1);    // a lower bound while the result's width is open
  while (!is_keyword(c, id::kRParen)) {
    if (parts.size() == kMaxParts) { fail(c, errs::kStrCatSyntax); return; }
    Temp arg(c);
    if (!process_sub_expression(c, arg.op(), false, false)) return;
    Part part;
    if (!take_part(c, arg.op(), part)) return;
    anyWide |= part.wide;
    units += part.wide ? part.units.size() : part.ansi.size();
    if (!budget.allow(units)) return;
    parts.push_back(std::move(part));
    if (is_keyword(c, id::kRParen)) break;
    if (!is_keyword(c, id::kComma)) { fail(c, errs::kStrCatSyntax); return; }
    get_token(c);
    if (failed(c)) return;
  }
  if (!string_room(c, units, anyWide ? 2 : 1)) return;
  if (anyWide) {
    std::u16string out;
    for (Part& p : parts) {
      if (!p.wide && !platform::ansi_to_utf16(p.ansi, p.units)) { fail(c, errs::kNotConvertibleToUnicode); return; }
      out += p.units;
    }
    set_result(call, std::u16string_view(out));
    return;
  }
  std::size_t total = 0;
  for (const Part& p : parts) total += p.ansi.size();
  std::string out;
  out.reserve(total);
  for (const Part& p : parts) out += p.ansi;
  set_result(call, std::string_view(out));
}

}  // namespace

void register_concat(HandlerTable& t) { t.add(kw::fn_strcat, concat); }

}  // namespace orv::strings
