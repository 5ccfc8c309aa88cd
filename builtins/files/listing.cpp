// FileItemize, DirItemize and FileItemPath: the names a list of patterns
// matches, as a TAB-separated list (FileItemPath with each file's full path).
// Hidden and system entries stay out of the list.
#include <cstring>

#include "builtins/files/file_args.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/name_rules.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/value_ops.h"
#include "extend/host_call.h"
#include "platform/files.h"

namespace orv::files {
namespace {

namespace pf = platform::files;

// An empty pattern list asks the host's "itemizenull" function (for full
// paths "itemizenull2"), when it has one, for the list ("0" files, "1"
// folders); otherwise the list is empty.
void ask_host(Call& call, bool folders, bool fullPaths) {
  Context& c = call.c;
  const char* asked = fullPaths ? "itemizenull2" : "itemizenull";
  for (int i = 0; i < c.hostCount; ++i) {
    if (std::strcmp(c.hostTable[i].name, asked) != 0) continue;
    ArgSlots args{};
    for (auto& a : args) clear_operand(a);
    Temp answer(c);
    if (make_string(c, args[1], folders ? "1" : "0")) {
      Call hostCall{c, kParentStart + i, 1, args, answer.op(), false};
      call_host_function(hostCall);
    }
    release_value(c, args[1]);
    if (failed(c) || !to_wide(c, answer.op())) return;
    set_text(call, wstr_view(c, answer.op()));
    return;
  }
  set_text(call, std::u16string_view());
}

template <bool Folders, bool FullPaths = false>
void itemize(Call& call) {
  Context& c = call.c;
  const auto patterns = split_source_list(wide_arg(call, 1));
  if (!patterns) { fail(c, errs::kUnrecognizedItem); return; }
  if (patterns->empty()) { ask_host(call, Folders, FullPaths); return; }
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
      if (FullPaths) list.append(full, 0, name_start(full));
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
  t.add(kw::fn_fileitempath, itemize<false, true>);
}

}  // namespace orv::files
