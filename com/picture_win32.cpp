// Picture objects from image files, for the picture properties of ActiveX
// controls: the file is read whole and handed to the system's picture loader
// (bitmaps, icons, metafiles, JPEG, GIF, ...).
#include "com/picture_win32.h"

#include <olectl.h>

#include "com/com_win32.h"
#include "engine/error_numbers.h"

namespace orv::com {

bool load_picture(Context& c, const std::wstring& file, Value& out) {
  if (!state_of(c).ready(c)) return false;
  const HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail(c, errs::kDialogBadBitmap, narrow(file));
  LARGE_INTEGER size{};
  const bool sized = GetFileSizeEx(h, &size) && size.QuadPart > 0 && size.QuadPart < 0x10000000;
  HGLOBAL block = sized ? GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size.QuadPart)) : nullptr;
  DWORD got = 0;
  bool read = false;
  if (block) {
    void* data = GlobalLock(block);
    read = data && ReadFile(h, data, static_cast<DWORD>(size.QuadPart), &got, nullptr) && got == size.QuadPart;
    GlobalUnlock(block);
  }
  CloseHandle(h);
  IStream* stream = nullptr;
  if (!read || FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
    if (block) GlobalFree(block);
    return fail(c, errs::kDialogBadBitmap, narrow(file));
  }
  IDispatch* picture = nullptr;
  const HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(got), FALSE, IID_IPictureDisp, reinterpret_cast<void**>(&picture));
  stream->Release();
  if (FAILED(hr) || !picture) return fail(c, errs::kDialogBadBitmap, narrow(file));
  ComObject* object = nullptr;
  try {
    object = state_of(c).adopt(picture, nullptr);
  } catch (...) {
    picture->Release();   // not adopted: still ours to let go
    throw;
  }
  make_object_value(c, out, object);
  return true;
}

}  // namespace orv::com
