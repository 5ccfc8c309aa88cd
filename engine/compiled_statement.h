// Compiled statements: a line that runs again (a loop body, a function body)
// and that the compiled form covers whole is kept by the position the run loop
// reads it from, so the next time it runs without reading, substituting,
// scanning or dispatching its text.
//
// The text stays the truth. A statement is compiled only when the language
// cannot observe its text: no %substitution% (lines with "%" never qualify),
// no label, not a definition line, not rewritten by a GoTo or GoSub (any
// rewrite of a script's text makes all its compiled statements stale), and
// names that still mean what they meant (the keyword generation). Whenever a
// compiled statement meets anything it does not mirror exactly (a value of
// another type, a missing variable, an error to report), it changes nothing
// and the run loop reads and runs the line as text.
#pragma once
#include <cstdint>

#include "engine/context.h"

namespace orv {

// The single switch between the compiled and the text path for whole
// statements; anything that needs to see each line's text (the line echo,
// a trace, single stepping) turns it off here.
inline bool statement_path_enabled(const Context& c) {
  return c.compileLines && !c.debugOutput && c.trace.state != trace::kTracing && !c.debugStepping;
}

// Compiled statements a script may keep (each costs about 200 bytes plus its
// expression nodes, which count against kMaxCompiledNodes): at most some 10 MB.
inline constexpr std::size_t kMaxCompiledStatements = 50000;

enum class StatementRun { not_run, ok, failed };

// Runs the statement the run loop would read at c.pos from its compiled form,
// and the compiled statements after it until one is not compiled, one fails,
// or the message queue is due (`messagesDue`). Each counts against the
// statement budget. ok: c.pos is where the loop reads next; failed: an error
// is set and c.line holds the failed statement's text for the report;
// not_run: nothing changed.
StatementRun run_compiled_statements(Context& c, bool& messagesDue);

// Compiles the statement just read from `readPos` (in c.line, with its
// tokens in `cached`) when the compiled form covers it. Done once per
// position and text version; the run loop calls it for lines that run again.
void learn_statement(Context& c, const CachedLine& cached, std::uint32_t readPos);

}  // namespace orv
