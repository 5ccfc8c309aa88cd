// The integer form's step loop, inline where a statement runs it (an
// assignment, a condition, a loop limit, a Switch value), so the common case
// of a loop body costs no call and no per-operand dispatch.
#pragma once
#include <cstdint>
#include <cstring>

#include "engine/compiled.h"
#include "engine/context.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv {

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
      case IntStep::kNeg: d = wrap32(-std::int64_t{d}); break;
      case IntStep::kNot: d = d == 0; break;
      case IntStep::kTilde: d = ~d; break;
      case IntStep::kCall:
        if (!call(*step, r)) return false;
        stamp = c.slotStamp;   // (the callee may have made variables in this table)
        slots = c.slots;
        break;
// Each operator in its four forms: the right operand from a register, the
// constant, the variable; or the variable as the left one and the constant.
#define ORV_INT_OPERATOR(NAME, APPLY)                   \
  case IntStep::k##NAME: {                              \
    const std::int32_t b = r[step->b];                  \
    APPLY;                                              \
    break;                                              \
  }                                                     \
  case IntStep::k##NAME##K: {                           \
    const std::int32_t b = step->value;                 \
    APPLY;                                              \
    break;                                              \
  }                                                     \
  case IntStep::k##NAME##V: {                           \
    std::int32_t b = 0;                                 \
    if (!variable(*step, b)) return false;              \
    APPLY;                                              \
    break;                                              \
  }                                                     \
  case IntStep::k##NAME##VK: {                          \
    if (!variable(*step, d)) return false;              \
    const std::int32_t b = step->value;                 \
    APPLY;                                              \
    break;                                              \
  }
      ORV_INT_OPERATOR(Add, d = wrap32(std::int64_t{d} + b))
      ORV_INT_OPERATOR(Sub, d = wrap32(std::int64_t{d} - b))
      ORV_INT_OPERATOR(Mul, d = wrap32(std::int64_t{d} * b))
      // A zero divisor is for the general rules to report. A divisor of -1
      // leaves 0 (the 32-bit division would trap on the lowest number); any
      // other divides in 32 bits, much quicker than in 64.
      ORV_INT_OPERATOR(Mod, if (b == 0) return false; d = b == -1 ? 0 : d % b)
      ORV_INT_OPERATOR(Eq, d = d == b)
      ORV_INT_OPERATOR(Ne, d = d != b)
      ORV_INT_OPERATOR(Lt, d = d < b)
      ORV_INT_OPERATOR(Le, d = d <= b)
      ORV_INT_OPERATOR(Gt, d = d > b)
      ORV_INT_OPERATOR(Ge, d = d >= b)
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
