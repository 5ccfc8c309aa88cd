// FilePath, FileRoot, FileExtension, FileBaseName, FileFullName, the long
// and short names, the two pattern evaluators and FileLocate. The parts of a
// name are read from its text alone, so they work for names that do not
// exist; only the full, long and short forms and FileLocate ask the system.
#include "builtins/files/file_args.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/name_rules.h"
#include "builtins/files/source_list.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/files.h"

namespace orv::files {
namespace {

namespace pf = platform::files;

// Parent steps FileLocate takes at most; a full path cannot be deeper.
constexpr int kMaxLocateDepth = 16384;

std::u16string name_arg(const Call& call, int k) { return std::u16string(unquote_name(wide_arg(call, k))); }

void file_path(Call& call) {
  const std::u16string name = name_arg(call, 1);
  set_text(call, folder_text(split_name(name).folder));
}

void file_root(Call& call) {
  const std::u16string name = name_arg(call, 1);
  set_text(call, split_name(name).root);
}

void file_extension(Call& call) {
  const std::u16string name = name_arg(call, 1);
  set_text(call, split_name(name).ext);
}

void file_base_name(Call& call) {
  const std::u16string name = name_arg(call, 1);
  const NameParts parts = split_name(name);
  const bool keepFolder = call.count >= 2 && call.args[2].i != 0;
  std::u16string out = keepFolder ? folder_text(parts.folder) : std::u16string();
  out += parts.root;
  if (!keepFolder && !parts.ext.empty()) out += u'.' + std::u16string(parts.ext);
  set_text(call, out);
}

void file_full_name(Call& call) {
  const std::u16string name = name_arg(call, 1);
  std::u16string full;
  if (!name.empty() && !full_path(call.c, name, full)) return;
  set_text(call, full);
}

// An existing name in its long or short form; "" when nothing is there.
template <bool Short>
void file_name_form(Call& call) {
  const std::u16string name = name_arg(call, 1);
  if (has_wildcards(name)) { fail(call.c, errs::kWildcardsNotAllowed); return; }
  std::u16string full, form;
  if (!name.empty() && !full_path(call.c, name, full)) return;
  if (!name.empty() && !(Short ? pf::short_name(full, form) : pf::long_name(full, form))) form.clear();
  set_text(call, form);
}

// A mapped name with its folder written the way FilePath writes folders.
void set_mapped(Call& call, const std::u16string& mapped) {
  const std::size_t cut = name_start(mapped);
  set_text(call, folder_text(std::u16string_view(mapped).substr(0, cut)) + mapped.substr(cut));
}

void file_name_eval_copy(Call& call) {
  const std::u16string source = name_arg(call, 1);
  std::u16string target = name_arg(call, 2);
  if (!target_as_mask(call.c, target)) return;
  const auto mapped = apply_target(source, target);
  if (!mapped) { fail(call.c, errs::kFileMapNameUnmappable); return; }
  set_mapped(call, *mapped);
}

void file_name_eval_shell(Call& call) {
  const std::u16string source = name_arg(call, 1), pattern = name_arg(call, 2);
  const std::size_t cut = name_start(pattern);
  const auto name = shell_rename(std::u16string_view(source).substr(name_start(source)),
                                 std::u16string_view(pattern).substr(cut));
  if (!name) { fail(call.c, errs::kPatternLeavesNoName); return; }
  set_mapped(call, pattern.substr(0, cut) + *name);
}

bool names_is_file(const std::u16string& path) {
  const std::uint32_t a = pf::attributes(path);
  return a != pf::kNoAttributes && !(a & pf::kDirectory);
}

// The current folder first, then each parent: "..\" in front of the name
// until the folder stops changing at the root.
void file_locate(Call& call) {
  Context& c = call.c;
  const std::u16string name = name_arg(call, 1);
  if (has_wildcards(name)) { fail(c, errs::kWildcardsNotAllowed); return; }
  if (name.empty()) { set_text(call, std::u16string_view()); return; }
  std::u16string up, previousFolder, full;
  for (int depth = 0; depth < kMaxLocateDepth; ++depth) {
    if (!full_path(c, up + name, full)) return;
    if (names_is_file(full)) { set_text(call, full); return; }
    const std::u16string folder = full.substr(0, name_start(full));
    if (!is_relative_name(name) || folder == previousFolder) break;
    previousFolder = folder;
    up += u"..\\";
  }
  set_text(call, std::u16string_view());
}

}  // namespace

void register_name_functions(HandlerTable& t) {
  t.add(kw::fn_filepath, file_path);
  t.add(kw::fn_fileroot, file_root);
  t.add(kw::fn_fileextension, file_extension);
  t.add(kw::fn_filebasename, file_base_name);
  t.add(kw::fn_filefullname, file_full_name);
  t.add(kw::fn_filenamelong, file_name_form<false>);
  t.add(kw::fn_filenameshort, file_name_form<true>);
  t.add(kw::fn_filenameeval1, file_name_eval_copy);
  t.add(kw::fn_filenameeval2, file_name_eval_shell);
  t.add(kw::fn_filelocate, file_locate);
}

}  // namespace orv::files
