// Whole-number programs: the register steps that whole-number functions and
// loops run instead of their statements, the emitter that turns compiled
// expressions into them, and the step rules both runners share.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/compiled.h"
#include "engine/context.h"
#include "engine/int_steps.h"

namespace orv {

// One step. Operators use IntStep's codes of the register and constant
// forms; the codes from kFirstOwn on are the programs' own.
struct WholeStep {
  enum Code : std::uint8_t {
    kFirstOwn = 100,
    kLoad = kFirstOwn,   // r[dst] = value
    kMove,               // r[dst] = r[a]
    kNeg, kNot, kTilde,  // r[dst] = op r[a]
    kCall,               // r[dst] = function `value` of r[a] .. r[a + b - 1], at nesting + depth
    kJumpIfZero,         // when r[a] == 0, go on at step `value`
    kJump,               // go on at step `value`
    kSwitch,             // go on at the step jump table `value` gives for r[a]
    kReturn,             // the function's value is r[a]
    kEnd,                // the body ran out: 0 (a While loop: its condition is false)
    kStatement,          // a statement starts: it weighs `value` toward a look at the messages
    kNextRound,          // a loop's Next: its variable r[0] steps by `value` and is held against r[a]
    kWhileRound          // a While loop's EndWhile: back to its condition
  };
  // Operators: r[dst] = r[a] op r[b], or r[a] op value in the constant form.
  std::uint8_t code = kEnd;
  std::uint8_t dst = 0, a = 0, b = 0;
  std::uint16_t depth = 0;   // kCall: the evaluator's nesting at the call
  std::int32_t value = 0;
};

// Variables come first in the registers, the expressions' values after them.
inline constexpr std::size_t kWholeVariables = 16;
inline constexpr std::size_t kWholeRegisters = 40;
inline constexpr std::uint8_t kFirstWholeTemp = static_cast<std::uint8_t>(kWholeVariables);

enum class WholeVerdict { whole, not_whole, not_ready };

// Appends the steps of compiled expressions to `steps`. What a variable's
// register is and whether calls are whole is the program's own affair.
class WholeEmitter {
 public:
  explicit WholeEmitter(std::vector<WholeStep>& steps) : steps_(steps) {}
  virtual ~WholeEmitter() = default;
  WholeEmitter(const WholeEmitter&) = delete;
  WholeEmitter& operator=(const WholeEmitter&) = delete;

  WholeStep& emit(std::uint8_t code, std::uint8_t dst = 0);
  // Node `index` of `line` into register `dst`, which only the last of its
  // steps writes (so it may be a variable the node reads), with the
  // registers from `scratch` on free to use.
  WholeVerdict expression(const CompiledLine& line, std::int32_t index, std::uint8_t dst, std::uint8_t scratch);
  // The steps of "name = value", "name += value" or "name -= value" (`e`,
  // an assignment of one of these) into the variable of register `target`.
  // Scratch registers start at kFirstWholeTemp.
  WholeVerdict assignment(const CompiledLine& line, const CompiledExpr& e, std::uint8_t target);
  // A register holding node `index`'s value: a variable's own, or `into`
  // (with the registers above it as scratch).
  WholeVerdict operand(const CompiledLine& line, std::int32_t index, std::uint8_t into, std::uint8_t& reg);
  std::size_t size() const { return steps_.size(); }
  // Points the jump at `at` to where the steps have got to.
  void land(std::size_t at) { steps_[at].value = static_cast<std::int32_t>(steps_.size()); }

 protected:
  // The register of a variable the expression reads, or -1 (not whole).
  virtual int variable(const std::string& name) = 0;
  virtual WholeVerdict call(const CompiledLine& line, const CompiledNode& n, std::uint8_t dst, std::uint8_t scratch) = 0;

  std::vector<WholeStep>& steps_;

};

// Nothing would see the statements of the general run: no trace, line echo
// or single stepping, no statement budget or hook, no handler named.
bool whole_run_unobserved(const Context& c);

}  // namespace orv

// The steps every whole-number runner takes alike, as cases of its switch
// over `s->code`: `d` is r[s->dst], `r` the registers; MISS is what a zero
// divisor does.
#define ORV_WHOLE_OPERATOR_STEPS_(NAME, MISS)                            \
  case IntStep::k##NAME: {                                               \
    std::int32_t x = r[s->a];                                            \
    if (!apply_int_operator<IntStep::k##NAME>(x, r[s->b])) MISS;         \
    d = x;                                                               \
    break;                                                               \
  }                                                                      \
  case IntStep::k##NAME##K: {                                            \
    std::int32_t x = r[s->a];                                            \
    if (!apply_int_operator<IntStep::k##NAME>(x, s->value)) MISS;        \
    d = x;                                                               \
    break;                                                               \
  }
#define ORV_WHOLE_COMMON_STEPS(MISS)                                     \
  case WholeStep::kLoad: d = s->value; break;                            \
  case WholeStep::kMove: d = r[s->a]; break;                             \
  case WholeStep::kNeg:                                                  \
    d = r[s->a];                                                         \
    apply_int_unary<IntStep::kNeg>(d);                                   \
    break;                                                               \
  case WholeStep::kNot:                                                  \
    d = r[s->a];                                                         \
    apply_int_unary<IntStep::kNot>(d);                                   \
    break;                                                               \
  case WholeStep::kTilde:                                                \
    d = r[s->a];                                                         \
    apply_int_unary<IntStep::kTilde>(d);                                 \
    break;                                                               \
  case WholeStep::kJumpIfZero:                                           \
    if (r[s->a] == 0) s = first + s->value - 1;                          \
    break;                                                               \
    ORV_WHOLE_OPERATOR_STEPS_(Add, MISS)                                 \
    ORV_WHOLE_OPERATOR_STEPS_(Sub, MISS)                                 \
    ORV_WHOLE_OPERATOR_STEPS_(Mul, MISS)                                 \
    ORV_WHOLE_OPERATOR_STEPS_(Mod, MISS)                                 \
    ORV_WHOLE_OPERATOR_STEPS_(Eq, MISS)                                  \
    ORV_WHOLE_OPERATOR_STEPS_(Ne, MISS)                                  \
    ORV_WHOLE_OPERATOR_STEPS_(Lt, MISS)                                  \
    ORV_WHOLE_OPERATOR_STEPS_(Le, MISS)                                  \
    ORV_WHOLE_OPERATOR_STEPS_(Gt, MISS)                                  \
    ORV_WHOLE_OPERATOR_STEPS_(Ge, MISS)
