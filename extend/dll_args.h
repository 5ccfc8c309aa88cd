// Reading a DllCall's own argument list from the script text: the DLL, the
// return type and entry point, and type:value pairs. Parsing errors stop the
// call before anything is loaded.
#pragma once
#include <array>
#include <string>

#include "engine/context.h"
#include "engine/value_ops.h"
#include "extend/type_words.h"

namespace orv::dll {

struct ParsedCall {
  Context& c;
  Operand dll{};                 // the DLL file or "?" handle, as evaluated
  int returnType = r_long;
  Operand entry{};               // entry-point name, or an integer ordinal
  int count = 0;                 // type:value arguments
  std::array<int, kMaxDllArgs> types{};
  std::array<Operand, kMaxDllArgs> values{};

  explicit ParsedCall(Context& ctx) : c(ctx) {}
  ~ParsedCall();
  ParsedCall(const ParsedCall&) = delete;
  ParsedCall& operator=(const ParsedCall&) = delete;
};

// Reads from the token after "(" up to the closing parenthesis, which is left
// current. False with the error set.
bool parse_dll_call(Context& c, ParsedCall& out);

}  // namespace orv::dll
