#include "builtins/families.h"
#include "builtins/files/files_groups.h"

namespace orv {

void register_file_functions(HandlerTable& t) {
  files::register_text_files(t);
  files::register_management(t);
  files::register_listing(t);
  files::register_attributes(t);
  files::register_times(t);
  files::register_folders(t);
  files::register_name_functions(t);
  files::register_file_facts(t);
  files::register_whole_files(t);
  files::register_file_digests(t);
  files::register_programs(t);
}

}  // namespace orv
