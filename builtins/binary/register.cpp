#include "builtins/binary/binary_args.h"
#include "builtins/families.h"

namespace orv {

void register_binary_functions(HandlerTable& t) {
  binary::register_alloc(t);
  binary::register_numbers(t);
  binary::register_strings(t);
  binary::register_two_buffers(t);
  binary::register_files(t);
  binary::register_search(t);
  binary::register_replace(t);
  binary::register_tags(t);
  binary::register_records(t);
  binary::register_checksum(t);
  binary::register_compress(t);
  binary::register_convert(t);
  binary::register_clipboard(t);
  binary::register_arrays(t);
}

}  // namespace orv
