#include "engine/whole_steps.h"

#include "engine/compiled_lowering.h"
#include "engine/compiled_statement.h"
#include "engine/trace/trace.h"

namespace orv {

WholeStep& WholeEmitter::emit(std::uint8_t code, std::uint8_t dst) {
  WholeStep s;
  s.code = code;
  s.dst = dst;
  steps_.push_back(s);
  return steps_.back();
}

WholeVerdict WholeEmitter::operand(const CompiledLine& line, std::int32_t index, std::uint8_t into, std::uint8_t& reg) {
  const CompiledNode& n = line.nodes[static_cast<std::size_t>(index)];
  if (n.kind == CompiledNode::kVar) {
    const int v = variable(n.text);
    if (v < 0) return WholeVerdict::not_whole;
    reg = static_cast<std::uint8_t>(v);
    return WholeVerdict::whole;
  }
  reg = into;
  return expression(line, index, into, static_cast<std::uint8_t>(into + 1));
}

WholeVerdict WholeEmitter::expression(const CompiledLine& line, std::int32_t index, std::uint8_t dst,
                                      std::uint8_t scratch) {
  if (dst >= kWholeRegisters || scratch >= kWholeRegisters) return WholeVerdict::not_whole;
  const CompiledNode& n = line.nodes[static_cast<std::size_t>(index)];
  switch (n.kind) {
    case CompiledNode::kConst:
      if (n.constant.flags != vf::kInt) return WholeVerdict::not_whole;
      emit(WholeStep::kLoad, dst).value = n.constant.i;
      return WholeVerdict::whole;
    case CompiledNode::kVar: {
      const int v = variable(n.text);
      if (v < 0) return WholeVerdict::not_whole;
      emit(WholeStep::kMove, dst).a = static_cast<std::uint8_t>(v);
      return WholeVerdict::whole;
    }
    case CompiledNode::kUnary: {
      if (n.op == id::kPlus) return expression(line, n.kids[0], dst, scratch);
      std::uint8_t a = 0;
      if (const WholeVerdict v = operand(line, n.kids[0], scratch, a); v != WholeVerdict::whole) return v;
      const IntStep::Code code = int_unary_code(n.op);
      emit(code == IntStep::kNeg ? WholeStep::kNeg : code == IntStep::kNot ? WholeStep::kNot : WholeStep::kTilde, dst)
          .a = a;
      return WholeVerdict::whole;
    }
    case CompiledNode::kBinary: case CompiledNode::kCompare: {
      if (n.kind == CompiledNode::kBinary && !int_arithmetic(n.op)) return WholeVerdict::not_whole;
      std::uint8_t a = 0, b = 0;
      if (const WholeVerdict v = operand(line, n.kids[0], scratch, a); v != WholeVerdict::whole) return v;
      const int code = int_operator_code(n.op);
      const CompiledNode& right = line.nodes[static_cast<std::size_t>(n.kids[1])];
      if (right.kind == CompiledNode::kConst && right.constant.flags == vf::kInt) {
        WholeStep& s = emit(static_cast<std::uint8_t>(code + IntStep::kConstantRight), dst);
        s.a = a;
        s.value = right.constant.i;
        return WholeVerdict::whole;
      }
      if (const WholeVerdict v = operand(line, n.kids[1], static_cast<std::uint8_t>(scratch + 1), b);
          v != WholeVerdict::whole)
        return v;
      WholeStep& s = emit(static_cast<std::uint8_t>(code), dst);
      s.a = a;
      s.b = b;
      return WholeVerdict::whole;
    }
    case CompiledNode::kCall: return call(line, n, dst, scratch);
    default: return WholeVerdict::not_whole;
  }
}

WholeVerdict WholeEmitter::assignment(const CompiledLine& line, const CompiledExpr& e, std::uint8_t target) {
  if (e.assignOp == id::kAssign) return expression(line, e.root, target, kFirstWholeTemp);
  if (e.assignOp != id::kPlusEq && e.assignOp != id::kMinusEq) return WholeVerdict::not_whole;
  const IntStep::Code code = e.assignOp == id::kPlusEq ? IntStep::kAdd : IntStep::kSub;
  const CompiledNode& value = line.nodes[static_cast<std::size_t>(e.root)];
  if (value.kind == CompiledNode::kConst && value.constant.flags == vf::kInt) {
    WholeStep& s = emit(static_cast<std::uint8_t>(code + IntStep::kConstantRight), target);
    s.a = target;
    s.value = value.constant.i;
    return WholeVerdict::whole;
  }
  std::uint8_t b = 0;
  if (const WholeVerdict v = operand(line, e.root, kFirstWholeTemp, b); v != WholeVerdict::whole) return v;
  WholeStep& s = emit(static_cast<std::uint8_t>(code), target);
  s.a = target;
  s.b = b;
  return WholeVerdict::whole;
}

bool whole_run_unobserved(const Context& c) {
  return statement_path_enabled(c) && c.trace.state == trace::kOff && c.statementBudget == 0 && !c.statementDone &&
         c.errorHandlerFn.empty() && c.cancelHandlerFn.empty() && !c.cancelRequested;
}

}  // namespace orv
