// The argument list of a function that reads its own arguments (required
// count 255): on entry "(" is current, on success ")" is.
#pragma once
#include <cstdint>
#include <string>

#include "engine/builtin_calls.h"
#include "engine/context.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/keywords.h"
#include "engine/messages.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"

namespace orv::math {

// Evaluates the arguments one at a time and hands each to take(k, value)
// with its 1-based number; each temporary is released before the next is
// read. At least one argument is required. False with the error set. A
// compiled call hands over arguments already known to be well formed.
template <class Take>
bool read_arguments(Call& call, Take&& take) {
  Context& c = call.c;
  if (CompiledArguments* compiled = call.compiled) {
    for (int k = 1; k <= compiled->count(); ++k) {
      Temp arg(c);
      if (!compiled->evaluate(k, arg.op()) || !take(k, arg.op())) return false;
    }
    return true;
  }
  get_token(c);
  if (failed(c)) return false;
  if (is_keyword(c, id::kRParen)) return fail(c, errs::kIllegalDelimiter, message_text(errs::kHintMoreParameters));
  for (int k = 1;; ++k) {
    Temp arg(c);
    if (!process_sub_expression(c, arg.op(), false, false)) return false;
    if (!take(k, arg.op())) return false;
    if (is_keyword(c, id::kRParen)) return true;
    if (!is_keyword(c, id::kComma)) return fail(c, errs::kWrongArgumentCount, message_text(errs::kHintMissingParen));
    get_token(c);
    if (failed(c)) return false;
  }
}

}  // namespace orv::math
