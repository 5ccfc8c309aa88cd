// The parts of a compiled statement, shared by the files that learn, run
// and map them (engine/compiled_statement.cpp, engine/switch_table.cpp).
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/compiled.h"
#include "engine/context.h"
#include "engine/variables.h"

namespace orv {

// A variable the statement names, with the slot it was last found in.
struct NameRef {
  NameRef() = default;
  explicit NameRef(std::string lowerName) : name(std::move(lowerName)) {}
  std::string name;   // lower-case
  SlotHint hint;
  MadeSlot made;      // how the line last made it (a function's local)
};

struct CompiledStatement {
  enum Kind : std::uint8_t {
    kNone,   // tried: the text path runs it
    kAssign, kIfBlock, kIfLine, kElse, kEndIf, kWhile, kEndWhile, kTo, kNext, kSwitch, kCase, kEndSwitch, kBreak, kContinue,
    kReturn,
    kCall,          // a statement that is a call (its value is dropped)
    kAssignElement, // "name[subscripts] op value", all without effects
    kToBy,          // a "To" clause with a "By" step
    kFor            // "For name = start To limit [By step]", all without effects
  };
  Kind kind = kNone;
  std::uint32_t stmtPos = 0, nextPos = 0;
  std::uint32_t textVersion = 0, generation = 0;
  CompiledLine code;
  std::int32_t expr = -1;        // the statement's expression in `code`, if any
  std::int32_t thenReturn = -1;  // "If ... Then Return value": the value's expression
  std::int32_t stepExpr = -1;    // kToBy, kFor: the step's expression
  std::int32_t limitExpr = -1;   // kFor: the limit's expression (`expr`: the start's)
  std::uint32_t toPos = 0;       // kFor: where its "To" clause is read
  // "If ... Then name = value" or "If ... Then Call(...)": the statement's
  // expression, run strictly; thenTarget names an assignment's target.
  std::int32_t thenStatement = -1;
  NameRef thenTarget;
  // kAssignElement: the subscripts' expressions and the assignment operator.
  std::vector<std::int32_t> subscripts;
  std::int32_t elementOp = 0;
  std::vector<NameRef> names;    // every variable of the line; an assignment's target first
  std::uint64_t namesFoundAt = 0;   // the slot stamp under which all of `names` were last found
  bool callsOut = false;         // it may call something with effects (a function, a command)
  bool mayStop = false;          // it may end the run of statements (it calls out or may return)
  // Its links may be followed without a look at the script: it neither calls
  // out (which may change the script's text or names) nor leaves for another
  // script (an EndWhile going back to its While).
  bool trustsLinks = false;
  std::uint8_t pumpWeight = 0;   // what it counts toward a look at the message queue
  // The statements that ran after it, at nextPos and at the last place it
  // jumped to (nodes of the same map: they stay put), so a loop's lines are
  // not looked up each pass.
  CompiledStatement* follow = nullptr;
  CompiledStatement* jumped = nullptr;
  std::uint32_t jumpedPos = 0;
  CompiledStatement* loopTest = nullptr;   // a Next's "To" clause
  CompiledStatement* loopBody = nullptr;   // and the line after it, where the loop goes on
  // The statement's expression when it is a lone number or variable (a
  // loop's limit, a Case), with the nesting it needs; null otherwise.
  const IntStep* lone = nullptr;
  std::uint16_t loneNesting = 0;
  // A condition comparing a variable with a literal text (a line read
  // checked for an end mark): its nodes, so the variable's text is compared
  // where it lies; null otherwise.
  CompiledNode* textVar = nullptr;
  const CompiledNode* textLiteral = nullptr;
  std::int32_t textOp = 0;
  bool textVarLeft = false;
  bool literalMayBeNumber = false;   // then a variable's text that may too is compared as numbers are
  // A "To" clause's limit last read from a variable's text, and the whole
  // number it read as: the next pass compares the text instead of parsing
  // it (the variable may change, so its text is always looked at).
  std::array<char, 12> limitText{};
  std::uint8_t limitSize = 0;   // 0: none kept (an empty text is no limit)
  std::int32_t limitValue = 0;
  // A Switch's map of its block (made on its first runs), shared with the
  // Breaks that end that block.
  std::shared_ptr<struct SwitchTable> table;
  std::uint8_t tableTries = 0;
  std::uint32_t blockIndex = 0;   // a Break's place in the block of its table
  // A Next's loop as a whole-number program (engine/whole_loops.h), once made.
  std::shared_ptr<struct WholeLoop> wholeLoop;
  std::uint8_t wholeLoopTries = 0;
  // Runs of it under way: a function it calls may reach the same line, which
  // must then not be learnt afresh under the running one.
  std::uint16_t running = 0;
};

// Marks a statement as running while it calls out.
class RunningStatement {
 public:
  explicit RunningStatement(CompiledStatement& st) : st_(st) { ++st_.running; }
  ~RunningStatement() { --st_.running; }
  RunningStatement(const RunningStatement&) = delete;
  RunningStatement& operator=(const RunningStatement&) = delete;

 private:
  CompiledStatement& st_;
};

struct StatementCache {
  std::unordered_map<std::uint32_t, CompiledStatement> byPos;   // nodes stay put: `recent` points into it
  // The statements found last, by position: a loop's lines without hashing.
  struct Recent {
    std::uint32_t pos = 0;
    CompiledStatement* st = nullptr;
  };
  // Lines that follow each other have distinct low bits: a loop body of up
  // to this many bytes never evicts its own lines.
  std::array<Recent, 256> recent{};
  static std::size_t bucket(std::uint32_t pos) { return pos & 255u; }
  CompiledStatement* find(std::uint32_t pos) {
    Recent& r = recent[bucket(pos)];
    if (r.st && r.pos == pos) return r.st;
    auto it = byPos.find(pos);
    if (it == byPos.end()) return nullptr;
    r = Recent{pos, &it->second};
    return r.st;
  }
};

// A statement learnt for the script's text and names as they are now. One
// that the cache handed out stays a compiled kind while it is current (it
// is learnt again only for another version).
inline bool current(const Context& c, const Script& s, const CompiledStatement& st) {
  return st.textVersion == s.textVersion && st.generation == c.keywordGeneration;
}

}  // namespace orv
