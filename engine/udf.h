// User-defined functions, subroutines and commands: definitions met by the
// run loop, and calls.
#pragma once
#include <memory>
#include "engine/context.h"

namespace orv {

inline constexpr int kMaxUdfs = 512;
inline constexpr int kMaxUdfParams = 16;

// The definition block the run loop is inside, if any.
struct DefinitionState {
  enum class Kind { none, function, subroutine, command } open = Kind::none;
  bool alreadyDefined = false;
  std::uint32_t bodyStart = 0;
  std::unique_ptr<Udf> pending;   // made when a block opens: most runs define nothing
};

// Handles a definition line, or a line inside an open block. Returns true
// when the line was taken (the caller passes over it); errors are left set.
bool definition_line(Context& c, DefinitionState& d);

// Calls user-defined callable `index` with arguments 1..count.
bool call_udf(Context& c, int index, Operand* args, int count, Operand& result);
// The same for a call in a compiled statement, which does not read its
// line's text again. The arguments are the call's own: it may take them,
// leaving their slots empty.
bool call_udf_from_compiled(Context& c, int index, Operand* args, int count, Operand& result);
// A call from a compiled statement with whole-number arguments 0..count-1,
// bound straight into the parameters. declined: nothing happened (the
// function must be called the general way); failed: the error is set.
enum class QuickCall { done, failed, declined };
QuickCall call_udf_quick(Context& c, int index, const std::int32_t* args, int count, Operand& result);
// The same, and afterwards args 1..count hold the parameters' final values
// (for callers that pass arguments by reference, such as event sources).
bool call_udf_copy_back(Context& c, int index, Operand* args, int count, Operand& result);

// Index of a callable by name, or -1.
// Numbers stay put while the callable is defined; a removed one leaves a
// vacant slot that a later definition may take.
int find_udf(const Context& c, std::string_view name);
// Callables defined now (vacant slots not counted).
std::size_t live_udf_count(const Context& c);

// Removes one callable (IntControl 78): 1 removed, 0 no such name, false on error.
bool remove_udf(Context& c, std::string_view name, int& removed);
bool remove_all_udfs(Context& c, int& hadBodies);

}  // namespace orv
