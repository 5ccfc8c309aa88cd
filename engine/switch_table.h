// A compiled Switch's map of its block: the value and place of each Case and
// where the block ends, so that a Switch goes straight to its matching Case
// and a Break straight to the EndSwitch, instead of reading every line in
// between only to skip it.
//
// Jumping over lines is the same as skipping them only when skipping them
// would change nothing: every line of the block is a compiled statement (no
// labels, no definitions, no lines the compiled form does not cover), the
// structures in it are balanced, every Case is a whole-number constant, and
// the names a skipped line would declare exist already (checked at each jump).
#pragma once
#include <cstdint>
#include <vector>

#include "engine/compiled_statement_parts.h"
#include "engine/limits.h"
#include "engine/variables.h"

namespace orv {

// Where each Case value of a block leads, when the values lie close
// together: value lowest + k to at[k], the first of equal values winning;
// any other value to `none`.
struct CaseJumps {
  static constexpr std::int64_t kMaxSpan = 256;   // values further apart are looked up one by one
  struct Case {
    std::int32_t value, target;
  };
  std::int32_t lowest = 0;
  std::vector<std::int32_t> at;   // empty: not mapped
  std::int32_t none = -1;

  // Maps the Cases of a block, in its order; false (nothing mapped) when
  // there are none or they lie too far apart.
  bool map(const std::vector<Case>& cases, std::int32_t otherwise);
  std::int32_t target(std::int32_t v) const {
    const std::uint32_t k = static_cast<std::uint32_t>(v) - static_cast<std::uint32_t>(lowest);
    return k < at.size() ? at[k] : none;
  }
};

struct SwitchTable {
  std::uint32_t textVersion = 0, generation = 0;
  std::uint32_t switchPos = 0;      // the Switch line's statement position (its structure entry's)
  std::uint32_t endPos = 0;         // where the EndSwitch line is read
  std::uint32_t endNext = 0;        // where the line after it is read
  int nesting = 0;                  // structure entries the skipped lines would push at most
  std::uint16_t caseNesting = 0;    // expression nesting a Case's value needs
  std::uint32_t endIndex = 0;       // statements in the block before the EndSwitch
  // 1 + the index of the block's last Else (0: none): whether a Break's
  // jump to the EndSwitch passes one.
  std::uint32_t lastElse = 0;
  bool else_after(const CompiledStatement& brk) const { return lastElse > brk.blockIndex; }
  // The statements read after a jump, once found: the line after the
  // EndSwitch, and each Case's first line (made for the same text and names
  // as the table, so current while it is).
  CompiledStatement* after = nullptr;
  struct Arm {
    std::int32_t value = 0;
    std::uint32_t stmtPos = 0, nextPos = 0;   // the Case line
    std::uint32_t index = 0;                  // statements in the block before it
    CompiledStatement* body = nullptr;
  };
  std::vector<Arm> arms;            // in the order of the block: the first match wins
  CaseJumps jumps;                  // to the index of an arm, or -1 (none)
  std::vector<NameRef> names;       // what the skipped lines would declare

  // The first arm whose value is `v`, or null.
  Arm* arm_for(std::int32_t v) {
    if (!jumps.at.empty()) {
      const std::int32_t k = jumps.target(v);
      return k < 0 ? nullptr : &arms[static_cast<std::size_t>(k)];
    }
    for (Arm& arm : arms)
      if (arm.value == v) return &arm;
    return nullptr;
  }
};

// A Case line's whole-number constant: its integer form names no variable
// (`nesting`: raised to what its value needs). False: no such constant.
bool switch_case_value(Context& c, CompiledStatement& st, std::int32_t& out, std::uint16_t& nesting);

// Makes the table of the compiled Switch `st` of the current script, on one
// of its first few runs once the block's lines are compiled; null while there
// is none (the lines are then read one by one).
SwitchTable* make_switch_table(Context& c, CompiledStatement& st);

// The current table of `st` (it goes with the statement: a statement learnt
// afresh starts without one).
inline SwitchTable* switch_table(Context& c, CompiledStatement& st) {
  return st.table ? st.table.get() : make_switch_table(c, st);
}

// May the run go past skipped lines of the block now? (Room for what they
// would push, their names exist.) `opening`: the Switch's own entry is
// still to be pushed.
inline bool can_jump(Context& c, SwitchTable& t, int opening = 0) {
  if (c.depth + opening + t.nesting > limits::kStructDepth || c.exprDepth + t.caseNesting > limits::kExpressionDepth)
    return false;
  for (NameRef& n : t.names)
    if (hinted_slot(c, n.hint, n.name) == kNotFound) return false;
  return true;
}

// Counts `passed` statements the run goes past against the statement budget,
// when the budget outlasts them and the statement that follows; false (and
// nothing counted) when the lines must be read so that it ends on the right one.
inline bool take_budget(Context& c, std::uint32_t passed) {
  if (c.statementBudget == 0) return true;
  if (c.statementBudget <= std::uint64_t{passed} + 1) return false;
  c.statementBudget -= passed;
  return true;
}

}  // namespace orv
