// DebugTrace: switches the debug trace on and off, names its target, writes
// captions and dumps. The result is whether tracing was on before. Debug
// switches single stepping, DebugData writes a line for a debugger.
#include <string>

#include "builtins/families.h"
#include "engine/convert.h"
#include "engine/keyword_ids.h"
#include "engine/trace/dumps.h"
#include "engine/trace/markers.h"
#include "engine/trace/target.h"
#include "engine/trace/trace.h"
#include "platform/platform.h"
#include "engine/step_view.h"

namespace orv {
namespace {

constexpr std::uint16_t kNoFileName = 1771, kBadRequest = 1809, kNoWindow = 3104;

bool is_true(std::string_view text) {
  const IntText n = parse_integer_text(text, false);
  return n.ok ? n.value != 0 : !text.empty();
}

void set_flag(trace::TraceState& t, std::uint32_t bit, bool on) {
  if (on) t.flags |= bit;
  else t.flags &= ~bit;
}

// A new target starts a new trace: its first write carries the header.
bool set_target(Context& c, std::string_view text) {
  if (text.empty()) return fail(c, kNoFileName);
  if (text.size() > trace::kTargetMax)
    return fail(c, kNoFileName, "longer than " + std::to_string(trace::kTargetMax) + " characters");
  const std::string target = trace::target_path(text);
  if (target != c.trace.target) c.trace.headerPending = true;
  c.trace.target = target;
  return true;
}

bool start_tracing(Context& c, std::string_view text, int state) {
  trace::TraceState& t = c.trace;
  if (!text.empty()) {
    if (!set_target(c, text)) return false;
  } else if (t.target.empty()) {
    return fail(c, kNoFileName);
  }
  if (t.state == trace::kOff) t.startTick = platform::tick_count();
  t.state = state;
  return true;
}

void write_if_targeted(Context& c, const std::string& text) {
  if (!c.trace.target.empty()) trace::write(c, text);
}

bool run_request(Context& c, int request, const std::string& text) {
  trace::TraceState& t = c.trace;
  switch (request) {
    case -1: return true;
    case 0: t.state = trace::kOff; return true;
    case 1: return start_tracing(c, text, trace::kTracing);
    case 10:
      if (!start_tracing(c, text, trace::kTracing)) return false;
      trace::delete_target(t.target);
      t.headerPending = true;
      return true;
    case 2: return start_tracing(c, text, trace::kErrorDumpOnly);
    case 3:
    case 4:
      if (t.state == trace::kTracing) write_if_targeted(c, trace::caption_entry(request, text));
      return true;
    case 22:
      if (t.nested && t.state == trace::kOff) {
        t.state = t.savedState;
        trace::udf_resumed(c);
      }
      return true;
    case 100: return set_target(c, text);
    case 101:
      if (!set_target(c, text)) return false;
      trace::delete_target(t.target);
      t.headerPending = true;
      return true;
    case 102: set_flag(t, trace::kErrorDump, is_true(text)); return true;
    case 103: set_flag(t, trace::kIntoUdfs, is_true(text)); return true;
    case 104: set_flag(t, trace::kNoTime, is_true(text)); return true;
    case 200:
      t.state = trace::kOff;
      t.flags = 0;
      t.target.clear();
      t.headerPending = true;
      return text.empty() || set_target(c, text);
    case 203: write_if_targeted(c, trace::caption_entry(3, text)); return true;
    case 204: write_if_targeted(c, trace::caption_entry(4, text)); return true;
    case 205: write_if_targeted(c, trace::function_dump(c)); return true;
    case 206: write_if_targeted(c, trace::variable_dump(c)); return true;
    case 207: write_if_targeted(c, trace::structure_dump(c)); return true;
    case 208: write_if_targeted(c, trace::debug_data_entry(c, text)); return true;
    case 277: write_if_targeted(c, trace::internal_dump(c, text)); return true;
    default: return fail(c, kBadRequest);
  }
}

void debug_trace(Call& call) {
  Context& c = call.c;
  const std::int32_t previous = c.trace.state != trace::kOff ? 1 : 0;
  const std::string text = call.count >= 2 ? std::string(str_of(c, call.args[2])) : std::string();
  if (!run_request(c, call.args[1].i, text)) return;
  make_int(call.result, previous);
}

// Debug(mode): 1 stops before every statement in the debug window, 0 stops
// stepping, -1 only asks. The result is whether stepping was on.
void debug(Call& call) {
  Context& c = call.c;
  const std::int32_t mode = call.args[1].i;
  const std::int32_t previous = c.debugStepping ? 1 : 0;
  if (mode < -1 || mode > 1) {
    fail(c, kBadRequest);
    return;
  }
  // Without a display stepping could only fail at the next statement; say so here.
  if (mode == 1 && !ui::debug_window_available()) {
    fail(c, kNoWindow);
    return;
  }
  if (mode != -1) c.debugStepping = mode == 1;
  make_int(call.result, previous);
}

// DebugData(caption, text): one line "caption: text" on the debugger output,
// and in the trace while tracing into a file.
void debug_data(Call& call) {
  Context& c = call.c;
  const std::string_view caption = str_of(c, call.args[1]);
  const std::string_view text = str_of(c, call.args[2]);
  std::string line(caption);
  if (!caption.empty() && !text.empty()) line += ": ";
  line += text;
  platform::debug_output(line + "\r\n");
  if (trace::per_statement(c) && !c.trace.target.empty() && !trace::is_debugger_target(c.trace.target))
    trace::write(c, "\r\n" + line + "\r\n");
  make_int(call.result, 1);
}

}  // namespace

void register_trace_functions(HandlerTable& t) {
  t.add(kw::fn_debugtrace, debug_trace);
  t.add(kw::fn_debug, debug);
  t.add(kw::fn_debugdata, debug_data);
}

}  // namespace orv
