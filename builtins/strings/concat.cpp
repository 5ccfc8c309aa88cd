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

// The arguments' texts, joined once all are read: from the line, or from a
// compiled call (whose list is known to be well formed).
void concat(Call& call) {
  Context& c = call.c;
  std::vector<Part> parts;
  bool anyWide = false;
  std::uint64_t units = 0;   // so far; a join that cannot fit stops before copying more
  TextBudget budget(c, 1);    // a lower bound while the result's width is open
  // (Past the most parts the next argument is not evaluated.)
  auto room = [&] { return parts.size() < kMaxParts || fail(c, errs::kStrCatSyntax); };
  auto add = [&](Operand& arg) {
    Part part;
    if (!take_part(c, arg, part)) return false;
    anyWide |= part.wide;
    units += part.wide ? part.units.size() : part.ansi.size();
    if (!budget.allow(units)) return false;
    parts.push_back(std::move(part));
    return true;
  };
  if (CompiledArguments* compiled = call.compiled) {
    for (int k = 1; k <= compiled->count(); ++k) {
      Temp arg(c);
      if (!room() || !compiled->evaluate(k, arg.op()) || !add(arg.op())) return;
    }
  } else {
    get_token(c);
    if (failed(c)) return;
    while (!is_keyword(c, id::kRParen)) {
      Temp arg(c);
      if (!room() || !process_sub_expression(c, arg.op(), false, false) || !add(arg.op())) return;
      if (is_keyword(c, id::kRParen)) break;
      if (!is_keyword(c, id::kComma)) { fail(c, errs::kStrCatSyntax); return; }
      get_token(c);
      if (failed(c)) return;
    }
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

void register_concat(HandlerTable& t) {
  t.add(kw::fn_strcat, concat);
  t.takesCompiledArguments[static_cast<std::size_t>(kw::fn_strcat)] = true;
}

}  // namespace orv::strings
