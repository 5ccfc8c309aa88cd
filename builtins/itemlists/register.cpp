#include "builtins/families.h"
#include "builtins/itemlists/itemlists_groups.h"

namespace orv {

void register_itemlist_functions(HandlerTable& t) {
  items::register_count_extract(t);
  items::register_edit(t);
  items::register_locate(t);
  items::register_sort(t);
  items::register_csv(t);
}

}  // namespace orv
