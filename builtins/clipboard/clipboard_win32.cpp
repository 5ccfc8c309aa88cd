// The clipboard family: text in and out, any format by number, a file list
// as an item list, and whether a format is there. Text goes to the clipboard
// in the width the script gave it (the system offers the other width to
// readers); text read back comes as 8-bit text when the ANSI code page holds
// every character, else as a UTF-16 string, so nothing is lost.
#include <windows.h>

#include <string>
#include <vector>

#include "builtins/clipboard/clip_access_win32.h"
#include "builtins/clipboard/file_list.h"
#include "builtins/families.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/codepage.h"
#include "platform/platform.h"

namespace orv {
namespace {

HWND clip_owner(const Call& call) { return reinterpret_cast<HWND>(call.c.ownWindow); }

std::uint16_t clip_error(clip::ClipStatus s) {
  switch (s) {
    case clip::ClipStatus::cannot_open: return errs::kClipboardBusy;
    case clip::ClipStatus::absent: return errs::kClipFormatAbsent;
    case clip::ClipStatus::not_a_block: return errs::kClipNotText;
    case clip::ClipStatus::no_memory: return errs::kOutOfMemory;
    case clip::ClipStatus::store_failed: return errs::kClipboardStoreFailed;
    default: return errs::kClipReadFailed;
  }
}

bool clip_format_arg(Call& call, int k, UINT& format) {
  const std::int32_t f = call.args[static_cast<std::size_t>(k)].i;
  if (f < 1 || f > 0xFFFF) return fail(call.c, errs::kClipBadFormatNumber);
  format = static_cast<UINT>(f);
  return true;
}

std::u16string clip_units(const std::vector<std::uint8_t>& bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return text;
}

// 8-bit text when the ANSI code page holds every character, else UTF-16.
void clip_text_result(Call& call, std::u16string_view text) {
  std::string ansi;
  std::u16string back;
  if (platform::utf16_to_ansi(text, ansi) && platform::ansi_to_utf16(ansi, back) && back == text)
    strings::set_result(call, std::string_view(ansi));
  else
    strings::set_result(call, text);
}

// The clipboard's text as UTF-16; empty when it holds none.
bool clip_read_text(Call& call, std::u16string& text) {
  std::vector<std::uint8_t> bytes;
  const auto status = clip::read_block(clip_owner(call), CF_UNICODETEXT, bytes);
  if (status == clip::ClipStatus::absent) return true;
  if (status != clip::ClipStatus::ok) return fail(call.c, clip_error(status));
  text = clip_units(bytes);
  return true;
}

bool clip_write_text(Call& call, std::u16string_view text) {
  const auto status = clip::write_block(clip_owner(call), CF_UNICODETEXT, text.data(), text.size() * 2);
  return status == clip::ClipStatus::ok || fail(call.c, clip_error(status));
}

void clip_get(Call& call) {
  std::u16string text;
  if (clip_read_text(call, text)) clip_text_result(call, text);
}

void clip_get_ex(Call& call) {
  UINT format = 0;
  if (!clip_format_arg(call, 1, format)) return;
  std::vector<std::uint8_t> bytes;
  const auto status = clip::read_block(clip_owner(call), format, bytes);
  if (status != clip::ClipStatus::ok) {
    fail(call.c, clip_error(status));
    return;
  }
  if (format == CF_UNICODETEXT) {
    const std::u16string text = clip_units(bytes);
    strings::set_result(call, text);
    return;
  }
  if (format == CF_HDROP) {
    const auto names = clip::decode_file_list(bytes.data(), bytes.size());
    if (!names) { fail(call.c, errs::kClipFileListDamaged); return; }
    std::u16string list;
    for (const std::u16string& name : *names) {
      if (!list.empty()) list.push_back(u'\t');
      list += name;
    }
    clip_text_result(call, list);
    return;
  }
  // Any other block is read as 8-bit text up to its first NUL (registered
  // text formats such as rich text or HTML are); OEM text in the ANSI set.
  std::string text(bytes.begin(), bytes.end());
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  if (format == CF_OEMTEXT) platform::oem_to_ansi(text);
  strings::set_result(call, std::string_view(text));
}

std::u16string clip_arg_text(const Call& call, int k) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  if (v.flags & vf::kWide) return std::u16string(wstr_view(call.c, v));
  std::u16string wide;
  if (v.flags & vf::kStr) platform::ansi_to_utf16(str_of(call.c, v), wide);
  return wide;
}

void clip_put(Call& call) {
  const Value& v = call.args[1];
  clip::ClipStatus status;
  if (v.flags & vf::kWide) {
    const std::u16string_view text = wstr_view(call.c, v);
    status = clip::write_block(clip_owner(call), CF_UNICODETEXT, text.data(), text.size() * 2);
  } else {
    const std::string_view text = (v.flags & vf::kStr) ? std::string_view(str_of(call.c, v)) : std::string_view();
    status = clip::write_block(clip_owner(call), CF_TEXT, text.data(), text.size());
  }
  if (status != clip::ClipStatus::ok) { fail(call.c, clip_error(status)); return; }
  make_int(call.result, 1);
}

void clip_append(Call& call) {
  std::u16string text;
  if (!clip_read_text(call, text)) return;
  text += clip_arg_text(call, 1);
  if (clip_write_text(call, text)) make_int(call.result, 1);
}

void clip_has_format(Call& call) {
  UINT format = 0;
  if (!clip_format_arg(call, 1, format)) return;
  make_int(call.result, IsClipboardFormatAvailable(format) ? 1 : 0);
}

}  // namespace

void register_clipboard_functions(HandlerTable& t) {
  t.add(kw::fn_clipget, clip_get);
  t.add(kw::fn_clipgetex, clip_get_ex);
  t.add(kw::fn_clipput, clip_put);
  t.add(kw::fn_clipappend, clip_append);
  t.add(kw::fn_cliphasformat, clip_has_format);
}

}  // namespace orv
