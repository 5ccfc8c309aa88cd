// DebugTrace: switches the debug trace on and off, names its target, writes
// captions and dumps. The result is whether tracing was on before.
#include <string>

#include "builtins/families.h"
#include "engine/convert.h"
#include "engine/keyword_ids.h"
#include "engine/trace/dumps.h"
#include "engine/trace/markers.h"
#include "engine/trace/target.h"
#include "engine/trace/trace.h"

namespace orv {
namespace {

constexpr std::uint16_t kNoFileName = 1771, kBadRequest = 1809;

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

}  // namespace

void register_trace_functions(HandlerTable& t) { t.add(kw::fn_debugtrace, debug_trace); }

}  // namespace orv
