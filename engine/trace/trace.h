// The debug trace as the run loop, the error handling and nested calls see
// it. Every hook is called only when the context's trace state is not off, so
// an untraced run pays one test per statement.
#pragma once
#include <string>
#include <string_view>

#include "engine/context.h"

namespace orv::trace {

inline bool active(const Context& c) { return c.trace.state != kOff; }
inline bool per_statement(const Context& c) { return c.trace.state == kTracing; }

// Writes text to the target (a file appended to, or the debugger output);
// the header goes first on the first write of a trace. A target that cannot be
// written loses the entry and the script goes on.
void write(Context& c, std::string_view text);

// The run loop: the statement's text is kept before it runs, its entry is
// written after.
class StatementText {
 public:
  StatementText(const Context& c, const char* text) {
    if (per_statement(c)) text_ = text;
  }
  const std::string& text() const { return text_; }
 private:
  std::string text_;
};
void statement_done(Context& c, const StatementText& text, const Operand& result);

// Error handling: kept when the error is reported, written once the handling
// decided whether the script goes on.
class ErrorEntry {
 public:
  explicit ErrorEntry(Context& c);
  ~ErrorEntry();
  ErrorEntry(const ErrorEntry&) = delete;
  ErrorEntry& operator=(const ErrorEntry&) = delete;
 private:
  Context& c_;
  bool armed_ = false;
  std::uint32_t number_ = 0;
  std::string message_;
  bool inUdf_ = false;
  int depth_ = 0;
  int cancelMode_ = 0;
};

// A user-defined function or a Call: banners in the caller's trace, the
// trace state saved on entry and put back on return.
class NestedRun {
 public:
  enum class Kind { udf, script, errorHandler, callback };
  // `name` must outlive the run (a Call's path).
  NestedRun(Context& c, Kind kind, std::string_view name);
  // A user-defined function, named by its number: its name is read only
  // for the banners, since the callable table may move while it runs.
  NestedRun(Context& c, int udf);
  ~NestedRun();
  NestedRun(const NestedRun&) = delete;
  NestedRun& operator=(const NestedRun&) = delete;
 private:
  void enter();
  std::string_view name() const;
  Context& c_;
  Kind kind_;
  std::string_view name_;
  int udf_ = -1;
  TraceState saved_;
  int event_, condition_;   // the caller's statement records its own event
};

// A callback from outside the script (a dialog's event, an object's event,
// a DLL callback) is about to run a user-defined function: its banner goes
// before the function's own.
enum class CallbackSource { dialog, comEvent, common };
void callback_triggered(Context& c, CallbackSource source);

// DebugTrace 22 switched tracing back on inside a function.
void udf_resumed(Context& c);
void error_mode_changed(Context& c);
// At the start of a run: everything off, then the host's trace file if it named one.
void begin_run(Context& c);
void end_of_job(Context& c);

}  // namespace orv::trace
