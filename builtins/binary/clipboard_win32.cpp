// BinaryClipGet and BinaryClipPut: a buffer's bytes to and from the
// clipboard in any format. Text formats are cut at their terminator on the
// way in and get one on the way out, so other programs never read past them.
#include <windows.h>

#include <cstring>

#include "builtins/binary/binary_args.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

bool text_format(UINT format) { return format == CF_TEXT || format == CF_OEMTEXT || format == CF_UNICODETEXT; }

// Formats whose data is a GDI object, not a memory block: no bytes to copy.
bool gdi_format(UINT format) {
  return format == CF_BITMAP || format == CF_PALETTE || format == CF_ENHMETAFILE || format == CF_DSPBITMAP ||
         format == CF_DSPENHMETAFILE;
}

// Open for the length of one call; another program may hold the clipboard
// for a moment, so opening is tried a few times.
class OpenClipboardGuard {
 public:
  explicit OpenClipboardGuard(HWND owner) {
    for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
      open_ = OpenClipboard(owner) != FALSE;
      if (!open_) Sleep(20);
    }
  }
  ~OpenClipboardGuard() { if (open_) CloseClipboard(); }
  OpenClipboardGuard(const OpenClipboardGuard&) = delete;
  OpenClipboardGuard& operator=(const OpenClipboardGuard&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

// The number of bytes of a text block up to its terminator (units of `unit` bytes).
std::size_t text_length(const std::uint8_t* p, std::size_t size, std::size_t unit) {
  std::size_t n = 0;
  while (n + unit <= size) {
    bool zero = true;
    for (std::size_t k = 0; k < unit; ++k) zero = zero && p[n + k] == 0;
    if (zero) break;
    n += unit;
  }
  return n;
}

void clip_get(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  const UINT format = static_cast<UINT>(arg_int(call, 2));
  OpenClipboardGuard clipboard(reinterpret_cast<HWND>(call.c.ownWindow));
  if (!clipboard) { fail(call.c, 1559); return; }
  if (!IsClipboardFormatAvailable(format)) { fail(call.c, 1560); return; }
  if (gdi_format(format)) { fail(call.c, 1562); return; }
  HANDLE data = GetClipboardData(format);
  if (!data) { fail(call.c, 1561); return; }
  const SIZE_T blockSize = GlobalSize(data);
  const auto* p = static_cast<const std::uint8_t*>(GlobalLock(data));
  if (!p) { fail(call.c, 1562); return; }
  std::size_t n = blockSize;
  if (format == CF_UNICODETEXT) n = text_length(p, blockSize, 2);
  else if (text_format(format)) n = text_length(p, blockSize, 1);
  if (n > static_cast<std::size_t>(b->size)) {
    GlobalUnlock(data);
    fail(call.c, 1563);
    return;
  }
  if (n) std::memcpy(b->data, p, n);
  GlobalUnlock(data);
  b->eod = static_cast<std::int32_t>(n);
  make_int(call.result, b->eod);
}

void clip_put(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  const UINT format = static_cast<UINT>(arg_int(call, 2));
  const std::size_t n = static_cast<std::size_t>(b->eod);
  const std::size_t terminator = format == CF_UNICODETEXT ? 2 : text_format(format) ? 1 : 0;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n + terminator > 0 ? n + terminator : 1);
  if (!block) { fail(call.c, 1564); return; }
  void* p = GlobalLock(block);
  if (!p) {
    GlobalFree(block);
    fail(call.c, 1564);
    return;
  }
  if (n) std::memcpy(p, b->data, n);   // the terminator is already zero
  GlobalUnlock(block);
  OpenClipboardGuard clipboard(reinterpret_cast<HWND>(call.c.ownWindow));
  if (!clipboard) {
    GlobalFree(block);
    fail(call.c, 1559);
    return;
  }
  EmptyClipboard();
  if (!SetClipboardData(format, block)) {   // on success the clipboard owns the block
    GlobalFree(block);
    fail(call.c, 1565);
    return;
  }
  make_int(call.result, b->eod);
}

}  // namespace

void register_clipboard(HandlerTable& t) {
  t.add(kw::fn_binaryclipget, clip_get);
  t.add(kw::fn_binaryclipput, clip_put);
}

}  // namespace orv::binary
