// Text forms of a traceback row, shared by the dialog and the debug dumps.
#include <cstdio>
#include <string>

#include "engine/error_report.h"

namespace orv::ui {

namespace {

constexpr std::size_t kTextWidth = 32;
constexpr std::size_t kCutAt = 29;
constexpr std::size_t kTypeWidth = 14;

// snprintf into a string sized by a first measuring call.
template <typename... Args>
std::string format(const char* pattern, Args... args) {
  const int size = std::snprintf(nullptr, 0, pattern, args...);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(out.data(), out.size(), pattern, args...);
  out.resize(static_cast<std::size_t>(size));
  return out;
}

}  // namespace

std::string traceback_short_text(const std::string& text) {
  if (text.size() <= kTextWidth) return text;
  return text.substr(0, kCutAt) + "...";
}

std::string traceback_text_row(const TracebackRow& row) {
  const std::string type = row.type.substr(0, kTypeWidth);
  return format("%3d %-14s %6ld %-32s %s", row.index, type.c_str(), row.line,
                traceback_short_text(row.text).c_str(), row.file.c_str());
}

std::string traceback_tab_row(const TracebackRow& row) {
  return format("%d\t%s\t%ld\t%s\t%s", row.index, row.type.c_str(), row.line, row.text.c_str(),
                row.file.c_str());
}

}  // namespace orv::ui
