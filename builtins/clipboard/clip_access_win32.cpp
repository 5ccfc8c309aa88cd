#include "builtins/clipboard/clip_access_win32.h"

#include <cstring>

namespace orv::clip {

bool object_format(UINT format) {
  return format == CF_BITMAP || format == CF_PALETTE || format == CF_ENHMETAFILE || format == CF_DSPBITMAP ||
         format == CF_DSPENHMETAFILE;
}

std::size_t terminator_bytes(UINT format) {
  if (format == CF_UNICODETEXT) return 2;
  return format == CF_TEXT || format == CF_OEMTEXT ? 1 : 0;
}

std::size_t content_bytes(UINT format, const std::uint8_t* p, std::size_t size) {
  const std::size_t unit = terminator_bytes(format);
  if (!unit) return size;
  std::size_t n = 0;
  while (n + unit <= size) {
    bool zero = true;
    for (std::size_t k = 0; k < unit; ++k) zero = zero && p[n + k] == 0;
    if (zero) break;
    n += unit;
  }
  return n;
}

OpenClipboardGuard::OpenClipboardGuard(HWND owner) {
  for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
    open_ = OpenClipboard(owner) != FALSE;
    if (!open_) Sleep(20);
  }
}

ClipStatus read_block(HWND owner, UINT format, std::vector<std::uint8_t>& out) {
  out.clear();
  OpenClipboardGuard clipboard(owner);
  if (!clipboard) return ClipStatus::cannot_open;
  if (!IsClipboardFormatAvailable(format)) return ClipStatus::absent;
  if (object_format(format)) return ClipStatus::not_a_block;
  HANDLE data = GetClipboardData(format);
  if (!data) return ClipStatus::no_data;
  const SIZE_T size = GlobalSize(data);
  const auto* p = static_cast<const std::uint8_t*>(GlobalLock(data));
  if (!p) return ClipStatus::unreadable;
  const std::size_t n = content_bytes(format, p, size);
  ClipStatus status = ClipStatus::ok;
  try {
    out.assign(p, p + n);
  } catch (const std::bad_alloc&) {
    status = ClipStatus::no_memory;
  }
  GlobalUnlock(data);
  return status;
}

ClipStatus write_block(HWND owner, UINT format, const void* data, std::size_t size) {
  const std::size_t total = size + terminator_bytes(format);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, total > 0 ? total : 1);
  if (!block) return ClipStatus::no_memory;
  void* p = GlobalLock(block);
  if (!p) {
    GlobalFree(block);
    return ClipStatus::no_memory;
  }
  if (size) std::memcpy(p, data, size);   // the terminator is already zero
  GlobalUnlock(block);
  OpenClipboardGuard clipboard(owner);
  if (!clipboard) {
    GlobalFree(block);
    return ClipStatus::cannot_open;
  }
  EmptyClipboard();
  if (!SetClipboardData(format, block)) {   // on success the clipboard owns the block
    GlobalFree(block);
    return ClipStatus::store_failed;
  }
  return ClipStatus::ok;
}

}  // namespace orv::clip

namespace orv::clip {

ClipStatus write_object(HWND owner, UINT format, HANDLE object) {
  OpenClipboardGuard clipboard(owner);
  if (!clipboard) return ClipStatus::cannot_open;
  EmptyClipboard();
  return SetClipboardData(format, object) ? ClipStatus::ok : ClipStatus::store_failed;
}

}  // namespace orv::clip
