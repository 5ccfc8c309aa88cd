// The plain-number forms of a compiled expression: which nodes the integer
// form and the number form cover, and the integer form's register steps.
#include "engine/compiled_lowering.h"

#include <utility>

#include "engine/builtin_calls.h"
#include "engine/keyword_table.h"
#include "engine/keywords.h"
#include "engine/value.h"

namespace orv {
namespace {

// Whether a node (whose operands are marked already) belongs to the number form.
bool number_node(const CompiledLine& line, const CompiledNode& n) {
  auto kid = [&](std::size_t k) { return line.nodes[static_cast<std::size_t>(n.kids[k])].numeric; };
  switch (n.kind) {
    case CompiledNode::kConst: return n.constant.flags == vf::kInt || n.constant.flags == vf::kFloat;
    case CompiledNode::kVar: return true;
    case CompiledNode::kBinary: return kid(0) && kid(1);
    case CompiledNode::kCall:
      return n.kids.size() == 1 && kid(0) && n.op >= 0 && n.op < kKeywordCount &&
             handler_table().byIdFloat[static_cast<std::size_t>(n.op)] != nullptr;
    default: return false;
  }
}

// The operator that gives the same result with its operands swapped;
// kLoad when there is none.
IntStep::Code mirrored(IntStep::Code code) {
  switch (code) {
    case IntStep::kAdd: case IntStep::kMul: case IntStep::kEq: case IntStep::kNe: return code;
    case IntStep::kLt: return IntStep::kGt;
    case IntStep::kLe: return IntStep::kGe;
    case IntStep::kGt: return IntStep::kLt;
    case IntStep::kGe: return IntStep::kLe;
    default: return IntStep::kLoad;
  }
}

}  // namespace

// Marks the nodes from `from` on that the integer path and the number form
// cover; operands come before the node that uses them.
void mark_forms(CompiledLine& line, std::size_t from) {
  auto kid = [&](const CompiledNode& n, std::size_t k) { return line.nodes[static_cast<std::size_t>(n.kids[k])].integral; };
  for (std::size_t i = from; i < line.nodes.size(); ++i) {
    CompiledNode& n = line.nodes[i];
    switch (n.kind) {
      case CompiledNode::kConst: n.integral = n.constant.flags == vf::kInt; break;
      case CompiledNode::kVar: n.integral = true; break;
      case CompiledNode::kUnary: n.integral = kid(n, 0); break;
      case CompiledNode::kBinary:
        n.integral = int_arithmetic(n.op) && kid(n, 0) && kid(n, 1);
        break;
      case CompiledNode::kCompare: n.integral = kid(n, 0) && kid(n, 1); break;
      default: n.integral = false; break;
    }
    n.numeric = number_node(line, n);
  }
}

bool int_arithmetic(int op) { return op == id::kPlus || op == id::kMinus || op == id::kStar || op == id::kMod; }

IntStep::Code int_operator_code(int op) {
  switch (op) {
    case id::kPlus: return IntStep::kAdd;
    case id::kMinus: return IntStep::kSub;
    case id::kStar: return IntStep::kMul;
    case id::kMod: return IntStep::kMod;
    case id::kEq: return IntStep::kEq;
    case id::kNe: case id::kLtGt: return IntStep::kNe;
    case id::kLt: return IntStep::kLt;
    case id::kLe: return IntStep::kLe;
    case id::kGt: return IntStep::kGt;
    default: return IntStep::kGe;
  }
}

IntStep::Code int_unary_code(int op) {
  return op == id::kMinus ? IntStep::kNeg : op == id::kNot ? IntStep::kNot : IntStep::kTilde;
}

// Lays out the integer form of an integral node into registers from `reg`
// on; false when it needs more registers than there are.
bool emit_int(CompiledLine& line, std::int32_t index, std::uint8_t reg) {
  if (reg >= kIntRegisters) return false;
  const CompiledNode& n = line.nodes[static_cast<std::size_t>(index)];
  IntStep step;
  step.dst = reg;
  switch (n.kind) {
    case CompiledNode::kConst:
      step.code = IntStep::kLoad;
      step.value = n.constant.i;
      break;
    case CompiledNode::kVar:
      step.code = IntStep::kVar;
      step.node = index;
      break;
    case CompiledNode::kUnary:
      if (!emit_int(line, n.kids[0], reg)) return false;
      if (n.op == id::kPlus) return true;
      step.code = int_unary_code(n.op);
      break;
    default: {   // binary or comparison
      IntStep::Code code = int_operator_code(n.op);
      // Variables and constants are read by the step itself: a loop's
      // "i mod 5", "total + i" or "3 * i" is one step. Reading plain integers
      // has no effects, so operands may swap where the operator allows.
      std::int32_t left = n.kids[0], right = n.kids[1];
      auto kind = [&](std::int32_t k) { return line.nodes[static_cast<std::size_t>(k)].kind; };
      const IntStep::Code mirror = mirrored(code);
      const bool swap = mirror != IntStep::kLoad && kind(left) != kind(right) &&
                        (kind(left) == CompiledNode::kConst ||
                         (kind(left) == CompiledNode::kVar && kind(right) != CompiledNode::kConst));
      if (swap) {
        std::swap(left, right);
        code = mirror;
      }
      int family = 0;
      if (kind(left) == CompiledNode::kVar && kind(right) == CompiledNode::kConst) {
        family = IntStep::kVariableConstant;
        step.node = left;
        step.value = line.nodes[static_cast<std::size_t>(right)].constant.i;
      } else {
        if (!emit_int(line, left, reg)) return false;
        if (kind(right) == CompiledNode::kConst) {
          family = IntStep::kConstantRight;
          step.value = line.nodes[static_cast<std::size_t>(right)].constant.i;
        } else if (kind(right) == CompiledNode::kVar) {
          family = IntStep::kVariableRight;
          step.node = right;
        } else {
          if (!emit_int(line, right, static_cast<std::uint8_t>(reg + 1))) return false;
          step.b = static_cast<std::uint8_t>(reg + 1);
        }
      }
      step.code = static_cast<IntStep::Code>(code + family);
    }
  }
  line.intCode.push_back(step);
  return true;
}

bool emit_number(CompiledLine& line, std::int32_t index, std::uint8_t reg) {
  if (reg >= kIntRegisters) return false;
  const CompiledNode& n = line.nodes[static_cast<std::size_t>(index)];
  NumStep step;
  step.dst = reg;
  switch (n.kind) {
    case CompiledNode::kConst:
      step.code = NumStep::kConst;
      step.isFloat = n.constant.flags == vf::kFloat;
      step.i = n.constant.i;
      step.f = n.constant.wide.f;
      break;
    case CompiledNode::kVar:
      step.code = NumStep::kVar;
      step.node = index;
      break;
    case CompiledNode::kBinary:
      if (!emit_number(line, n.kids[0], reg) || !emit_number(line, n.kids[1], static_cast<std::uint8_t>(reg + 1)))
        return false;
      step.code = NumStep::kBinary;
      step.op = n.op;
      step.b = static_cast<std::uint8_t>(reg + 1);
      break;
    case CompiledNode::kCall:
      if (!emit_number(line, n.kids[0], reg)) return false;
      step.code = NumStep::kCall;
      step.node = index;
      step.fn = handler_table().byIdFloat[static_cast<std::size_t>(n.op)];
      break;
    default: return false;
  }
  line.numCode.push_back(step);
  return true;
}

}  // namespace orv
