#include "builtins/dispatch.h"

#include <cstdio>
#include "builtins/families.h"
#include "builtins/files/file_table.h"
#include "com/com_hooks.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/keyword_table.h"
#include "engine/keywords.h"
#include "engine/messages.h"
#include "engine/no_throw.h"
#include "engine/outside_code.h"
#include "engine/specials.h"
#include "engine/tokenizer.h"
#include "engine/udf.h"
#include "engine/value_ops.h"
#include "extend/disabled_builtins.h"
#include "extend/extenders.h"
#include "extend/host_call.h"

namespace orv {
namespace {

bool nt_platform() {
  static const bool nt = platform::is_nt_platform();
  return nt;
}

bool wants_wide(int code, bool wide) {
  switch (code) {
    case 5: return true;
    case 6: return wide;
    case 7: return nt_platform();
    case 8: return wide && nt_platform();
    default: return false;
  }
}

// Arguments are rarely UTF-16: their flags are looked at before their type codes.
[[gnu::always_inline]] inline bool is_wide_call(const api::KeywordRecord& r, const ArgSlots& args, int count) {
  for (int k = 1; k <= count && k <= limits::kMaxArgs; ++k) {
    if (!(args[static_cast<std::size_t>(k)].flags & vf::kWide)) continue;
    const int code = arg_type(r, k);
    if (code == 6 || (code == 8 && nt_platform())) return true;
  }
  return false;
}

// Whether coerce_argument leaves an 8-bit text as it is under type code `code`.
bool keeps_text(int code, bool wide) { return code == 1 || code == 15 || (code >= 5 && code <= 8 && !wants_wide(code, wide)); }

// An argument already in the form its type code asks for (the common case)
// needs no call to coerce_argument.
bool keeps_form(const Operand& arg, int code, bool wide) {
  if (arg.flags == vf::kInt || arg.flags == (vf::kInt | vf::kFile)) return code_keeps_whole_number(code);
  if (arg.flags == vf::kStr) return keeps_text(code, wide);
  return code == 15;
}

void tidy_result(Context& c, Operand& result) {
  // A variant keeps its text beside its number (a currency, a boolean).
  if ((result.flags & vf::kNumeric) && (result.flags & vf::kStr) && !(result.flags & vf::kCom)) {
    c.heap.free(result.str);
    result.str = 0;
    result.flags &= ~vf::kStr;
  }
}

// The result of a user-defined call or a straight built-in call as
// dispatch_unguarded leaves a built-in's (written out there for the same
// reason); false: failed.
bool call_done(Context& c, Operand& result) {
  tidy_result(c, result);
  if (c.pendingMathError != 0) {
    c.error = c.pendingMathError;
    c.pendingMathError = 0;
  }
  return !failed(c);
}

// What escaped a user-defined call or a straight built-in call becomes its
// error, as in dispatch() (written out there too: a shared one made every
// built-in call slower).
void call_threw(Context& c, Operand& result) {
  after_outside_code(c);
  fail(c, error_for_current_exception());
  release_value(c, result);
  make_int(result, 0);
}

bool dispatch_unguarded(Context& c, int id, const api::KeywordRecord& r, ArgSlots& args, int count, bool variadic,
                        Operand& result, CompiledArguments* compiled) {
  bool wide = false;
  const bool isUdf = id >= kUdfStart && id <= kUdfEnd;
  if (!variadic && !isUdf) {
    wide = is_wide_call(r, args, count);
    for (int k = 1; k <= count; ++k) {
      Operand& arg = args[static_cast<std::size_t>(k)];
      const int code = arg_type(r, k);
      if (!keeps_form(arg, code, wide) && !coerce_argument(c, arg, code, k, wide)) return false;
    }
  }
  const bool builtin = id >= 0 && id < kKeywordCount;
  const bool inward = builtin && keyword_has(id, kw_flag::kInward);
  if (!isUdf && !inward) files::flush_writes(c);
  Call call{c, id, count, args, result, wide, compiled};
  if (id == id::kOleObject) {
    com_member_access(call);
  } else if (builtin) {
    if (ext::builtin_disabled(c, id)) return fail(c, errs::kNotAvailable);
    Handler h = handler_table().byId[static_cast<std::size_t>(id)];
    if (!h) return fail(c, errs::kFunctionNotDefined);
    h(call);
  } else if (isUdf) {
    call_udf(c, id - kUdfStart, args.data(), count, result);
  } else if (id >= kParentStart && id <= kParentEnd) {
    call_host_function(call);
  } else if (id >= kAddonStart && id <= kAddonEnd) {
    ext::call_extender_function(call);
  } else {
    return fail(c, errs::kFunctionNotDefined);
  }
  // Anything but an inward built-in may have reached code outside the engine.
  if (!isUdf && !inward) after_outside_code(c);
  tidy_result(c, result);
  if (c.pendingMathError != 0) {
    c.error = c.pendingMathError;
    c.pendingMathError = 0;
  }
  return !failed(c);
}

// An allocation that fails inside a handler ends the call with its error
// number and an empty result, never the process.
bool dispatch(Context& c, int id, const api::KeywordRecord& r, ArgSlots& args, int count, bool variadic,
              Operand& result, CompiledArguments* compiled = nullptr) {
  make_int(result, 0);
  try {
    return dispatch_unguarded(c, id, r, args, count, variadic, result, compiled);
  } catch (...) {
    after_outside_code(c);   // the call may have been outside when it failed
    fail(c, error_for_current_exception());
    release_value(c, result);
    make_int(result, 0);
    return false;
  }
}

// Collects arguments 1..R+O; on success the closing parenthesis is current.
// With `keepVariables` an argument that is a variable remembers which one
// (extenders may hand values back into it).
bool collect_arguments(Context& c, int required, int optional, ArgSlots& args, int& count, bool keepVariables) {
  get_token(c);
  if (failed(c)) return false;
  int k = 1;
  for (;;) {
    if (is_keyword(c, id::kRParen)) {
      if (k > required) break;
      return fail(c, errs::kIllegalDelimiter, message_text(errs::kHintMoreParameters));
    }
    if (k > 1) {
      if (!is_keyword(c, id::kComma)) return fail(c, errs::kWrongArgumentCount, message_text(errs::kHintMissingParen));
      get_token(c);
      if (failed(c)) return false;
    }
    if (k > required + optional) return fail(c, errs::kWrongArgumentCount, message_text(errs::kHintMissingParen));
    Operand& slot = args[static_cast<std::size_t>(k)];
    if (!process_sub_expression(c, slot, false, false)) return false;
    if (!keepVariables) drop_origin(slot);
    if (k < required && !is_keyword(c, id::kComma)) return fail(c, errs::kIllegalDelimiter, message_text(errs::kHintMoreParameters));
    if (k == required + optional) { ++k; break; }
    ++k;
  }
  count = k - 1;
  if (!is_keyword(c, id::kRParen)) return fail(c, errs::kWrongArgumentCount, message_text(errs::kHintMissingParen));
  return true;
}

// A #DefineCommand callable: its arguments follow the name without
// parentheses or commas, and it runs only while commands are enabled.
bool call_command(Context& c, int id, const api::KeywordRecord& r, Operand& result) {
  ArgSlots args;
  for (auto& a : args) clear_operand(a);
  ArgSlotGuard guard{c, args};
  const int count = required_count(r);
  get_token(c);
  for (int k = 1; k <= count; ++k) {
    if (failed(c)) return false;
    if (at_end(c)) return fail(c, errs::kIllegalSyntax);
    if (!process_sub_expression(c, args[static_cast<std::size_t>(k)], false, false)) return false;
  }
  if (failed(c)) return false;
  if (!at_end(c)) return fail(c, errs::kExtraAfterEnd, message_text(errs::kHintExtraAfterEnd));
  make_int(result, 0);
  if (!c.commandEnable) return true;
  return call_udf(c, id - kUdfStart, args.data(), count, result);
}

}  // namespace

std::uint32_t texts_coercion_changes(const api::KeywordRecord& r, const ArgSlots& args, int count, std::uint32_t texts,
                                     bool anyWide) {
  const bool wide = anyWide && is_wide_call(r, args, count);
  std::uint32_t changed = 0;
  for (int k = 1; k <= count && (texts >> k) != 0; ++k)
    if ((texts & (1u << k)) && !keeps_text(arg_type(r, k), wide)) changed |= 1u << k;
  return changed;
}

bool dispatch_call(Context& c, int id, const api::KeywordRecord& r, ArgSlots& args, int count, Operand& result) {
  return dispatch(c, id, r, args, count, false, result);
}

bool dispatch_compiled_arguments(Context& c, int id, const api::KeywordRecord& r, CompiledArguments& args,
                                 Operand& result) {
  ArgSlots unused;   // (a variadic handler reads no slot)
  return dispatch(c, id, r, unused, 0, true, result, &args);
}

bool dispatch_whole(Context& c, WholeHandler handler, std::int32_t arg, Operand& result) {
  // An inward built-in reaches no code outside: nothing to flush or forget.
  make_int(result, 0);
  try {
    handler(c, arg, result);
  } catch (...) {
    call_threw(c, result);
    return false;
  }
  return call_done(c, result);
}

// As dispatch() does it for a user-defined function, without the steps
// that concern only built-ins. (Kept apart from dispatch(): sharing its
// tail made the compiler lay out every built-in call worse.)
bool dispatch_udf_call(Context& c, int id, ArgSlots& args, int count, Operand& result) {
  make_int(result, 0);
  try {
    call_udf_from_compiled(c, id - kUdfStart, args.data(), count, result);
  } catch (...) {
    call_threw(c, result);
    return false;
  }
  return call_done(c, result);
}

QuickCall dispatch_udf_ints(Context& c, int id, const std::int32_t* args, int count, Operand& result) {
  make_int(result, 0);
  QuickCall run = QuickCall::declined;
  try {
    run = call_udf_quick(c, id - kUdfStart, args, count, result);
  } catch (...) {
    call_threw(c, result);
    return QuickCall::failed;
  }
  if (run == QuickCall::declined) return run;
  return call_done(c, result) ? QuickCall::done : QuickCall::failed;
}

const HandlerTable& build_handler_table() {
  // Filled once by the families, then read-only for the life of the process.
  static const HandlerTable table = [] {
    HandlerTable t;
    register_control_functions(t);
    register_value_functions(t);
    register_program_functions(t);
    register_math_functions(t);
    register_error_functions(t);
    register_intcontrol(t);
    register_array_functions(t);
    register_map_functions(t);
    register_string_functions(t);
    register_itemlist_functions(t);
    register_winauto_functions(t);
    register_box_functions(t);
    register_list_box_functions(t);
    register_dialog_file_functions(t);
    register_desktop_functions(t);
    register_chooser_functions(t);
    register_com_functions(t);
    register_file_functions(t);
    register_ini_functions(t);
    register_registry_functions(t);
    register_time_functions(t);
    register_place_functions(t);
    register_binary_functions(t);
    register_clipboard_functions(t);
    register_dialog_functions(t);
    register_dll_functions(t);
    register_trace_functions(t);
    register_system_functions(t);
    register_pipe_functions(t);
    register_dde_functions(t);
    return t;
  }();
  return table;
}

bool coerce_argument(Context& c, Operand& arg, int code, int argNumber, bool wide) {
  auto numberError = [&] {
    c.error = 0;
    char text[64];
    std::snprintf(text, sizeof text, "Argument number %d could not be converted", argNumber);
    return fail(c, errs::kNotConvertibleToNumber, text);
  };
  switch (code) {
    case 15: return true;
    case 1: return to_string(c, arg);
    case 2: return to_float(c, arg);
    case 3: return (arg.flags & vf::kArray) ? true : fail(c, errs::kNotArrayVariable);
    case 4: return (arg.flags & vf::kCom) ? true : fail(c, errs::kNotConvertibleToVariant);
    case 5: case 6: case 7: case 8:
      if (wants_wide(code, wide)) return to_wide(c, arg);
      return to_string(c, arg);
    case 9:
      if (arg.flags & (vf::kInt | vf::kInt64)) return true;
      if (!to_numeric(c, arg, true)) return numberError();
      if (arg.flags & vf::kFloat) {
        std::int64_t v = 0;
        if (!float_to_int64(arg.wide.f, v)) return numberError();
        arg.wide.i64 = v;
        arg.flags = (arg.flags & ~vf::kFloat) | vf::kInt64;
      }
      return true;
    default:
      if (!to_int32(c, arg)) return numberError();
      return true;
  }
}

bool call_function(Context& c, int id, Operand& result) {
  const api::KeywordRecord* r = keyword_record(c, id);
  if (!r) return fail(c, errs::kFunctionNotDefined);
  if (r->kind & kk::kDisabledBit) return fail(c, errs::kNotAvailable);
  if (r->kind == kk::kSpecial) return call_special(c, id, result);
  if (r->kind == kk::kUserCommand) return call_command(c, id, *r, result);
  const bool variadic = is_variadic(*r);
  const int required = variadic ? 0 : required_count(*r);
  const int optional = variadic ? 0 : optional_count(*r);
  if (required + optional > limits::kMaxArgs) return fail(c, errs::kTooManyArguments);
  if (id != id::kOleObject) {
    get_token(c);
    if (failed(c)) return false;
    if (!is_keyword(c, id::kLParen)) return fail(c, errs::kOpenParenMissing, std::string(r->name) + " " + message_text(errs::kHintNoOpenParen));
  }
  ArgSlots args;
  if (id == id::kOleObject) {
    // The member access reads its own arguments: its slots stay unused, so
    // they are neither cleared nor released.
    if (!dispatch(c, id, *r, args, limits::kMaxArgs, variadic, result)) return false;
    get_token(c);
    return !failed(c);
  }
  for (auto& a : args) clear_operand(a);
  ArgSlotGuard guard{c, args};
  int count = limits::kMaxArgs;
  if (!variadic && !collect_arguments(c, required, optional, args, count, id >= kAddonStart && id <= kAddonEnd)) return false;
  if (!dispatch(c, id, *r, args, count, variadic, result)) return false;
  get_token(c);
  return !failed(c);
}

}  // namespace orv
