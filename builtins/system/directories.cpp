// DirGet, DirChange, DirHome, DirWindows, DirSize and DirRename: the current
// folder, the folders the system and the interpreter live in, and whole
// folders measured and renamed. Paths are taken as UTF-16 whatever the width
// of the call, relative ones against the current folder.
#include "builtins/files/file_args.h"
#include "builtins/system/system_args.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace orv::system {
namespace {

namespace pf = platform::files;
namespace pfo = platform::folders;

bool is_folder(const std::u16string& full) {
  const std::uint32_t a = pf::attributes(full);
  return a != pf::kNoAttributes && (a & pf::kDirectory);
}

// Argument k as a full path; an empty name is refused before any lookup.
bool folder_arg(Call& call, int k, std::u16string& full) {
  const std::u16string name = files::wide_arg(call, k);
  if (name.empty()) return fail(call.c, errs::kEmptyFolderName);
  return files::full_path(call.c, name, full);
}

void dir_get(Call& call) {
  std::u16string cwd;
  if (!pfo::current(cwd)) { fail(call.c, errs::kDirGetFailed); return; }
  set_system_text(call, cwd);
}

void dir_change(Call& call) {
  std::u16string full;
  if (!folder_arg(call, 1, full)) return;
  if (!is_folder(full)) { fail(call.c, errs::kDirChangeNotFound, shown(full)); return; }
  std::uint32_t code = 0;
  if (!pfo::change(full, code)) { files::os_fail(call.c, errs::kDirChangeFailed, "SetCurrentDirectory", code); return; }
  make_int(call.result, 1);
}

void dir_home(Call& call) {
  std::u16string home;
  if (!pfo::module_folder(home)) { fail(call.c, errs::kDirHomeUnknown); return; }
  set_system_text(call, home);
}

void dir_windows(Call& call) {
  const int which = call.args[1].i;
  if (which != 0 && which != 1) { fail(call.c, errs::kDirWindowsBadRequest); return; }
  std::u16string folder;
  if (!pfo::system_folder(which, folder)) { fail(call.c, errs::kNotOnThisWindows); return; }
  set_system_text(call, folder);
}

void dir_size(Call& call) {
  const int flags = call.count >= 2 ? call.args[2].i : 0;
  if (flags != 0 && flags != 1) { fail(call.c, errs::kDirSizeBadFlags); return; }
  std::u16string full;
  if (!folder_arg(call, 1, full)) return;
  if (!is_folder(full)) { fail(call.c, errs::kDirSizeNotFound, shown(full)); return; }
  std::uint64_t bytes = 0;
  std::u16string where;
  std::uint32_t code = 0;
  if (!pfo::content_bytes(full, flags == 0, bytes, where, code)) {
    fail(call.c, errs::kDirSizeUnreadable, shown(where) + ": " + pf::error_text(code));
    return;
  }
  set_count(call, bytes);
}

void dir_rename(Call& call) {
  std::u16string from, to;
  if (!folder_arg(call, 1, from) || !folder_arg(call, 2, to)) return;
  if (!is_folder(from)) { fail(call.c, errs::kDirRenameNotFound, shown(from)); return; }
  // A folder renamed to itself in another letter case is no clash.
  if (pf::attributes(to) != pf::kNoAttributes && !pf::same_file(from, to)) {
    fail(call.c, errs::kDirRenameExists, shown(to));
    return;
  }
  std::uint32_t code = 0;
  if (pfo::rename(from, to, code)) { make_int(call.result, 1); return; }
  if (code == pfo::kNotSameDevice) fail(call.c, errs::kDirRenameOtherDrive, shown(to));
  else if (code == pfo::kAlreadyExists) fail(call.c, errs::kDirRenameExists, shown(to));
  else files::os_fail(call.c, errs::kDirRenameFailed, "MoveFile", code);
}

}  // namespace

void register_directories(HandlerTable& t) {
  t.add(kw::fn_dirget, dir_get);
  t.add(kw::fn_dirchange, dir_change);
  t.add(kw::fn_dirhome, dir_home);
  t.add(kw::fn_dirwindows, dir_windows);
  t.add(kw::fn_dirsize, dir_size);
  t.add(kw::fn_dirrename, dir_rename);
}

}  // namespace orv::system
