// What the error dialog (templates ERRORMSG and ERRORMSGB) and its Traceback
// list show. The engine fills an ErrorReport; the ui layer shows it: the real
// dialog in the Windows build, a report on standard error natively.
#pragma once
#include <string>
#include <vector>

namespace orv::ui {

struct TracebackRow {
  int index = 0;            // 1-based frame number
  std::string type;         // "if", "else", "gosub", "while", "<udf>", ..., "<error>"
  long line = 0;            // line number in its file
  std::string text;         // the line's full text
  std::string file;         // the file's full path
};

struct ErrorReport {
  std::string caption;      // "Error:  " + the host main window's title
  std::string scriptPath;   // control 101
  std::string message;      // control 102: "3052:  Uninitialized variable..."
  std::string lineInfo;     // control 110: "On line 12 of C:\x.orv"
  std::string fileInfo;     // control 111: "In C:\x.orv"
  std::string statement;    // control 120: the failing statement
  std::string version;      // control 130
  std::string additional;   // "More Error Info" text; empty disables the button
  std::string supportUrl;   // empty hides "Tech Support &Web Page"
  std::vector<TracebackRow> traceback;
  bool withContinue = false;  // ERRORMSGB (Continue/Exit) instead of ERRORMSG (OK)
  void* owner = nullptr;      // owner window
};

enum class ErrorChoice { exit, cont };

// Shows the dialog modally; returns the user's choice. OK counts as exit.
// Implemented by the ui layer (ui/error_dialog_*.cpp).
ErrorChoice show_error_dialog(const ErrorReport& report);

// The traceback rows as text lines: "%3d %-14s %6ld %-32s %s" (the line text
// cut to 29 characters and "..." when longer than 32).
std::string traceback_text_row(const TracebackRow& row);
// Tab form: "%d\t%s\t%ld\t%s\t%s" with the full text and path.
std::string traceback_tab_row(const TracebackRow& row);
// The Error Line cell: text longer than 32 characters cut to 29 and "...".
std::string traceback_short_text(const std::string& text);

}  // namespace orv::ui
