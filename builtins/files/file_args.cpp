#include "builtins/files/file_args.h"

#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace orv::files {

std::u16string wide_arg(const Call& call, int k) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  if (v.flags & vf::kWide) return std::u16string(wstr_view(call.c, v));
  std::u16string out;
  if (v.flags & vf::kStr) platform::ansi_to_utf16(str_of(call.c, v), out);
  return out;
}

bool full_path(Context& c, const std::u16string& path, std::u16string& out) {
  if (!platform::files::full_path(path, out)) return fail(c, errs::kPathTooLong);
  return true;
}

bool os_fail(Context& c, std::uint16_t number, const char* call, std::uint32_t err) {
  return fail(c, number, std::string(call) + ": " + platform::files::error_text(err));
}

bool set_text(Call& call, std::u16string_view text) {
  if (call.wide) return make_wstring(call.c, call.result, text);
  std::string ansi;
  platform::utf16_to_ansi(text, ansi);
  return make_string(call.c, call.result, ansi);
}

bool set_text(Call& call, std::string_view ansi) {
  if (!call.wide) return make_string(call.c, call.result, ansi);
  std::u16string w;
  platform::ansi_to_utf16(ansi, w);
  return make_wstring(call.c, call.result, w);
}

std::u16string upper_ascii(std::u16string_view s) {
  std::u16string out(s);
  for (auto& ch : out)
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - 32);
  return out;
}

}  // namespace orv::files
