#include "engine/udf.h"

#include <cstring>
#include "engine/caller_state.h"
#include "engine/compiled_statement.h"
#include "engine/error_numbers.h"
#include "engine/keywords.h"
#include "engine/runloop.h"
#include "engine/statements.h"
#include "engine/structure_steps.h"
#include "engine/tokenizer.h"
#include "engine/trace/trace.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "engine/whole_functions.h"

namespace orv {
namespace {

using Kind = DefinitionState::Kind;

struct DefinitionWord {
  const char* text;
  Kind kind;
  bool opens;
  std::uint16_t error;   // nested (opening) or unmatched (closing)
  std::uint16_t syntaxError;
};

constexpr DefinitionWord kWords[] = {
    {"#definefunction", Kind::function, true, errs::kNestedDefineFunction, errs::kDefineFunctionSyntax},
    {"#definesubroutine", Kind::subroutine, true, errs::kNestedDefineSubroutine, errs::kDefineSubroutineSyntax},
    {"#definecommand", Kind::command, true, errs::kNestedDefineCommand, errs::kDefineCommandSyntax},
    {"#endfunction", Kind::function, false, errs::kEndFunctionUnmatched, 0},
    {"#endsubroutine", Kind::subroutine, false, errs::kEndSubroutineUnmatched, 0},
    {"#endcommand", Kind::command, false, errs::kEndCommandUnmatched, 0},
};

bool starts_with_ci(const char* line, const char* word) {
  for (; *word; ++word, ++line) {
    char ch = *line;
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    if (ch != *word) return false;
  }
  return true;
}

const char* skip_blanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

bool end_of_header(const char* p) {
  p = skip_blanks(p);
  return *p == '\0' || *p == ';';
}

// Reads a name of up to 30 characters; false when empty, too long or badly ended.
bool read_name(const char*& p, std::string& out) {
  const char* start = p;
  if (!is_name_start(*p)) return false;
  while (is_name_char(*p)) ++p;
  if (p - start > limits::kNameMax) return false;
  out = lower_name(std::string_view(start, static_cast<std::size_t>(p - start)));
  return true;
}

bool parse_function_header(const char* p, Udf& u) {
  p = skip_blanks(p);
  if (!read_name(p, u.name)) return false;
  p = skip_blanks(p);
  if (*p != '(') return false;
  p = skip_blanks(p + 1);
  if (*p == ')') return end_of_header(p + 1);
  for (;;) {
    std::string param;
    if (!read_name(p, param)) return false;
    if (u.params.size() == kMaxUdfParams) return false;
    u.params.push_back(param);
    p = skip_blanks(p);
    if (*p == ')') return end_of_header(p + 1);
    if (*p != ',') return false;
    p = skip_blanks(p + 1);
  }
}

bool parse_command_header(const char* p, Udf& u) {
  if (*p != ' ' && *p != '\t') return false;
  p = skip_blanks(p);
  if (!read_name(p, u.name)) return false;
  for (;;) {
    if (*p != ' ' && *p != '\t' && *p != '\0' && *p != ';') return false;
    p = skip_blanks(p);
    if (*p == '\0' || *p == ';') return true;
    std::string param;
    if (!read_name(p, param)) return false;
    if (u.params.size() == kMaxUdfParams) return false;
    u.params.push_back(param);
  }
}

api::KeywordRecord record_of(const Udf& u, int index) {
  api::KeywordRecord r{};
  r.id = static_cast<std::uint32_t>(kUdfStart + index);
  r.kind = u.kind;
  r.argTypes = ~std::uint64_t{0};   // no coercion
  r.counts = static_cast<std::uint32_t>(u.params.size());
  r.nameLength = static_cast<std::uint16_t>(u.name.size());
  std::memcpy(r.name, u.name.c_str(), u.name.size() + 1);
  return r;
}

bool udf_is_executing(const Context& c, int index) {
  if (c.executingUdf == index) return true;
  for (int d = 1; d <= c.depth; ++d) {
    const StructEntry& e = c.stack[static_cast<std::size_t>(d)];
    if (e.kind == sk::kUdf && e.udf == index) return true;
  }
  return false;
}

// A new, empty variable table in a free function frame, made current; 0 on
// failure (nothing changed). The blocks of closed frames are kept (cleared)
// and reused, so a call does not allocate and clear a whole table each time.
// The caller's table stays locked while the callee runs (blocks never move),
// and a kept block keeps its lock, so a call asks the system for nothing.
std::uint16_t enter_frame(Context& c, std::uint16_t& err) {
  err = errs::kUdfNoMemory;
  const std::size_t bytes = std::size_t{c.capacity} * sizeof(VarSlot);
  // Frames close in the reverse order they open, so the open ones are the
  // levels just above 0 and the lowest free one follows them: no search.
  std::uint16_t first = 1;
  const std::uint16_t next = static_cast<std::uint16_t>(c.framesOpen + 1);
  if (next < limits::kFrames && !c.frames[next].mem && c.frames[next - 1].mem) first = next;
  for (std::uint16_t level = first; level < limits::kFrames; ++level) {
    FrameEntry& f = c.frames[level];
    if (f.mem) continue;
    Context::SpareFrame& spare = c.spareFrames[level];
    if (spare.bytes < bytes) spare.give_back();
    platform::MemHandle mem = spare.mem;
    auto* slots = spare.slots;
    spare = {};
    if (!mem) {
      mem = platform::mem_alloc(bytes);
      if (!mem) return 0;
      slots = static_cast<VarSlot*>(platform::mem_lock(mem));
      if (!slots) {
        platform::mem_free(mem);
        err = errs::kUdfLockFailed;
        return 0;
      }
    }
    slots[0].v.flags = vf::kDeclared;
    FrameEntry& caller = c.frames[c.level];
    caller.hwm = c.hwm;
    caller.stamp = c.slotStamp;
    f.level = level;
    f.mem = mem;
    f.seq = c.frameCounter++;
    // A pointer names its frame by level, block, sequence number and tick:
    // the sequence number tells this run's frames apart, the run's own tick
    // tells runs apart, so no clock is read per call.
    f.tick = c.frames[0].tick;
    f.capacity = c.capacity;
    f.hwm = 1;
    f.marker = 0xFFFF;
    f.stamp = kFreshFrameLayout;
    ++c.framesOpen;
    // Made current from what was just written, not read back from the
    // entry: its narrow fields read together would wait for those writes.
    c.slots = slots;
    c.slotMem = mem;
    c.curSeq = f.seq;
    c.curTick = f.tick;
    c.hwm = 1;   // (the capacity stays)
    c.slotStamp = kFreshFrameLayout;
    c.level = level;
    return level;
  }
  return 0;
}

// Value flags of what a value owns beyond its own bytes (heap text, an
// array, an object, a file): a value without them is copied and let go as bytes.
constexpr std::uint32_t kHolds = vf::kStr | vf::kWide | vf::kArray | vf::kCom | vf::kFile;

// Lets go of what the callee's variables hold, clears the used part of its
// table (kept for the next call) and makes the caller's table current again.
// Plain numbers hold nothing, so only the others are released.
// `callerSlots`: the caller's table, locked since before the call.
void leave_frame(Context& c, std::uint16_t callerLevel, VarSlot* callerSlots, std::uint16_t calleeLevel) {
  // (Whatever the callee switched to, the current frame holds one lock.)
  if (c.level != calleeLevel && !switch_frame(c, calleeLevel)) {
    FrameEntry& lost = c.frames[calleeLevel];   // unreachable: given up, not reused
    platform::mem_free(lost.mem);
    lost = FrameEntry{};
    --c.framesOpen;
    // The caller's table already holds the lock kept over the call.
    if (c.level != callerLevel && switch_frame(c, callerLevel)) platform::mem_unlock(c.slotMem);
    return;
  }
  for (std::uint16_t i = 0; i < c.hwm; ++i)
    if (c.slots[i].v.flags & kHolds) release_value(c, c.slots[i].v);
  FrameEntry& f = c.frames[calleeLevel];
  // (The used part as the releases left it.)
  std::memset(static_cast<void*>(c.slots), 0, std::size_t{c.hwm} * sizeof(VarSlot));
  // Kept with the lock the frame held as current.
  c.spareFrames[calleeLevel] = {f.mem, c.slots, std::size_t{f.capacity} * sizeof(VarSlot)};
  f = FrameEntry{};
  --c.framesOpen;
  make_frame_current(c, c.frames[callerLevel], callerSlots, callerLevel);
}

bool bind_parameters(Context& c, const Udf& u, Operand* args, int count) {
  for (int k = 0; k < count && k < static_cast<int>(u.params.size()); ++k) {
    std::uint16_t slot = find_or_create_slot(c, u.params[static_cast<std::size_t>(k)]);
    if (slot == kNotFound) return false;
    Value v{};
    if (!copy_value(c, args[k + 1], v)) return false;
    if (!store_in_slot(c, slot, v)) return false;
  }
  return true;
}

static_assert(sizeof(Udf::Binding::slots) / sizeof(std::uint16_t) == kMaxUdfParams);

// After the searching bind of every parameter into a fresh frame: remembers
// where they went. Only a shared layout is learnt, since the same names made
// in the same slots from a fresh frame always give that layout again.
void learn_binding(Context& c, Udf& u) {
  if (!(c.slotStamp & kSharedLayout)) return;
  Udf::Binding b;
  for (std::size_t k = 0; k < u.params.size(); ++k) {
    const std::uint16_t slot = find_slot(c, u.params[k]);
    if (slot == kNotFound) return;
    b.slots[k] = slot;   // a repeated name shares the slot of its first place
  }
  b.hwm = c.hwm;
  b.stamp = c.slotStamp;
  b.named.resize(u.params.size());
  for (std::size_t k = 0; k < u.params.size(); ++k) {
    VarSlot& s = b.named[k];
    std::memset(static_cast<void*>(&s), 0, sizeof s);
    std::memcpy(s.name, u.params[k].data(), u.params[k].size());
    s.v.i = -1;
    s.v.flags = vf::kDeclared;
  }
  b.learnt = true;
  u.binding = std::move(b);
}

// The parameters' names into a fresh frame, where the learnt binding says.
void bind_learnt_names(Context& c, const Udf& u) {
  const Udf::Binding& b = u.binding;
  const std::size_t n = u.params.size();
  for (std::size_t k = 0; k < n; ++k)
    std::memcpy(static_cast<void*>(&c.slots[b.slots[k]]), &b.named[k], sizeof(VarSlot));
  c.hwm = b.hwm;
  c.slotStamp = b.stamp;
}

// Binds every parameter of a fresh frame where the learnt binding says, as
// the searching bind would have: the names first (so that a failing copy
// leaves nothing outside the table's used part), then the values.
bool bind_learnt(Context& c, const Udf& u, Operand* args) {
  const Udf::Binding& b = u.binding;
  const std::size_t n = u.params.size();
  bind_learnt_names(c, u);
  for (std::size_t k = 0; k < n; ++k) {
    const Value& arg = args[k + 1];
    Value& target = c.slots[b.slots[k]].v;
    if (!((arg.flags | target.flags) & kHolds)) {   // a number into a slot that holds nothing
      target = arg;
      target.str = target.wstr = 0;
      continue;
    }
    Value v{};
    if (!copy_value(c, arg, v)) return false;
    if (!store_in_slot(c, b.slots[k], v)) return false;
  }
  return true;
}

}  // namespace

// A removed callable leaves its slot vacant (no name) rather than shifting
// the numbers of those after it: running calls, their saved callers and the
// structure stack keep referring to callables by number.
std::size_t live_udf_count(const Context& c) {
  std::size_t n = 0;
  for (const Udf& u : c.udfs) n += u.name.empty() ? 0 : 1;
  return n;
}

static std::size_t free_udf_slot(const Context& c) {
  for (std::size_t i = 0; i < c.udfs.size(); ++i)
    if (c.udfs[i].name.empty()) return i;
  return c.udfs.size();
}

int find_udf(const Context& c, std::string_view name) {
  std::string lower = lower_name(name);
  for (std::size_t i = 0; i < c.udfs.size(); ++i)
    if (c.udfs[i].name.size() == lower.size() && c.udfs[i].name == lower) return static_cast<int>(i);
  return -1;
}

bool definition_line(Context& c, DefinitionState& d) {
  if (c.line[0] != '#') return d.open != Kind::none;
  for (const DefinitionWord& w : kWords) {
    if (!starts_with_ci(c.line, w.text)) continue;
    if (w.opens) {
      if (d.open != Kind::none) { fail(c, w.error); return true; }
      if (live_udf_count(c) >= kMaxUdfs) { fail(c, errs::kTooManyUdfs); return true; }
      Udf u;
      u.kind = w.kind == Kind::command ? 9 : 2;
      u.sharesVariables = w.kind != Kind::function;
      const char* header = c.line + std::strlen(w.text);
      bool ok = w.kind == Kind::command ? parse_command_header(header, u) : parse_function_header(header, u);
      if (!ok) { fail(c, w.syntaxError); return true; }
      u.sourceFile = c.script().file;
      u.dir = c.script().dir;
      d.open = w.kind;
      d.alreadyDefined = find_udf(c, u.name) >= 0;
      d.bodyStart = c.pos;
      d.pending = std::make_unique<Udf>(std::move(u));
      return true;
    }
    if (d.open == Kind::none) { fail(c, w.error); return true; }
    if (w.kind != d.open) return true;   // an #End of another kind is body text
    if (!d.alreadyDefined) {
      auto body = std::make_shared<Script>();
      const std::string& text = c.script().text;
      body->text = text.substr(d.bodyStart, c.stmtPos > d.bodyStart ? c.stmtPos - d.bodyStart : 0);
      Udf& pending = *d.pending;
      body->file = pending.sourceFile;
      body->dir = pending.dir;
      pending.body = std::move(body);
      const std::size_t slot = free_udf_slot(c);
      if (slot == c.udfs.size()) {
        c.udfs.emplace_back();
        c.udfRecords.emplace_back();
      }
      c.udfRecords[slot] = record_of(pending, static_cast<int>(slot));
      c.udfs[slot] = std::move(pending);
      ++c.keywordGeneration;
    }
    d = DefinitionState{};
    return true;
  }
  return d.open != Kind::none;
}

namespace {

// Opens the structure entry of a call, naming where it was called from
// (false with 3353 when the stack is full).
bool open_call_entry(Context& c, int index) {
  StructEntry* frame = steps::open_entry(c, sk::kUdf, 0);
  if (frame) frame->udf = static_cast<std::uint16_t>(index);
  return frame != nullptr;
}

// How a callable's body starts: no handlers, no If or loop around it, no
// value returned yet.
void start_callee(Context& c, int index) {
  c.errorHandlerMode = 0;
  c.cancelHandlerMode = -1;
  c.executingUdf = static_cast<std::uint16_t>(index);
  c.persistentUdf = index;
  c.ifState = -1;
  c.breakable = 0;
  c.returned = false;
}

// Drops the call's structure entry (and any its body left above it).
void unwind_call(Context& c, int frameDepth) {
  while (c.depth >= frameDepth) {
    steps::clear_entry(c.stack[static_cast<std::size_t>(c.depth)]);
    --c.depth;
  }
  --c.callLevel;
  c.boundTargets.pop_back();
}

// The body's value into the caller's result; a body that ran to its end
// without a Return gives 0.
void take_return_value(Context& c, bool gotValue, Operand& result) {
  if (gotValue) {
    static_cast<Value&>(result) = c.returnValue;
    clear_operand(c.returnValue);
  } else {
    release_value(c, c.returnValue);
    clear_operand(c.returnValue);
    make_int(result, 0);
  }
}

// The error a body ended with, taken aside while the caller's state comes
// back, then passed on as the caller sees it: an error the body reported
// (and so ended with) becomes 9015; Exit and a cancel go on as they are.
struct CalleeError {
  std::uint16_t number;
  std::string text;
  explicit CalleeError(Context& c) : number(c.error) {
    if (!c.errorText.empty()) text.swap(c.errorText);
  }
  // `bodyRan`: the parameters were bound and the body started.
  bool pass_on(Context& c, bool bodyRan, Operand& result) {
    if (number != 0 && bodyRan && number != 9000 && number != errs::kCancelled) {
      number = 9015;
      c.realCode = 9015;
      text.clear();
    }
    c.error = number;
    if (!text.empty() || !c.errorText.empty()) c.errorText = std::move(text);
    if (number == 0) return true;
    release_value(c, result);
    clear_operand(result);
    return false;
  }
};

// Copies the parameters' values back into the argument slots before the
// callee's variables go.
void copy_back_parameters(Context& c, const Udf& u, Operand* args, int count) {
  for (int k = 0; k < count && k < static_cast<int>(u.params.size()); ++k) {
    const std::uint16_t slot = find_slot(c, u.params[static_cast<std::size_t>(k)]);
    if (slot == kNotFound || !is_assigned(c.slots[slot].v)) continue;
    Value v{};
    if (!copy_value(c, c.slots[slot].v, v)) { c.error = 0; continue; }
    release_value(c, args[k + 1]);
    static_cast<Value&>(args[k + 1]) = v;
  }
}

// A call with whole-number arguments as a frameless program. missed: the
// call must be made the general way, with `redo` armed.
// (Inlined: most calls decline at their first argument.)
[[gnu::always_inline]] inline WholeRun try_whole_function(Context& c, int index, const Operand* args, int count,
                                                          Operand& result, WholeRedo& redo) {
  if (count > static_cast<int>(kWholeVariables)) return WholeRun::declined;
  std::int32_t values[kWholeVariables];
  for (int k = 0; k < count; ++k) {
    if (args[k + 1].flags != vf::kInt) return WholeRun::declined;
    values[k] = args[k + 1].i;
  }
  std::int32_t out = 0;
  const WholeRun run = run_whole_function(c, index, values, count, out);
  if (run == WholeRun::done) make_int(result, out);
  else if (run == WholeRun::missed) redo.arm();
  return run;
}

// `wholeTried`: the caller has tried the frameless run already.
bool call_udf_impl(Context& c, int index, Operand* args, int count, Operand& result, bool copyBack,
                   CallerState::Line callerLine = CallerState::Line::kept, bool wholeTried = false) {
  if (index < 0 || static_cast<std::size_t>(index) >= c.udfs.size()) return fail(c, errs::kFunctionNotDefined);
  Udf& u = c.udfs[static_cast<std::size_t>(index)];
  if (!u.body) return fail(c, errs::kUdfError);
  WholeRedo redo(c);
  // (Parameters copied back to the caller need a frame.)
  if (!wholeTried && !copyBack && try_whole_function(c, index, args, count, result, redo) == WholeRun::done) return true;
  if (!open_call_entry(c, index)) return false;
  const int frameDepth = c.depth;
  ++c.callLevel;

  const std::uint16_t callerLevel = c.level;
  VarSlot* const callerSlots = c.slots;
  std::uint16_t calleeLevel = callerLevel;
  const bool ownFrame = !u.sharesVariables;
  CallerState saved(c, CallerState::Handlers::cleared, callerLine);
  c.boundTargets.push_back({c.assignFrame, c.assignSlot});

  auto unwind = [&] { unwind_call(c, frameDepth); };

  if (ownFrame) {
    std::uint16_t err = 0;
    calleeLevel = enter_frame(c, err);
    if (calleeLevel == 0) {
      saved.restore(c);
      unwind();
      return fail(c, err);
    }
  }
  start_callee(c, index);

  const trace::NestedRun traced(c, index);
  const bool everyArgument = count == static_cast<int>(u.params.size());
  bool ok;
  if (ownFrame && everyArgument && u.binding.learnt && u.binding.hwm < c.capacity) {
    ok = bind_learnt(c, u, args);
  } else {
    ok = bind_parameters(c, u, args, count);
    if (ok && ownFrame && everyArgument && !u.binding.learnt) learn_binding(c, u);
  }
  bool gotValue = false;
  if (ok) {
    // The body stays in the script list while it runs, whatever the run
    // defines (the callable table may move).
    c.scripts.push_back(u.body);
    run_script(c, static_cast<std::uint32_t>(c.scripts.size() - 1));
    c.scripts.pop_back();
    gotValue = c.returned;
  }
  CalleeError err(c);
  take_return_value(c, gotValue, result);
  if (copyBack && err.number == 0) copy_back_parameters(c, c.udfs[static_cast<std::size_t>(index)], args, count);
  if (ownFrame) leave_frame(c, callerLevel, callerSlots, calleeLevel);
  saved.restore(c);
  unwind();
  return err.pass_on(c, ok, result);
}

// ---- Quick calls ----
//
// A call from a compiled statement of a function with a frame of its own
// and a learnt binding, while nothing watches statements (no trace, single
// stepping or line echo) and the caller names no handler: the body's
// compiled statements run straight from here. Only what they can change of
// the caller's state is kept. Should the body go on as text (a line that is
// not compiled, an error to handle, a spent budget, a cancel), the run loop
// takes over where they stopped, as it would have in a full call.

// The caller's state a body's compiled statements can change.
struct QuickSave {
  std::uint32_t curScript, pos, stmtPos;
  int ifState;
  std::uint8_t breakable;
  bool lineSubstituted, returned;
  int errorHandlerMode, cancelHandlerMode;
  std::uint16_t executingUdf, assignFrame, assignSlot;
  int persistentUdf;
  CachedLine* replay;
  int traceEvent, conditionResult;   // what the caller's statement records in a trace

  explicit QuickSave(const Context& c)
      : curScript(c.curScript), pos(c.pos), stmtPos(c.stmtPos), ifState(c.ifState), breakable(c.breakable),
        lineSubstituted(c.lineSubstituted), returned(c.returned), errorHandlerMode(c.errorHandlerMode),
        cancelHandlerMode(c.cancelHandlerMode), executingUdf(c.executingUdf), assignFrame(c.assignFrame),
        assignSlot(c.assignSlot), persistentUdf(c.persistentUdf), replay(c.replay), traceEvent(c.traceEvent),
        conditionResult(c.conditionResult) {}

  void restore(Context& c) const {
    c.curScript = curScript;
    c.pos = pos;
    c.stmtPos = stmtPos;
    c.ifState = ifState;
    c.breakable = breakable;
    c.lineSubstituted = lineSubstituted;
    c.returned = returned;
    c.errorHandlerMode = errorHandlerMode;
    c.cancelHandlerMode = cancelHandlerMode;
    // The caller named no handler: one the body named goes with it.
    if (!c.errorHandlerFn.empty()) c.errorHandlerFn.clear();
    if (!c.cancelHandlerFn.empty()) c.cancelHandlerFn.clear();
    c.executingUdf = executingUdf;
    c.assignFrame = assignFrame;
    c.assignSlot = assignSlot;
    c.persistentUdf = persistentUdf;
    c.replay = replay;
    c.traceEvent = traceEvent;
    c.conditionResult = conditionResult;
  }
};

// The rest of a body through the run loop, from where its compiled
// statements stopped. Only statements run as text move the scanner or look
// at the trace's nesting, so those are kept from here on.
[[gnu::noinline]] void finish_body_as_text(Context& c, int index, StatementRun started, bool startedDue) {
  const std::ptrdiff_t progOffset = c.prog ? c.prog - c.line : 0;
  const std::uint8_t tokKind = c.tokKind;
  const std::int32_t delim = c.delim;
  const std::uint16_t tokenSlot = c.tokenSlot;
  const std::size_t replayCursor = c.replayCursor;
  const bool assignAllowed = c.assignAllowed;
  {
    const trace::NestedRun traced(c, index);
    continue_script(c, started, startedDue);
  }
  c.prog = c.line + progOffset;
  c.tokKind = tokKind;
  c.delim = delim;
  c.tokenSlot = tokenSlot;
  c.replayCursor = replayCursor;
  c.assignAllowed = assignAllowed;
}

// `bind(u)` puts the arguments into the learnt slots; it cannot fail (it is
// given only arguments that own nothing).
template <class Bind>
QuickCall quick_call(Context& c, int index, int count, Operand& result, Bind bind) {
  if (static_cast<std::size_t>(index) >= c.udfs.size()) return QuickCall::declined;
  Udf& u = c.udfs[static_cast<std::size_t>(index)];
  const Udf::Binding& b = u.binding;
  if (!u.body || u.sharesVariables || u.kind != kk::kFunction || !b.learnt ||
      count != static_cast<int>(u.params.size()) || b.hwm >= c.capacity)
    return QuickCall::declined;
  // A spent budget, a full structure stack and vectors that would have to
  // grow are left to the full call, which reports or allocates.
  if (!statement_path_enabled(c) || c.statementBudget == 1 || c.trace.state != trace::kOff ||
      !c.errorHandlerFn.empty() || !c.cancelHandlerFn.empty() || !steps::has_room(c) ||
      c.scripts.size() == c.scripts.capacity() || c.boundTargets.size() == c.boundTargets.capacity())
    return QuickCall::declined;
  open_call_entry(c, index);   // (room checked above)
  const int frameDepth = c.depth;
  ++c.callLevel;
  const QuickSave saved(c);
  c.boundTargets.push_back({c.assignFrame, c.assignSlot});
  const std::uint16_t callerLevel = c.level;
  VarSlot* const callerSlots = c.slots;
  std::uint16_t err = 0;
  const std::uint16_t calleeLevel = enter_frame(c, err);
  if (calleeLevel == 0) {
    saved.restore(c);
    unwind_call(c, frameDepth);
    fail(c, err);
    return QuickCall::failed;
  }
  start_callee(c, index);
  bind(u);
  // The body stays in the script list while it runs (see call_udf_impl).
  c.scripts.push_back(u.body);
  c.curScript = static_cast<std::uint32_t>(c.scripts.size() - 1);
  c.pos = first_statement(*u.body);
  c.replay = nullptr;
  c.assignFrame = limits::kNoFrame;
  c.assignSlot = limits::kNoSlot;
  bool due = false;
  const StatementRun started = run_compiled_statements(c, due);
  if (!(started == StatementRun::ok && c.returned)) finish_body_as_text(c, index, started, due);
  c.scripts.pop_back();
  const bool gotValue = c.returned;
  if (c.error == 0 && c.errorText.empty()) {   // the common end: nothing to pass on
    take_return_value(c, gotValue, result);
    leave_frame(c, callerLevel, callerSlots, calleeLevel);
    saved.restore(c);
    unwind_call(c, frameDepth);
    return QuickCall::done;
  }
  CalleeError error(c);
  take_return_value(c, gotValue, result);
  leave_frame(c, callerLevel, callerSlots, calleeLevel);
  saved.restore(c);
  unwind_call(c, frameDepth);
  return error.pass_on(c, true, result) ? QuickCall::done : QuickCall::failed;
}

// Arguments a quick call can bind without a step that could fail: those
// that own nothing (numbers) and plain texts, which are the call's own (the
// compiled runner lends variables' texts only to built-ins) and move into
// the parameters.
bool quick_arguments(const Operand* args, int count) {
  for (int k = 1; k <= count; ++k) {
    const std::uint32_t flags = args[k].flags;
    if ((flags & kHolds) && flags != vf::kStr && flags != vf::kWide) return false;
  }
  return true;
}

// Each parameter takes its argument, whose slot is left empty.
void bind_quick(Context& c, const Udf& u, Operand* args) {
  const Udf::Binding& b = u.binding;
  bind_learnt_names(c, u);
  for (std::size_t k = 0; k < u.params.size(); ++k) {
    Value& from = args[k + 1];
    Value& target = c.slots[b.slots[k]].v;
    if (target.flags & kHolds) release_value(c, target);   // (only when a name repeats)
    target = from;
    if (from.flags & kHolds) clear_value(from);
    else target.str = target.wstr = 0;
  }
}

}  // namespace

bool call_udf(Context& c, int index, Operand* args, int count, Operand& result) {
  return call_udf_impl(c, index, args, count, result, false);
}

bool call_udf_from_compiled(Context& c, int index, Operand* args, int count, Operand& result) {
  WholeRedo redo(c);
  if (try_whole_function(c, index, args, count, result, redo) == WholeRun::done) return true;
  if (quick_arguments(args, count)) {
    const QuickCall run = quick_call(c, index, count, result, [&](const Udf& u) { bind_quick(c, u, args); });
    if (run != QuickCall::declined) return run == QuickCall::done;
  }
  return call_udf_impl(c, index, args, count, result, false, CallerState::Line::unread, true);
}

QuickCall call_udf_quick(Context& c, int index, const std::int32_t* args, int count, Operand& result) {
  WholeRedo redo(c);
  std::int32_t out = 0;
  switch (run_whole_function(c, index, args, count, out)) {
    case WholeRun::done: make_int(result, out); return QuickCall::done;
    case WholeRun::missed: redo.arm(); break;
    case WholeRun::declined: break;
  }
  return quick_call(c, index, count, result, [&](const Udf& u) {
    bind_learnt_names(c, u);
    // (The names' slots were just cleared: a whole number needs only its flag and value.)
    for (int k = 0; k < count; ++k) set_int(c.slots[u.binding.slots[k]].v, args[k]);
  });
}

bool call_udf_copy_back(Context& c, int index, Operand* args, int count, Operand& result) {
  return call_udf_impl(c, index, args, count, result, true);
}

bool remove_udf(Context& c, std::string_view name, int& removed) {
  removed = 0;
  int index = find_udf(c, name);
  if (index < 0) return true;
  if (udf_is_executing(c, index)) return fail(c, errs::kUdfRemoveWhileRunning);
  const auto slot = static_cast<std::size_t>(index);
  c.udfs[slot] = Udf{};
  c.udfRecords[slot] = api::KeywordRecord{};   // no name: never matches a word
  while (!c.udfs.empty() && c.udfs.back().name.empty()) {
    c.udfs.pop_back();
    c.udfRecords.pop_back();
  }
  removed = 1;
  ++c.keywordGeneration;
  return true;
}

bool remove_all_udfs(Context& c, int& hadBodies) {
  hadBodies = 0;
  for (std::size_t i = 0; i < c.udfs.size(); ++i)
    if (udf_is_executing(c, static_cast<int>(i))) return fail(c, errs::kUdfRemoveWhileAnyRuns);
  for (const Udf& u : c.udfs) hadBodies += u.body ? 1 : 0;
  c.udfs.clear();
  c.udfRecords.clear();
  c.executingUdf = limits::kNoUdf;
  ++c.keywordGeneration;
  return true;
}

}  // namespace orv
