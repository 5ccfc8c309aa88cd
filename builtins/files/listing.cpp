// FileItemize and DirItemize: the names a list of patterns matches, as a
// TAB-separated list. Hidden and system entries stay out of the list.
#include "builtins/files/file_args.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/name_rules.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/files.h"

namespace orv::files {
namespace {

namespace pf = platform::files;

template <bool Folders>
void itemize(Call& call) {
  Context& c = call.c;
  const auto patterns = split_source_list(wide_arg(call, 1));
  if (!patterns) { fail(c, 3054); return; }
  std::u16string list;
  list.reserve(32768);
  for (const std::u16string& pattern : *patterns) {
    std::u16string full;
    if (!full_path(c, pattern, full)) return;
    std::vector<pf::Entry> found;
    std::uint32_t err = 0;
    pf::find(full, found, err);
    for (const pf::Entry& e : found) {
      if (((e.attributes & pf::kDirectory) != 0) != Folders) continue;
      if (e.attributes & (pf::kHidden | pf::kSystem)) continue;
      list += e.name;
      list += u'\t';
    }
  }
  if (!list.empty()) list.pop_back();
  set_text(call, list);
}

}  // namespace

void register_listing(HandlerTable& t) {
  t.add(kw::fn_fileitemize, itemize<false>);
  t.add(kw::fn_diritemize, itemize<true>);
}

}  // namespace orv::files
