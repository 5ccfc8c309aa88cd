// Native build: no dialogs; the report goes to standard error and the run ends.
#include <string>

#include "platform/platform.h"
#include "engine/error_report.h"

namespace orv::ui {

namespace {

void add_field(std::string& out, const std::string& text) {
  if (text.empty()) return;
  out += text;
  if (out.back() != '\n') out += '\n';
}

// Later lines of a multi-line block are indented under the first.
std::string indented(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] != '\n') out += "    ";
  }
  return out;
}

}  // namespace

ErrorChoice show_error_dialog(const ErrorReport& report) {
  std::string out;
  add_field(out, report.caption);
  add_field(out, report.message);
  add_field(out, report.lineInfo);
  if (report.lineInfo.empty()) add_field(out, report.fileInfo);
  if (!report.statement.empty()) add_field(out, "    >>> " + report.statement);
  if (!report.additional.empty()) add_field(out, "    " + indented(report.additional));
  if (!report.traceback.empty()) {
    out += "Traceback:\n";
    for (const TracebackRow& row : report.traceback) add_field(out, traceback_text_row(row));
  }
  platform::write_stderr(out);
  return ErrorChoice::exit;
}

}  // namespace orv::ui
