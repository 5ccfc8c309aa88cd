#include "builtins/arrays/array_groups.h"
#include "builtins/families.h"

namespace orv {

void register_array_functions(HandlerTable& t) {
  arrays::register_info(t);
  arrays::register_sort(t);
  arrays::register_search(t);
  arrays::register_files(t);
  arrays::register_csv_files(t);
  arrays::register_conversions(t);
  arrays::register_reshape(t);
  arrays::register_rearrange(t);
}

}  // namespace orv
