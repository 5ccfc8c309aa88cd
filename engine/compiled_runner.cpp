// Running compiled expressions: the operand tree, the plain-number forms,
// and the strict entries for expressions with effects.
#include "engine/compiled.h"
#include "engine/error_numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "engine/builtin_calls.h"
#include "engine/assign_ops.h"
#include "engine/convert.h"
#include "engine/evaluator.h"
#include "engine/float_rules.h"
#include "engine/int_steps.h"
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

// ---- Running ----

void forget_error(Context& c) {
  c.error = 0;
  c.errorText.clear();
}

bool plain_int(const Value& v) { return v.flags == vf::kInt; }

constexpr std::uint32_t kPayload = kPayloadFlags;

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

class Runner {
 public:
  // A strict runner keeps every error, and meets what the quick paths do not
  // cover with the text path's own routines (see compiled.h).
  Runner(Context& c, CompiledLine& line, bool strict = false)
      : c_(c), line_(line), strict_(strict), baseDepth_(c.exprDepth) {}
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

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
      case CompiledNode::kElementRead: return element(n, out);
    }
    return false;
  }

  // Runs an expression's number form, into `out`. False when a value is
  // anything but a whole number or a float, or an operation would report
  // an error: nothing has changed then, and the general evaluation runs.
  bool run_number(const CompiledExpr& e, Operand& out) {
    if (e.numCount == 0) return false;
    Number v;
    if (!number_steps(line_.numCode.data() + e.numStart, e.numCount, v)) return false;
    if (v.isFloat) make_float(out, v.f);
    else make_int(out, v.i);
    drop_origin(out);
    return true;
  }

  // Runs an expression's integer form. False when a variable holds anything
  // but a plain integer or a divisor is zero (the general rules then apply);
  // nothing has changed then.
  bool run_int(const CompiledExpr& e, std::int32_t& out) { return run_int_steps_at(e.intStart, e.intCount, out); }

  // The same for the steps [start, start + count) of the line.
  bool run_int_steps_at(std::uint32_t start, std::uint32_t count, std::int32_t& out) {
    IntStep* first = line_.intCode.data() + start;
    if (run_int_steps(c_, first, first + count, out)) return true;
    // A miss: the variables' remembered slots may be stale. Found afresh,
    // the steps run once more; a value that is no plain integer or a zero
    // divisor misses again.
    for (IntStep* step = first; step != first + count; ++step) {
      std::int32_t v = 0;
      if (step->reads_variable() && !variable_step(*step, v)) return false;
    }
    return run_int_steps(c_, first, first + count, out);
  }

  // Runs an expression's integer form with calls (CompiledExpr::callStart)
  // into `out`. not_run: nothing ran (the general evaluation runs it); failed:
  // a call failed, its error is set. A miss after a call ran (a value that is
  // no plain integer, a variable, a zero divisor) goes on through the general
  // evaluation, which takes the values of the calls made so far.
  CompiledRun run_with_calls(const CompiledExpr& e, Operand& out) {
    IntStep* const first = line_.intCode.data() + e.callStart;
    IntStep* const end = first + e.callCount;
    Presets presets(c_);
    bool callFailed = false;
    auto call = [&](const IntStep& step, std::int32_t* r) {
      const CompiledNode& n = line_.nodes[static_cast<std::size_t>(step.value)];
      Preset& made = presets.made[presets.count];   // (kIntCalls bounds the calls of the form)
      clear_operand(made.value);
      const int outerDepth = c_.exprDepth;
      c_.exprDepth = baseDepth_ + n.callDepth;   // as the general call sets it
      const QuickCall run = dispatch_udf_ints(c_, n.op, r + step.dst, step.b, made.value);
      c_.exprDepth = outerDepth;
      if (run == QuickCall::declined) return false;   // the general evaluation calls it
      if (run == QuickCall::failed) {
        callFailed = true;
        return false;
      }
      made.node = &n;
      ++presets.count;
      if (made.value.flags != vf::kInt) return false;
      r[step.dst] = made.value.i;
      return true;
    };
    for (int pass = 0;; ++pass) {
      std::int32_t i = 0;
      if (run_int_steps(c_, first, end, i, call)) {
        make_int(out, i);
        return CompiledRun::ok;
      }
      if (callFailed) return CompiledRun::failed;
      if (presets.count != 0) break;
      // Nothing ran: the variables' remembered slots may be stale (see run_int).
      if (pass == 1) return CompiledRun::not_run;
      for (IntStep* step = first; step != end; ++step) {
        std::int32_t v = 0;
        if (step->reads_variable() && !variable_step(*step, v)) return CompiledRun::not_run;
      }
    }
    presets_ = &presets;
    const bool ok = eval(e.root, out);
    presets_ = nullptr;
    return ok ? CompiledRun::ok : CompiledRun::failed;
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
    CompiledNode& n = line_.nodes[static_cast<std::size_t>(step.node)];
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
  // The whole-number operators taken straight: + - * and mod by a divisor
  // other than 0, wrapping at 32 bits. False: the general rules decide.
  static bool whole_rule(int op, std::int64_t a, std::int64_t b, std::int32_t& out) {
    std::int64_t r = 0;
    switch (op) {
      case id::kPlus: r = a + b; break;
      case id::kMinus: r = a - b; break;
      case id::kStar: r = a * b; break;
      case id::kMod:
        if (b == 0) return false;
        r = a % b;
        break;
      default: return false;
    }
    out = wrap32(r);
    return true;
  }

  // A register of the number form (left uninitialised: each is written
  // before it is read).
  struct Number {
    bool isFloat;
    std::int32_t i;
    double f;
    double as_float() const { return isFloat ? f : i; }
  };

  // The rules of binary() and call() for plain numbers, without operands:
  // the steps in order, each into its register (every register is written
  // before it is read).
  bool number_steps(const NumStep* step, std::uint32_t count, Number& out) {
    Number r[kIntRegisters];
    for (const NumStep* const end = step + count; step != end; ++step) {
      Number& d = r[step->dst];
      switch (step->code) {
        case NumStep::kConst:
          d.isFloat = step->isFloat;
          d.i = step->i;
          d.f = step->f;
          break;
        case NumStep::kVar: {
          CompiledNode& n = line_.nodes[static_cast<std::size_t>(step->node)];
          const std::uint16_t slot = hinted_slot(c_, n.hint, n.text);
          if (slot == kNotFound) return false;
          const Value& v = c_.slots[slot].v;
          if (v.flags == vf::kInt) {
            d.isFloat = false;
            d.i = v.i;
          } else if (v.flags == vf::kFloat) {
            d.isFloat = true;
            d.f = v.wide.f;
          } else {
            return false;
          }
          break;
        }
        case NumStep::kBinary: {
          const Number& b = r[step->b];
          if (!d.isFloat && !b.isFloat) {
            if (!whole_rule(step->op, d.i, b.i, d.i)) return false;   // the general rules decide the other operators
            break;
          }
          const FloatOutcome o = float_rule(step->op, d.as_float(), b.as_float());
          if (o.error != 0) return false;
          d.isFloat = !o.whole;
          d.i = o.value != 0;
          d.f = o.value;
          break;
        }
        case NumStep::kCall: {
          // Straight only while the function is what it was when compiled
          // (an extender may disable it, or built-ins as a whole).
          const double x = d.as_float();
          if (c_.dllState || keyword_kind(c_, line_.nodes[static_cast<std::size_t>(step->node)].op) != kk::kFunction ||
              !step->fn(x, d.f))
            return false;
          d.isFloat = true;
          break;
        }
      }
    }
    out = r[0];
    return true;
  }

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

  // A map's key or an array's element (see element_read in compiled.cpp):
  // false leaves the line to the text path. (The subscripts have no effects:
  // the variable holds what it held before them.)
  bool element(CompiledNode& n, Operand& out) {
    const std::uint16_t slot = hinted_slot(c_, n.hint, n.text);
    if (slot == kNotFound || !(c_.slots[slot].v.flags & vf::kArray)) return false;
    const Value* v = nullptr;
    if (MapStore* map = map_of(c_, c_.slots[slot].v)) {
      MapKey key;
      if (n.kids.size() != 1 || !map_key(n.kids[0], key)) return false;
      v = map->find(key);
    } else {
      v = array_element_of(n, c_.slots[slot].v.str);
    }
    if (!v || !is_assigned(*v)) return false;
    if (!(v->flags & kPayload)) static_cast<Value&>(out) = *v;
    else if (!copy_value(c_, *v, out)) return miss();
    return true;
  }

  // The element the subscripts name, when each is a whole number in range.
  const Value* array_element_of(const CompiledNode& n, std::uint32_t array) {
    std::int32_t subs[kMaxDimensions];
    const int count = static_cast<int>(n.kids.size());
    for (int k = 0; k < count; ++k) {
      Scratch sub(c_);
      if (!eval(n.kids[static_cast<std::size_t>(k)], sub.op()) || sub->flags != vf::kInt) return nullptr;
      subs[k] = sub->i;
    }
    const ArrayHeader* header = c_.arrays.header(array);
    std::uint32_t index = 0;
    std::uint16_t err = 0;
    if (!header || !array_index(*header, subs, count, index, err)) return nullptr;
    return &c_.arrays.elements(array)[index];
  }

  // The key a subscript names. False as eval().
  bool map_key(std::int32_t index, MapKey& key) {
    const CompiledNode& n = line_.nodes[static_cast<std::size_t>(index)];
    if (n.kind == CompiledNode::kConcat) return joined_map_key(n, key);
    Scratch value(c_);
    return eval(index, value.op()) && (map_key_of(c_, value.op(), key) || miss());
  }

  bool binary(const CompiledNode& n, Operand& out) {
    if (!eval(n.kids[0], out)) return false;
    Scratch right(c_);
    if (!eval(n.kids[1], right.op())) return false;
    if (plain_int(out) && plain_int(right.op())) {
      if (!whole_rule(n.op, out.i, right->i, out.i)) return general_arithmetic(n.op, out, right.op());
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
    // Comparisons of whole numbers do not look for texts.
    if (!n.integral) {
      if (const Compared done = texts_in_place(n, out); done != Compared::not_here) return done == Compared::done;
    }
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

  // A literal text and another text at hand, one of which cannot read as a
  // number, compare as texts where they are: no copies (a line read checked
  // for "*EOF*").
  enum class Compared { done, failed, not_here };
  [[gnu::noinline]] Compared texts_in_place(const CompiledNode& n, Operand& out) {
    if (line_.nodes[static_cast<std::size_t>(n.kids[0])].kind != CompiledNode::kString &&
        line_.nodes[static_cast<std::size_t>(n.kids[1])].kind != CompiledNode::kString)
      return Compared::not_here;
    std::string_view a, b;
    if (!text_in_place(n.kids[0], a) || !text_in_place(n.kids[1], b) ||
        (may_start_number(a.data(), a.data() + a.size()) && may_start_number(b.data(), b.data() + b.size())))
      return Compared::not_here;
    clear_operand(out);
    return compare_ansi_texts(c_, n.op, a, b, false, out) || miss() ? Compared::done : Compared::failed;
  }

  // A literal, or a variable holding nothing but an 8-bit text: its text,
  // read in place.
  bool text_in_place(std::int32_t index, std::string_view& out) {
    CompiledNode& n = line_.nodes[static_cast<std::size_t>(index)];
    if (n.kind == CompiledNode::kString) {
      out = n.text;
      return true;
    }
    if (n.kind != CompiledNode::kVar) return false;
    const std::uint16_t slot = hinted_slot(c_, n.hint, n.text);
    if (slot == kNotFound) return false;
    const Value& v = c_.slots[slot].v;
    if (v.flags != vf::kStr || v.str == 0) return false;
    out = str_view(c_, v);
    return true;
  }

  // A concatenation whose pieces are all 8-bit strings and whole numbers is
  // joined in one allocation, reading literals and variables' strings in
  // place; anything else joins piece by piece with the evaluator's rules.
  static constexpr std::size_t kJoinPieces = 16;
  // (Filled by gather_piece: a join of two pieces need not set up sixteen.)
  struct Piece {
    const Value* value;   // what the piece reads (a variable's own record, or an evaluated one)
    const char* text;     // a literal or the digits; else the heap string of `value`
    std::uint32_t size;
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
      p.size = static_cast<std::uint32_t>(str_view(c, v).size());
      return true;
    }
    if (v.flags != vf::kInt) return false;
    char* end = std::to_chars(p.digits, p.digits + sizeof p.digits, v.i).ptr;
    p.text = p.digits;
    p.size = static_cast<std::uint32_t>(end - p.digits);
    return true;
  }

  // Reads one piece: a literal or a variable's own record in place, else its
  // value. -1: its evaluation failed; 0: not a plain piece; 1: plain.
  [[gnu::always_inline]] int gather_piece(std::int32_t index, Piece& piece, Operand& op) {
    CompiledNode& kid = line_.nodes[static_cast<std::size_t>(index)];
    piece.value = nullptr;
    piece.text = nullptr;
    piece.size = 0;
    if (kid.kind == CompiledNode::kString) {
      piece.text = kid.text.c_str();
      piece.size = static_cast<std::uint32_t>(kid.text.size());
      return 1;
    }
    if (kid.kind == CompiledNode::kVar) {
      const std::uint16_t slot = hinted_slot(c_, kid.hint, kid.text);
      if (slot != kNotFound && (c_.slots[slot].v.flags == vf::kStr || c_.slots[slot].v.flags == vf::kInt))
        piece.value = &c_.slots[slot].v;
    }
    if (!piece.value) {
      clear_operand(op);
      if (!eval(index, op)) return -1;
      piece.value = &op;
    }
    return plain_piece(c_, piece) ? 1 : 0;
  }

  // Reads every piece of a join. -1: an evaluation failed; 0: some piece is
  // not plain (join_stepwise then); 1: all plain, `total` units together.
  int gather_join(const CompiledNode& n, PieceValues& values, std::array<Piece, kJoinPieces>& pieces,
                  std::uint64_t& total) {
    bool plain = true;
    total = 0;
    for (std::size_t k = 0; k < n.kids.size(); ++k) {
      values.ops[k].flags = 0;   // (all of it is cleared only when the piece is evaluated)
      values.used = k + 1;
      const int got = gather_piece(n.kids[k], pieces[k], values.ops[k]);
      if (got < 0) return -1;
      if (got > 0) total += pieces[k].size;
      else plain = false;
    }
    return plain ? 1 : 0;
  }

  // Copies gathered plain pieces to `p`; the end of what was written.
  char* put_pieces(const std::array<Piece, kJoinPieces>& pieces, std::size_t count, char* p) const {
    for (std::size_t k = 0; k < count; ++k) {
      const Piece& piece = pieces[k];
      if (piece.size) std::memcpy(p, piece.text ? piece.text : str_of(c_, *piece.value), piece.size);
      p += piece.size;
    }
    return p;
  }

  bool concat(const CompiledNode& n, Operand& out) {
    const std::size_t count = n.kids.size();
    // Strictly, each piece joins as soon as it is there, as the evaluator does.
    if (count > kJoinPieces || strict_) return concat_stepwise(n, out);
    PieceValues values(c_);
    std::array<Piece, kJoinPieces> pieces;
    std::uint64_t total = 0;
    const int gathered = gather_join(n, values, pieces, total);
    if (gathered < 0) return false;
    if (gathered == 0) return join_stepwise(n, values, pieces, out);
    return join_plain(pieces, count, total, out);
  }

  // Gathered plain pieces as one heap text.
  bool join_plain(const std::array<Piece, kJoinPieces>& pieces, std::size_t count, std::uint64_t total, Operand& out) {
    // No room asked first: when the heap cannot take it, alloc() says so,
    // and the text path meets the same shortage and reports it.
    if (total >= kMaxStringBytes) return false;
    const std::uint32_t h = c_.heap.alloc(static_cast<std::uint32_t>(total + 1));
    if (h == 0) return false;
    char* p = put_pieces(pieces, count, c_.heap.ptr(h));
    *p = '\0';
    c_.heap.remember_length(h, static_cast<std::uint32_t>(total), 1);   // no piece holds a NUL
    clear_operand(out);
    out.str = h;
    out.flags = vf::kStr;
    return true;
  }

  // Gathered plain pieces straight into a short key; false when some piece
  // is not ASCII.
  bool short_key_of(const std::array<Piece, kJoinPieces>& pieces, std::size_t count, MapKey& key) const {
    ShortKeyBuilder build(key);
    for (std::size_t k = 0; k < count; ++k) {
      const Piece& piece = pieces[k];
      const bool added = piece.text == piece.digits ? build.add_number_text(piece.text, piece.size)
                         : build.add(piece.text ? piece.text : str_of(c_, *piece.value), piece.size);
      if (!added) return false;
    }
    build.finish();
    return true;
  }

 public:
  // The map key of a join (`m["k" : i]`), made off the heap: the common
  // pieces go straight into a short key; others are gathered first, and a
  // key past ASCII is put together on the stack and read as a text. Only a
  // key too long for that is joined on the heap. False as eval().
  static constexpr std::size_t kKeyOnStack = MapKey::kShort;
  bool joined_map_key(const CompiledNode& n, MapKey& key) {
    if (!strict_ && quick_joined_key(n, key)) return true;
    return gathered_joined_key(n, key);
  }

 private:
  // The common join of a key: literals and variables holding whole numbers
  // or 8-bit texts, together a short ASCII key, copied straight into it.
  // False when any piece is something else (nothing has run then: the
  // pieces have no effects).
  bool quick_joined_key(const CompiledNode& n, MapKey& key) {
    ShortKeyBuilder build(key);
    for (const std::int32_t index : n.kids) {
      CompiledNode& kid = line_.nodes[static_cast<std::size_t>(index)];
      if (kid.kind == CompiledNode::kString) {
        if (!build.add(kid.text.data(), kid.text.size())) return false;
        continue;
      }
      if (kid.kind != CompiledNode::kVar) return false;
      const std::uint16_t slot = hinted_slot(c_, kid.hint, kid.text);
      if (slot == kNotFound) return false;
      const Value& v = c_.slots[slot].v;
      if (v.flags == vf::kInt) {
        char digits[12];
        const char* end = std::to_chars(digits, digits + sizeof digits, v.i).ptr;
        if (!build.add_number_text(digits, static_cast<std::size_t>(end - digits))) return false;
      } else if (v.flags != vf::kStr || v.str == 0) {
        return false;
      } else {
        const std::string_view text = str_view(c_, v);
        if (!build.add(text.data(), text.size())) return false;
      }
    }
    build.finish();
    return true;
  }

  [[gnu::noinline]] bool gathered_joined_key(const CompiledNode& n, MapKey& key) {
    const std::size_t count = n.kids.size();
    PieceValues values(c_);
    std::array<Piece, kJoinPieces> pieces;
    std::uint64_t total = 0;
    const int gathered = count > kJoinPieces || strict_ ? 0 : gather_join(n, values, pieces, total);
    if (gathered < 0) return false;
    if (gathered > 0 && total <= kKeyOnStack) {
      if (short_key_of(pieces, count, key)) return true;
      char text[kKeyOnStack];   // past ASCII: the general way
      put_pieces(pieces, count, text);
      return map_key_of_text(c_, std::string_view(text, total), key) || miss();
    }
    Scratch joined(c_);
    const bool made = count > kJoinPieces || strict_ ? concat_stepwise(n, joined.op())
                      : gathered == 0             ? join_stepwise(n, values, pieces, joined.op())
                                                  : join_plain(pieces, count, total, joined.op());
    return made && (map_key_of(c_, joined.op(), key) || miss());
  }

 public:
  // `s = s : ...` and `s := ...` on an 8-bit text, with pieces that change
  // nothing: the pieces go on the end of the variable's own text, where it
  // lies when its block has room, else in a new block with as much again to
  // spare, so a text built piece by piece is not copied for every piece.
  enum class Append { done, not_here, failed };
  [[gnu::noinline]] Append append_in_place(const CompiledExpr& e, std::uint16_t target) {
    if (strict_) return Append::not_here;
    const CompiledNode& root = line_.nodes[static_cast<std::size_t>(e.root)];
    if (root.effectsBelow) return Append::not_here;
    std::array<std::int32_t, kJoinPieces> list;
    std::size_t count = 0;
    if (e.assignOp == id::kAssign) {
      if (root.kind != CompiledNode::kConcat || root.kids.size() < 2 || root.kids.size() > kJoinPieces + 1)
        return Append::not_here;
      CompiledNode& head = line_.nodes[static_cast<std::size_t>(root.kids[0])];
      if (head.kind != CompiledNode::kVar || hinted_slot(c_, head.hint, head.text) != target) return Append::not_here;
      for (std::size_t k = 1; k < root.kids.size(); ++k) list[count++] = root.kids[k];
    } else if (e.assignOp == id::kColonEq) {
      if (root.kind != CompiledNode::kConcat) list[count++] = e.root;
      else if (root.kids.size() > kJoinPieces) return Append::not_here;
      else for (std::int32_t kid : root.kids) list[count++] = kid;
    } else {
      return Append::not_here;
    }
    if (c_.slots[target].v.flags != vf::kStr || c_.slots[target].v.str == 0) return Append::not_here;
    PieceValues values(c_);
    std::array<Piece, kJoinPieces> pieces;
    std::uint64_t extra = 0;
    for (std::size_t k = 0; k < count; ++k) {
      values.ops[k].flags = 0;   // (all of it is cleared only when the piece is evaluated)
      values.used = k + 1;
      const int got = gather_piece(list[k], pieces[k], values.ops[k]);
      if (got < 0) return Append::failed;
      if (got == 0) return Append::not_here;
      extra += pieces[k].size;
    }
    Value& v = c_.slots[target].v;   // pieces without effects leave the slot where it was
    const std::string_view current = str_view(c_, v);
    const std::uint64_t total = current.size() + extra;
    const std::uint32_t old = v.str;
    std::uint32_t h = old;
    if (total + 1 > c_.heap.payload_capacity(old)) {
      if (!string_room<char>(c_, total)) { forget_error(c_); return Append::failed; }
      const std::uint64_t spare = total * 2 + 1;
      h = c_.heap.alloc(static_cast<std::uint32_t>(heap_can_hold(c_, spare) ? spare : total + 1));
      if (h == 0) return Append::failed;
      std::memcpy(c_.heap.ptr(h), current.data(), current.size());
    }
    char* p = c_.heap.ptr(h) + current.size();
    for (std::size_t k = 0; k < count; ++k) {
      const Piece& piece = pieces[k];
      if (piece.size) std::memcpy(p, piece.text ? piece.text : str_of(c_, *piece.value), piece.size);
      p += piece.size;
    }
    *p = '\0';
    if (h != old) {
      c_.heap.free(old);
      v.str = h;
    }
    c_.heap.remember_length(h, static_cast<std::uint32_t>(total), 1);   // no piece holds a NUL
    return Append::done;
  }

 private:

  // The pieces joined one by one, each as an operand of its own.
  bool join_stepwise(const CompiledNode& n, PieceValues& values, std::array<Piece, kJoinPieces>& pieces, Operand& out) {
    const std::size_t count = n.kids.size();
    for (std::size_t k = 0; k < count; ++k) {
      Operand& op = values.ops[k];
      if (pieces[k].value == &op) continue;
      clear_operand(op);
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

  // Lets go of what a call's first `used` argument slots hold, however the
  // call ends, but for those lent (bit k: a variable's own text or handle).
  struct ArgRelease {
    Context& c;
    ArgSlots& args;
    std::size_t used;
    const std::uint32_t& lent;
    ~ArgRelease() {
      for (std::size_t k = 0; k < used; ++k)
        if ((args[k].flags & (kPayload | vf::kCom)) && !(lent & (1u << k))) release_value(c, args[k]);
    }
  };

  static constexpr std::uint32_t kNoneLent = 0;

  bool call(const CompiledNode& n, Operand& out) {
    // Only strict runs call functions with effects.
    if (strict_) {
      if (presets_ && take_preset(n, out)) return true;
      // (A function removed since, or a command defined in its place, is
      // declined there: the checks below report it.)
      if (n.intArguments) {
        if (const UdfRun run = udf_with_integers(n, out); run != UdfRun::not_here) return run == UdfRun::done || miss();
      }
    }
    const api::KeywordRecord* r = keyword_record(c_, n.op);
    if (!r || r->kind != kk::kFunction) {   // disabled or removed since compiled
      if (!strict_) return false;
      return fail(c_, r && (r->kind & kk::kDisabledBit) ? errs::kNotAvailable : errs::kFunctionNotDefined);
    }
    if (n.op >= kUdfStart && n.op <= kUdfEnd) return udf_call(n, out);
    if (is_variadic(*r)) return variadic_call(n, *r, out);
    const int count = static_cast<int>(n.kids.size());
    // A float function of one argument that turns out a plain number skips
    // the argument slots and the coercion.
    const HandlerTable* table = count == 1 ? straight_table(n) : nullptr;
    const FloatHandler straight = table ? table->byIdFloat[static_cast<std::size_t>(n.op)] : nullptr;
    // Likewise a length of one 8-bit text (a variable's is read in place).
    const TextCountHandler counted = table ? table->byIdTextCount[static_cast<std::size_t>(n.op)] : nullptr;
    // Likewise an inward built-in of a variable holding a whole number.
    if (const WholeHandler whole = table ? table->byIdWhole[static_cast<std::size_t>(n.op)] : nullptr) {
      std::int32_t arg = 0;
      if (whole_argument(n, *r, arg)) {
        const int outerDepth = c_.exprDepth;
        if (n.effects) c_.exprDepth = baseDepth_ + n.callDepth;
        const bool ok = dispatch_whole(c_, whole, arg, out);
        c_.exprDepth = outerDepth;
        return ok || miss();
      }
    }
    Operand first;
    bool firstHeld = straight != nullptr;   // argument 1 is evaluated, in `first`
    if (straight) {
      clear_operand(first);
      if (!eval(n.kids[0], first)) return false;
      double value = 0;
      if ((first.flags == vf::kInt || first.flags == vf::kFloat) &&
          straight(first.flags == vf::kInt ? static_cast<double>(first.i) : first.wide.f, value)) {
        make_float(out, value);
        return true;
      }
    } else if (counted) {
      switch (count_text(n, counted, first, out)) {
        case Counted::done: return true;
        case Counted::failed: return false;
        case Counted::held: firstHeld = true; break;
        case Counted::not_here: break;
      }
    }
    ArgSlots args;
    // Only the slots the function can take are made ready (and let go): a
    // one-argument math call need not clear seventeen operands.
    const std::size_t used =
        std::min<std::size_t>(args.size(), static_cast<std::size_t>(required_count(*r) + optional_count(*r) + 1));
    clear_operands(args.data(), used);
    // Slots that hold a variable's own text or handle (bit k), which are
    // not let go; the texts among them.
    std::uint32_t lent = 0, lentTexts = 0;
    const ArgRelease guard{c_, args, used, lent};
    if (firstHeld) {
      args[1] = first;
      if (n.op < kAddonStart) drop_origin(args[1]);
    }
    for (int k = firstHeld ? 2 : 1; k <= count; ++k) {
      Operand& slot = args[static_cast<std::size_t>(k)];
      CompiledNode& kid = line_.nodes[static_cast<std::size_t>(n.kids[static_cast<std::size_t>(k - 1)])];
      if (kid.kind == CompiledNode::kVar) {
        switch (variable_argument(kid, slot, n.lendsText, n.lendsHandles ? r : nullptr, k)) {
          case Argument::lent:
            lent |= 1u << k;
            if (slot.flags == vf::kStr) lentTexts |= 1u << k;
            continue;
          case Argument::copied: continue;
          case Argument::other: break;
        }
      }
      if (!eval(n.kids[static_cast<std::size_t>(k - 1)], slot)) return false;
      // Extenders may hand values back into variables passed to them.
      if (n.op < kAddonStart) drop_origin(slot);
    }
    // A lent text the coercion would change (to a number, or to UTF-16 in a
    // wide call) gets a copy of its own after all.
    std::uint32_t seen = 0;   // the flags of all arguments: is any UTF-16?
    for (int k = 1; k <= count && lentTexts; ++k) seen |= args[static_cast<std::size_t>(k)].flags;
    const std::uint32_t changed =
        lentTexts ? texts_coercion_changes(*r, args, count, lentTexts, (seen & vf::kWide) != 0) : 0;
    for (int k = 1; k <= count && (changed >> k) != 0; ++k) {
      const std::uint32_t bit = 1u << k;
      if (!(changed & bit)) continue;
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

  // A user-defined function takes its arguments as they are (no coercion)
  // and owns them: nothing is lent, and its quick call moves texts out of
  // the slots, so most need no release here.
  bool udf_call(const CompiledNode& n, Operand& out) {
    ArgSlots args;
    const int count = static_cast<int>(n.kids.size());   // at most its parameters (compiled so)
    const std::size_t used = std::min<std::size_t>(args.size(), static_cast<std::size_t>(count) + 1);
    clear_operands(args.data(), used);
    const ArgRelease guard{c_, args, used, kNoneLent};
    for (std::size_t k = 1; k < used; ++k) {
      Operand& slot = args[k];
      CompiledNode& kid = line_.nodes[static_cast<std::size_t>(n.kids[k - 1])];
      if (kid.kind == CompiledNode::kVar && variable_argument(kid, slot, false, nullptr, 0) == Argument::copied)
        continue;
      if (!eval(n.kids[k - 1], slot)) return false;
      drop_origin(slot);
    }
    const int outerDepth = c_.exprDepth;
    if (n.effects) c_.exprDepth = baseDepth_ + n.callDepth;
    const bool ok = dispatch_udf_call(c_, n.op, args, count, out);
    c_.exprDepth = outerDepth;
    return ok || miss();
  }

  // A variadic built-in reads its own arguments: each is evaluated when it
  // asks for it, as the text path reads them.
  bool variadic_call(const CompiledNode& n, const api::KeywordRecord& r, Operand& out) {
    struct Kids final : CompiledArguments {
      Runner& run;
      const CompiledNode& node;
      bool declined = false;   // an argument the compiled path leaves to the text path
      Kids(Runner& runner, const CompiledNode& call) : run(runner), node(call) {}
      int count() const override { return static_cast<int>(node.kids.size()); }
      bool evaluate(int k, Operand& v) override {
        declined = !run.eval(node.kids[static_cast<std::size_t>(k - 1)], v);
        return !declined;
      }
    } kids(*this, n);
    const bool ok = dispatch_compiled_arguments(c_, n.op, r, kids, out);
    if (kids.declined) {
      release_value(c_, out);
      clear_operand(out);
      return false;
    }
    return ok || miss();
  }

  // A call the integer form with calls made already: its value.
  bool take_preset(const CompiledNode& n, Operand& out) {
    for (std::size_t k = 0; k < presets_->count; ++k) {
      Preset& p = presets_->made[k];
      if (p.node != &n) continue;
      out = p.value;
      p.node = nullptr;
      return true;
    }
    return false;
  }

  // A user-defined function whose arguments all turn out plain integers
  // through their integer forms: they go straight into its parameters, with
  // no argument slots. not_here: nothing ran (an argument is something else,
  // or the function must be called the general way).
  enum class UdfRun { done, failed, not_here };
  UdfRun udf_with_integers(const CompiledNode& n, Operand& out) {
    std::int32_t args[kIntArguments];
    const std::size_t count = n.kids.size();
    for (std::size_t k = 0; k < count; ++k) {
      const CompiledNode& kid = line_.nodes[static_cast<std::size_t>(n.kids[k])];
      if (!run_int_steps_at(kid.intStart, kid.intCount, args[k])) return UdfRun::not_here;
    }
    const int outerDepth = c_.exprDepth;
    c_.exprDepth = baseDepth_ + n.callDepth;   // as the general call below sets it
    const QuickCall run = dispatch_udf_ints(c_, n.op, args, static_cast<int>(count), out);
    c_.exprDepth = outerDepth;
    switch (run) {
      case QuickCall::done: return UdfRun::done;
      case QuickCall::failed: return UdfRun::failed;
      default: return UdfRun::not_here;
    }
  }

  // The straight float call of a built-in, unless an extender may have
  // disabled built-ins (the general call checks that).
  FloatHandler float_handler(const CompiledNode& n) const {
    const HandlerTable* table = straight_table(n);
    return table ? table->byIdFloat[static_cast<std::size_t>(n.op)] : nullptr;
  }
  // The table of straight calls for a built-in's id, or nullptr.
  const HandlerTable* straight_table(const CompiledNode& n) const {
    if (n.op < 0 || n.op >= kKeywordCount || c_.dllState) return nullptr;
    return &handler_table();
  }

  // The argument of a straight whole-number call: a variable holding a whole
  // number (or a file handle) that the type code takes as it is, read in place.
  bool whole_argument(const CompiledNode& n, const api::KeywordRecord& r, std::int32_t& arg) {
    CompiledNode& kid = line_.nodes[static_cast<std::size_t>(n.kids[0])];
    if (kid.kind != CompiledNode::kVar) return false;
    const std::uint16_t slot = hinted_slot(c_, kid.hint, kid.text);
    if (slot == kNotFound) return false;
    const Value& v = c_.slots[slot].v;
    if ((v.flags != vf::kInt && v.flags != (vf::kInt | vf::kFile)) || !code_keeps_whole_number(arg_type(r, 1)))
      return false;
    arg = v.i;
    return true;
  }

  // The straight text count of a one-argument call. held: the argument is
  // evaluated into `first` but is no 8-bit text, for the general call to take.
  enum class Counted { done, failed, held, not_here };
  Counted count_text(const CompiledNode& n, TextCountHandler counted, Operand& first, Operand& out) {
    CompiledNode& kid = line_.nodes[static_cast<std::size_t>(n.kids[0])];
    std::int32_t value = 0;
    if (kid.kind == CompiledNode::kVar) {
      const std::uint16_t slot = hinted_slot(c_, kid.hint, kid.text);
      if (slot == kNotFound) return Counted::not_here;
      const Value& v = c_.slots[slot].v;
      if (v.flags != vf::kStr || v.str == 0 || !counted(str_view(c_, v), value)) return Counted::not_here;
      make_int(out, value);
      return Counted::done;
    }
    clear_operand(first);
    if (!eval(n.kids[0], first)) {
      if (first.flags & (kPayload | vf::kCom)) release_value(c_, first);
      return Counted::failed;
    }
    if (first.flags != vf::kStr || first.str == 0 || !counted(str_view(c_, first), value)) return Counted::held;
    release_value(c_, first);
    make_int(out, value);
    return Counted::done;
  }

  // A variable as argument k: a plain number is copied as it is; an 8-bit
  // text is lent (put in the slot as it is) when `lend` says the function
  // only reads it and nothing runs before the call; a file handle when the
  // function's record is given (`handles`) and its coercion leaves argument
  // k a whole number (no reference is taken or let go); anything else is
  // read the general way.
  enum class Argument { copied, lent, other };
  Argument variable_argument(CompiledNode& n, Operand& slot, bool lend, const api::KeywordRecord* handles, int k) {
    const std::uint16_t index = hinted_slot(c_, n.hint, n.text);
    if (index == kNotFound) return Argument::other;
    const Value& v = c_.slots[index].v;
    const bool number = v.flags == vf::kInt || v.flags == vf::kFloat;
    if (!number && !(lend && v.flags == vf::kStr && v.str != 0) &&
        !(handles && v.flags == (vf::kInt | vf::kFile) && code_keeps_whole_number(arg_type(*handles, k))))
      return Argument::other;
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
  // Values of the calls an integer form with calls made before it missed,
  // while the general evaluation goes on from there (see run_with_calls).
  struct Preset {
    const CompiledNode* node;   // none once taken
    Operand value;
  };
  struct Presets {
    Context& c;
    std::array<Preset, kIntCalls> made;   // (only the first `count` are set)
    std::size_t count = 0;
    explicit Presets(Context& context) : c(context) {}
    Presets(const Presets&) = delete;
    Presets& operator=(const Presets&) = delete;
    ~Presets() {
      for (std::size_t k = 0; k < count; ++k)
        if (made[k].node && (made[k].value.flags & (kPayload | vf::kCom))) release_value(c, made[k].value);
    }
  };
  Presets* presets_ = nullptr;
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

// `+=` and `-=` of plain whole numbers, wrapping at 32 bits, into `value`;
// false leaves the general rules to decide.
bool whole_compound(int assignOp, const Value& current, Operand& value) {
  const int op = compound_operator(assignOp);
  if (!plain_int(current) || !plain_int(value) || (op != id::kPlus && op != id::kMinus)) return false;
  value.i = wrap32(op == id::kPlus ? std::int64_t{current.i} + value.i : std::int64_t{current.i} - value.i);
  return true;
}

// The evaluated value into its slot (the operand gives it up). Over a slot
// that owns nothing, any value but an array is a plain copy: nothing to let
// go, no array to make the slot's own.
[[gnu::always_inline]] inline bool take_into_slot(Context& c, std::uint16_t slot, Scratch& value) {
  Operand& taken = value.op();
  Value& slotValue = c.slots[slot].v;
  if (!(slotValue.flags & kPayload) && !(taken.flags & vf::kArray)) {
    slotValue = taken;
    slotValue.flags &= ~vf::kDeclared;
    taken.flags = 0;   // (the slot owns what it held)
    return true;
  }
  Value stored = taken;
  clear_operand(taken);
  stored.flags &= ~vf::kDeclared;
  return store_in_slot(c, slot, stored);
}

// Stores the value of a compiled assignment in its target slot.
bool store_assignment(Context& c, const CompiledExpr& e, std::uint16_t slot, Scratch& value) {
  if (e.assignOp != id::kAssign) {
    const Value& current = c.slots[slot].v;
    if (!is_assigned(current) || (current.flags & vf::kCom)) return false;
    if (!whole_compound(e.assignOp, current, value.op()) && !compound_value(c, e.assignOp, current, value.op())) {
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
  if (runner.run_number(e, out)) return true;
  Scratch value(c);
  if (!runner.eval(e.root, value.op())) return false;
  out = value.op();
  clear_operand(value.op());
  return true;
}

bool map_key_compiled(Context& c, CompiledLine& line, const CompiledExpr& e, MapKey& key) {
  const CompiledNode& root = line.nodes[static_cast<std::size_t>(e.root)];
  if (root.kind == CompiledNode::kConcat) {
    if (c.exprDepth + e.nesting > limits::kExpressionDepth) return false;
    return Runner(c, line).joined_map_key(root, key);
  }
  Operand v;
  clear_operand(v);
  if (!eval_compiled(c, line, e, v)) return false;
  const bool made = map_key_of(c, v, key);
  release_value(c, v);
  if (!made) forget_error(c);
  return made;
}

bool eval_compiled_int(Context& c, CompiledLine& line, const CompiledExpr& e, std::int32_t& out) {
  if (c.exprDepth + e.nesting > limits::kExpressionDepth) return false;
  IntStep* const lone = e.intCount == 1 ? &line.intCode[e.intStart] : nullptr;   // a lone number or variable?
  if (lone && lone->code == IntStep::kLoad) {
    out = lone->value;
    return true;
  }
  if (lone && lone->code == IntStep::kVar) {
    if (Runner(c, line).variable_step(*lone, out)) return true;
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

CompiledRun assign_compiled(Context& c, CompiledLine& line, const CompiledExpr& e, std::uint16_t target,
                            Operand* result) {
  if (c.exprDepth + e.nesting > limits::kExpressionDepth) return CompiledRun::not_run;
  Runner runner(c, line);
  std::int32_t i = 0;
  const bool integral = e.intCount != 0 && runner.run_int(e, i);
  if (integral && store_int(c.slots[target].v, e.assignOp, i)) {
    c.assignFrame = c.level;
    c.assignSlot = target;
    if (result) make_int(*result, 0);
    return CompiledRun::ok;
  }
  if (!integral && e.appendsToTarget) {
    switch (runner.append_in_place(e, target)) {
      case Runner::Append::done:
        c.assignFrame = c.level;
        c.assignSlot = target;
        if (result) make_int(*result, 0);
        return CompiledRun::ok;
      case Runner::Append::failed: return CompiledRun::not_run;
      case Runner::Append::not_here: break;
    }
  }
  Scratch value(c);
  if (integral) make_int(value.op(), i);
  else if (!runner.run_number(e, value.op()) && !runner.eval(e.root, value.op())) return CompiledRun::not_run;
  if (!store_assignment(c, e, target, value)) return CompiledRun::not_run;
  c.assignFrame = c.level;
  c.assignSlot = target;
  if (!take_into_slot(c, target, value)) return CompiledRun::failed;
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
// (which may drop or move it), as the text path does. Under the stamp its
// hint was found with, the table still holds the name where it was.
std::uint16_t target_slot(Context& c, std::string_view name, std::uint16_t known, const SlotHint& hint) {
  if (hint.slot == known && hint_holds(c, hint)) return known;
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
  if (e.callCount != 0) {
    switch (runner.run_with_calls(e, value.op())) {
      case CompiledRun::ok:
        out = value.op();
        clear_operand(value.op());
        return CompiledRun::ok;
      case CompiledRun::failed: return strict_failure(c);
      case CompiledRun::not_run: break;
    }
  }
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
  CompiledRun withCalls = CompiledRun::not_run;
  if (e.intCount != 0 && runner.run_int(e, i)) make_int(value.op(), i);
  else if (e.callCount != 0 && (withCalls = runner.run_with_calls(e, value.op())) != CompiledRun::not_run) {
    if (withCalls == CompiledRun::failed) return strict_failure(c);
  } else if (!runner.eval(e.root, value.op())) {
    return strict_failure(c);
  }
  if (e.assignOp != id::kAssign) {
    slot = target_slot(c, name, slot, hint);
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
    if (!whole_compound(e.assignOp, current, value.op()) && !compound_value(c, e.assignOp, current, value.op()))
      return strict_failure(c);
  } else {
    // (A compound step found the slot after the right side ran; nothing
    // since can move it.)
    slot = target_slot(c, name, slot, hint);
    if (slot == kNotFound) return strict_failure(c);
  }
  if (!take_into_slot(c, slot, value)) return strict_failure(c);
  return CompiledRun::ok;
}

}  // namespace orv

