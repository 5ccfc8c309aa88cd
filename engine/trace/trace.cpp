// The trace's hooks: statement entries, error entries, nested runs and the
// start and end of a run. Only reached while tracing is configured.
#include "engine/trace/trace.h"

#include <cstring>
#include <optional>

#include "engine/error_handling.h"
#include "engine/error_numbers.h"
#include "engine/messages.h"
#include "engine/script.h"
#include "engine/trace/dumps.h"
#include "engine/trace/markers.h"
#include "engine/trace/target.h"
#include "engine/uac_facts.h"
#include "engine/value_ops.h"
#include "platform/process_facts.h"
#include "resources/version.h"

namespace orv::trace {
namespace {

constexpr char kTraceFileVariable[] = "ORV_TRACE_FILE";

std::optional<std::uint32_t> elapsed(const Context& c) {
  if (c.trace.flags & kNoTime) return std::nullopt;
  return platform::tick_count() - c.trace.startTick;
}

bool starts_with_word(std::string_view text, std::string_view word) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char ch = text[i];
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    if (ch != word[i]) return false;
  }
  return text.size() == word.size() || text[word.size()] == ' ' || text[word.size()] == '\t' ||
         text[word.size()] == '(';
}

// An assignment's value is the variable's; other statements give their result.
const Value& statement_value(const Context& c, const Operand& result) {
  if (c.assignSlot != limits::kNoSlot && c.assignFrame == c.level && c.assignSlot < c.hwm) return c.slots[c.assignSlot].v;
  return result;
}

std::string typed_value(Context& c, const Value& v) {
  std::uint16_t variantType = 0;
  std::memcpy(&variantType, v.variant, sizeof variantType);
  return value_part(type_name(v.flags, variantType), value_entry_text(c, v));
}

// The value a Switch keeps in its structure entry.
std::string switch_value(const Context& c) {
  const StructEntry& e = c.stack[static_cast<std::size_t>(c.depth)];
  if (c.depth <= 0 || e.kind != sk::kSwitch) return {};
  const auto value = static_cast<std::int32_t>(((e.jump & 0xFFFFu) << 16) | e.word);
  return " " + std::to_string(value);
}

bool is_user(std::uint32_t n) { return n == errs::kUserMinorError || n == errs::kUserModerateError || n == errs::kUserSevereError; }
bool is_extender(std::uint32_t n) { return n == errs::kExtenderMinorError || n == errs::kExtenderModerateError || n == errs::kExtenderSevereError; }

SystemFacts system_facts(const Context& c) {
  SystemFacts f;
  f.version = kVersionText;
  const platform::OsVersion os = platform::os_version();
  f.platform = os.platform;
  f.major = os.major;
  f.minor = os.minor;
  f.build = os.build;
  f.errorMode = c.errorMode;
  const uac::ManifestSettings m = uac::parse_manifest(platform::process_manifest());
  f.manifestLevel = m.level.empty() ? "<None>" : m.level;
  f.manifestUiAccess = m.uiAccess.empty() ? "<None>" : m.uiAccess;
  f.elevation = uac::elevation_name(platform::elevation_level());
  return f;
}

}  // namespace

void write(Context& c, std::string_view text) {
  TraceState& t = c.trace;
  if (t.target.empty()) return;
  std::string out;
  if (t.headerPending) out = header(system_facts(c), t.state == kErrorDumpOnly);
  out += text;
  if (append_to_target(t.target, out)) {
    t.headerPending = false;
    return;
  }
  ++t.lostEntries;
  if (!t.warnedUnwritable) {
    t.warnedUnwritable = true;
    platform::debug_output("ORV trace: cannot write " + t.target + "; trace entries are lost\r\n");
  }
}

void statement_done(Context& c, const StatementText& st, const Operand& result) {
  if (c.trace.state != kTracing || (c.trace.flags & kErrorDump)) return;
  std::string text = st.text();
  if (text.empty() && c.curScript < c.scripts.size()) text = statement_text(c.script(), c.stmtPos);
  const int event = c.traceEvent;
  const bool isReturn = event == ev::kGosubOrReturn && starts_with_word(text, "return");
  // A failed statement's entry is its text; the error entry follows.
  if (failed(c)) {
    write(c, statement_entry(text, elapsed(c), ""));
    return;
  }
  std::string marker = event_marker(event, c.conditionResult, isReturn);
  switch (event) {
    case ev::kValue: marker += typed_value(c, statement_value(c, result)); break;
    case ev::kSingleIf:
      if (c.conditionResult) marker += typed_value(c, statement_value(c, result));
      break;
    case ev::kSwitch: marker += switch_value(c); break;
    case ev::kGosubOrReturn:
      if (isReturn && c.returnValue.flags) marker += typed_value(c, c.returnValue);
      break;
    default: break;
  }
  write(c, statement_entry(text, elapsed(c), marker));
}

ErrorEntry::ErrorEntry(Context& c) : c_(c) {
  if (!active(c)) return;
  const std::uint16_t err = c.error;
  if (err == 0 || (err >= 9000 && (err < 9013 || err > 9016))) return;
  armed_ = true;
  number_ = err;
  message_ = is_user(err) ? c.userErrorText : message_text(err);
  if (!c.errorText.empty()) message_ += " - " + c.errorText;
  inUdf_ = c.executingUdf != limits::kNoUdf;
  depth_ = c.depth;
  cancelMode_ = c.cancelHandlerMode;
}

ErrorEntry::~ErrorEntry() {
  if (!armed_ || !active(c_)) return;
  try {
    const bool terminal = c_.error != 0;
    const ErrorSource source = is_user(number_)       ? ErrorSource::user
                               : is_extender(number_) ? ErrorSource::extender
                               : inUdf_               ? ErrorSource::udf
                                                      : ErrorSource::interpreter;
    const bool dump = c_.trace.state == kErrorDumpOnly || (c_.trace.flags & kErrorDump);
    std::string s;
    if (dump) {
      if (!c_.trace.headerPending || c_.trace.state != kErrorDumpOnly) s += "\r\n*** Error Dump Initialized ***";
      if (c_.errorScript < c_.scripts.size())
        s += "\r\n" + statement_text(*c_.scripts[c_.errorScript], c_.errorPos);
      s += error_entry(source, terminal, number_, message_);
      s += variable_dump(c_);
    } else if (c_.trace.state == kTracing) {
      s += error_entry(source, terminal, number_, message_);
      if (number_ == errs::kUninitializedVariable) s += function_dump(c_);
      s += structure_dump(c_);
      s += settings_dump();
    }
    const StructEntry& top = c_.stack[static_cast<std::size_t>(c_.depth)];
    if (c_.depth > depth_ && (top.kind == sk::kGosubFalse || top.kind == sk::kGosubTrue || top.kind == sk::kGosubNone))
      s += banner(elapsed(c_), "GOSUB", number_ == 9999 ? "Cancel handler" : "Error handler");
    if (!s.empty()) write(c_, s);
  } catch (...) {
    // The trace never changes how the script ends.
  }
}

NestedRun::NestedRun(Context& c, Kind kind, std::string_view name) : c_(c), kind_(kind), name_(name),
      saved_(c.trace), event_(c.traceEvent), condition_(c.conditionResult) {
  enter();
}

NestedRun::NestedRun(Context& c, int udf) : c_(c), kind_(Kind::udf), udf_(udf),
      saved_(c.trace), event_(c.traceEvent), condition_(c.conditionResult) {
  enter();
}

std::string_view NestedRun::name() const {
  if (udf_ < 0) return name_;
  return static_cast<std::size_t>(udf_) < c_.udfs.size() ? std::string_view(c_.udfs[static_cast<std::size_t>(udf_)].name)
                                                         : std::string_view();
}

void NestedRun::enter() {
  Context& c = c_;
  if (c.trace.state == kTracing) {
    const char* word = kind_ == Kind::script ? "CALLING SCRIPT" : "CALLING UDF";
    if (kind_ == Kind::callback) write(c, "\r\n[ Common Callback Processing ]");
    write(c, banner(elapsed(c), word, name()));
  }
  c.trace.savedState = c.trace.state;
  c.trace.nested = true;
  if (!(c.trace.flags & kIntoUdfs)) {
    c.trace.state = kOff;
    return;
  }
  if (c.trace.state == kTracing && kind_ != Kind::script) {
    const std::uint32_t line = c.curScript < c.scripts.size() ? origin_of(c.script(), c.stmtPos).line : 0;
    write(c, udf_entered(line, name()));
  }
}

NestedRun::~NestedRun() {
  try {
    if (c_.trace.state == kTracing && kind_ != Kind::script) write(c_, udf_left(name()));
    const std::uint32_t lost = c_.trace.lostEntries;
    const bool warned = c_.trace.warnedUnwritable;
    const bool headerPending = c_.trace.headerPending && saved_.headerPending;
    c_.trace = std::move(saved_);
    c_.trace.lostEntries = lost;
    c_.trace.warnedUnwritable = warned;
    c_.trace.headerPending = headerPending;
    c_.traceEvent = event_;
    c_.conditionResult = condition_;
    if (c_.trace.state == kTracing)
      write(c_, banner(elapsed(c_), kind_ == Kind::script ? "RETURNING FROM SCRIPT" : "RETURNING FROM UDF", name()));
  } catch (...) {
  }
}

void callback_triggered(Context& c, CallbackSource source) {
  if (c.trace.state != kTracing) return;
  write(c, source == CallbackSource::dialog     ? "\r\n[ Dialog Callback Triggered ]"
           : source == CallbackSource::comEvent ? "\r\n[ COM Event Callback Triggered ]"
                                                : "\r\n[ Common Callback Processing ]");
}

void udf_resumed(Context& c) {
  if (c.trace.state != kTracing || c.executingUdf >= c.udfs.size()) return;
  write(c, udf_entered(origin_of(c.script(), c.stmtPos).line, c.udfs[c.executingUdf].name));
}

void error_mode_changed(Context& c) {
  if (c.trace.state == kTracing) write(c, error_mode_entry(c.errorMode));
}

void begin_run(Context& c) {
  c.trace = TraceState{};
  c.debugStepping = false;
  const std::string file = platform::get_environment(kTraceFileVariable);
  if (file.empty()) return;
  // Taken once: programs the script starts must not trace into the same file.
  platform::set_environment(kTraceFileVariable, "");
  c.trace.target = target_path(file);
  delete_target(c.trace.target);
  c.trace.state = kTracing;
  c.trace.startTick = platform::tick_count();
}

void end_of_job(Context& c) {
  if (c.trace.state != kTracing) return;
  write(c, trace::end_of_job(c.depth > 0, c.error == 0 || c.error == 9000));
}

}  // namespace orv::trace
