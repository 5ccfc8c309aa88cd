// Whole-number loops: a For or While loop whose body only computes whole numbers in
// variables that hold them (assignments, one-line Ifs that assign, If
// blocks, Switch blocks of constant Cases) runs its rounds as one register
// program, with no statements and no structure entries, when nothing could
// observe its statements. It starts where its Next has just gone round and
// stops at a Next: where the loop ends, where the message queue is due, or
// where a round meets what only the statements do (a zero divisor). That
// round is then taken back and left to the statements, which report it.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/compiled_statement_parts.h"
#include "engine/switch_table.h"
#include "engine/whole_steps.h"

namespace orv {

struct WholeLoop {
  const CompiledStatement* to = nullptr;   // the "To" clause or While line it was made for (the body follows it)
  // A For round: the body, the limit, kNextRound. A While round: the
  // condition, the body, kWhileRound; then kEnd, where a false condition goes.
  std::vector<WholeStep> steps;
  std::vector<NameRef> names;       // register k holds names[k]; names[0] is a For loop's variable
  std::vector<CaseJumps> tables;    // a Switch's: to the step its value goes on at
  std::uint16_t nesting = 0;        // the deepest nesting any of its expressions needs
  int structures = 0;               // structure entries the body's statements would open at most
  std::uint32_t bodyWeight = 0;     // what a round's statements count toward a look at the messages
  std::uint32_t nextWeight = 0;     // and its Next (or EndWhile)
  bool mayMiss = false;             // a step may give the round up: its start is kept
  // A While loop's: no loop variable, and its condition starts each round.
  bool is_while() const { return to->kind == CompiledStatement::kWhile; }
};

// A Next gives up on a program after this many looks at a body not yet
// compiled throughout; kGaveUp: it has none.
inline constexpr std::uint8_t kWholeLoopTries = 16;
inline constexpr std::uint8_t kWholeLoopGaveUp = 255;

// The part of run_whole_loop and run_whole_while out of line: `end` is the
// loop's Next or EndWhile, `head` its "To" clause or While line.
void start_whole_loop(Context& c, CompiledStatement& end, CompiledStatement& head);

// Called by the Next `next` of a For loop whose whole-number variable has
// just stepped by its "To" clause `to` (c.pos at the body's first line).
// While the loop goes on, runs what rounds it can; the state is then what
// the Next of the last of them leaves.
[[gnu::always_inline]] inline void run_whole_loop(Context& c, CompiledStatement& next, CompiledStatement& to) {
  if (next.wholeLoopTries != kWholeLoopGaveUp) [[unlikely]]
    start_whole_loop(c, next, to);
}

// Called by the EndWhile `end` of a While loop that has gone back to its
// While line `head` (its entry let go, c.pos at the line): runs what rounds
// it can, each from the condition; the state is then again that of the
// While line about to run, which the statements take on from.
[[gnu::always_inline]] inline void run_whole_while(Context& c, CompiledStatement& end, CompiledStatement& head) {
  if (end.wholeLoopTries != kWholeLoopGaveUp) [[unlikely]]
    start_whole_loop(c, end, head);
}

}  // namespace orv
