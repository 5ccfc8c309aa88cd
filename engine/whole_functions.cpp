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
#include "engine/statement_walk.h"

namespace orv {
namespace wholefn {

using Verdict = WholeVerdict;

// A body whose lines have not all been compiled yet is looked at again on
// later calls; after this many looks it is taken as not whole.
constexpr std::uint8_t kTries = 8;

constexpr std::uint8_t kFirstTemp = kFirstWholeTemp;

bool decision_current(const Context& c, const Udf& u) {
  return u.whole.generation == c.keywordGeneration && u.whole.textVersion == u.body->textVersion;
}

// A callable that may have a whole-number program at all.
bool whole_candidate(const Udf& u) {
  return u.body && !u.sharesVariables && u.kind == kk::kFunction && u.params.size() <= kWholeVariables;
}

Verdict decide(Context& c, int index, std::vector<int>& pass);

// Turns one function's compiled statements into its program.
class Builder : public WholeEmitter {
 public:
  Builder(Context& c, const Udf& u, std::vector<int>& pass, WholeProgram& out)
      : WholeEmitter(out.steps), c_(c), u_(u), pass_(pass), p_(out) {
    names_.assign(u.params.begin(), u.params.end());
    p_.params = static_cast<std::uint16_t>(u.params.size());
    p_.generation = c.keywordGeneration;
  }

  Verdict build() {
    StatementWalk walk(c_, *u_.body, first_statement(*u_.body));
    while (const CompiledStatement* st = walk.next())
      if (const Verdict v = statement(*st); v != Verdict::whole) return v;
    if (walk.stop() == StatementWalk::Stop::not_learnt) return Verdict::not_ready;
    if (walk.stop() != StatementWalk::Stop::end) return Verdict::not_whole;
    emit(WholeStep::kEnd);
    return Verdict::whole;
  }

 private:
  // The register of a parameter, or of a local given a value by an earlier
  // statement. A name given to two parameters holds the later argument.
  int variable(const std::string& name) override {
    for (std::size_t k = names_.size(); k-- > 0;)
      if (names_[k] == name) return static_cast<int>(k);
    return -1;
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
        if (const Verdict v = expression(st.code, cond.root, kFirstTemp, kFirstTemp + 1); v != Verdict::whole) return v;
        const std::size_t jump = size();
        emit(WholeStep::kJumpIfZero).a = kFirstTemp;
        if (const Verdict v = give_back(st, st.thenReturn); v != Verdict::whole) return v;
        land(jump);
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
    if (const Verdict v = expression(st.code, e.root, kFirstTemp, kFirstTemp + 1); v != Verdict::whole) return v;
    emit(WholeStep::kReturn).a = kFirstTemp;
    return Verdict::whole;
  }

  // "name = value", "name += value", "name -= value" of a parameter or a
  // local; a local must be given a value before anything reads it.
  Verdict assignment(const CompiledStatement& st) {
    const CompiledExpr& e = st.code.exprs[static_cast<std::size_t>(st.expr)];
    if (!e.assignment || st.names.empty()) return Verdict::not_whole;
    needs(e);
    const std::string& name = st.names[0].name;
    const int target = variable(name);
    if (target >= 0) return WholeEmitter::assignment(st.code, e, static_cast<std::uint8_t>(target));
    // A new local: its register is taken once its value is made.
    if (e.assignOp != id::kAssign || names_.size() == kWholeVariables) return Verdict::not_whole;
    const Verdict v = WholeEmitter::assignment(st.code, e, static_cast<std::uint8_t>(names_.size()));
    names_.push_back(name);
    return v;
  }

  Verdict call(const CompiledLine& line, const CompiledNode& n, std::uint8_t dst, std::uint8_t scratch) override {
    if (n.op < kUdfStart || n.op > kUdfEnd) return Verdict::not_whole;
    const int callee = n.op - kUdfStart;
    if (static_cast<std::size_t>(callee) >= c_.udfs.size()) return Verdict::not_whole;
    const Udf& u = c_.udfs[static_cast<std::size_t>(callee)];
    // A call with too few or too many arguments is for the general call to report.
    const std::size_t count = n.kids.size();
    if (!whole_candidate(u) || count != u.params.size() || scratch + count > kWholeRegisters)
      return Verdict::not_whole;
    // Each argument in its register, the later ones' scratch above them all.
    for (std::size_t k = 0; k < count; ++k)
      if (const Verdict v = expression(line, n.kids[k], static_cast<std::uint8_t>(scratch + k),
                                       static_cast<std::uint8_t>(scratch + count));
          v != Verdict::whole)
        return v;
    if (const Verdict v = decide(c_, callee, pass_); v != Verdict::whole) return v;
    WholeStep& s = emit(WholeStep::kCall, dst);
    s.a = scratch;
    s.b = static_cast<std::uint8_t>(count);
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
        case WholeStep::kCall:
          if (!call(*s, r + s->a, calls, nesting, d)) return false;
          break;
        case WholeStep::kReturn: out = r[s->a]; return true;
        case WholeStep::kEnd: out = 0; return true;
        ORV_WHOLE_COMMON_STEPS(return false)
        default: return false;
      }
    }
  }

 private:
  // args[0 .. b) are the arguments.
  bool call(const WholeStep& s, const std::int32_t* args, int calls, int nesting, std::int32_t& out) {
    const auto index = static_cast<std::size_t>(s.value);
    if (index >= c_.udfs.size()) return false;
    const WholeProgram* callee = c_.udfs[index].whole.program.get();
    if (!callee || callee->generation != generation_) return false;
    return run(*callee, args, calls + 1, nesting + s.depth, out);
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

}  // namespace wholefn

WholeRun start_whole_function(Context& c, int index, const std::int32_t* args, int count, std::int32_t& out) {
  if (c.wholeBlocked != 0 || static_cast<std::size_t>(index) >= c.udfs.size() || !whole_run_unobserved(c))
    return WholeRun::declined;
  const Udf& u = c.udfs[static_cast<std::size_t>(index)];
  if (!wholefn::whole_candidate(u) || count != static_cast<int>(u.params.size())) return WholeRun::declined;
  const WholeProgram* p = wholefn::program_of(c, index);
  if (!p) return WholeRun::declined;
  wholefn::Runner runner(c, p->generation);
  return runner.run(*p, args, 1, c.exprDepth, out) ? WholeRun::done : WholeRun::missed;
}

}  // namespace orv
