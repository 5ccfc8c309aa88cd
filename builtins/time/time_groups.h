// Registration of the time function groups, and what they share.
#pragma once
#include <string_view>
#include "builtins/dispatch.h"
#include "builtins/time/ymdhms.h"
#include "engine/value_ops.h"

namespace orv::timefn {

void register_arithmetic(HandlerTable& t);
void register_clock(HandlerTable& t);
void register_format(HandlerTable& t);
void register_waits(HandlerTable& t);

inline bool four_digit_years(const Context& c) { return c.intSettings[41] != 0; }
inline std::string_view arg_str(const Call& call, int k) { return str_of(call.c, call.args[static_cast<std::size_t>(k)]); }
inline void set_ymdhms_result(Call& call, const Fields& f) {
  make_string(call.c, call.result, format_ymdhms(f, four_digit_years(call.c)));
}

}  // namespace orv::timefn
