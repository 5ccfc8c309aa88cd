#include <windows.h>

#include "host/stderr_capture.h"

namespace orv::host {

// The library writes its reports to the standard-error handle it finds at the
// time of writing, so swapping the handle is enough.
StderrCapture::StderrCapture(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  saved_ = reinterpret_cast<std::intptr_t>(GetStdHandle(STD_ERROR_HANDLE));
  SetStdHandle(STD_ERROR_HANDLE, file);
  file_ = reinterpret_cast<std::intptr_t>(file);
}

StderrCapture::~StderrCapture() {
  if (file_ == -1) return;
  SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(saved_));
  CloseHandle(reinterpret_cast<HANDLE>(file_));
}

}  // namespace orv::host
