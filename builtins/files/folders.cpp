// FileExist, DirExist, DirMake, DirRemove and FileMapName: the small tools
// scripts need around the file functions.
#include "builtins/files/file_args.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/name_rules.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/files.h"

namespace orv::files {
namespace {

namespace pf = platform::files;

template <bool Folder>
void exists(Call& call) {
  std::u16string path;
  if (!full_path(call.c, wide_arg(call, 1), path)) return;
  const std::uint32_t a = pf::attributes(path);
  make_int(call.result, a != pf::kNoAttributes && ((a & pf::kDirectory) != 0) == Folder ? 1 : 0);
}

void dir_make(Call& call) {
  std::u16string path;
  if (!full_path(call.c, wide_arg(call, 1), path)) return;
  std::uint32_t err = 0;
  const std::uint32_t a = pf::attributes(path);
  if ((a != pf::kNoAttributes && (a & pf::kDirectory)) || pf::make_folder(path, err)) make_int(call.result, 1);
  else os_fail(call.c, errs::kDirMakeFailed, "CreateDirectory", err);
}

void dir_remove(Call& call) {
  std::u16string path;
  if (!full_path(call.c, wide_arg(call, 1), path)) return;
  std::uint32_t err = 0;
  if (pf::remove_folder(path, err)) make_int(call.result, 1);
  else os_fail(call.c, errs::kDirRemoveFailed, "RemoveDirectory", err);
}

void file_map_name(Call& call) {
  const std::u16string source = wide_arg(call, 1), mask = wide_arg(call, 2);
  const std::size_t cut = name_start(mask);
  const auto mapped = map_name(std::u16string_view(source).substr(name_start(source)), std::u16string_view(mask).substr(cut));
  if (!mapped) { fail(call.c, errs::kFileMapNameUnmappable); return; }
  set_text(call, mask.substr(0, cut) + *mapped);
}

}  // namespace

void register_folders(HandlerTable& t) {
  t.add(kw::fn_fileexist, exists<false>);
  t.add(kw::fn_direxist, exists<true>);
  t.add(kw::fn_dirmake, dir_make);
  t.add(kw::fn_dirremove, dir_remove);
  t.add(kw::fn_filemapname, file_map_name);
}

}  // namespace orv::files
