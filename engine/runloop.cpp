#include "engine/runloop.h"

#include "engine/error_numbers.h"
#include "engine/outside_code.h"
#include "engine/parameter_words.h"

#include <cstring>
#include "engine/active_runs.h"
#include "engine/caller_state.h"
#include "engine/compiled_statement.h"
#include "engine/convert.h"
#include "engine/messages.h"
#include "engine/no_throw.h"
#include "engine/parameter_words.h"
#include "engine/script.h"
#include "engine/statements.h"
#include "engine/structure_steps.h"
#include "engine/tokenizer.h"
#include "engine/udf.h"
#include "engine/error_handling.h"
#include "engine/trace/stepping.h"
#include "engine/trace/trace.h"
#include "engine/value_ops.h"
#include "engine/variables.h"

namespace orv {
namespace {


// Points the scanner at the cached tokens of the line just read (from
// `readPos`). A line is scanned ahead only when it runs a second time, so
// straight-line code pays nothing; then it may also be compiled whole.
void attach_line_cache(Context& c, std::uint32_t readPos) {
  c.replay = nullptr;
  c.replayCursor = 0;
  if (c.lineSubstituted || c.pendingLineError) return;
  auto [it, inserted] = c.script().lineCache.try_emplace(c.stmtPos);
  CachedLine& cached = it->second;
  if (inserted || cached.generation != c.keywordGeneration || cached.text != c.line) {
    cached = CachedLine{};
    cached.text = c.line;
    cached.generation = c.keywordGeneration;
    return;   // runs for the first time (or changed): scan it live
  }
  if (!cached.scanned) cache_line_tokens(c, c.line, cached);
  if (!cached.usable) return;
  c.replay = &cached;
  learn_statement(c, cached, readPos);
}

// Stops the run once the statement budget is spent (9000, as by Exit).
bool budget_spent(Context& c) {
  if (c.statementBudget == 0 || --c.statementBudget != 0) return false;
  c.statementBudget = 1;   // stays spent: every later statement ends too
  fail(c, 9000);
  return true;
}

// Between statements: let window messages through and honour a user break.
// False when the run ends.
bool between_statements(Context& c) {
  // The host ended the context (cancelRequested stays set for the outer runs): stop as by Exit.
  if (c.cancelRequested && termination_requested(c)) {
    fail(c, 9000);
    return false;
  }
  look_at_messages(c);
  if (c.cancelRequested) {
    c.cancelRequested = false;
    fail(c, errs::kCancelled);
    if (!after_statement(c)) return false;
  }
  return true;
}

}  // namespace

void look_at_messages(Context& c) {
  if (!c.noYield && c.pumpThrottle.due(platform::tick_count()) && pump_window_messages(c, false) && !c.noCancel)
    c.cancelRequested = true;
}

// Past the line that records where a script's text came from (a comment,
// which would only be read and passed over).
std::uint32_t find_first_statement(Script& s) {
  const std::string& t = s.text;
  std::uint32_t at = 0;
  if (t.size() >= 2 && t[0] == ';' && t[1] == kMarkerTag) {
    const std::size_t end = t.find('\n');
    at = end == std::string::npos ? 0 : static_cast<std::uint32_t>(end + 1);
  }
  s.firstStatement = at;
  s.firstStatementOf = s.textVersion;
  return at;
}

namespace {

// The statements of the current script from c.pos on, until it ends or
// returns. `started`: what a run of compiled statements already did there.
void statement_loop(Context& c, StatementRun started, bool startedDue) {
  DefinitionState definitions;
  Operand result;
  clear_operand(result);
  for (;;) {
    c.assignFrame = limits::kNoFrame;
    c.assignSlot = limits::kNoSlot;
    // The last statement of a budget is left to the text path, which ends the run.
    if (started != StatementRun::not_run ||
        (definitions.open == DefinitionState::Kind::none && statement_path_enabled(c) && c.statementBudget != 1)) {
      bool messagesDue = startedDue;
      const StatementRun run = started != StatementRun::not_run ? started : run_compiled_statements(c, messagesDue);
      started = StatementRun::not_run;
      if (run != StatementRun::not_run) {
        if (run == StatementRun::failed) {
          if (!after_statement(c)) break;
          messagesDue = c.cancelRequested || !c.pumpThrottle.skip_after_cheap_statement();
        }
        if (c.returned) break;
        if (messagesDue && !between_statements(c)) break;
        continue;
      }
    }
    const std::uint32_t readPos = c.pos;
    if (!read_line(c, c.script(), c.pos, c.stmtPos)) break;
    char* text = c.line;
    if (*text == '\0' || *text == ';') { c.pendingLineError = 0; continue; }
    if (budget_spent(c)) break;
    if (definition_line(c, definitions)) {
      c.pendingLineError = 0;
      if (failed(c) && !after_statement(c)) break;
      continue;
    }
    c.lineSubstituted = false;
    if (!substitute(c, text, false)) {
      if (skipping(c)) { c.error = 0; c.errorText.clear(); }
      else if (!after_statement(c)) break;
    }
    attach_line_cache(c, readPos);
    if (*text == ':') {
      ++text;
      while (*text && *text != ' ' && *text != '\t' && *text != ';') ++text;
      while (*text == ' ' || *text == '\t') ++text;
      if (*text == '\0' || *text == ';') { c.pendingLineError = 0; continue; }
    }
    if (c.debugOutput) platform::debug_output(std::string(">>>>>") + text + "<<<<<\n");
    if (c.pendingLineError) {
      std::uint16_t pending = c.pendingLineError;
      c.pendingLineError = 0;
      if (!skipping(c)) {
        fail(c, pending);
        if (!after_statement(c)) break;
        continue;
      }
    }
    if (c.debugStepping && !trace::stop_before(c, text)) { if (!after_statement(c)) break; continue; }
    const trace::StatementText traced(c, text);
    const bool ok = run_guarded(c, [&] { return execute_statement(c, result, text); });
    if (trace::active(c)) trace::statement_done(c, traced, result);
    if (c.statementDone) c.statementDone(c);
    release_value(c, result);
    clear_operand(result);
    if (!ok || failed(c)) {
      if (!after_statement(c)) break;
    }
    if (c.returned) break;
    if (!between_statements(c)) break;
  }
  if (!failed(c) && definitions.open != DefinitionState::Kind::none) {
    fail(c, errs::kDefineUnclosed);
    after_statement(c);
  }
}

}  // namespace

void continue_script(Context& c, StatementRun started, bool startedDue) { statement_loop(c, started, startedDue); }

void run_script(Context& c, std::uint32_t index) {
  const std::uint32_t savedScript = c.curScript;
  const std::uint32_t savedPos = c.pos;
  c.curScript = index;
  c.pos = first_statement(c.script());
  c.replay = nullptr;
  StatementRun started = StatementRun::not_run;
  bool startedDue = false;
  // A function body whose compiled statements run to its Return needs
  // nothing of the loop's own state.
  if (statement_path_enabled(c) && c.statementBudget != 1) {
    c.assignFrame = limits::kNoFrame;
    c.assignSlot = limits::kNoSlot;
    started = run_compiled_statements(c, startedDue);
  }
  if (!(started == StatementRun::ok && c.returned)) statement_loop(c, started, startedDue);
  c.curScript = savedScript;
  c.pos = savedPos;
}

namespace {

bool store_parameter(Context& c, std::int32_t k, std::string_view word) {
  return set_string_variable(c, "param" + std::to_string(k), word);
}

bool store_parameter(Context& c, std::int32_t k, std::u16string_view word) {
  const std::uint16_t slot = find_or_create_slot(c, "param" + std::to_string(k));
  if (slot == kNotFound) return false;
  Value v{};
  return make_wstring(c, v, word) && store_in_slot(c, slot, v);
}

template <class Ch>
std::int32_t set_parameter_words(Context& c, std::basic_string_view<Ch> params) {
  std::int32_t oldCount = 0;
  if (std::uint16_t slot = find_slot(c, "param0"); slot != kNotFound && (c.slots[slot].v.flags & vf::kInt))
    oldCount = c.slots[slot].v.i;
  for (std::int32_t i = 1; i <= oldCount && i < 10000; ++i) {
    std::uint16_t slot = find_slot(c, "param" + std::to_string(i));
    if (slot != kNotFound) drop_slot(c, slot);
  }
  std::int32_t count = 0;
  for (const auto& word : parameter_words(params))
    if (!store_parameter(c, ++count, std::basic_string_view<Ch>(word))) return -1;
  return set_int_variable(c, "param0", count) ? count : -1;
}

}  // namespace

bool set_parameters(Context& c, std::string_view params) { return set_parameter_words(c, params) >= 0; }
std::int32_t parse_parameters(Context& c, std::string_view params) { return set_parameter_words(c, params); }
std::int32_t parse_parameters(Context& c, std::u16string_view params) { return set_parameter_words(c, params); }

bool call_script(Context& c, const std::string& file, const Value& params, Operand& result) {
  std::string paramText;
  if (!value_text(c, params, paramText)) return false;
  const std::string path = locate_script_file(file, c.script().dir);
  if (path.empty()) return fail(c, errs::kCallFileNotFound);
  std::string raw;
  switch (platform::read_whole_file(path, raw)) {
    case platform::FileStatus::ok: break;
    case platform::FileStatus::not_found: return fail(c, errs::kScriptFileNotFound, path);
    case platform::FileStatus::no_memory: return fail(c, errs::kScriptNoMemory);
    default: return fail(c, errs::kScriptReadFailed);
  }
  auto script = std::make_unique<Script>();
  if (!prepare_script(c, std::move(raw), path, platform::directory_of(path), *script)) return false;
  if (!set_parameters(c, paramText)) return false;

  if (!steps::open_entry(c, sk::kCall, skip::kRun)) return false;
  const int frameDepth = c.depth;

  CallerState saved(c);
  const trace::NestedRun traced(c, trace::NestedRun::Kind::script, path);
  ++c.callLevel;
  c.ifState = -1;
  c.breakable = 0;
  c.scripts.push_back(std::move(script));
  const std::uint32_t index = static_cast<std::uint32_t>(c.scripts.size() - 1);
  c.returned = false;

  run_script(c, index);

  const bool gotValue = c.returned;
  while (c.depth >= frameDepth) {
    steps::clear_entry(c.stack[static_cast<std::size_t>(c.depth)]);
    --c.depth;
  }
  c.scripts.pop_back();
  --c.callLevel;
  saved.restore(c);

  if (failed(c)) {
    std::uint16_t err = c.error;
    c.error = 0;
    c.errorText.clear();
    release_value(c, c.returnValue);
    // Exit, a termination and the user's cancel end the caller as they would
    // have there; an error, already reported inside, ends it without a report.
    return fail(c, err == 9000 || err == 9999 ? err : 9013);
  }
  if (gotValue) {
    static_cast<Value&>(result) = c.returnValue;
    clear_operand(c.returnValue);
  } else {
    make_int(result, 0);
  }
  return true;
}

}  // namespace orv
