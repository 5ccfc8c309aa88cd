// Registration of the string function groups, one per source file.
#pragma once
#include "builtins/dispatch.h"

namespace orv::strings {
void register_concat(HandlerTable& t);
void register_length(HandlerTable& t);
void register_compare(HandlerTable& t);
void register_fix(HandlerTable& t);
void register_clean(HandlerTable& t);
void register_search(HandlerTable& t);
void register_sub(HandlerTable& t);
void register_case(HandlerTable& t);
void register_replace(HandlerTable& t);
void register_insert(HandlerTable& t);
void register_typeinfo(HandlerTable& t);
void register_wild(HandlerTable& t);
void register_chars(HandlerTable& t);
}  // namespace orv::strings
