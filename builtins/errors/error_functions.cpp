// ErrorMode, LastError and ErrorEvent: the script's view of error handling.
#include "builtins/families.h"
#include "engine/error_handling.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/trace/trace.h"
#include "engine/value_ops.h"

namespace orv {
namespace {

void error_mode(Call& call) {
  Context& c = call.c;
  const std::int32_t previous = static_cast<std::int32_t>(c.errorMode);
  const std::int32_t mode = call.args[1].i;
  c.errorMode = mode == 0 ? 0 : mode == 1 ? 1 : 2;
  if (trace::active(c)) trace::error_mode_changed(c);
  make_int(call.result, previous);
}

void last_error(Call& call) {
  Context& c = call.c;
  std::uint32_t value = c.reportedError;
  const bool relayed = value == errs::kExtenderMinorError || value == errs::kExtenderModerateError || value == errs::kExtenderSevereError || (value >= 9013 && value <= 9016);
  if (relayed) value = c.realCode;
  c.reportedError = 0;
  c.realCode = 0;
  make_int(call.result, static_cast<std::int32_t>(value));
}

void error_event(Call& call) {
  Context& c = call.c;
  const std::int32_t severity = call.args[1].i;
  const std::int32_t code = call.args[2].i;
  std::uint16_t number = 0;
  switch (severity) {
    case -1: number = errs::kUserMinorError; break;
    case -2: number = errs::kUserModerateError; break;
    case -3: number = errs::kUserSevereError; break;
    default: fail(c, errs::kErrorEventBadSeverity); return;
  }
  if (code < 7000 || code > 7999) { fail(c, errs::kErrorEventBadNumber); return; }
  std::string message = str_of(c, call.args[3]);
  if (message.size() > 255) message.resize(255);
  c.realCode = static_cast<std::uint32_t>(code);
  c.userErrorText = message;
  if ((c.errorMode == 0 && severity == -1) || c.errorHandlerMode != 0) {
    fail(c, number);
    return;
  }
  c.errorPos = c.stmtPos;
  c.errorScript = c.curScript;
  const bool goOn = show_error(c, number, "User-Defined Error:  " + std::to_string(code) + ": " + message);
  fail(c, 9016);
  if (goOn && severity != -3) c.continueAfterReport = true;
}

}  // namespace

void register_error_functions(HandlerTable& t) {
  t.add(kw::fn_errormode, error_mode);
  t.add(kw::fn_lasterror, last_error);
  t.add(kw::fn_errorevent, error_event);
}

}  // namespace orv
