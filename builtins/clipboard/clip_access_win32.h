// The clipboard as whole blocks of one format, shared by the clipboard family
// and the binary-buffer clipboard functions: open it briefly (another program
// may hold it for a moment), copy a block out, or replace the content.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orv::clip {

enum class ClipStatus { ok, cannot_open, absent, not_a_block, no_data, unreadable, no_memory, store_failed };

// Formats whose data is a system object, not a memory block: no bytes to copy.
bool object_format(UINT format);
// Bytes in the terminator of a text format (0 for other formats).
std::size_t terminator_bytes(UINT format);
// Bytes of a text block up to its terminator; the whole block for other formats.
std::size_t content_bytes(UINT format, const std::uint8_t* p, std::size_t size);

// Open for the length of one step; opening is tried a few times.
class OpenClipboardGuard {
 public:
  explicit OpenClipboardGuard(HWND owner);
  ~OpenClipboardGuard() { if (open_) CloseClipboard(); }
  OpenClipboardGuard(const OpenClipboardGuard&) = delete;
  OpenClipboardGuard& operator=(const OpenClipboardGuard&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

// The block of one format, cut at a text format's terminator.
ClipStatus read_block(HWND owner, UINT format, std::vector<std::uint8_t>& out);
// Empties the clipboard and puts the bytes in one format (a text format gets
// its terminator).
ClipStatus write_block(HWND owner, UINT format, const void* data, std::size_t size);

}  // namespace orv::clip

namespace orv::clip {
// Empties the clipboard and hands it a system object (a bitmap): on success
// the clipboard owns it, else the caller still does.
ClipStatus write_object(HWND owner, UINT format, HANDLE object);
}  // namespace orv::clip
