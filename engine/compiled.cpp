#include "engine/compiled.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "engine/builtin_calls.h"
#include "engine/assign_ops.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/keyword_ids.h"
#include "engine/keyword_table.h"
#include "engine/keywords.h"
#include "engine/maps.h"
#include "engine/messages.h"
#include "engine/sizes.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"
#include "engine/variables.h"

namespace orv {
namespace {

// ---- Compiling: the evaluator's grammar over cached tokens ----

// Each level returns a node index, or -1 when the text is anything the
// compiled form does not mirror exactly (the text path then runs it).
class Compiler {
 public:
  Compiler(Context& c, const std::vector<CachedToken>& tokens, CompiledLine& line, std::size_t at, bool effects)
      : c_(c), t_(tokens), line_(line), p_(at), effects_(effects) {}

  std::int32_t expression() { return level1(); }
  std::size_t position() const { return p_; }
  std::uint16_t nesting(std::int32_t n) const {
    const CompiledNode& node = line_.nodes[static_cast<std::size_t>(n)];
    std::uint16_t inner = 0;
    for (std::int32_t k : node.kids) inner = std::max(inner, nesting(k));
    inner = static_cast<std::uint16_t>(inner + node.groups);
    switch (node.kind) {
      case CompiledNode::kBinary: case CompiledNode::kCompare: case CompiledNode::kConcat: return inner;
      default: return static_cast<std::uint16_t>(inner + 1);
    }
  }

 private:
  bool keyword_at(int op) const {
    return p_ < t_.size() && t_[p_].kind == tk::kKeyword && t_[p_].delim == op && !t_[p_].pointerAmp;
  }
  int keyword_here() const {
    return (p_ < t_.size() && t_[p_].kind == tk::kKeyword) ? static_cast<int>(t_[p_].delim) : -1;
  }

  std::int32_t add(CompiledNode node) {
    node.effectsBelow = node.effects;
    for (std::int32_t k : node.kids) node.effectsBelow = node.effectsBelow || line_.nodes[static_cast<std::size_t>(k)].effectsBelow;
    line_.nodes.push_back(std::move(node));
    return static_cast<std::int32_t>(line_.nodes.size() - 1);
  }
  std::int32_t pair(CompiledNode::Kind kind, int op, std::int32_t l, std::int32_t r) {
    CompiledNode n;
    n.kind = kind;
    n.op = op;
    n.kids = {l, r};
    return add(std::move(n));
  }

  template <typename Next>
  std::int32_t binary(Next next, std::initializer_list<int> ops, CompiledNode::Kind kind) {
    std::int32_t left = (this->*next)();
    while (left >= 0) {
      const int op = keyword_here();
      bool match = false;
      for (int o : ops) match = match || (o == op);
      if (!match) break;
      if (t_[p_].pointerAmp) return -1;
      ++p_;
      std::int32_t right = (this->*next)();
      if (right < 0) return -1;
      left = pair(kind, op, left, right);
    }
    return left;
  }

  std::int32_t level1() { return binary(&Compiler::bitwise, {id::kAndAnd, id::kBarBar}, CompiledNode::kBinary); }
  std::int32_t bitwise() { return binary(&Compiler::compare, {id::kCaret, id::kAmp, id::kBar}, CompiledNode::kBinary); }
  std::int32_t compare() {
    std::int32_t left = concat();
    while (left >= 0) {
      const int op = keyword_here();
      if (op == id::kAssign) return -1;   // the text path reports the misplaced "="
      if (op != id::kEq && op != id::kNe && op != id::kLtGt && op != id::kGt && op != id::kGe && op != id::kLt &&
          op != id::kLe)
        break;
      ++p_;
      std::int32_t right = concat();
      if (right < 0) return -1;
      left = pair(CompiledNode::kCompare, op, left, right);
    }
    return left;
  }
  std::int32_t concat() {
    std::int32_t first = shift();
    if (first < 0 || !keyword_at(id::kColon)) return first;
    CompiledNode n;
    n.kind = CompiledNode::kConcat;
    n.kids.push_back(first);
    while (keyword_at(id::kColon)) {
      ++p_;
      std::int32_t next = shift();
      if (next < 0) return -1;
      n.kids.push_back(next);
    }
    return add(std::move(n));
  }
  std::int32_t shift() { return binary(&Compiler::sum, {id::kShl, id::kShr}, CompiledNode::kBinary); }
  std::int32_t sum() { return binary(&Compiler::product, {id::kPlus, id::kMinus}, CompiledNode::kBinary); }
  std::int32_t product() { return binary(&Compiler::power, {id::kStar, id::kSlash, id::kMod}, CompiledNode::kBinary); }
  std::int32_t power() { return binary(&Compiler::unary, {id::kPow}, CompiledNode::kBinary); }

  std::int32_t unary() {
    const int op = keyword_here();
    if (op == id::kNot || op == id::kPlus || op == id::kMinus || op == id::kTilde) {
      ++p_;
      std::int32_t child = unary();
      if (child < 0) return -1;
      CompiledNode n;
      n.kind = CompiledNode::kUnary;
      n.op = op;
      n.kids = {child};
      return add(std::move(n));
    }
    return primary();
  }

  std::int32_t primary() {
    if (p_ >= t_.size()) return -1;
    const CachedToken& tok = t_[p_];
    CompiledNode n;
    switch (tok.kind) {
      case tk::kVariable:
        // Names with a "." belong to object syntax.
        if (tok.text.find('.') != std::string::npos) return -1;
        if (p_ + 1 < t_.size() && t_[p_ + 1].kind == tk::kKeyword && t_[p_ + 1].delim == id::kLBracket)
          return map_read(tok.text);
        n.kind = CompiledNode::kVar;
        n.text = tok.text;
        ++p_;
        return add(std::move(n));
      case tk::kInteger: {
        IntText it = parse_integer_text(tok.text, true);
        if (it.ok) {
          if (it.is64) make_int64(n.constant, it.value);
          else make_int(n.constant, static_cast<std::int32_t>(it.value));
        } else {
          double f = 0;
          if (parse_float_text(tok.text, f) != FloatText::ok) return -1;
          make_float(n.constant, f);
        }
        ++p_;
        return add(std::move(n));
      }
      case tk::kFloat: {
        double f = 0;
        if (parse_float_text(tok.text, f) != FloatText::ok) return -1;
        make_float(n.constant, f);
        ++p_;
        return add(std::move(n));
      }
      case tk::kString:
        n.kind = CompiledNode::kString;
        n.text = tok.text;
        ++p_;
        return add(std::move(n));
      case tk::kKeyword: break;
      default: return -1;
    }
    if (tok.pointerAmp) return -1;
    const int kw = static_cast<int>(tok.delim);
    if (kw == id::kLParen) {
      ++p_;
      std::int32_t inner = level1();
      if (inner < 0 || !keyword_at(id::kRParen)) return -1;
      ++p_;
      ++line_.nodes[static_cast<std::size_t>(inner)].groups;   // no node of its own: it only nests
      return inner;
    }
    // Host and add-on functions stay on the text path (an extender may hand
    // values back into the variables passed to it).
    const bool builtin = kw >= 0 && kw < kKeywordCount;
    if (!builtin && !(kw >= kUdfStart && kw <= kUdfEnd)) return -1;
    const api::KeywordRecord* r = keyword_record(c_, kw);
    if (!r) return -1;
    if (builtin && r->kind == kk::kConstant) return constant(kw, *r);
    // Variadic built-ins read their own argument text; commands take no parentheses.
    if (r->kind != kk::kFunction || is_variadic(*r)) return -1;
    // A pure built-in run a second time (when the text path takes over after a failure) is harmless.
    if (builtin && keyword_has(kw, kw_flag::kPure)) return call(kw, *r, false);
    if (!effects_ || kw == id::kOleObject) return -1;
    return call(kw, *r, true);
  }

  // "name[key]": a read of a map's key, with a key without effects. It runs
  // only while the variable holds a map and the key is there; anything else
  // (an array, a missing key) is the text path's, so it never runs strictly.
  std::int32_t map_read(const std::string& name) {
    p_ += 2;
    const std::int32_t key = level1();
    if (key < 0 || !keyword_at(id::kRBracket) || line_.nodes[static_cast<std::size_t>(key)].effectsBelow) return -1;
    ++p_;
    CompiledNode n;
    n.kind = CompiledNode::kMapRead;
    n.text = name;
    n.kids = {key};
    sawMapRead_ = true;
    return add(std::move(n));
  }

 public:
  bool saw_map_read() const { return sawMapRead_; }

 private:
  std::int32_t constant(int kw, const api::KeywordRecord& r) {
    CompiledNode n;
    Value v{};
    if (!constant_value(r.counts, v, c_)) {
      c_.error = 0;
      c_.errorText.clear();
      return -1;
    }
    std::int32_t made = -1;
    if (v.flags == vf::kInt || v.flags == vf::kFloat || v.flags == vf::kInt64) {
      n.constant = v;
      made = add(std::move(n));
    } else if (v.flags == vf::kStr) {
      n.kind = CompiledNode::kString;
      n.text = str_of(c_, v);
      made = add(std::move(n));
    }
    release_value(c_, v);
    if (made >= 0) ++p_;
    (void)kw;
    return made;
  }

  std::int32_t call(int kw, const api::KeywordRecord& r, bool effects) {
    const int required = required_count(r), optional = optional_count(r);
    if (required + optional > limits::kMaxArgs) return -1;
    ++p_;
    if (!keyword_at(id::kLParen)) return -1;
    ++p_;
    CompiledNode n;
    n.kind = CompiledNode::kCall;
    n.op = kw;
    n.effects = effects;
    if (!keyword_at(id::kRParen)) {
      for (;;) {
        std::int32_t arg = level1();
        if (arg < 0) return -1;
        n.kids.push_back(arg);
        if (keyword_at(id::kRParen)) break;
        if (!keyword_at(id::kComma)) return -1;
        ++p_;
      }
    }
    ++p_;
    const int count = static_cast<int>(n.kids.size());
    if (count < required || count > required + optional) return -1;
    // A lent text must stay as it is until the call: no operand may have effects.
    bool operandEffects = false;
    for (std::int32_t k : n.kids) operandEffects = operandEffects || line_.nodes[static_cast<std::size_t>(k)].effectsBelow;
    n.lendsText = !operandEffects && keyword_has(kw, kw_flag::kReadsArguments);
    return add(std::move(n));
  }

  Context& c_;
  const std::vector<CachedToken>& t_;
  CompiledLine& line_;
  std::size_t p_;
  bool effects_;
  bool sawMapRead_ = false;
};

// The evaluator's nesting at each call of the expression below `index`
// (`above`: the nesting of its parent), so a strict run makes the call at the
// depth the text path would: a user-defined function's own expressions count
// on from there.
void set_call_depths(CompiledLine& line, std::int32_t index, std::uint16_t above) {
  CompiledNode& n = line.nodes[static_cast<std::size_t>(index)];
  const bool operatorLevel =
      n.kind == CompiledNode::kBinary || n.kind == CompiledNode::kCompare || n.kind == CompiledNode::kConcat;
  const auto depth = static_cast<std::uint16_t>(above + n.groups + (operatorLevel ? 0 : 1));
  if (n.kind == CompiledNode::kCall) n.callDepth = depth;
  for (std::int32_t kid : n.kids) set_call_depths(line, kid, depth);   // (no node is added meanwhile)
}

// Marks the nodes from `from` on that the integer path covers; operands come
// before the node that uses them.
void mark_integral(CompiledLine& line, std::size_t from) {
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
      step.value = index;
      break;
    case CompiledNode::kUnary:
      if (!emit_int(line, n.kids[0], reg)) return false;
      if (n.op == id::kPlus) return true;
      step.code = n.op == id::kMinus ? IntStep::kNeg : n.op == id::kNot ? IntStep::kNot : IntStep::kTilde;
      break;
    default: {   // binary or comparison
      if (!emit_int(line, n.kids[0], reg)) return false;
      const CompiledNode& right = line.nodes[static_cast<std::size_t>(n.kids[1])];
      if (right.kind == CompiledNode::kConst) {
        step.constant = true;
        step.value = right.constant.i;
      } else {
        if (!emit_int(line, n.kids[1], static_cast<std::uint8_t>(reg + 1))) return false;
        step.b = static_cast<std::uint8_t>(reg + 1);
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
    }
  }
  line.intCode.push_back(step);
  return true;
}

}  // namespace

std::int32_t compile_expression(Context& c, const CachedLine& cached, CompiledLine& line, std::size_t at,
                                bool assignmentAllowed, bool effectsAllowed) {
  const auto& t = cached.tokens;
  Script& script = c.script();
  if (script.compiledNodes >= kMaxCompiledNodes) return -1;
  const std::size_t nodesBefore = line.nodes.size();
  CompiledExpr e;
  std::size_t start = at;
  // "name[...] op value" at the start is an element store: the text path's (or a compiled statement's).
  if (assignmentAllowed && t[at].kind == tk::kVariable && at + 1 < t.size() && t[at + 1].kind == tk::kKeyword &&
      t[at + 1].delim == id::kLBracket)
    return -1;
  if (assignmentAllowed && t[at].kind == tk::kVariable && at + 1 < t.size() && t[at + 1].kind == tk::kKeyword &&
      is_assignment_id(static_cast<int>(t[at + 1].delim))) {
    if (t[at].text.find('.') != std::string::npos) return -1;
    e.assignment = true;
    e.assignOp = static_cast<int>(t[at + 1].delim);
    e.targetToken = static_cast<std::uint16_t>(at);
    start = at + 2;
    if (start >= t.size()) return -1;
  }
  Compiler compiler(c, t, line, start, effectsAllowed);
  e.root = compiler.expression();
  // An assignment must end the statement, as the text path requires.
  if (e.root < 0 || (e.assignment && compiler.position() != t.size())) {
    line.nodes.resize(nodesBefore);
    return -1;
  }
  mark_integral(line, nodesBefore);
  const std::size_t codeBefore = line.intCode.size();
  if (line.nodes[static_cast<std::size_t>(e.root)].integral) {
    if (emit_int(line, e.root, 0)) {
      e.intStart = static_cast<std::uint32_t>(codeBefore);
      e.intCount = static_cast<std::uint32_t>(line.intCode.size() - codeBefore);
    } else {
      line.intCode.resize(codeBefore);
    }
  }
  e.endToken = static_cast<std::uint16_t>(compiler.position());
  e.nesting = compiler.nesting(e.root);
  e.effects = line.nodes[static_cast<std::size_t>(e.root)].effectsBelow;
  if (e.effects && compiler.saw_map_read()) {   // a strict run would have to read elements as the text path does
    line.nodes.resize(nodesBefore);
    line.intCode.resize(codeBefore);
    return -1;
  }
  if (e.effects) set_call_depths(line, e.root, 0);
  script.compiledNodes += line.nodes.size() - nodesBefore;
  line.exprs.push_back(e);
  return static_cast<std::int32_t>(line.exprs.size() - 1);
}

namespace {

// ---- Running ----

void forget_error(Context& c) {
  c.error = 0;
  c.errorText.clear();
}

bool plain_int(const Value& v) { return v.flags == vf::kInt; }

// Payloads that live outside the record, or references counted by their
// table (open files), that must go through copy and release.
constexpr std::uint32_t kPayload = vf::kStr | vf::kWide | vf::kArray | vf::kFile | vf::kAttached;

// An operand for one evaluation step; numbers, the common case, need no release.
class Scratch {
 public:
  explicit Scratch(Context& c) : c_(c) { clear_operand(op_); }
  ~Scratch() {
    if (op_.flags & kPayload) release_value(c_, op_);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  Operand& op() { return op_; }
  Operand* operator->() { return &op_; }

 private:
  Context& c_;
  Operand op_;
};

std::int32_t wrap32(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

class Runner {
 public:
  // A strict runner keeps every error, and meets what the quick paths do not
  // cover with the text path's own routines (see compiled.h).
  Runner(Context& c, CompiledLine& line, bool strict = false)
      : c_(c), line_(line), strict_(strict), baseDepth_(c.exprDepth) {}

  // False: the expression did not produce a value here (any error is
  // cleared); `out` may hold a partial value the caller releases.
  bool eval(std::int32_t index, Operand& out) {
    CompiledNode& n = line_.nodes[static_cast<std::size_t>(index)];
    switch (n.kind) {
      case CompiledNode::kConst:
        static_cast<Value&>(out) = n.constant;
        return true;
      case CompiledNode::kString:
        return make_string(c_, out, n.text) || miss();
      case CompiledNode::kVar: return variable(n, out);
      case CompiledNode::kUnary:
        return eval(n.kids[0], out) && (unary(n.op, out) || (strict_ && apply_unary(c_, n.op, out)));
      case CompiledNode::kBinary: return binary(n, out);
      case CompiledNode::kCompare: return comparison(n, out);
      case CompiledNode::kConcat: return concat(n, out);
      case CompiledNode::kCall: return call(n, out);
      case CompiledNode::kMapRead: return map_element(n, out);
    }
    return false;
  }

  // Runs an expression's integer form. False when a variable holds anything
  // but a plain integer or a divisor is zero (the general rules then apply);
  // nothing has changed then.
  bool run_int(const CompiledExpr& e, std::int32_t& out) {
    // Every register is written before it is read: the steps come in
    // evaluation order, so no clearing is needed.
    std::int32_t r[kIntRegisters];
    IntStep* step = line_.intCode.data() + e.intStart;
    const IntStep* const end = step + e.intCount;
    for (; step != end; ++step) {
      std::int32_t& d = r[step->dst];
      if (step->code == IntStep::kVar) {
        if (!variable_step(*step, d)) return false;
        continue;
      }
      if (step->code == IntStep::kLoad) {
        d = step->value;
        continue;
      }
      const std::int32_t b = step->constant ? step->value : r[step->b];   // a binary step's right operand
      switch (step->code) {
        case IntStep::kLoad: case IntStep::kVar: break;
        case IntStep::kAdd: d = wrap32(std::int64_t{d} + b); break;
        case IntStep::kSub: d = wrap32(std::int64_t{d} - b); break;
        case IntStep::kMul: d = wrap32(std::int64_t{d} * b); break;
        case IntStep::kMod:
          if (b == 0) return false;   // the general rules report it
          d = wrap32(std::int64_t{d} % b);
          break;
        case IntStep::kEq: d = d == b; break;
        case IntStep::kNe: d = d != b; break;
        case IntStep::kLt: d = d < b; break;
        case IntStep::kLe: d = d <= b; break;
        case IntStep::kGt: d = d > b; break;
        case IntStep::kGe: d = d >= b; break;
        case IntStep::kNeg: d = wrap32(-std::int64_t{d}); break;
        case IntStep::kNot: d = d == 0; break;
        case IntStep::kTilde: d = ~d; break;
      }
    }
    out = r[0];
    return true;
  }

  // The variable of a kVar step when it holds a plain integer: the step's
  // own copy of the slot hint spares the node (the common case of a loop).
  bool variable_step(IntStep& step, std::int32_t& out) {
    if (step.hint.stamp == c_.slotStamp) {
      const Value& v = c_.slots[step.hint.slot].v;
      if (v.flags == vf::kInt) {
        out = v.i;
        return true;
      }
    }
    CompiledNode& n = line_.nodes[static_cast<std::size_t>(step.value)];
    if (!variable_int(n, out)) return false;
    step.hint = n.hint;
    return true;
  }

  // A variable that holds a plain integer.
  bool variable_int(CompiledNode& n, std::int32_t& out) {
    const std::uint16_t slot = hinted_slot(c_, n.hint, n.text);
    if (slot == kNotFound) return false;
    const Value& v = c_.slots[slot].v;
    if (v.flags != vf::kInt) return false;
    out = v.i;
    return true;
  }

 private:
  static bool compare_ints(int op, std::int32_t a, std::int32_t b) {
    switch (op) {
      case id::kEq: return a == b;
      case id::kNe: case id::kLtGt: return a != b;
      case id::kLt: return a < b;
      case id::kLe: return a <= b;
      case id::kGt: return a > b;
      default: return a >= b;
    }
  }

  bool variable(CompiledNode& n, Operand& out) {
    const std::uint16_t slot = hinted_slot(c_, n.hint, n.text);
    if (slot == kNotFound) return strict_ && strict_variable(n, out);
    const Value& v = c_.slots[slot].v;
    if (!is_assigned(v) || (v.flags & vf::kCom)) return strict_ && strict_variable(n, out);
    if (!(v.flags & kPayload)) static_cast<Value&>(out) = v;   // a number: nothing to duplicate
    else if (!copy_value(c_, v, out)) return miss();
    out.slot = slot;
    out.frame = c_.level;
    return true;
  }

  bool map_element(CompiledNode& n, Operand& out) {
    const std::uint16_t slot = hinted_slot(c_, n.hint, n.text);
    if (slot == kNotFound) return false;
    MapStore* map = map_of(c_, c_.slots[slot].v);
    if (!map) return false;
    Scratch keyValue(c_);
    if (!eval(n.kids[0], keyValue.op())) return false;
    MapKey key;
    if (!map_key_of(c_, keyValue.op(), key)) return miss();
    const Value* v = map->find(key);   // (the key's expression has no effects: the map is as it was)
    if (!v) return false;
    if (!(v->flags & kPayload)) static_cast<Value&>(out) = *v;
    else if (!copy_value(c_, *v, out)) return miss();
    return true;
  }

  bool binary(const CompiledNode& n, Operand& out) {
    if (!eval(n.kids[0], out)) return false;
    Scratch right(c_);
    if (!eval(n.kids[1], right.op())) return false;
    if (plain_int(out) && plain_int(right.op())) {
      const std::int64_t a = out.i, b = right->i;
      std::int64_t r = 0;
      switch (n.op) {
        case id::kPlus: r = a + b; break;
        case id::kMinus: r = a - b; break;
        case id::kStar: r = a * b; break;
        case id::kMod:
          if (b == 0) return general_arithmetic(n.op, out, right.op());
          r = a % b;
          break;
        default: return general_arithmetic(n.op, out, right.op());
      }
      out.i = wrap32(r);
      drop_origin(out);
      return true;
    }
    if (float_operands(out, right.op())) return float_arithmetic(n.op, out, right.op());
    return general_arithmetic(n.op, out, right.op());
  }

  static bool float_operands(const Operand& a, const Operand& b) {
    return (a.flags == vf::kFloat || a.flags == vf::kInt) && (b.flags == vf::kFloat || b.flags == vf::kInt) &&
           (a.flags == vf::kFloat || b.flags == vf::kFloat);
  }

  // Numbers need no conversion: straight to the float arithmetic.
  bool float_arithmetic(int op, Operand& out, const Operand& right) {
    const double a = out.flags == vf::kFloat ? out.wide.f : out.i;
    const double b = right.flags == vf::kFloat ? right.wide.f : right.i;
    if (!arith_float(c_, op, a, b, out)) return miss();
    drop_origin(out);
    return true;
  }

  bool general_arithmetic(int op, Operand& out, Operand& right) {
    return combine_arithmetic(c_, op, out, right) || miss();
  }

  bool comparison(const CompiledNode& n, Operand& out) {
    if (!eval(n.kids[0], out)) return false;
    Scratch right(c_);
    if (!eval(n.kids[1], right.op())) return false;
    if (plain_int(out) && plain_int(right.op())) {
      out.i = compare_ints(n.op, out.i, right->i) ? 1 : 0;
      drop_origin(out);
      return true;
    }
    return combine_comparison(c_, n.op, out, right.op(), false) || miss();
  }

  // A concatenation whose pieces are all 8-bit strings and whole numbers is
  // joined in one allocation, reading literals and variables' strings in
  // place; anything else joins piece by piece with the evaluator's rules.
  static constexpr std::size_t kJoinPieces = 16;
  struct Piece {
    const Value* value = nullptr;   // what the piece reads (a variable's own record, or an evaluated one)
    const char* text = nullptr;     // a literal or the digits; else the heap string of `value`
    std::uint32_t size = 0;
    char digits[12];
  };

  // Releases the evaluated pieces however the join ends.
  struct PieceValues {
    Context& c;
    std::size_t used = 0;
    std::array<Operand, kJoinPieces> ops;
    explicit PieceValues(Context& context) : c(context) {}
    PieceValues(const PieceValues&) = delete;
    PieceValues& operator=(const PieceValues&) = delete;
    ~PieceValues() {
      for (std::size_t k = 0; k < used; ++k)
        if (ops[k].flags & kPayload) release_value(c, ops[k]);
    }
  };

  static bool plain_piece(const Context& c, Piece& p) {
    const Value& v = *p.value;
    if (v.flags == vf::kStr && v.str != 0) {
      p.size = static_cast<std::uint32_t>(std::strlen(str_of(c, v)));
      return true;
    }
    if (v.flags != vf::kInt) return false;
    char* end = std::to_chars(p.digits, p.digits + sizeof p.digits, v.i).ptr;
    p.text = p.digits;
    p.size = static_cast<std::uint32_t>(end - p.digits);
    return true;
  }

  bool concat(const CompiledNode& n, Operand& out) {
    const std::size_t count = n.kids.size();
    // Strictly, each piece joins as soon as it is there, as the evaluator does.
    if (count > kJoinPieces || strict_) return concat_stepwise(n, out);
    PieceValues values(c_);
    std::array<Piece, kJoinPieces> pieces;
    bool plain = true;
    std::uint64_t total = 0;
    for (std::size_t k = 0; k < count; ++k) {
      CompiledNode& kid = line_.nodes[static_cast<std::size_t>(n.kids[k])];
      Piece& piece = pieces[k];
      Operand& op = values.ops[k];
      clear_operand(op);
      values.used = k + 1;
      if (kid.kind == CompiledNode::kString) {
        piece.text = kid.text.c_str();
        piece.size = static_cast<std::uint32_t>(std::strlen(piece.text));   // as the evaluator reads it
        total += piece.size;
        continue;
      }
      if (kid.kind == CompiledNode::kVar) {
        const std::uint16_t slot = hinted_slot(c_, kid.hint, kid.text);
        if (slot != kNotFound && (c_.slots[slot].v.flags == vf::kStr || c_.slots[slot].v.flags == vf::kInt))
          piece.value = &c_.slots[slot].v;
      }
      if (!piece.value) {
        if (!eval(n.kids[k], op)) return false;
        piece.value = &op;
      }
      if (plain_piece(c_, piece)) total += piece.size;
      else plain = false;
    }
    if (!plain) return join_stepwise(n, values, pieces, out);
    if (!string_room<char>(c_, total)) { forget_error(c_); return false; }
    const std::uint32_t h = c_.heap.alloc(static_cast<std::uint32_t>(total + 1));
    if (h == 0) return false;
    char* p = c_.heap.ptr(h);
    for (std::size_t k = 0; k < count; ++k) {
      const Piece& piece = pieces[k];
      if (piece.size) std::memcpy(p, piece.text ? piece.text : str_of(c_, *piece.value), piece.size);
      p += piece.size;
    }
    *p = '\0';
    clear_operand(out);
    out.str = h;
    out.flags = vf::kStr;
    return true;
  }

  // The pieces joined one by one, each as an operand of its own.
  bool join_stepwise(const CompiledNode& n, PieceValues& values, std::array<Piece, kJoinPieces>& pieces, Operand& out) {
    const std::size_t count = n.kids.size();
    for (std::size_t k = 0; k < count; ++k) {
      Operand& op = values.ops[k];
      if (pieces[k].value == &op) continue;
      const bool ok = pieces[k].value ? copy_value(c_, *pieces[k].value, op)
                                      : make_string(c_, op, pieces[k].text);
      if (!ok) { forget_error(c_); return false; }
    }
    static_cast<Value&>(out) = values.ops[0];
    clear_operand(values.ops[0]);
    for (std::size_t k = 1; k < count; ++k)
      if (!combine_concat(c_, out, values.ops[k])) { forget_error(c_); return false; }
    return true;
  }

  bool concat_stepwise(const CompiledNode& n, Operand& out) {
    if (!eval(n.kids[0], out)) return false;
    for (std::size_t k = 1; k < n.kids.size(); ++k) {
      Scratch right(c_);
      if (!eval(n.kids[k], right.op())) return false;
      if (!combine_concat(c_, out, right.op())) return miss();
    }
    return true;
  }

  // The unary operators of the evaluator, on numbers only (else the text path).
  bool unary(int op, Operand& v) {
    if (v.flags != vf::kInt && v.flags != vf::kFloat) return false;
    const bool isFloat = v.flags == vf::kFloat;
    switch (op) {
      case id::kNot:
        make_int(v, isFloat ? v.wide.f == 0 : v.i == 0);
        break;
      case id::kPlus: break;
      case id::kMinus:
        if (isFloat) v.wide.f = -v.wide.f;
        else v.i = wrap32(-std::int64_t{v.i});
        break;
      case id::kTilde:
        if (isFloat) return false;
        v.i = ~v.i;
        break;
      default: return false;
    }
    drop_origin(v);
    return true;
  }

  bool call(const CompiledNode& n, Operand& out) {
    const api::KeywordRecord* r = keyword_record(c_, n.op);
    if (!r || r->kind != kk::kFunction) {   // disabled or removed since compiled
      if (!strict_) return false;
      return fail(c_, r && (r->kind & kk::kDisabledBit) ? errs::kNotAvailable : errs::kFunctionNotDefined);
    }
    ArgSlots args;
    const int count = static_cast<int>(n.kids.size());
    // Only the slots the function can take are made ready (and let go): a
    // one-argument math call need not clear seventeen operands.
    const std::size_t used =
        std::min<std::size_t>(args.size(), static_cast<std::size_t>(required_count(*r) + optional_count(*r) + 1));
    for (std::size_t k = 0; k < used; ++k) clear_operand(args[k]);
    // Slots that hold a variable's own text (bit k), which are not let go.
    std::uint32_t lent = 0;
    struct Release {
      Context& c;
      ArgSlots& args;
      std::size_t used;
      const std::uint32_t& lent;
      ~Release() {
        for (std::size_t k = 0; k < used; ++k)
          if (!(lent & (1u << k)) && (args[k].flags | args[k].str | args[k].wstr)) release_value(c, args[k]);
      }
    } guard{c_, args, used, lent};
    for (int k = 1; k <= count; ++k) {
      Operand& slot = args[static_cast<std::size_t>(k)];
      CompiledNode& kid = line_.nodes[static_cast<std::size_t>(n.kids[static_cast<std::size_t>(k - 1)])];
      if (kid.kind == CompiledNode::kVar) {
        switch (variable_argument(kid, slot, n.lendsText)) {
          case Argument::lent: lent |= 1u << k; continue;
          case Argument::copied: continue;
          case Argument::other: break;
        }
      }
      if (!eval(n.kids[static_cast<std::size_t>(k - 1)], slot)) return false;
      // Extenders may hand values back into variables passed to them.
      if (n.op < kAddonStart) drop_origin(slot);
    }
    // A text the coercion would change (to a number, or to UTF-16 in a wide
    // call) gets a copy of its own after all.
    for (int k = 1; k <= count && lent; ++k) {
      const std::uint32_t bit = 1u << k;
      if (!(lent & bit) || coercion_keeps_text(*r, args, count, k)) continue;
      Operand& slot = args[static_cast<std::size_t>(k)];
      const Value shared = slot;
      clear_operand(slot);
      lent &= ~bit;
      if (!copy_value(c_, shared, slot)) return miss();
    }
    // A call with effects runs at the nesting the text path would be at, so
    // a user-defined function's own expressions meet the same depth limit.
    const int outerDepth = c_.exprDepth;
    if (n.effects) c_.exprDepth = baseDepth_ + n.callDepth;
    const bool ok = dispatch_call(c_, n.op, *r, args, count, out);
    c_.exprDepth = outerDepth;
    return ok || miss();
  }

  // A variable as an argument: a plain number is copied as it is; an 8-bit
  // text is lent (put in the slot as it is) when `lend` says the function
  // only reads it and nothing runs before the call; anything else is read
  // the general way.
  enum class Argument { copied, lent, other };
  Argument variable_argument(CompiledNode& n, Operand& slot, bool lend) {
    const std::uint16_t index = hinted_slot(c_, n.hint, n.text);
    if (index == kNotFound) return Argument::other;
    const Value& v = c_.slots[index].v;
    const bool number = v.flags == vf::kInt || v.flags == vf::kFloat;
    if (!number && !(lend && v.flags == vf::kStr && v.str != 0)) return Argument::other;
    static_cast<Value&>(slot) = v;
    drop_origin(slot);
    return number ? Argument::copied : Argument::lent;
  }

  // A failure: strictly the error stays for the report; else it is
  // forgotten and the text path runs the expression again.
  bool miss() {
    if (!strict_) forget_error(c_);
    return false;
  }

  // A variable the quick path does not read (missing, unassigned, an
  // object), read as the text path does: its scan declares the name, and
  // reading it unassigned reports it.
  bool strict_variable(CompiledNode& n, Operand& out) {
    std::uint16_t slot = hinted_slot(c_, n.hint, n.text);
    if (slot == kNotFound) slot = find_or_create_slot(c_, n.text);
    if (slot == kNotFound) return false;
    if (!is_assigned(c_.slots[slot].v)) slot = find_var(c_, n.text, true);
    if (slot == kNotFound) return false;
    if (!copy_value(c_, c_.slots[slot].v, out)) return false;
    out.slot = slot;
    out.frame = c_.level;
    return true;
  }

  Context& c_;
  CompiledLine& line_;
  bool strict_;
  int baseDepth_;
};

// Puts the scanner on token `index` of the line (or past the last one).
void resume_scan_at(Context& c, const CachedLine& cached, std::size_t index) {
  const auto& t = cached.tokens;
  if (index < t.size()) {
    c.prog = c.line + t[index].start;
    c.replayCursor = index;
  } else {
    c.prog = c.line + t.back().end;
  }
  get_token(c);
}

// Stores the value of a compiled assignment in its target slot.
bool store_assignment(Context& c, const CompiledExpr& e, std::uint16_t slot, Scratch& value) {
  if (e.assignOp != id::kAssign) {
    const Value& current = c.slots[slot].v;
    if (!is_assigned(current) || (current.flags & vf::kCom)) return false;
    const int op = compound_operator(e.assignOp);
    if (plain_int(current) && plain_int(value.op()) && (op == id::kPlus || op == id::kMinus)) {
      value->i = wrap32(op == id::kPlus ? std::int64_t{current.i} + value->i : std::int64_t{current.i} - value->i);
    } else if (!compound_value(c, e.assignOp, current, value.op())) {
      forget_error(c);
      return false;
    }
  }
  return true;
}

}  // namespace

CompiledRun run_compiled_expression(Context& c, Operand& result, bool assignAllowed) {
  CachedLine* cached = c.replay;
  // While tracing, lines take the text path, which records every trace event.
  if (!cached || !c.compileLines || c.replayCursor == 0 || c.trace.state == trace::kTracing) return CompiledRun::not_run;
  const std::size_t at = c.replayCursor - 1;
  const auto& t = cached->tokens;
  if (at >= t.size() || c.tokenStart != c.line + t[at].start || c.tokKind != t[at].kind) return CompiledRun::not_run;
  if (!cached->compiled) {
    cached->compiled = std::make_shared<CompiledLine>();
    cached->compiled->exprAt.assign(t.size(), -2);
  }
  CompiledLine& line = *cached->compiled;
  std::int32_t& which = line.exprAt[at];
  if (which == -2) which = compile_expression(c, *cached, line, at, true);
  if (which < 0) return CompiledRun::not_run;
  const CompiledExpr e = line.exprs[static_cast<std::size_t>(which)];
  if (e.assignment && !assignAllowed) return CompiledRun::not_run;

  std::uint16_t target = kNotFound;
  if (e.assignment) {
    // The scanner found (or made) the target's slot when it served the name.
    target = c.tokenSlot;
    if (target >= c.hwm || c.slots[target].v.flags == 0 || std::strcmp(c.slots[target].name, c.token) != 0)
      return CompiledRun::not_run;
  }
  if (!e.assignment) {
    if (!eval_compiled(c, line, e, result)) return CompiledRun::not_run;
    resume_scan_at(c, *cached, e.endToken);
    return CompiledRun::ok;
  }
  const CompiledRun run = assign_compiled(c, line, e, target, &result);
  if (run == CompiledRun::ok) resume_scan_at(c, *cached, e.endToken);
  return run;
}

bool eval_compiled(Context& c, CompiledLine& line, const CompiledExpr& e, Operand& out) {
  if (c.exprDepth + e.nesting > limits::kExpressionDepth) return false;
  Runner runner(c, line);
  // A lone variable keeps its slot in the result: the general path gives it.
  if (e.intCount > 1) {
    std::int32_t i = 0;
    if (runner.run_int(e, i)) {
      make_int(out, i);
      return true;
    }
  }
  Scratch value(c);
  if (!runner.eval(e.root, value.op())) return false;
  out = value.op();
  clear_operand(value.op());
  return true;
}

bool eval_compiled_int(Context& c, CompiledLine& line, const CompiledExpr& e, std::int32_t& out) {
  if (c.exprDepth + e.nesting > limits::kExpressionDepth) return false;
  if (e.intCount == 1) {   // a lone number or variable
    IntStep& step = line.intCode[e.intStart];
    if (step.code == IntStep::kLoad) {
      out = step.value;
      return true;
    }
    if (Runner(c, line).variable_step(step, out)) return true;
  } else if (e.intCount != 0 && Runner(c, line).run_int(e, out)) {
    return true;
  }
  Operand v;
  clear_operand(v);
  if (!eval_compiled(c, line, e, v)) return false;
  const bool isInt = v.flags == vf::kInt;
  if (isInt) out = v.i;
  else release_value(c, v);
  return isInt;
}

namespace {

// An integer stored into a slot that holds no payload: "=", "+=" and "-="
// on plain integers. False: the general store must do it.
bool store_int(Context& c, const CompiledExpr& e, std::uint16_t target, std::int32_t value) {
  Value& slotValue = c.slots[target].v;
  if (slotValue.flags & kPayload) return false;
  if (e.assignOp == id::kAssign) {
    make_int(slotValue, value);
    return true;
  }
  if (slotValue.flags != vf::kInt) return false;
  const int op = compound_operator(e.assignOp);
  if (op == id::kPlus) slotValue.i = wrap32(std::int64_t{slotValue.i} + value);
  else if (op == id::kMinus) slotValue.i = wrap32(std::int64_t{slotValue.i} - value);
  else return false;
  return true;
}

}  // namespace

CompiledRun assign_compiled(Context& c, CompiledLine& line, const CompiledExpr& e, std::uint16_t target,
                            Operand* result) {
  if (c.exprDepth + e.nesting > limits::kExpressionDepth) return CompiledRun::not_run;
  Runner runner(c, line);
  std::int32_t i = 0;
  const bool integral = e.intCount != 0 && runner.run_int(e, i);
  if (integral && store_int(c, e, target, i)) {
    c.assignFrame = c.level;
    c.assignSlot = target;
    if (result) make_int(*result, 0);
    return CompiledRun::ok;
  }
  Scratch value(c);
  if (integral) make_int(value.op(), i);
  else if (!runner.eval(e.root, value.op())) return CompiledRun::not_run;
  if (!store_assignment(c, e, target, value)) return CompiledRun::not_run;
  c.assignFrame = c.level;
  c.assignSlot = target;
  Value stored = value.op();
  clear_operand(value.op());
  stored.flags &= ~vf::kDeclared;
  Value& slotValue = c.slots[target].v;
  if (!(slotValue.flags & kPayload) && !(stored.flags & vf::kArray)) slotValue = stored;   // nothing to release
  else if (!store_in_slot(c, target, stored)) return CompiledRun::failed;
  if (result) make_int(*result, 0);
  return CompiledRun::ok;
}

}  // namespace orv

namespace orv {
namespace {

// The one failure a strict run could leave without a number is a bug; it
// still ends the statement with an error rather than silently.
CompiledRun strict_failure(Context& c) {
  if (!failed(c)) fail(c, errs::kIllegalSyntax);
  return CompiledRun::failed;
}

// The slot of the assignment target, found again after the right side ran
// (which may drop or move it), as the text path does.
std::uint16_t target_slot(Context& c, std::string_view name, std::uint16_t known) {
  if (known < c.hwm && c.slots[known].v.flags != 0 && name == c.slots[known].name) return known;
  const std::uint16_t slot = find_slot(c, name);
  return slot != kNotFound ? slot : find_or_create_slot(c, name);
}

}  // namespace

CompiledRun eval_compiled_strict(Context& c, CompiledLine& line, const CompiledExpr& e, Operand& out) {
  if (c.exprDepth + e.nesting > limits::kExpressionDepth) return CompiledRun::not_run;
  Runner runner(c, line, true);
  std::int32_t i = 0;
  if (e.intCount > 1 && runner.run_int(e, i)) {
    make_int(out, i);
    return CompiledRun::ok;
  }
  Scratch value(c);
  if (!runner.eval(e.root, value.op())) return strict_failure(c);
  out = value.op();
  clear_operand(value.op());
  return CompiledRun::ok;
}

CompiledRun condition_compiled_strict(Context& c, CompiledLine& line, const CompiledExpr& e, bool& truth) {
  Operand v;
  clear_operand(v);
  const CompiledRun run = eval_compiled_strict(c, line, e, v);
  if (run != CompiledRun::ok) return run;
  const bool ok = condition_value(c, v, truth);
  release_value(c, v);
  return ok ? CompiledRun::ok : strict_failure(c);
}

CompiledRun assign_compiled_strict(Context& c, CompiledLine& line, const CompiledExpr& e, std::string_view name,
                                   SlotHint& hint) {
  if (c.exprDepth + e.nesting > limits::kExpressionDepth) return CompiledRun::not_run;
  std::uint16_t slot = hinted_slot(c, hint, name);
  if (slot == kNotFound) slot = find_or_create_slot(c, name);
  if (slot == kNotFound) return strict_failure(c);
  c.assignFrame = c.level;   // before the right side runs: a function it calls may look
  c.assignSlot = slot;
  Runner runner(c, line, true);
  Scratch value(c);
  std::int32_t i = 0;
  if (e.intCount != 0 && runner.run_int(e, i)) make_int(value.op(), i);
  else if (!runner.eval(e.root, value.op())) return strict_failure(c);
  if (e.assignOp != id::kAssign) {
    slot = target_slot(c, name, slot);
    if (slot == kNotFound) {
      c.error = 0;
      c.errorText.clear();
      fail(c, errs::kUninitializedElement);
      return CompiledRun::failed;
    }
    const Value& current = c.slots[slot].v;
    if (!is_assigned(current)) {
      fail(c, errs::kUninitializedVariable, message_text(errs::kUninitializedPrefix) + "\n\n    " + std::string(name));
      return CompiledRun::failed;
    }
    if (!compound_value(c, e.assignOp, current, value.op())) return strict_failure(c);
  }
  slot = target_slot(c, name, slot);
  if (slot == kNotFound) return strict_failure(c);
  Value stored = value.op();
  clear_operand(value.op());
  stored.flags &= ~vf::kDeclared;
  if (!store_in_slot(c, slot, stored)) return strict_failure(c);
  return CompiledRun::ok;
}

}  // namespace orv
