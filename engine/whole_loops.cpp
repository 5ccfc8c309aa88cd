#include "engine/whole_loops.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/compiled_lowering.h"
#include "engine/keyword_ids.h"
#include "engine/limits.h"
#include "engine/runloop.h"
#include "engine/statement_walk.h"
#include "engine/structure_steps.h"
#include "engine/switch_table.h"
#include "engine/variables.h"

namespace orv {
namespace wholeloop {

using Kind = CompiledStatement::Kind;

const CompiledExpr& expression_of(const CompiledStatement& st, std::int32_t index) {
  return st.code.exprs[static_cast<std::size_t>(index)];
}

// Turns the body of one For or While loop into its program.
class Builder : public WholeEmitter {
 public:
  // `counter`: a For loop's variable; empty for a While loop.
  Builder(Context& c, WholeLoop& out, std::string counter) : WholeEmitter(out.steps), c_(c), p_(out) {
    if (!counter.empty()) p_.names.push_back(NameRef{std::move(counter)});
  }

  // A While loop: each round tests the condition, runs the body and goes
  // back at the EndWhile; a false condition ends the program (kEnd) where the
  // While line is to run again.
  WholeVerdict build_while(const Script& s, const CompiledStatement& end, const CompiledStatement& head) {
    std::size_t exit = 0;
    if (const WholeVerdict v = condition(head, exit); v != WholeVerdict::whole) return v;
    StatementWalk walk(c_, s, head.nextPos);
    const CompiledStatement* last = nullptr;
    if (const WholeVerdict v = block(walk, 0, last); v != WholeVerdict::whole) return v;
    if (last != &end) return WholeVerdict::not_whole;
    emit(WholeStep::kWhileRound);
    land(exit);
    emit(WholeStep::kEnd);
    p_.bodyWeight += head.pumpWeight;
    p_.nextWeight = end.pumpWeight;
    note_misses();
    return WholeVerdict::whole;
  }

  WholeVerdict build(const Script& s, const CompiledStatement& next, const CompiledStatement& to) {
    StatementWalk walk(c_, s, to.nextPos);
    const CompiledStatement* end = nullptr;
    if (const WholeVerdict v = block(walk, 0, end); v != WholeVerdict::whole) return v;
    if (end != &next) return WholeVerdict::not_whole;
    const CompiledExpr& limit = expression_of(to, to.expr);
    needs(limit);
    std::uint8_t reg = 0;
    if (const WholeVerdict v = operand(to.code, limit.root, kFirstWholeTemp, reg); v != WholeVerdict::whole) return v;
    std::int32_t step = 1;
    if (to.kind == Kind::kToBy && !constant(to, to.stepExpr, step)) return WholeVerdict::not_whole;
    WholeStep& round = emit(WholeStep::kNextRound);
    round.a = reg;
    round.value = step;
    p_.nextWeight = next.pumpWeight;
    note_misses();
    return WholeVerdict::whole;
  }

 private:
  // Any variable the body names has a register: whether it holds a whole
  // number is looked at each time the program starts.
  int variable(const std::string& name) override {
    for (std::size_t k = 0; k < p_.names.size(); ++k)
      if (p_.names[k].name == name) return static_cast<int>(k);
    if (p_.names.size() == kWholeVariables) return -1;
    p_.names.push_back(NameRef{name});
    return static_cast<int>(p_.names.size() - 1);
  }

  WholeVerdict call(const CompiledLine&, const CompiledNode&, std::uint8_t, std::uint8_t) override {
    return WholeVerdict::not_whole;
  }

  void needs(const CompiledExpr& e) { p_.nesting = std::max(p_.nesting, e.nesting); }

  // Whether a step may give a round up (a zero divisor), so its start is kept.
  void note_misses() {
    for (const WholeStep& s : p_.steps)
      p_.mayMiss = p_.mayMiss || s.code == IntStep::kMod || (s.code == IntStep::kModK && s.value == 0);
  }

  // A whole-number literal, or one negated ("By -1").
  static bool constant(const CompiledStatement& st, std::int32_t expr, std::int32_t& out) {
    if (expr < 0) return false;
    const CompiledNode* n = &st.code.nodes[static_cast<std::size_t>(expression_of(st, expr).root)];
    const bool negated = n->kind == CompiledNode::kUnary && int_unary_code(n->op) == IntStep::kNeg;
    if (negated) n = &st.code.nodes[static_cast<std::size_t>(n->kids[0])];
    if (n->kind != CompiledNode::kConst || n->constant.flags != vf::kInt) return false;
    out = negated ? wrap32(-std::int64_t{n->constant.i}) : n->constant.i;
    return true;
  }

  static WholeVerdict verdict(const StatementWalk& walk) {
    return walk.stop() == StatementWalk::Stop::not_learnt ? WholeVerdict::not_ready : WholeVerdict::not_whole;
  }

  // Statements up to the first that ends a block (a Next, EndWhile, Else,
  // EndIf, Case, Break or EndSwitch), given back in `end`; `depth`: the structure
  // entries open around them.
  WholeVerdict block(StatementWalk& walk, int depth, const CompiledStatement*& end) {
    p_.structures = std::max(p_.structures, depth);
    bool afterIfLine = false;   // an Else there would be the one-line If's
    while (const CompiledStatement* st = walk.next()) {
      p_.bodyWeight += st->pumpWeight;
      WholeVerdict v = WholeVerdict::not_whole;
      switch (st->kind) {
        case Kind::kAssign: v = assignment(*st, st->expr, st->names.empty() ? nullptr : &st->names[0].name); break;
        case Kind::kIfLine: v = if_line(*st); break;
        case Kind::kIfBlock: v = if_block(walk, *st, depth); break;
        case Kind::kSwitch: v = switch_block(walk, *st, depth); break;
        case Kind::kNext: case Kind::kElse: case Kind::kEndIf: case Kind::kCase: case Kind::kBreak:
        case Kind::kEndSwitch: case Kind::kEndWhile:
          if (afterIfLine && st->kind == Kind::kElse) return WholeVerdict::not_whole;
          p_.bodyWeight -= st->pumpWeight;   // (counted where it is taken)
          end = st;
          return WholeVerdict::whole;
        default: break;
      }
      if (v != WholeVerdict::whole) return v;
      afterIfLine = st->kind == Kind::kIfLine;
    }
    return verdict(walk);
  }

  // "name = value", "name += value" or "name -= value".
  WholeVerdict assignment(const CompiledStatement& st, std::int32_t expr, const std::string* target) {
    if (expr < 0 || !target) return WholeVerdict::not_whole;
    const CompiledExpr& e = expression_of(st, expr);
    if (!e.assignment) return WholeVerdict::not_whole;   // a call after Then
    const int reg = variable(*target);
    if (reg < 0) return WholeVerdict::not_whole;
    needs(e);
    return WholeEmitter::assignment(st.code, e, static_cast<std::uint8_t>(reg));
  }

  // The condition into the first scratch register, and the jump taken when it is false.
  WholeVerdict condition(const CompiledStatement& st, std::size_t& jump) {
    if (st.expr < 0) return WholeVerdict::not_whole;
    const CompiledExpr& cond = expression_of(st, st.expr);
    needs(cond);
    std::uint8_t reg = 0;
    if (const WholeVerdict v = operand(st.code, cond.root, kFirstWholeTemp, reg); v != WholeVerdict::whole) return v;
    jump = size();
    emit(WholeStep::kJumpIfZero).a = reg;
    return WholeVerdict::whole;
  }

  // "If c Then name = value".
  WholeVerdict if_line(const CompiledStatement& st) {
    if (st.thenStatement < 0 || st.thenReturn >= 0) return WholeVerdict::not_whole;
    std::size_t jump = 0;
    if (const WholeVerdict v = condition(st, jump); v != WholeVerdict::whole) return v;
    if (const WholeVerdict v = assignment(st, st.thenStatement, &st.thenTarget.name); v != WholeVerdict::whole)
      return v;
    land(jump);
    return WholeVerdict::whole;
  }

  // If ... [Else ...] EndIf.
  WholeVerdict if_block(StatementWalk& walk, const CompiledStatement& st, int depth) {
    std::size_t jump = 0;
    if (const WholeVerdict v = condition(st, jump); v != WholeVerdict::whole) return v;
    const CompiledStatement* end = nullptr;
    if (const WholeVerdict v = block(walk, depth + 1, end); v != WholeVerdict::whole) return v;
    if (end->kind == Kind::kElse) {
      p_.bodyWeight += end->pumpWeight;
      const std::size_t over = size();
      emit(WholeStep::kJump);
      land(jump);
      jump = over;
      if (const WholeVerdict v = block(walk, depth + 1, end); v != WholeVerdict::whole) return v;
    }
    if (end->kind != Kind::kEndIf) return WholeVerdict::not_whole;
    p_.bodyWeight += end->pumpWeight;
    land(jump);
    return WholeVerdict::whole;
  }

  // Switch value / Case constant ... Break / ... EndSwitch: each Case's
  // body ends at a Break, the last one's may end at the EndSwitch.
  WholeVerdict switch_block(StatementWalk& walk, const CompiledStatement& st, int depth) {
    if (st.expr < 0) return WholeVerdict::not_whole;
    const CompiledExpr& value = expression_of(st, st.expr);
    needs(value);
    std::uint8_t reg = 0;
    if (const WholeVerdict v = operand(st.code, value.root, kFirstWholeTemp, reg); v != WholeVerdict::whole) return v;
    // Its table's place is taken now: Switch blocks inside it add theirs first.
    const std::size_t table = p_.tables.size();
    p_.tables.emplace_back();
    WholeStep& jump = emit(WholeStep::kSwitch);
    jump.a = reg;
    jump.value = static_cast<std::int32_t>(table);
    std::vector<CaseJumps::Case> arms;   // each Case's value and the step its body starts at
    std::vector<std::size_t> breaks;
    // One Case's body runs: the heaviest counts.
    const std::uint32_t weightBefore = p_.bodyWeight;
    std::uint32_t heaviest = 0;
    for (bool closed = false; !closed;) {
      CompiledStatement* line = walk.next();
      if (!line) return verdict(walk);
      if (line->kind == Kind::kEndSwitch) break;
      if (line->kind != Kind::kCase) return WholeVerdict::not_whole;
      CaseJumps::Case arm{0, static_cast<std::int32_t>(size())};
      if (!switch_case_value(c_, *line, arm.value, p_.nesting)) {
        c_.error = 0;   // a Case value that failed leaves nothing behind
        c_.errorText.clear();
        return WholeVerdict::not_whole;
      }
      arms.push_back(arm);
      const CompiledStatement* end = nullptr;
      p_.bodyWeight = weightBefore;
      if (const WholeVerdict v = block(walk, depth + 1, end); v != WholeVerdict::whole) return v;
      heaviest = std::max(heaviest, p_.bodyWeight + end->pumpWeight - weightBefore);
      if (end->kind == Kind::kEndSwitch) {   // the last body may end there
        closed = true;
      } else if (end->kind == Kind::kBreak) {
        breaks.push_back(size());
        emit(WholeStep::kJump);
      } else {
        return WholeVerdict::not_whole;   // a Case run into
      }
    }
    p_.bodyWeight = weightBefore + heaviest;
    for (std::size_t b : breaks) land(b);
    // A value no Case has goes on after the block; Case values far apart keep to the statements.
    CaseJumps& jumps = p_.tables[table];
    jumps.none = static_cast<std::int32_t>(size());
    if (!arms.empty() && !jumps.map(arms, jumps.none)) return WholeVerdict::not_whole;
    return WholeVerdict::whole;
  }

  Context& c_;
  WholeLoop& p_;
};

// The program of a Next (or EndWhile), made on one of its first rounds;
// null while there is none. `to`: the loop's "To" clause (or While line).
WholeLoop* program_of(Context& c, CompiledStatement& next, CompiledStatement& to) {
  // (A Next reached from another For, by a jump, keeps to its statements.)
  if (next.wholeLoop) return next.wholeLoop->to == &to ? next.wholeLoop.get() : nullptr;
  auto program = std::make_shared<WholeLoop>();
  program->to = &to;
  WholeVerdict v = WholeVerdict::not_whole;
  if (program->is_while()) {
    v = Builder(c, *program, std::string()).build_while(c.script(), next, to);
  } else {
    const std::uint16_t counter = steps::top(c).word;
    const char* name = c.slots[counter].name;
    const std::string counterName(name, strnlen(name, sizeof c.slots[counter].name - 1));
    v = Builder(c, *program, counterName).build(c.script(), next, to);
  }
  if (v == WholeVerdict::whole) {
    next.wholeLoop = std::move(program);
    return next.wholeLoop.get();
  }
  if (v == WholeVerdict::not_whole || ++next.wholeLoopTries >= kWholeLoopTries) next.wholeLoopTries = kWholeLoopGaveUp;
  return nullptr;
}

enum class Stop { ended, due, missed };

// Runs rounds of `p` over its variables' slots, until the loop ends, the
// message queue is due or a round misses; the variables are then put back
// as the last whole round left them. (Aligned so that its dispatch keeps
// one layout whatever code lands before it: a shifted copy ran a third slower.)
[[gnu::aligned(64)]] Stop run(Context& c, const WholeLoop& p, const std::uint16_t* slots, std::int32_t* r) {
  const std::size_t n = p.names.size();
  std::int32_t kept[kWholeVariables];
  std::copy(r, r + n, kept);
  const WholeStep* const first = p.steps.data();
  Stop stop = Stop::missed;
  for (;;) {
    if (p.mayMiss) std::copy(r, r + n, kept);
    for (const WholeStep* s = first;; ++s) {
      std::int32_t& d = r[s->dst];
      switch (s->code) {
        case WholeStep::kJump: s = first + s->value - 1; break;
        case WholeStep::kSwitch: s = first + p.tables[static_cast<std::size_t>(s->value)].target(r[s->a]) - 1; break;
        case WholeStep::kWhileRound:
          c.pumpThrottle.add_cheap_statements(p.bodyWeight);
          if (!c.pumpThrottle.skip_after_cheap_statement(p.nextWeight)) {
            stop = Stop::due;
            goto done;
          }
          goto round_done;
        case WholeStep::kEnd:   // a While loop's condition is false
          stop = Stop::ended;
          goto done;
        case WholeStep::kNextRound: {
          const std::int32_t limit = r[s->a];
          r[0] = wrap32(std::int64_t{r[0]} + s->value);
          c.pumpThrottle.add_cheap_statements(p.bodyWeight);
          if (s->value < 0 ? r[0] < limit : r[0] > limit) {
            stop = Stop::ended;
            goto done;
          }
          if (!c.pumpThrottle.skip_after_cheap_statement(p.nextWeight)) {
            stop = Stop::due;
            goto done;
          }
          goto round_done;
        }
        ORV_WHOLE_COMMON_STEPS(goto missed)
        default: goto missed;
      }
    }
  round_done:;
  }
missed:
  std::copy(kept, kept + n, r);
done:
  for (std::size_t k = 0; k < n; ++k) c.slots[slots[k]].v.i = r[k];
  return stop;
}

// Finds the program's variables: each a plain whole number in a slot of
// its own, the first the loop's. False: the statements must run.
bool load(Context& c, WholeLoop& p, std::uint16_t* slots, std::int32_t* r) {
  const std::size_t n = p.names.size();
  for (std::size_t k = 0; k < n; ++k) {
    NameRef& name = p.names[k];
    const std::uint16_t slot = hinted_slot(c, name.hint, name.name);
    if (slot == kNotFound || c.slots[slot].v.flags != vf::kInt) return false;
    for (std::size_t j = 0; j < k; ++j)
      if (slots[j] == slot) return false;   // two names of one variable
    slots[k] = slot;
    r[k] = c.slots[slot].v.i;
  }
  return p.is_while() || slots[0] == steps::top(c).word;
}

// Runs the rounds of `p`, whose loop ends at `end` (its Next or EndWhile),
// looking at the message queue between them as the statements would.
void run_rounds(Context& c, WholeLoop& p, CompiledStatement& end) {
  const int depth = c.depth;
  // (A While's rounds run with its entry opened above the others.)
  const int entries = depth + (p.is_while() ? 1 : 0) + p.structures;
  std::uint16_t slots[kWholeVariables];
  std::int32_t r[kWholeRegisters];
  for (;;) {
    if (!whole_run_unobserved(c) || c.depth != depth || entries > limits::kStructDepth ||
        c.exprDepth + p.nesting > limits::kExpressionDepth || !load(c, p, slots, r))
      return;
    const Stop stop = run(c, p, slots, r);
    if (stop == Stop::ended && !p.is_while()) steps::for_round(c, false);
    if (stop != Stop::due) return;
    // Looked at as between statements, the loop's end line kept as it is;
    // what a callback changed is found when the variables are found again.
    {
      const RunningStatement running(end);
      look_at_messages(c);
    }
    if (!current(c, c.script(), end)) return;
  }
}

}  // namespace wholeloop

void start_whole_loop(Context& c, CompiledStatement& end, CompiledStatement& head) {
  // A For loop whose Next ended it has no round left; a While's program
  // tests its own condition.
  if (head.kind != CompiledStatement::kWhile && steps::top(c).skip != skip::kRun) return;
  if (WholeLoop* p = wholeloop::program_of(c, end, head)) wholeloop::run_rounds(c, *p, end);
}

}  // namespace orv
