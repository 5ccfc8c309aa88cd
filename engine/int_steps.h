// The integer form's step loop, inline where a statement runs it (an
// assignment, a condition, a loop limit, a Switch value), so the common case
// of a loop body costs no call and no per-operand dispatch.
#pragma once
#include <cstdint>
#include <cstring>

#include "engine/compiled.h"
#include "engine/context.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/value_ops.h"

namespace orv {

// The rules of the operators on plain integers (`code`: an operator's
// register form), for every loop that runs integer steps. False: a zero
// divisor, which only the general rules report.
template <IntStep::Code code>
[[gnu::always_inline]] inline bool apply_int_operator(std::int32_t& d, std::int32_t b) {
  if constexpr (code == IntStep::kAdd) d = wrap32(std::int64_t{d} + b);
  else if constexpr (code == IntStep::kSub) d = wrap32(std::int64_t{d} - b);
  else if constexpr (code == IntStep::kMul) d = wrap32(std::int64_t{d} * b);
  // A divisor of -1 leaves 0 (the 32-bit division would trap on the lowest
  // number); any other divides in 32 bits, much quicker than in 64.
  else if constexpr (code == IntStep::kMod) {
    if (b == 0) return false;
    d = b == -1 ? 0 : d % b;
  }
  else if constexpr (code == IntStep::kEq) d = d == b;
  else if constexpr (code == IntStep::kNe) d = d != b;
  else if constexpr (code == IntStep::kLt) d = d < b;
  else if constexpr (code == IntStep::kLe) d = d <= b;
  else if constexpr (code == IntStep::kGt) d = d > b;
  else if constexpr (code == IntStep::kGe) d = d >= b;
  else static_assert(code == IntStep::kAdd, "not an operator's register form");
  return true;
}

// The same for the unary operators.
template <IntStep::Code code>
[[gnu::always_inline]] inline void apply_int_unary(std::int32_t& d) {
  if constexpr (code == IntStep::kNeg) d = wrap32(-std::int64_t{d});
  else if constexpr (code == IntStep::kNot) d = d == 0;
  else if constexpr (code == IntStep::kTilde) d = ~d;
  else static_assert(code == IntStep::kNeg, "not a unary operator");
}

// Steps without calls (kCall never comes).
struct NoIntCalls {
  bool operator()(const IntStep&, std::int32_t*) const { __builtin_unreachable(); }
};

// Runs the steps [step, end) into `out`. False on any miss: a variable that
// is not a plain integer or whose remembered slot is stale, or a zero
// divisor. Nothing has changed then; the caller takes the general route
// (which refreshes the slots and reports the errors). A kCall step is made
// by `call` (false: a miss), after which variables are found afresh.
template <class Calls = NoIntCalls>
[[gnu::always_inline]] inline bool run_int_steps(const Context& c, const IntStep* step, const IntStep* end,
                                                  std::int32_t& out, Calls&& call = Calls{}) {
  // Every register is written before it is read: the steps come in
  // evaluation order, so no clearing is needed.
  std::int32_t r[kIntRegisters];
  std::uint64_t stamp = c.slotStamp;
  const VarSlot* slots = c.slots;
  // The step's variable, when its remembered slot holds a plain integer.
  auto variable = [&](const IntStep& s, std::int32_t& v) {
    if (s.hint.stamp != stamp) return false;
    const Value& slot = slots[s.hint.slot].v;
    if (slot.flags != vf::kInt) return false;
    v = slot.i;
    return true;
  };
  for (; step != end; ++step) {
    std::int32_t& d = r[step->dst];
    switch (step->code) {
      case IntStep::kLoad: d = step->value; break;
      case IntStep::kVar:
        if (!variable(*step, d)) return false;
        break;
      case IntStep::kNeg: apply_int_unary<IntStep::kNeg>(d); break;
      case IntStep::kNot: apply_int_unary<IntStep::kNot>(d); break;
      case IntStep::kTilde: apply_int_unary<IntStep::kTilde>(d); break;
      case IntStep::kCall:
        if (!call(*step, r)) return false;
        stamp = c.slotStamp;   // (the callee may have made variables in this table)
        slots = c.slots;
        break;
// Each operator in its four forms: the right operand from a register, the
// constant, the variable; or the variable as the left one and the constant.
#define ORV_INT_OPERATOR(NAME)                                             \
  case IntStep::k##NAME: {                                                 \
    if (!apply_int_operator<IntStep::k##NAME>(d, r[step->b])) return false; \
    break;                                                                 \
  }                                                                        \
  case IntStep::k##NAME##K: {                                              \
    if (!apply_int_operator<IntStep::k##NAME>(d, step->value)) return false; \
    break;                                                                 \
  }                                                                        \
  case IntStep::k##NAME##V: {                                              \
    std::int32_t b = 0;                                                    \
    if (!variable(*step, b)) return false;                                 \
    if (!apply_int_operator<IntStep::k##NAME>(d, b)) return false;         \
    break;                                                                 \
  }                                                                        \
  case IntStep::k##NAME##VK: {                                             \
    if (!variable(*step, d)) return false;                                 \
    if (!apply_int_operator<IntStep::k##NAME>(d, step->value)) return false; \
    break;                                                                 \
  }
      ORV_INT_OPERATOR(Add)
      ORV_INT_OPERATOR(Sub)
      ORV_INT_OPERATOR(Mul)
      ORV_INT_OPERATOR(Mod)
      ORV_INT_OPERATOR(Eq)
      ORV_INT_OPERATOR(Ne)
      ORV_INT_OPERATOR(Lt)
      ORV_INT_OPERATOR(Le)
      ORV_INT_OPERATOR(Gt)
      ORV_INT_OPERATOR(Ge)
#undef ORV_INT_OPERATOR
      default: __builtin_unreachable();   // every code is a case above
    }
  }
  out = r[0];
  return true;
}

// The same for a compiled expression of `line` that has an integer form.
[[gnu::always_inline]] inline bool run_int_form(const Context& c, const CompiledLine& line, const CompiledExpr& e,
                                                std::int32_t& out) {
  const IntStep* first = line.intCode.data() + e.intStart;
  return run_int_steps(c, first, first + e.intCount, out);
}

// Payloads that live outside the record, or references counted by their
// table (open files), that must go through copy and release.
inline constexpr std::uint32_t kPayloadFlags = vf::kStr | vf::kWide | vf::kArray | vf::kFile | vf::kAttached;

// An integer stored into a slot that holds no payload: "=", "+=" and "-="
// on plain integers. False: the general store must do it (nothing changed).
inline bool store_int(Value& slotValue, int assignOp, std::int32_t value) {
  if (slotValue.flags & kPayloadFlags) return false;
  if (assignOp == id::kAssign) {
    // As make_int leaves it, field by field: the compiler makes a block
    // clear of the packed record here, which costs a dozen steps.
    Value& v = slotValue;
    std::memset(v.variant, 0, sizeof v.variant);
    v.wide.i64 = 0;
    v.str = v.wstr = v.spare = 0;
    set_int(v, value);
    return true;
  }
  if (slotValue.flags != vf::kInt) return false;
  if (assignOp == id::kPlusEq) slotValue.i = wrap32(std::int64_t{slotValue.i} + value);
  else if (assignOp == id::kMinusEq) slotValue.i = wrap32(std::int64_t{slotValue.i} - value);
  else return false;
  return true;
}

}  // namespace orv
