#include "engine/compiled.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "engine/builtin_calls.h"
#include "engine/compiled_lowering.h"
#include "engine/assign_ops.h"
#include "engine/convert.h"
#include "engine/evaluator.h"
#include "engine/float_rules.h"
#include "engine/keyword_ids.h"
#include "engine/keyword_table.h"
#include "engine/keywords.h"
#include "engine/maps.h"
#include "engine/messages.h"
#include "engine/sizes.h"
#include "engine/operator_table.h"
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
  std::int32_t binary(Next next, ops::Level level, CompiledNode::Kind kind) {
    std::int32_t left = (this->*next)();
    while (left >= 0) {
      const int op = keyword_here();
      if (ops::binary_level(op) != level) break;
      if (t_[p_].pointerAmp) return -1;
      ++p_;
      std::int32_t right = (this->*next)();
      if (right < 0) return -1;
      left = pair(kind, op, left, right);
    }
    return left;
  }

  std::int32_t level1() { return binary(&Compiler::bitwise, ops::kLogical, CompiledNode::kBinary); }
  std::int32_t bitwise() { return binary(&Compiler::compare, ops::kBitwise, CompiledNode::kBinary); }
  std::int32_t compare() {
    std::int32_t left = concat();
    while (left >= 0) {
      const int op = keyword_here();
      if (op == id::kAssign) return -1;   // the text path reports the misplaced "="
      if (ops::binary_level(op) != ops::kCompare) break;
      ++p_;
      std::int32_t right = concat();
      if (right < 0) return -1;
      left = pair(CompiledNode::kCompare, op, left, right);
    }
    return left;
  }
  std::int32_t concat() {
    std::int32_t first = shift();
    if (first < 0 || ops::binary_level(keyword_here()) != ops::kConcat) return first;
    CompiledNode n;
    n.kind = CompiledNode::kConcat;
    n.kids.push_back(first);
    while (ops::binary_level(keyword_here()) == ops::kConcat) {
      ++p_;
      std::int32_t next = shift();
      if (next < 0) return -1;
      n.kids.push_back(next);
    }
    return add(std::move(n));
  }
  std::int32_t shift() { return binary(&Compiler::sum, ops::kShift, CompiledNode::kBinary); }
  std::int32_t sum() { return binary(&Compiler::product, ops::kSum, CompiledNode::kBinary); }
  std::int32_t product() { return binary(&Compiler::power, ops::kProduct, CompiledNode::kBinary); }
  std::int32_t power() { return binary(&Compiler::unary, ops::kPower, CompiledNode::kBinary); }

  std::int32_t unary() {
    const int op = keyword_here();
    if (ops::is_prefix(op)) {
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
          return element_read(tok.text);
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
        n.text = tok.text.c_str();   // up to a NUL, as the evaluator reads it: its size is the text's length
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
    // Add-on functions stay on the text path (an extender may hand values
    // back into the variables passed to it); the host's functions take their
    // arguments as values, and run as calls with effects.
    const bool builtin = kw >= 0 && kw < kKeywordCount;
    const bool host = kw >= kParentStart && kw <= kParentEnd;
    if (!builtin && !host && !(kw >= kUdfStart && kw <= kUdfEnd)) return -1;
    const api::KeywordRecord* r = keyword_record(c_, kw);
    if (!r) return -1;
    if (builtin && r->kind == kk::kConstant) return constant(kw, *r);
    // Variadic built-ins read their own argument text, unless their handlers
    // also take compiled arguments; commands take no parentheses.
    if (r->kind != kk::kFunction) return -1;
    if (is_variadic(*r) && !(builtin && handler_table().takesCompiledArguments[static_cast<std::size_t>(kw)])) return -1;
    // A pure built-in run a second time (when the text path takes over after a failure) is harmless.
    if (builtin && keyword_has(kw, kw_flag::kPure)) return call(kw, *r, false);
    if (!effects_ || kw == id::kOleObject) return -1;
    return call(kw, *r, true);
  }

  // "name[subscripts]": a read of a map's key or an array's element, with
  // subscripts without effects. It runs only while the variable holds a map
  // and the key is there, or an array and whole-number subscripts of an
  // element that holds a value; anything else is the text path's, so it
  // never runs strictly.
  std::int32_t element_read(const std::string& name) {
    p_ += 2;
    CompiledNode n;
    n.kind = CompiledNode::kElementRead;
    n.text = name;
    for (;;) {
      const std::int32_t sub = level1();
      if (sub < 0 || line_.nodes[static_cast<std::size_t>(sub)].effectsBelow) return -1;
      n.kids.push_back(sub);
      if (keyword_at(id::kRBracket)) break;
      if (!keyword_at(id::kComma) || n.kids.size() == static_cast<std::size_t>(kMaxDimensions)) return -1;
      ++p_;
    }
    ++p_;
    sawElementRead_ = true;
    return add(std::move(n));
  }

 public:
  bool saw_element_read() const { return sawElementRead_; }

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

  static constexpr int kMaxVariadic = 1 << 20;   // (a line holds far fewer)

  std::int32_t call(int kw, const api::KeywordRecord& r, bool effects) {
    const bool variadic = is_variadic(r);   // (one argument at least, as many as the line holds)
    const int required = variadic ? 1 : required_count(r), optional = variadic ? kMaxVariadic : optional_count(r);
    if (!variadic && required + optional > limits::kMaxArgs) return -1;
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
    // A built-in that keeps to values and the script's own files runs no
    // script code that could drop the variable, and so its last reference.
    n.lendsHandles = !operandEffects && keyword_has(kw, kw_flag::kInward);
    return add(std::move(n));
  }

  Context& c_;
  const std::vector<CachedToken>& t_;
  CompiledLine& line_;
  std::size_t p_;
  bool effects_;
  bool sawElementRead_ = false;
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


// A call of a user-defined function whose arguments are all integral gives
// each its own integer form.
void emit_argument_forms(CompiledLine& line, std::size_t index) {
  CompiledNode& n = line.nodes[index];   // (emit_int adds steps, never nodes)
  if (n.kind != CompiledNode::kCall || n.op < kUdfStart || n.op > kUdfEnd || n.kids.size() > kIntArguments) return;
  for (std::int32_t kid : n.kids)
    if (!line.nodes[static_cast<std::size_t>(kid)].integral) return;
  const std::size_t codeBefore = line.intCode.size();
  for (std::int32_t kid : n.kids) {
    const std::size_t start = line.intCode.size();
    if (!emit_int(line, kid, 0) || line.intCode.size() > UINT16_MAX) {
      line.intCode.resize(codeBefore);
      return;
    }
    CompiledNode& arg = line.nodes[static_cast<std::size_t>(kid)];
    arg.intStart = static_cast<std::uint16_t>(start);
    arg.intCount = static_cast<std::uint16_t>(line.intCode.size() - start);
  }
  n.intArguments = true;
}

bool reads_variables(const CompiledLine& line, std::int32_t index) {
  const CompiledNode& n = line.nodes[static_cast<std::size_t>(index)];
  if (n.kind == CompiledNode::kVar) return true;
  for (std::int32_t kid : n.kids)
    if (reads_variables(line, kid)) return true;
  return false;
}

// Lays out the integer form with calls (see CompiledExpr::callStart) of node
// `index` into registers from `reg` on. `outerRead`: a variable outside the
// calls' arguments has been read, so no call may follow (a miss after a call
// goes on through the general evaluation, which would read it again after
// the call). False: the expression has no such form.
bool emit_int_with_calls(CompiledLine& line, std::int32_t index, std::uint8_t reg, bool& outerRead, int& calls) {
  if (reg >= kIntRegisters) return false;
  const CompiledNode& n = line.nodes[static_cast<std::size_t>(index)];   // (only steps are added below)
  if (n.integral) {
    if (!emit_int(line, index, reg)) return false;
    outerRead = outerRead || reads_variables(line, index);
    return true;
  }
  IntStep step;
  step.dst = reg;
  switch (n.kind) {
    case CompiledNode::kCall:
      if (!n.intArguments || outerRead || ++calls > static_cast<int>(kIntCalls)) return false;
      for (std::size_t k = 0; k < n.kids.size(); ++k)
        if (!emit_int(line, n.kids[k], static_cast<std::uint8_t>(reg + k))) return false;
      step.code = IntStep::kCall;
      step.b = static_cast<std::uint8_t>(n.kids.size());
      step.value = index;
      break;
    case CompiledNode::kUnary:
      if (!emit_int_with_calls(line, n.kids[0], reg, outerRead, calls)) return false;
      if (n.op == id::kPlus) return true;
      step.code = int_unary_code(n.op);
      break;
    case CompiledNode::kBinary: case CompiledNode::kCompare:
      if (n.kind == CompiledNode::kBinary && !int_arithmetic(n.op)) return false;
      if (!emit_int_with_calls(line, n.kids[0], reg, outerRead, calls) ||
          !emit_int_with_calls(line, n.kids[1], static_cast<std::uint8_t>(reg + 1), outerRead, calls))
        return false;
      step.code = int_operator_code(n.op);
      step.b = static_cast<std::uint8_t>(reg + 1);
      break;
    default: return false;
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
  mark_forms(line, nodesBefore);
  if (e.assignment) {
    const CompiledNode& top = line.nodes[static_cast<std::size_t>(e.root)];
    e.appendsToTarget = e.assignOp == id::kColonEq ||
                        (e.assignOp == id::kAssign && top.kind == CompiledNode::kConcat &&
                         line.nodes[static_cast<std::size_t>(top.kids[0])].kind == CompiledNode::kVar &&
                         line.nodes[static_cast<std::size_t>(top.kids[0])].text == t[at].text);
  }
  const std::size_t codeBefore = line.intCode.size();
  if (line.nodes[static_cast<std::size_t>(e.root)].integral) {
    if (emit_int(line, e.root, 0)) {
      e.intStart = static_cast<std::uint32_t>(codeBefore);
      e.intCount = static_cast<std::uint32_t>(line.intCode.size() - codeBefore);
    } else {
      line.intCode.resize(codeBefore);
    }
  }
  // The number form serves operators and float calls (a lone name or number
  // keeps its general reading).
  const std::size_t numBefore = line.numCode.size();
  const CompiledNode& root = line.nodes[static_cast<std::size_t>(e.root)];
  if (root.numeric && (root.kind == CompiledNode::kBinary || root.kind == CompiledNode::kCall)) {
    if (emit_number(line, e.root, 0)) {
      e.numStart = static_cast<std::uint32_t>(numBefore);
      e.numCount = static_cast<std::uint32_t>(line.numCode.size() - numBefore);
    } else {
      line.numCode.resize(numBefore);
    }
  }
  e.endToken = static_cast<std::uint16_t>(compiler.position());
  e.nesting = compiler.nesting(e.root);
  e.effects = line.nodes[static_cast<std::size_t>(e.root)].effectsBelow;
  if (e.effects && compiler.saw_element_read()) {   // a strict run would have to read elements as the text path does
    line.nodes.resize(nodesBefore);
    line.intCode.resize(codeBefore);
    line.numCode.resize(numBefore);
    return -1;
  }
  if (e.effects) {
    set_call_depths(line, e.root, 0);
    for (std::size_t i = nodesBefore; i < line.nodes.size(); ++i) emit_argument_forms(line, i);
    const std::size_t start = line.intCode.size();
    bool outerRead = false;
    int calls = 0;
    if (emit_int_with_calls(line, e.root, 0, outerRead, calls) && calls > 0) {
      e.callStart = static_cast<std::uint32_t>(start);
      e.callCount = static_cast<std::uint32_t>(line.intCode.size() - start);
    } else {
      line.intCode.resize(start);
    }
  }
  script.compiledNodes += line.nodes.size() - nodesBefore;
  line.exprs.push_back(e);
  return static_cast<std::int32_t>(line.exprs.size() - 1);
}

}  // namespace orv
