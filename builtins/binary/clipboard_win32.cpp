// BinaryClipGet and BinaryClipPut: a buffer's bytes to and from the
// clipboard in any format. Text formats are cut at their terminator on the
// way in and get one on the way out, so other programs never read past them.
#include <windows.h>

#include <cstring>

#include "builtins/binary/binary_args.h"
#include "builtins/clipboard/clip_access_win32.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

std::uint16_t binary_clip_error(clip::ClipStatus s) {
  switch (s) {
    case clip::ClipStatus::cannot_open: return errs::kClipOpenFailed;
    case clip::ClipStatus::absent: return errs::kClipFormatAbsent;
    case clip::ClipStatus::no_data: return errs::kClipReadFailed;
    case clip::ClipStatus::no_memory: return errs::kClipNoMemory;
    case clip::ClipStatus::store_failed: return errs::kClipStoreFailed;
    default: return errs::kClipAccessFailed;
  }
}

void clip_get(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  std::vector<std::uint8_t> bytes;
  const auto status = clip::read_block(reinterpret_cast<HWND>(call.c.ownWindow), static_cast<UINT>(arg_int(call, 2)), bytes);
  if (status != clip::ClipStatus::ok) { fail(call.c, binary_clip_error(status)); return; }
  if (bytes.size() > static_cast<std::size_t>(b->size)) { fail(call.c, errs::kBinaryClipNoSpace); return; }
  if (!bytes.empty()) std::memcpy(b->data, bytes.data(), bytes.size());
  b->eod = static_cast<std::int32_t>(bytes.size());
  make_int(call.result, b->eod);
}

void clip_put(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  const auto status = clip::write_block(reinterpret_cast<HWND>(call.c.ownWindow), static_cast<UINT>(arg_int(call, 2)),
                                        b->data, static_cast<std::size_t>(b->eod));
  if (status != clip::ClipStatus::ok) { fail(call.c, binary_clip_error(status)); return; }
  make_int(call.result, b->eod);
}

}  // namespace

void register_clipboard(HandlerTable& t) {
  t.add(kw::fn_binaryclipget, clip_get);
  t.add(kw::fn_binaryclipput, clip_put);
}

}  // namespace orv::binary
