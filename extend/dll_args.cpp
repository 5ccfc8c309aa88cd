#include "extend/dll_args.h"

#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/keywords.h"
#include "engine/tokenizer.h"

namespace orv::dll {
namespace {

// After each argument: "," goes on, ")" ends, anything else is 1371.
bool next_argument(Context& c, bool& more) {
  if (failed(c)) return false;
  if (is_keyword(c, id::kRParen)) { more = false; return true; }
  if (!is_keyword(c, id::kComma)) return fail(c, errs::kDllCallBadPunctuation);
  more = true;
  return true;
}

// A bare type word (not evaluated); an empty word is returned as "".
bool read_type_word(Context& c, std::string& word) {
  get_string_token(c);
  if (failed(c)) { c.error = 0; word = "?"; return true; }   // punctuation: an unknown word
  word = c.token;
  return true;
}

bool expect_colon(Context& c) {
  get_token(c);
  if (failed(c)) return false;
  if (!is_keyword(c, id::kColon)) return fail(c, errs::kDllCallColonMissing);
  get_token(c);
  return !failed(c);
}

bool read_value(Context& c, Operand& into) {
  clear_operand(into);
  if (!process_sub_expression(c, into, false, false)) return false;
  drop_origin(into);
  return true;
}

}  // namespace

ParsedCall::~ParsedCall() {
  release_value(c, dll);
  release_value(c, entry);
  for (Operand& v : values) release_value(c, v);
}

bool parse_dll_call(Context& c, ParsedCall& out) {
  get_token(c);
  if (failed(c)) return false;
  if (is_keyword(c, id::kRParen)) return fail(c, errs::kDllCallTooFewParameters);
  if (!read_value(c, out.dll)) return false;
  bool more = false;
  if (!next_argument(c, more)) return false;
  if (!more) return fail(c, errs::kDllCallTooFewParameters);

  std::string word;
  if (!read_type_word(c, word)) return false;
  out.returnType = return_type(word);
  if (out.returnType < 0) return fail(c, errs::kDllCallBadReturnType);
  if (out.returnType == r_lpbinary) return fail(c, errs::kDllCallBinaryReturn);
  if (!expect_colon(c) || !read_value(c, out.entry)) return false;
  if (!next_argument(c, more)) return false;

  while (more) {
    if (out.count == kMaxDllArgs) return fail(c, errs::kDllCallTooManyParameters);
    if (!read_type_word(c, word)) return false;
    const int type = param_type(word);
    if (type < 0) return fail(c, errs::kDllCallBadTypeCode);
    Operand& value = out.values[static_cast<std::size_t>(out.count)];
    out.types[static_cast<std::size_t>(out.count)] = type;
    ++out.count;
    if (type == p_lpnull) {
      get_token(c);
      if (failed(c)) return false;
    } else if (!expect_colon(c) || !read_value(c, value)) {
      return false;
    }
    if (!next_argument(c, more)) return false;
  }
  return true;
}

}  // namespace orv::dll
