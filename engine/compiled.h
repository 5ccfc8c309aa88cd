// Compiled expressions: a cached line's tokens turned once into a small tree
// with resolved variable slots, folded constants and resolved built-ins, so a
// line that runs again is not re-dispatched token by token.
//
// Expressions without side effects (variables, constants, operators and
// built-ins that only compute) may be compiled anywhere: anything that would
// fail, or that the compiled form does not cover, is left to the text path,
// which then evaluates the same expression again and reports exactly as
// before. Whole statements may also compile calls with effects (any built-in
// with a fixed argument list, user-defined functions); such an expression
// runs "strictly": once started it never hands over to the text path, and
// each failure is the one the text path would report at the same point.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/context.h"

namespace orv {

struct MapKey;

struct CompiledNode {
  enum Kind : std::uint8_t { kConst, kString, kVar, kUnary, kBinary, kCompare, kConcat, kCall, kElementRead };
  Kind kind = kConst;
  std::int32_t op = 0;                // operator or function id
  Value constant{};                   // kConst: an integer or float
  std::string text;                   // kString: the text (no NUL in it); kVar, kElementRead: the lower-case name
  SlotHint hint;                      // kVar, kElementRead: the slot last found
  std::uint16_t groups = 0;           // parentheses around it (they count toward the nesting limit)
  // Whole numbers only (numbers, variables, + - * mod, comparisons, unary
  // operators): may run on plain integers without operands.
  bool integral = false;
  // Numbers only (number constants, variables, arithmetic operators and
  // float functions of one argument): may run on plain numbers without
  // operands when the values turn out whole numbers or floats.
  bool numeric = false;
  bool effects = false;               // kCall: a call that may change state (runs once, strictly)
  bool effectsBelow = false;          // it or an operand below it has effects
  bool lendsText = false;             // kCall: variables' texts may be lent to it as arguments
  bool lendsHandles = false;          // kCall: variables' file handles may be lent to it
  std::uint16_t callDepth = 0;        // kCall: the evaluator's nesting when the text path makes the call
  // kCall of a user-defined function whose arguments are all integral: each
  // argument has an integer form of its own (intStart, intCount in
  // CompiledLine::intCode), so the call may pass plain integers.
  bool intArguments = false;
  std::uint16_t intStart = 0, intCount = 0;   // (in the node's padding: nodes are indexed often)
  std::vector<std::int32_t> kids;     // operand nodes, in evaluation order
};

// One step of an expression's integer form: plain integers in registers,
// run in a straight line (the operands of a step come before it).
struct IntStep {
  enum Code : std::uint8_t {
    kLoad, kVar,                                     // r[dst] = value; r[dst] = variable of `node`
    kNeg, kNot, kTilde,                              // r[dst] = op r[dst]
    // The binary operators in four forms, each family in this order:
    kAdd, kSub, kMul, kMod, kEq, kNe, kLt, kLe, kGt, kGe,   // r[dst] = r[dst] op r[b]
    kAddK, kSubK, kMulK, kModK, kEqK, kNeK, kLtK, kLeK, kGtK, kGeK,   // r[dst] = r[dst] op value
    kAddV, kSubV, kMulV, kModV, kEqV, kNeV, kLtV, kLeV, kGtV, kGeV,   // r[dst] = r[dst] op variable
    kAddVK, kSubVK, kMulVK, kModVK, kEqVK, kNeVK, kLtVK, kLeVK, kGtVK, kGeVK,   // r[dst] = variable op value
    // r[dst] = the user-defined function of node `value` (a kCall) on
    // r[dst] .. r[dst + b - 1]; only in CompiledExpr::callStart's form.
    kCall
  };
  // Offsets from the register form (kAdd...) to the other families.
  static constexpr int kConstantRight = kAddK - kAdd, kVariableRight = kAddV - kAdd,
                       kVariableConstant = kAddVK - kAdd;
  Code code = kLoad;
  std::uint8_t dst = 0, b = 0;
  std::int32_t value = 0;
  std::int32_t node = -1;                            // the variable's node, when the step reads one
  SlotHint hint;                                     // that variable's slot last read, checked inline
  bool reads_variable() const { return node >= 0; }
};
inline constexpr std::size_t kIntRegisters = 16;
// Arguments a call of a user-defined function may pass as plain integers,
// and calls an integer form may make.
inline constexpr std::size_t kIntArguments = 4;
inline constexpr std::size_t kIntCalls = 8;

// One step of an expression's number form: whole numbers and floats in
// registers, each with its kind, run in a straight line as the integer form is.
struct NumStep {
  enum Code : std::uint8_t {
    kConst,    // r[dst] = the constant
    kVar,      // r[dst] = variable of `node` (a whole number or a float)
    kBinary,   // r[dst] = r[dst] op r[b]
    kCall      // r[dst] = the float function of `node` on r[dst]
  };
  Code code = kConst;
  std::uint8_t dst = 0, b = 0;
  bool isFloat = false;                              // kConst
  std::int32_t op = 0;                               // kBinary: the operator
  std::int32_t i = 0;                                // kConst
  double f = 0;                                      // kConst
  std::int32_t node = -1;                            // kVar, kCall
  bool (*fn)(double x, double& out) = nullptr;       // kCall: the straight float call found when compiled
};

// One compiled expression starting at a token of the line.
struct CompiledExpr {
  std::int32_t root = -1;
  std::uint16_t endToken = 0;         // the first token after the expression
  std::uint16_t nesting = 0;          // evaluator nesting it needs (the depth limit)
  bool assignment = false;            // "name op expression" with the name at the start
  bool effects = false;               // holds a call with effects: run only through the strict entries
  std::int32_t assignOp = 0;
  std::uint16_t targetToken = 0;
  bool appendsToTarget = false;       // ":=", or "name = name : ...": may append in place
  std::uint32_t intStart = 0, intCount = 0;   // its integer form in CompiledLine::intCode (0: none)
  std::uint32_t numStart = 0, numCount = 0;   // its number form in CompiledLine::numCode (0: none)
  // An expression of whole numbers with calls of user-defined functions
  // (no variable read outside their arguments before a call): its integer
  // form with kCall steps, run only by the strict entries.
  std::uint32_t callStart = 0, callCount = 0;
};

struct CompiledLine {
  std::vector<CompiledNode> nodes;
  // By token index: -2 not tried yet, -1 not compilable, else an index into exprs.
  std::vector<std::int32_t> exprAt;
  std::vector<CompiledExpr> exprs;
  std::vector<IntStep> intCode;
  std::vector<NumStep> numCode;
};

// Compiled nodes a script may hold in all (about 150 bytes each with their
// operand lists and names: at most some 15 MB).
inline constexpr std::size_t kMaxCompiledNodes = 100000;

enum class CompiledRun { not_run, ok, failed };

// Runs the expression (or, when allowed, the assignment) whose first token
// is current, through the line's compiled form. ok: `result` holds the value
// and the first token after the expression is current; failed: an error is
// set (only a store can fail so); not_run: nothing happened.
CompiledRun run_compiled_expression(Context& c, Operand& result, bool assignAllowed);

// Compiles the expression (with `assignmentAllowed`, also "name op expression";
// with `effectsAllowed`, also calls with effects) starting at token `at` of a
// cached line into `line`; the index of the new CompiledExpr, or -1 when the
// text path must run it.
std::int32_t compile_expression(Context& c, const CachedLine& cached, CompiledLine& line, std::size_t at,
                                bool assignmentAllowed, bool effectsAllowed = false);

// Evaluates a compiled expression that is not an assignment. False: no value
// here (no error stays set, nothing changed); the text path must run it.
bool eval_compiled(Context& c, CompiledLine& line, const CompiledExpr& e, Operand& out);

// The map key a compiled expression's value names (as map_key_of makes it),
// with eval_compiled's outcomes: false leaves no error set.
bool map_key_compiled(Context& c, CompiledLine& line, const CompiledExpr& e, MapKey& key);

// The same for an expression whose value must be a plain integer: false when
// it is anything else (nothing changed; the text path must run it).
bool eval_compiled_int(Context& c, CompiledLine& line, const CompiledExpr& e, std::int32_t& out);

// Runs a compiled assignment into the slot `target` (which holds the target's
// name in the current frame); `result`, when given, gets the statement's value.
CompiledRun assign_compiled(Context& c, CompiledLine& line, const CompiledExpr& e, std::uint16_t target,
                            Operand* result);

// The strict entries, for expressions with effects (any expression may run
// through them). not_run only when nothing happened (the expression nests too
// deeply for the compiled form); failed: the text path's error is set.
CompiledRun eval_compiled_strict(Context& c, CompiledLine& line, const CompiledExpr& e, Operand& out);
// The truth of a condition, as If and While read it.
CompiledRun condition_compiled_strict(Context& c, CompiledLine& line, const CompiledExpr& e, bool& truth);
// "name op expression" (e.assignment): the target is `name` (lower-case) of
// the current frame, found through `hint` and made when missing, as the
// text path declares it.
CompiledRun assign_compiled_strict(Context& c, CompiledLine& line, const CompiledExpr& e, std::string_view name,
                                   SlotHint& hint);

}  // namespace orv
