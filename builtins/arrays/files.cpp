// ArrayFileGet (one element per line of a text file) and ArrayFilePut (one
// line per element).
#include <cstdio>
#include <string>

#include "builtins/arrays/array_args.h"
#include "builtins/arrays/array_groups.h"
#include "builtins/arrays/text_file.h"
#include "builtins/text/units.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv::arrays {
namespace {

// Lines longer than this (in bytes of the stored ANSI text) are refused.
constexpr std::size_t kMaxLine = 32767;

// The replacement for NUL bytes: empty (NUL refused) or one character.
bool null_char_arg(Call& call, std::string& out) {
  out.clear();
  if (call.count < 2) return true;
  const Value& v = arg(call, 2);
  if (v.flags & vf::kWide) {
    const std::u16string_view w = wstr_view(call.c, v);
    if (w.size() > 1) return fail(call.c, errs::kBadNullChar);
    if (!platform::utf16_to_ansi(w, out)) return fail(call.c, errs::kBadNullChar);
    return true;
  }
  out = str_of(call.c, v);
  if (out.size() > 1 && text::char_units(out, 0) != out.size()) return fail(call.c, errs::kBadNullChar);
  return true;
}

bool line_too_long(Context& c, std::size_t number) {
  char text[64];
  std::snprintf(text, sizeof text, "Invalid data found at or near line %u", static_cast<unsigned>(number));
  return fail(c, errs::kFileReadLineTooLong, text);
}

void array_file_get(Call& call) {
  Context& c = call.c;
  std::string path, nullChar;
  if (!path_arg(call, 1, path) || !null_char_arg(call, nullChar)) return;
  const std::int32_t extra = int_arg(call, 3, 0);
  FileText file;
  if (!read_text_file(c, path, file)) return;
  if (file.wide && !platform::utf16_to_ansi(file.utf16, file.ansi)) { fail(c, errs::kFileReadError); return; }
  const std::string_view text = file.ansi;
  if (nullChar.empty() && text.find('\0') != std::string_view::npos) { fail(c, errs::kFileHasNul); return; }
  std::uint64_t lines = 0;
  const bool fits = for_each_line(text, [&](std::string_view line, std::size_t number) {
    ++lines;
    return line.size() <= kMaxLine || line_too_long(c, number);
  });
  if (!fits) return;
  const std::uint64_t total = lines + static_cast<std::uint64_t>(extra < 0 ? 0 : extra);
  if (total > 0xFFFFFFFFu) { fail(c, errs::kBadArrayDimension); return; }
  NewArray made(c);
  if (!made.create({static_cast<std::uint32_t>(total), 0, 0, 0, 0})) return;
  Value* els = made.elements();
  std::string cleaned;
  const bool stored = for_each_line(text, [&](std::string_view line, std::size_t number) {
    if (line.find('\0') != std::string_view::npos) {
      cleaned.clear();
      for (char ch : line) {
        if (ch == '\0') cleaned += nullChar;
        else cleaned += ch;
      }
      line = cleaned;
    }
    return make_string(c, els[number - 1], line);
  });
  if (stored) made.to_result(call);
}

// One element's line; an uninitialised element is an empty line.
bool element_line(Context& c, const Value& el, OutText& out) {
  if (!is_assigned(el)) return true;
  if (out.wide) {
    std::u16string w;
    if (!element_text(c, el, w)) return false;
    out.utf16 += w;
    return true;
  }
  std::string t;
  if (!element_text(c, el, t)) return false;
  out.ansi += t;
  return true;
}

void array_file_put(Call& call) {
  Context& c = call.c;
  std::string path;
  if (!path_arg(call, 1, path)) return;
  ArrayHeader* h = shaped_array_arg(call, 2, 1, kMaxDimensions);
  if (!h) return;
  const std::int32_t mode = int_arg(call, 3, 0);
  if (mode & ~(kAppend | kUtf16)) { fail(c, errs::kBadFlags); return; }
  const Value* els = elements_arg(call, 2);
  OutText text;
  text.wide = (mode & kUtf16) != 0;
  for (std::uint32_t i = 0; i < h->count; ++i) {
    if (!element_line(c, els[i], text)) return;
    text.append("\r\n", u"\r\n");
  }
  if (write_text_file(c, path, text, (mode & kAppend) != 0)) make_int(call.result, 1);
}

}  // namespace

void register_files(HandlerTable& t) {
  t.add(kw::fn_arrayfileget, array_file_get);
  t.add(kw::fn_arrayfileput, array_file_put);
}

}  // namespace orv::arrays
