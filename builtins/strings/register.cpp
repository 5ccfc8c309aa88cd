#include "builtins/families.h"
#include "builtins/strings/strings_groups.h"

namespace orv {

void register_string_functions(HandlerTable& t) {
  strings::register_concat(t);
  strings::register_length(t);
  strings::register_compare(t);
  strings::register_fix(t);
  strings::register_clean(t);
  strings::register_search(t);
  strings::register_sub(t);
  strings::register_case(t);
  strings::register_replace(t);
  strings::register_insert(t);
  strings::register_typeinfo(t);
  strings::register_wild(t);
  strings::register_chars(t);
}

}  // namespace orv
