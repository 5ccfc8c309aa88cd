#include "engine/whole_functions.h"

#include <algorithm>
#include <memory>
#include <string>

#include "engine/compiled_lowering.h"
#include "engine/compiled_statement.h"
#include "engine/compiled_statement_parts.h"
#include "engine/int_steps.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/runloop.h"
#include "engine/trace/trace.h"

namespace orv {
namespace wholefn {

enum class Verdict { whole, not_whole, not_ready };

// A body whose lines have not all been compiled yet is looked at again on
// later calls; after this many looks it is taken as not whole.
constexpr std::uint8_t kTries = 8;

constexpr std::uint8_t kFirstTemp = static_cast<std::uint8_t>(kWholeVariables);

bool decision_current(const Context& c, const Udf& u) {
  return u.whole.generation == c.keywordGeneration && u.whole.textVersion == u.body->textVersion;
}

// A callable that may have a whole-number program at all.
bool whole_candidate(const Udf& u) {
  return u.body && !u.sharesVariables && u.kind == kk::kFunction && u.params.size() <= kWholeVariables;
}

Verdict decide(Context& c, int index, std::vector<int>& pass);

// Turns one function's compiled statements into its program.
class Builder {
 public:
  Builder(Context& c, const Udf& u, std::vector<int>& pass, WholeProgram& out) : c_(c), u_(u), pass_(pass), p_(out) {
    names_.assign(u.params.begin(), u.params.end());
    p_.params = static_cast<std::uint16_t>(u.params.size());
    p_.generation = c.keywordGeneration;
  }

  Verdict build() {
    Script& body = *u_.body;
    if (!body.statements) return Verdict::not_ready;
    const std::string& t = body.text;
    const auto size = static_cast<std::uint32_t>(t.size());
    std::uint32_t pos = first_statement(body);
    while (pos < size) {
      const std::uint32_t lineStart = pos;
      std::uint32_t p = pos;
      while (p < size && (t[p] == ' ' || t[p] == '\t')) ++p;
      const std::size_t eol = t.find('\n', p);
      pos = eol == std::string::npos ? size : static_cast<std::uint32_t>(eol + 1);
      if (p == size || t[p] == '\n' || t[p] == ';') continue;   // blank or a comment
      if (t.find('\x1A', p) < eol) return Verdict::not_whole;   // the reader's end of text
      const auto found = body.statements->byPos.find(lineStart);
      if (found == body.statements->byPos.end() || !current(c_, body, found->second)) return Verdict::not_ready;
      if (const Verdict v = statement(found->second); v != Verdict::whole) return v;
    }
    emit(WholeStep::kEnd);
    return Verdict::whole;
  }

 private:
  // The register of a parameter, or of a local given a value by an earlier
  // statement. A name given to two parameters holds the later argument.
  int variable(const std::string& name) const {
    for (std::size_t k = names_.size(); k-- > 0;)
      if (names_[k] == name) return static_cast<int>(k);
    return -1;
  }

  WholeStep& emit(std::uint8_t code, std::uint8_t dst = 0) {
    WholeStep s;
    s.code = code;
    s.dst = dst;
    p_.steps.push_back(s);
    return p_.steps.back();
  }

  void needs(const CompiledExpr& e) { p_.nesting = std::max(p_.nesting, e.nesting); }

  Verdict statement(const CompiledStatement& st) {
    emit(WholeStep::kStatement).value = st.pumpWeight;
    switch (st.kind) {
      case CompiledStatement::kReturn: return give_back(st, st.expr);
      case CompiledStatement::kIfLine: {
        if (st.thenReturn < 0 || st.thenStatement >= 0) return Verdict::not_whole;
        const CompiledExpr& cond = st.code.exprs[static_cast<std::size_t>(st.expr)];
        needs(cond);
        if (const Verdict v = expression(st.code, cond.root, kFirstTemp); v != Verdict::whole) return v;
        const std::size_t jump = p_.steps.size();
        emit(WholeStep::kJumpIfZero).a = kFirstTemp;
        if (const Verdict v = give_back(st, st.thenReturn); v != Verdict::whole) return v;
        p_.steps[jump].value = static_cast<std::int32_t>(p_.steps.size());
        return Verdict::whole;
      }
      case CompiledStatement::kAssign: return assignment(st);
      default: return Verdict::not_whole;
    }
  }

  Verdict give_back(const CompiledStatement& st, std::int32_t expr) {
    const CompiledExpr& e = st.code.exprs[static_cast<std::size_t>(expr)];
    needs(e);
    const CompiledNode& root = st.code.nodes[static_cast<std::size_t>(e.root)];
    if (root.kind == CompiledNode::kVar && variable(root.text) >= 0) {   // "Return name" reads it in place
      emit(WholeStep::kReturn).a = static_cast<std::uint8_t>(variable(root.text));
      return Verdict::whole;
    }
    if (const Verdict v = expression(st.code, e.root, kFirstTemp); v != Verdict::whole) return v;
    emit(WholeStep::kReturn).a = kFirstTemp;
    return Verdict::whole;
  }

  // "name = value", "name += value", "name -= value" of a parameter or a
  // local; a local must be given a value before anything reads it.
  Verdict assignment(const CompiledStatement& st) {
    const CompiledExpr& e = st.code.exprs[static_cast<std::size_t>(st.expr)];
    if (!e.assignment || st.names.empty()) return Verdict::not_whole;
    if (e.assignOp != id::kAssign && e.assignOp != id::kPlusEq && e.assignOp != id::kMinusEq) return Verdict::not_whole;
    needs(e);
    if (const Verdict v = expression(st.code, e.root, kFirstTemp); v != Verdict::whole) return v;
    const std::string& name = st.names[0].name;
    int target = variable(name);
    if (target < 0) {
      if (e.assignOp != id::kAssign || names_.size() == kWholeVariables) return Verdict::not_whole;
      names_.push_back(name);
      target = static_cast<int>(names_.size() - 1);
    }
    const auto dst = static_cast<std::uint8_t>(target);
    if (e.assignOp == id::kAssign) emit(WholeStep::kMove, dst).a = kFirstTemp;
    else emit(e.assignOp == id::kPlusEq ? IntStep::kAdd : IntStep::kSub, dst).b = kFirstTemp;
    return Verdict::whole;
  }

  // Node `index` into register `reg`, with registers above it as scratch.
  Verdict expression(const CompiledLine& line, std::int32_t index, std::uint8_t reg) {
    if (reg >= kWholeRegisters) return Verdict::not_whole;
    const CompiledNode& n = line.nodes[static_cast<std::size_t>(index)];
    auto kid = [&](std::size_t k) -> const CompiledNode& { return line.nodes[static_cast<std::size_t>(n.kids[k])]; };
    switch (n.kind) {
      case CompiledNode::kConst:
        if (n.constant.flags != vf::kInt) return Verdict::not_whole;
        emit(WholeStep::kLoad, reg).value = n.constant.i;
        return Verdict::whole;
      case CompiledNode::kVar: {
        const int v = variable(n.text);
        if (v < 0) return Verdict::not_whole;   // unknown or not given a value yet: the general call reports it
        emit(WholeStep::kMove, reg).a = static_cast<std::uint8_t>(v);
        return Verdict::whole;
      }
      case CompiledNode::kUnary: {
        if (const Verdict v = expression(line, n.kids[0], reg); v != Verdict::whole) return v;
        if (n.op == id::kPlus) return Verdict::whole;
        const IntStep::Code code = int_unary_code(n.op);
        emit(code == IntStep::kNeg ? WholeStep::kNeg : code == IntStep::kNot ? WholeStep::kNot : WholeStep::kTilde, reg);
        return Verdict::whole;
      }
      case CompiledNode::kBinary: case CompiledNode::kCompare: {
        if (n.kind == CompiledNode::kBinary && !int_arithmetic(n.op)) return Verdict::not_whole;
        if (const Verdict v = expression(line, n.kids[0], reg); v != Verdict::whole) return v;
        const int code = int_operator_code(n.op);
        const CompiledNode& right = kid(1);
        if (right.kind == CompiledNode::kConst && right.constant.flags == vf::kInt) {
          emit(static_cast<std::uint8_t>(code + IntStep::kConstantRight), reg).value = right.constant.i;
          return Verdict::whole;
        }
        std::uint8_t b = static_cast<std::uint8_t>(reg + 1);
        if (right.kind == CompiledNode::kVar && variable(right.text) >= 0) {
          b = static_cast<std::uint8_t>(variable(right.text));
        } else if (const Verdict v = expression(line, n.kids[1], b); v != Verdict::whole) {
          return v;
        }
        emit(static_cast<std::uint8_t>(code), reg).b = b;
        return Verdict::whole;
      }
      case CompiledNode::kCall: return call(line, n, reg);
      default: return Verdict::not_whole;
    }
  }

  Verdict call(const CompiledLine& line, const CompiledNode& n, std::uint8_t reg) {
    if (n.op < kUdfStart || n.op > kUdfEnd) return Verdict::not_whole;
    const int callee = n.op - kUdfStart;
    if (static_cast<std::size_t>(callee) >= c_.udfs.size()) return Verdict::not_whole;
    const Udf& u = c_.udfs[static_cast<std::size_t>(callee)];
    // A call with too few or too many arguments is for the general call to report.
    if (!whole_candidate(u) || n.kids.size() != u.params.size() || reg + n.kids.size() > kWholeRegisters)
      return Verdict::not_whole;
    for (std::size_t k = 0; k < n.kids.size(); ++k)
      if (const Verdict v = expression(line, n.kids[k], static_cast<std::uint8_t>(reg + k)); v != Verdict::whole)
        return v;
    if (const Verdict v = decide(c_, callee, pass_); v != Verdict::whole) return v;
    WholeStep& s = emit(WholeStep::kCall, reg);
    s.b = static_cast<std::uint8_t>(n.kids.size());
    s.value = callee;
    s.depth = n.callDepth;
    return Verdict::whole;
  }

  Context& c_;
  const Udf& u_;
  std::vector<int>& pass_;
  WholeProgram& p_;
  std::vector<std::string> names_;   // parameters, then locals as they are given values
};

// Decides whether function `index` is whole. A function being decided
// (further up this pass) counts as whole: should it turn out not to be, the
// pass drops what it decided on that ground (see program_of).
Verdict decide(Context& c, int index, std::vector<int>& pass) {
  Udf& u = c.udfs[static_cast<std::size_t>(index)];   // (nothing is defined while deciding)
  if (!whole_candidate(u)) return Verdict::not_whole;
  WholeDecision& d = u.whole;
  if (!decision_current(c, u)) {
    d = WholeDecision{};
    d.generation = c.keywordGeneration;
    d.textVersion = u.body->textVersion;
  }
  switch (d.state) {
    case WholeDecision::kWhole: case WholeDecision::kDeciding: return Verdict::whole;
    case WholeDecision::kNotWhole: return Verdict::not_whole;
    default: break;
  }
  d.state = WholeDecision::kDeciding;
  pass.push_back(index);
  auto program = std::make_shared<WholeProgram>();
  Verdict v = Builder(c, u, pass, *program).build();
  if (v == Verdict::not_ready && ++d.tries >= kTries) v = Verdict::not_whole;
  switch (v) {
    case Verdict::whole:
      d.program = std::move(program);
      d.state = WholeDecision::kWhole;
      break;
    case Verdict::not_whole: d.state = WholeDecision::kNotWhole; break;
    default: d.state = WholeDecision::kUndecided; break;
  }
  return v;
}

// Function `index`'s program, deciding it when its body or the names changed.
const WholeProgram* program_of(Context& c, int index) {
  Udf& u = c.udfs[static_cast<std::size_t>(index)];
  if (decision_current(c, u)) {
    if (u.whole.state == WholeDecision::kWhole) return u.whole.program.get();
    if (u.whole.state == WholeDecision::kNotWhole) return nullptr;
  }
  std::vector<int> pass;
  if (decide(c, index, pass) == Verdict::whole) return u.whole.program.get();
  for (int k : pass) {
    WholeDecision& d = c.udfs[static_cast<std::size_t>(k)].whole;
    if (k != index && d.state == WholeDecision::kWhole) {
      d.state = WholeDecision::kUndecided;
      d.program.reset();
    }
  }
  return nullptr;
}

// Runs programs, each call on the C++ stack: the nested calls are bounded
// by the structure stack and frames the general call would use.
class Runner {
 public:
  Runner(Context& c, std::uint32_t generation) : c_(c), generation_(generation) {
    // The general call opens a structure entry and a frame per call; the
    // last one it could open is left to it, which then reports the limit.
    room_ = std::min(limits::kStructDepth - c.depth, limits::kFrames - 1 - static_cast<int>(c.framesOpen)) - 1;
  }

  // False: a miss (a zero divisor, a limit, a cancel); nothing has changed.
  bool run(const WholeProgram& p, const std::int32_t* args, int calls, int nesting, std::int32_t& out) {
    if (calls > room_ || nesting + p.nesting > limits::kExpressionDepth) return false;
    std::int32_t r[kWholeRegisters];
    std::copy(args, args + p.params, r);
    const WholeStep* const first = p.steps.data();
    for (const WholeStep* s = first;; ++s) {
      std::int32_t& d = r[s->dst];
      switch (s->code) {
        case WholeStep::kStatement:
          if (!c_.pumpThrottle.skip_after_cheap_statement(static_cast<std::uint32_t>(s->value)) && !go_on()) return false;
          break;
        case WholeStep::kLoad: d = s->value; break;
        case WholeStep::kMove: d = r[s->a]; break;
        case WholeStep::kNeg: apply_int_unary<IntStep::kNeg>(d); break;
        case WholeStep::kNot: apply_int_unary<IntStep::kNot>(d); break;
        case WholeStep::kTilde: apply_int_unary<IntStep::kTilde>(d); break;
        case WholeStep::kCall:
          if (!call(*s, r + s->dst, calls, nesting)) return false;
          break;
        case WholeStep::kJumpIfZero:
          if (r[s->a] == 0) s = first + s->value - 1;
          break;
        case WholeStep::kReturn: out = r[s->a]; return true;
        case WholeStep::kEnd: out = 0; return true;
#define ORV_WHOLE_OPERATOR(NAME)                                                          \
  case IntStep::k##NAME:                                                                  \
    if (!apply_int_operator<IntStep::k##NAME>(d, r[s->b])) return false;                  \
    break;                                                                                \
  case IntStep::k##NAME##K:                                                               \
    if (!apply_int_operator<IntStep::k##NAME>(d, s->value)) return false;                 \
    break;
        ORV_WHOLE_OPERATOR(Add)
        ORV_WHOLE_OPERATOR(Sub)
        ORV_WHOLE_OPERATOR(Mul)
        ORV_WHOLE_OPERATOR(Mod)
        ORV_WHOLE_OPERATOR(Eq)
        ORV_WHOLE_OPERATOR(Ne)
        ORV_WHOLE_OPERATOR(Lt)
        ORV_WHOLE_OPERATOR(Le)
        ORV_WHOLE_OPERATOR(Gt)
        ORV_WHOLE_OPERATOR(Ge)
#undef ORV_WHOLE_OPERATOR
        default: return false;
      }
    }
  }

 private:
  // r[0 .. b) are the arguments; the value replaces the first.
  bool call(const WholeStep& s, std::int32_t* r, int calls, int nesting) {
    const auto index = static_cast<std::size_t>(s.value);
    if (index >= c_.udfs.size()) return false;
    const WholeProgram* callee = c_.udfs[index].whole.program.get();
    if (!callee || callee->generation != generation_) return false;
    return run(*callee, r, calls + 1, nesting + s.depth, r[0]);
  }

  // The message queue is due: looked at as between statements. A break or
  // a termination ends the run, for the general call to meet it. So does a
  // function defined or removed by a callback the queue ran: the programs
  // being run may have gone with it, so none of them is read again.
  bool go_on() {
    if (c_.cancelRequested) return false;
    look_at_messages(c_);
    return !c_.cancelRequested && c_.keywordGeneration == generation_;
  }

  Context& c_;
  std::uint32_t generation_;
  int room_ = 0;
};

// Nothing would see the statements of the general call: no trace, line
// echo or single stepping, no statement budget or hook, no handler named.
bool unobserved(const Context& c) {
  return statement_path_enabled(c) && c.trace.state == trace::kOff && c.statementBudget == 0 && !c.statementDone &&
         c.errorHandlerFn.empty() && c.cancelHandlerFn.empty() && !c.cancelRequested;
}

}  // namespace wholefn

WholeRun start_whole_function(Context& c, int index, const std::int32_t* args, int count, std::int32_t& out) {
  if (c.wholeBlocked != 0 || static_cast<std::size_t>(index) >= c.udfs.size() || !wholefn::unobserved(c))
    return WholeRun::declined;
  const Udf& u = c.udfs[static_cast<std::size_t>(index)];
  if (!wholefn::whole_candidate(u) || count != static_cast<int>(u.params.size())) return WholeRun::declined;
  const WholeProgram* p = wholefn::program_of(c, index);
  if (!p) return WholeRun::declined;
  wholefn::Runner runner(c, p->generation);
  return runner.run(*p, args, 1, c.exprDepth, out) ? WholeRun::done : WholeRun::missed;
}

}  // namespace orv
