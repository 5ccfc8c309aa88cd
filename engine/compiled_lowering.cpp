// The plain-number forms of a compiled expression: which nodes the integer
// form and the number form cover, and the integer form's register steps.
#include "engine/compiled_lowering.h"

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
        n.integral = (n.op == id::kPlus || n.op == id::kMinus || n.op == id::kStar || n.op == id::kMod) && kid(n, 0) &&
                     kid(n, 1);
        break;
      case CompiledNode::kCompare: n.integral = kid(n, 0) && kid(n, 1); break;
      default: n.integral = false; break;
    }
    n.numeric = number_node(line, n);
  }
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
      step.code = n.op == id::kMinus ? IntStep::kNeg : n.op == id::kNot ? IntStep::kNot : IntStep::kTilde;
      break;
    default: {   // binary or comparison
      // Variables and constants are read by the step itself: a loop's
      // "i mod 5" or "total + i" is one step.
      const CompiledNode& left = line.nodes[static_cast<std::size_t>(n.kids[0])];
      const CompiledNode& right = line.nodes[static_cast<std::size_t>(n.kids[1])];
      int family = 0;
      if (left.kind == CompiledNode::kVar && right.kind == CompiledNode::kConst) {
        family = IntStep::kVariableConstant;
        step.node = n.kids[0];
        step.value = right.constant.i;
      } else {
        if (!emit_int(line, n.kids[0], reg)) return false;
        if (right.kind == CompiledNode::kConst) {
          family = IntStep::kConstantRight;
          step.value = right.constant.i;
        } else if (right.kind == CompiledNode::kVar) {
          family = IntStep::kVariableRight;
          step.node = n.kids[1];
        } else {
          if (!emit_int(line, n.kids[1], static_cast<std::uint8_t>(reg + 1))) return false;
          step.b = static_cast<std::uint8_t>(reg + 1);
        }
      }
      switch (n.op) {
        case id::kPlus: step.code = IntStep::kAdd; break;
        case id::kMinus: step.code = IntStep::kSub; break;
        case id::kStar: step.code = IntStep::kMul; break;
        case id::kMod: step.code = IntStep::kMod; break;
        case id::kEq: step.code = IntStep::kEq; break;
        case id::kNe: case id::kLtGt: step.code = IntStep::kNe; break;
        case id::kLt: step.code = IntStep::kLt; break;
        case id::kLe: step.code = IntStep::kLe; break;
        case id::kGt: step.code = IntStep::kGt; break;
        default: step.code = IntStep::kGe; break;
      }
      step.code = static_cast<IntStep::Code>(step.code + family);
    }
  }
  line.intCode.push_back(step);
  return true;
}

}  // namespace orv
