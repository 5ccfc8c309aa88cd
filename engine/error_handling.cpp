#include "engine/error_handling.h"

#include <cstring>
#include "engine/error_numbers.h"
#include "engine/file_hooks.h"
#include "engine/arrays.h"
#include "engine/keyword_table.h"
#include "engine/messages.h"
#include "engine/script.h"
#include "engine/statements.h"
#include "engine/structure_steps.h"
#include "engine/tokenizer.h"
#include "engine/trace/markers.h"
#include "engine/trace/trace.h"
#include "engine/udf.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "resources/version.h"

namespace orv {
namespace {

constexpr std::uint32_t kUserMinor = errs::kUserMinorError, kUserModerate = errs::kUserModerateError, kUserSevere = errs::kUserSevereError;

bool is_extender_failure(std::uint32_t n) { return n == errs::kExtenderMinorError || n == errs::kExtenderModerateError || n == errs::kExtenderSevereError || n == errs::kExtenderNoMemory; }

bool is_user_or_extender(std::uint32_t n) {
  return n == kUserMinor || n == kUserModerate || n == kUserSevere || is_extender_failure(n);
}

// An extender's failure is shown with its own text: that is all the user has to go on.
std::string report_message(const Context& c, std::uint32_t n) {
  if (!is_extender_failure(n)) return {};
  return message_text(errs::kExtenderErrorPrefix) + " " + (c.userErrorText.empty() ? message_text(errs::kExtenderUndefinedError) : c.userErrorText);
}

struct ErrorPlace {
  std::string statement;
  std::uint32_t offset = 0;
  std::string file;
  std::uint32_t line = 0;
  bool hasMarker = false;
};

ErrorPlace place_of(const Context& c) {
  ErrorPlace p;
  if (c.errorScript >= c.scripts.size()) return p;
  const Script& s = *c.scripts[c.errorScript];
  p.statement = statement_text(s, c.errorPos);
  p.offset = c.errorPos;
  Origin o = origin_of(s, c.errorPos);
  p.file = o.file;
  p.line = o.line;
  p.hasMarker = s.text.size() > 1 && s.text[0] == ';' && s.text[1] == kMarkerTag;
  return p;
}

std::string assignment_name(const Context& c) {
  if (c.assignFrame != c.level || c.assignSlot == limits::kNoSlot || c.assignSlot >= c.hwm) return {};
  return c.slots[c.assignSlot].name;
}

std::string udf_name(const Context& c) {
  return c.executingUdf < c.udfs.size() ? c.udfs[c.executingUdf].name : std::string();
}

bool set_element(Context& c, Value* els, int i, const std::string& text) { return make_string(c, els[i], text); }

// Creates qrerrorarray (and with `individual` the single variables) for an error or a cancel.
void fill_error_variables(Context& c, std::uint32_t number, bool cancel, bool individual) {
  ErrorPlace p = place_of(c);
  std::uint32_t shown = (is_user_or_extender(number) || number >= 9013) && c.realCode ? c.realCode : number;
  std::string message = cancel ? std::string("Cancel")
                        : is_user_or_extender(number) ? c.userErrorText
                                                      : message_text(static_cast<std::uint16_t>(number));
  std::string additional = cancel ? std::string("User pressed Cancel") : c.errorText;
  std::uint16_t err = 0;
  std::uint32_t handle = c.arrays.create({12, 0, 0, 0, 0}, false, err);
  const std::uint16_t saved = c.error;
  std::string savedText = c.errorText;
  c.error = 0;
  if (handle) {
    Value* els = c.arrays.elements(handle);
    make_int(els[0], static_cast<std::int32_t>(shown));
    set_element(c, els, 1, p.statement);
    make_int(els[2], static_cast<std::int32_t>(p.offset));
    set_element(c, els, 3, assignment_name(c));
    set_element(c, els, 4, p.file);
    set_element(c, els, 5, message);
    set_element(c, els, 6, additional);
    set_element(c, els, 7, udf_name(c));
    make_int(els[8], static_cast<std::int32_t>(p.line));
    make_int(els[9], 0);
    make_int(els[10], p.hasMarker ? 1 : -1);
    make_int(els[11], 0);
    Value array{};
    array.flags = vf::kArray;
    array.str = handle;
    std::uint16_t slot = find_or_create_slot(c, "qrerrorarray");
    if (slot != kNotFound) store_in_slot(c, slot, array);
    else release_value(c, array);
  }
  if (individual) {
    set_string_variable(c, "qrerrorhandlerline", p.statement);
    set_int_variable(c, "qrerrorhandleroffset", static_cast<std::int32_t>(p.offset));
    set_string_variable(c, "qrerrorhandlerassignment", assignment_name(c));
    set_string_variable(c, "qrerrorhandlerfile", p.file);
    set_string_variable(c, "qrerrortextstring", message);
    set_string_variable(c, "qrerroradditionalinfo", additional);
    set_string_variable(c, "qrerrorinsegment", udf_name(c));
    set_int_variable(c, "qrerrorhandlerlinenumber", static_cast<std::int32_t>(p.line));
  }
  c.error = saved;   // a failure to fill the variables never hides the error
  c.errorText = std::move(savedText);
}

// Jumps to a handler label in the current script; false when it is missing.
bool jump_to_label(Context& c, const char* label) {
  std::uint32_t target = 0;
  const std::uint16_t saved = c.error;
  std::string savedText = c.errorText;
  c.error = 0;
  const bool found = find_label(c, label, target);
  c.error = saved;
  c.errorText = std::move(savedText);
  if (found) c.pos = target;
  return found;
}

bool push_handler_gosub(Context& c, std::uint16_t fullError) {
  StructEntry e;
  e.kind = c.ifState == 0 ? sk::kGosubFalse : c.ifState == 1 ? sk::kGosubTrue : sk::kGosubNone;
  e.jump = c.pos;
  e.stmtPos = c.stmtPos;
  e.script = c.curScript;
  e.breakable = c.breakable;
  if (c.depth >= limits::kStructDepth) {
    c.error = fullError;
    c.errorText.clear();
    return false;
  }
  c.stack[static_cast<std::size_t>(++c.depth)] = e;
  c.breakable = 0;
  c.traceEvent = trace::ev::kGosubOrReturn;
  return true;
}

// A GoSub handler whose label is missing never ran: its frame goes again, so
// that neither the report's traceback nor a later Return finds it.
void pop_handler_gosub(Context& c) {
  c.breakable = c.stack[static_cast<std::size_t>(c.depth)].breakable;
  steps::clear_entry(c.stack[static_cast<std::size_t>(c.depth)]);
  --c.depth;
}

// Calls the handler function with qrerrorarray; true when it handled the error.
bool call_handler_function(Context& c, const std::string& name, bool& keep) {
  keep = false;
  int index = find_udf(c, name);
  if (name.empty() || !is_name_start(name[0]) || index < 0 || c.udfs[static_cast<std::size_t>(index)].params.size() != 1)
    return false;
  std::uint16_t slot = find_slot(c, "qrerrorarray");
  if (slot == kNotFound) return false;
  Operand args[2];
  clear_operand(args[0]);
  clear_operand(args[1]);
  if (!copy_value(c, c.slots[slot].v, args[1])) return false;
  Operand result;
  clear_operand(result);
  const std::uint16_t saved = c.error;
  c.error = 0;
  bool ok = call_udf(c, index, args, 1, result);
  release_value(c, args[1]);
  std::int32_t flags = (result.flags & vf::kInt) ? result.i : 0;
  release_value(c, result);
  if (!ok) {
    if (c.error == 9000) return true;   // the handler ended the script
    c.error = saved;
    return false;
  }
  keep = (flags & 1) != 0;
  return (flags & 2) == 0;
}

std::string line_info(const ErrorPlace& p, const Context& c) {
  std::string s = "On line " + std::to_string(p.line);
  if (!p.file.empty()) s += " of " + p.file;
  else if (c.executingUdf != limits::kNoUdf) s += " of Routine \"" + udf_name(c) + "\"";
  return s;
}

std::string file_info(const ErrorPlace& p, const Context& c) {
  if (!p.file.empty()) return "In " + p.file;
  if (c.executingUdf != limits::kNoUdf) return "In Routine \"" + udf_name(c) + "\"";
  return {};
}

ui::ErrorReport build_report(const Context& c, const std::string& message, bool withContinue) {
  ErrorPlace p = place_of(c);
  ui::ErrorReport r;
  r.caption = "Error:  ";
  r.scriptPath = c.scripts.empty() ? std::string() : c.scripts[0]->file;
  r.message = message;
  r.lineInfo = line_info(p, c);
  r.fileInfo = file_info(p, c);
  r.statement = p.statement;
  r.version = std::string("ORV Version: ") + kVersionText;
  r.additional = c.errorText;
  r.traceback = traceback_rows(c);
  r.withContinue = withContinue;
  return r;
}

// The report as text, for hosts that take errors on standard error.
std::string report_text(const ui::ErrorReport& r, const ErrorPlace& p) {
  // Named as the user knows the files, so that the place can be pasted or clicked.
  std::string out = (p.file.empty() ? std::string("script") : platform::display_path(p.file)) + "(" +
                    std::to_string(p.line) + "): error " + r.message + "\n";
  if (!r.additional.empty()) {
    std::string text = "    " + r.additional;
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 5) text.replace(at, 1, "\n    ");
    out += text + "\n";
  }
  out += "    >>> " + r.statement + "\n";
  if (r.traceback.size() > 1) {
    out += "Traceback:\n";
    for (ui::TracebackRow row : r.traceback) {
      row.file = platform::display_path(row.file);
      out += "  " + ui::traceback_text_row(row) + "\n";
    }
  }
  return out;
}

const char* frame_type(std::uint16_t kind) {
  switch (kind) {
    case sk::kIfThen: return "if";
    case sk::kIfElse: return "else";
    case sk::kGosubFalse: case sk::kGosubTrue: case sk::kGosubNone: return "gosub";
    case sk::kUdf: return "<udf>";
    case sk::kFor: case sk::kForEach: case sk::kSwitch: case sk::kWhile: case sk::kCall:
      return kKeywords[kind].name;
    default: return "<unknown>";
  }
}

}  // namespace

Severity severity_of(std::uint32_t number) {
  if (number <= 2000) return Severity::minor;
  if (number <= 3000) return Severity::moderate;
  return Severity::severe;
}

std::string statement_text(const Script& s, std::uint32_t pos) {
  if (pos >= s.text.size()) return {};
  std::size_t end = s.text.find('\n', pos);
  std::string raw = s.text.substr(pos, (end == std::string::npos ? s.text.size() : end) - pos);
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == kGotoMarker || raw[i] == kGosubMarker) {
      out += raw[i] == kGotoMarker ? "goto " : "gosub";
      i += 4;   // the cached target
      continue;
    }
    out += raw[i];
  }
  return out;
}

std::vector<ui::TracebackRow> traceback_rows(const Context& c) {
  std::vector<ui::TracebackRow> rows;
  for (int d = 1; d <= c.depth; ++d) {
    const StructEntry& e = c.stack[static_cast<std::size_t>(d)];
    ui::TracebackRow row;
    row.index = d;
    row.type = frame_type(e.kind);
    if (e.script < c.scripts.size()) {
      const Script& s = *c.scripts[e.script];
      Origin o = origin_of(s, e.stmtPos);
      row.line = static_cast<long>(o.line);
      row.text = statement_text(s, e.stmtPos);
      row.file = o.file;
    }
    rows.push_back(std::move(row));
  }
  ErrorPlace p = place_of(c);
  ui::TracebackRow last;
  last.index = c.depth + 1;
  last.type = "<error>";
  last.line = static_cast<long>(p.line);
  last.text = p.statement;
  last.file = p.file;
  rows.push_back(std::move(last));
  return rows;
}

bool show_error(Context& c, std::uint32_t number, const std::string& message) {
  c.reportedError = number;
  const Severity sev = severity_of(number);
  if (c.errorMode == 0 && sev == Severity::minor) return true;
  if (c.lastError == 0) c.lastError = number;
  const std::string text = message.empty() ? std::to_string(number) + ":  " + message_text(static_cast<std::uint16_t>(number))
                                           : message;
  const bool withContinue = !(c.errorMode == 1 || sev == Severity::severe);
  ui::ErrorReport report = build_report(c, text, withContinue);
  c.lastLine = place_of(c).line;
  // Whoever reads the report may look at the files the script wrote.
  files::flush_writes(c);
  bool goOn = false;
  if (c.runFlags & api::kRunReportToHost) {
    platform::write_stderr(report_text(report, place_of(c)));
  } else {
    goOn = ui::show_error_dialog(report) == ui::ErrorChoice::cont;
  }
  if (c.sounds) platform::system_beep();
  if (!withContinue) goOn = false;
  if (goOn) c.lastError = 0;
  return goOn;
}

bool after_statement(Context& c) {
  c.lastStmtError = c.error;
  const std::uint16_t err = c.error;
  if (err == 0) return true;
  const trace::ErrorEntry traced(c);
  c.errorPos = c.stmtPos;
  c.errorScript = c.curScript;
  if (err >= 9000 && err != errs::kCancelled) {
    if (err == 9998) {
      c.lastStmtError = static_cast<std::uint16_t>(c.realCode);
      c.error = 0;
      c.realCode = 0;
      return true;
    }
    if (c.continueAfterReport) {
      c.continueAfterReport = false;
      c.error = 0;
      c.errorText.clear();
      return true;
    }
    return false;
  }
  if (err == errs::kCancelled) {
    int mode = c.cancelHandlerMode;
    if (mode == 0) return false;
    if (mode == 3) {
      fill_error_variables(c, err, true, false);
      bool keep = false;
      c.error = 0;
      if (call_handler_function(c, c.cancelHandlerFn, keep) && !failed(c)) {
        if (!keep) c.cancelHandlerMode = 0;
        return true;
      }
      if (c.error != 9000) c.error = errs::kCancelled;
      return false;
    }
    if (mode == 2 && !push_handler_gosub(c, errs::kCancelHandlerTooDeep)) return after_statement(c);
    fill_error_variables(c, err, true, true);
    if (mode != -1) c.cancelHandlerMode = 0;
    c.error = 0;
    if (jump_to_label(c, "cancel")) return true;
    if (mode == 2) pop_handler_gosub(c);
    c.error = errs::kCancelled;
    return false;
  }
  if (c.errorHandlerMode == 3) {
    c.reportedError = err;
    fill_error_variables(c, err, false, false);
    const std::string text = c.errorText;
    c.error = 0;
    bool keep = false;
    if (call_handler_function(c, c.errorHandlerFn, keep) && !failed(c)) {
      if (!keep) c.errorHandlerMode = 0;
      c.errorText.clear();
      return true;
    }
    if (c.error == 9000) return false;
    if (!keep) c.errorHandlerMode = 0;
    c.error = err;
    c.errorText = text;
  } else if (c.errorHandlerMode == 1 || c.errorHandlerMode == 2) {
    const bool gosub = c.errorHandlerMode == 2;
    if (gosub && !push_handler_gosub(c, errs::kErrorHandlerTooDeep)) {
      c.errorHandlerMode = 0;
      return after_statement(c);
    }
    c.reportedError = err;
    fill_error_variables(c, err, false, true);
    c.errorHandlerMode = 0;
    const std::string text = c.errorText;
    c.error = 0;
    c.errorText.clear();
    if (jump_to_label(c, "qrerrorhandler")) return true;
    if (gosub) pop_handler_gosub(c);
    c.error = err;
    c.errorText = text;
  }
  if (c.errorMode == 0 && severity_of(err) == Severity::minor) fill_error_variables(c, err, false, true);
  const bool goOn = show_error(c, err, report_message(c, err));
  c.errorText.clear();
  if (goOn) c.error = 0;
  return goOn;
}

void report_preparation_error(Context& c) {
  const std::uint16_t err = c.error;
  if (err == 0 || err >= 9000) return;
  show_error(c, err);
}

}  // namespace orv
