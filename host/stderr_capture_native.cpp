#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "host/stderr_capture.h"

namespace orv::host {

StderrCapture::StderrCapture(const std::string& path) {
  std::fflush(stderr);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  saved_ = ::dup(2);
  ::dup2(fd, 2);
  file_ = fd;
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  if (saved_ >= 0) {
    ::dup2(static_cast<int>(saved_), 2);
    ::close(static_cast<int>(saved_));
  }
  if (file_ >= 0) ::close(static_cast<int>(file_));
}

}  // namespace orv::host
