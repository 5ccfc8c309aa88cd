// The built-in call protocol: argument slots, the handler table and the calls
// the evaluator and the compiled path make. The engine owns it; the dispatcher
// (builtins/dispatch.cpp) implements it and fills the table from the families.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>
#include "engine/context.h"
#include "engine/keyword_table.h"
#include "engine/udf.h"
#include "engine/value_ops.h"

namespace orv {

inline constexpr int kArgSlotCount = 17;
using ArgSlots = std::array<Operand, kArgSlotCount>;

// The arguments of a built-in that reads its own (a variadic one) when a
// compiled call hands them over: evaluated one at a time, in order, each
// only when the handler asks for it, as the text path reads them.
class CompiledArguments {
 public:
  virtual int count() const = 0;
  // Argument k (1..count) into `out`, which is clear: false with the error set.
  virtual bool evaluate(int k, Operand& out) = 0;

 protected:
  ~CompiledArguments() = default;
};

// Arguments as a handler sees them: slots 1..count, coerced by the type codes;
// a variadic handler reads its own, from the line or from `compiled`.
struct Call {
  Context& c;
  int id;
  int count;
  ArgSlots& args;
  Operand& result;
  bool wide;
  CompiledArguments* compiled = nullptr;
};
using Handler = void (*)(Call&);
// A built-in of one float argument called on a plain number, straight: true
// with the float result in `out`; false when the general call must run to
// report an error.
using FloatHandler = bool (*)(double x, double& out);
// A built-in of one text argument that gives a whole number (a length),
// called straight on an 8-bit text: true with the result in `out`; false
// when the general call must run.
using TextCountHandler = bool (*)(std::string_view text, std::int32_t& out);
// An inward built-in of one whole-number argument (a file handle, say),
// called straight with the number in hand: it leaves its result or error
// as its general handler does.
using WholeHandler = void (*)(Context& c, std::int32_t arg, Operand& result);

// Releases every argument slot however the call ends. Most slots of a call
// are empty; looking at the payload words first keeps a call cheap.
struct ArgSlotGuard {
  Context& c;
  ArgSlots& slots;
  ~ArgSlotGuard() {
    for (auto& s : slots)
      if (s.flags | s.str | s.wstr) release_value(c, s);
  }
};

// The handler table: one entry per built-in id, filled once by the families.
struct HandlerTable {
  std::array<Handler, kKeywordCount> byId{};
  // Built-ins that also take the straight float call (compiled calls use it).
  std::array<FloatHandler, kKeywordCount> byIdFloat{};
  // Built-ins that also take the straight text count (compiled calls use it).
  std::array<TextCountHandler, kKeywordCount> byIdTextCount{};
  // Inward built-ins that also take the straight whole-number call.
  std::array<WholeHandler, kKeywordCount> byIdWhole{};
  // Variadic built-ins whose handlers also take compiled arguments.
  std::array<bool, kKeywordCount> takesCompiledArguments{};
  void add(int id, Handler h) { byId[static_cast<std::size_t>(id)] = h; }
};
// Fills the table, once: the dispatcher's families register into it.
const HandlerTable& build_handler_table();
// The table, filled on first use (inline: every built-in call reads it).
inline const HandlerTable& handler_table() {
  static const HandlerTable& table = build_handler_table();
  return table;
}

// Parses and runs a call of the function whose name is the current token;
// leaves the token after the closing parenthesis current. False on error.
bool call_function(Context& c, int id, Operand& result);

// Runs a fixed-argument function on arguments already evaluated into slots
// 1..count (coercion, handler, result tidying), as a parsed call does.
bool dispatch_call(Context& c, int id, const api::KeywordRecord& r, ArgSlots& args, int count, Operand& result);

// The same for a built-in of the straight whole-number call, its argument
// already a whole number that its type code keeps: no slots, no coercion.
bool dispatch_whole(Context& c, WholeHandler handler, std::int32_t arg, Operand& result);

// The same for a variadic built-in that takes compiled arguments.
bool dispatch_compiled_arguments(Context& c, int id, const api::KeywordRecord& r, CompiledArguments& args,
                                 Operand& result);

// The same for a user-defined function (id kUdfStart + index), which takes
// its arguments as they are: no keyword record, coercion or handler lookup.
bool dispatch_udf_call(Context& c, int id, ArgSlots& args, int count, Operand& result);
// The same with whole-number arguments 0..count-1 and no argument slots, when
// the function may be called so (declined: nothing happened).
QuickCall dispatch_udf_ints(Context& c, int id, const std::int32_t* args, int count, Operand& result);

// Of the arguments in `texts` (bit k: argument k, an 8-bit text), those the
// coercion would change (to a number, or to UTF-16 in a wide call).
// `anyWide`: some argument may be UTF-16 (else the call is not wide).
std::uint32_t texts_coercion_changes(const api::KeywordRecord& r, const ArgSlots& args, int count, std::uint32_t texts,
                                     bool anyWide);
// Whether a whole number (a file handle too) stays as it is under type code
// `code`: every numeric code, and the code that takes any value.
inline bool code_keeps_whole_number(int code) { return code == 0 || code >= 10; }

// Coerces one argument slot by its type code; false with the error set.
bool coerce_argument(Context& c, Operand& arg, int typeCode, int argNumber, bool wide);

}  // namespace orv
