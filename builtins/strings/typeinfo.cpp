// StrTypeInfo(text, set): the system's character-type bits of the text's
// first character; set 1, 2 or 4 names the type set (classes, direction,
// script details).
#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/platform.h"
#include "platform/text_case.h"

namespace orv::strings {
namespace {

void type_info(Call& call) {
  const std::int32_t set = arg_int(call, 2);
  if (set != 1 && set != 2 && set != 4) { fail(call.c, errs::kBadFlags); return; }
  std::u16string units;
  if (call.wide) units = arg_text<char16_t>(call, 1);
  else if (!platform::ansi_to_utf16(arg_text<char>(call, 1), units)) { fail(call.c, errs::kFunctionFailed); return; }
  if (units.empty()) { fail(call.c, errs::kBadValue); return; }
  std::vector<std::uint16_t> types;
  if (!platform::string_type_info(std::u16string_view(units).substr(0, 1), static_cast<unsigned>(set), types) ||
      types.empty()) {
    fail(call.c, errs::kFunctionFailed);
    return;
  }
  make_int(call.result, types[0]);
}

}  // namespace

void register_typeinfo(HandlerTable& t) { t.add(kw::fn_strtypeinfo, type_info); }

}  // namespace orv::strings
