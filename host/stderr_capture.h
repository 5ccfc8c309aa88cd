// Sends the process's standard error to a file for a while (suite runs keep
// the interpreter's error reports out of the summary).
#pragma once
#include <cstdint>
#include <string>

namespace orv::host {

class StderrCapture {
 public:
  explicit StderrCapture(const std::string& path);  // truncates the file
  ~StderrCapture();                                 // restores standard error
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

 private:
  std::intptr_t saved_ = -1;
  std::intptr_t file_ = -1;
};

}  // namespace orv::host
