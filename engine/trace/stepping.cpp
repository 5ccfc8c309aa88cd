#include "engine/trace/stepping.h"

#include <cstring>

#include "engine/caller_state.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/limits.h"
#include "engine/messages.h"
#include "engine/script.h"
#include "engine/statements.h"
#include "engine/tokenizer.h"
#include "engine/trace/dumps.h"
#include "engine/trace/markers.h"
#include "engine/value_ops.h"
#include "engine/step_view.h"

namespace orv::trace {

std::string shown_value(Context& c, const std::string& expression) {
  const std::size_t first = expression.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  if (expression.size() - first >= static_cast<std::size_t>(limits::kLineBuffer)) return "Expression too long";
  // The expression borrows the scanner and the line buffer of the statement
  // that is waiting to run; both go back exactly as they were.
  CallerState saved(c);
  const std::uint16_t savedError = c.error;
  const std::string savedText = c.errorText;
  c.error = 0;
  c.errorText.clear();
  // A function called by the expression runs through without stopping.
  const bool stepping = c.debugStepping;
  c.debugStepping = false;
  c.replay = nullptr;
  c.replayCursor = 0;
  c.lineSubstituted = true;
  std::memcpy(c.line, expression.c_str() + first, expression.size() - first + 1);
  c.prog = c.line;
  c.tokKind = tk::kEnd;
  c.delim = 0;
  std::string shown;
  {
    Temp value(c);
    get_token(c);
    if (!failed(c) && process_sub_expression(c, value.op(), false, false) && !failed(c)) {
      if (c.tokKind != tk::kEnd) {
        shown = "Error: more than one expression";
      } else {
        std::uint16_t variantType = 0;
        std::memcpy(&variantType, value->variant, sizeof variantType);
        shown = type_name(value->flags, variantType) + " => " + value_entry_text(c, value.op());
      }
    }
  }
  if (failed(c)) {
    shown = "Error " + std::to_string(c.error) + ": " + message_text(c.error);
    if (!c.errorText.empty()) shown += " - " + c.errorText;
  }
  c.error = savedError;
  c.errorText = savedText;
  c.debugStepping = stepping;
  saved.restore(c);
  return shown;
}

bool stop_before(Context& c, const char* text) {
  if (skipping(c) || c.curScript >= c.scripts.size()) return true;
  ui::StepView view;
  const Origin where = origin_of(c.script(), c.stmtPos);
  view.script = where.file.empty() ? c.script().file : where.file;
  view.line = where.line;
  view.statement = text;
  view.show = [&c](const std::string& expression) { return shown_value(c, expression); };
  switch (ui::debug_window(c, view)) {
    case ui::StepAnswer::step: return true;
    case ui::StepAnswer::run: c.debugStepping = false; return true;
    case ui::StepAnswer::cancel: return fail(c, errs::kCancelled);
    case ui::StepAnswer::failed: break;
  }
  // No window: stepping cannot go on, and the script must not run unwatched.
  c.debugStepping = false;
  return failed(c) ? false : fail(c, errs::kWindowCreateFailed);
}

}  // namespace orv::trace
