// What the directory knows about files: FileSize and FileSizeEx (totals past
// 4 GB), FileInfoToArray and DirInfoToArray (one row per match), the three
// file times by number (FileTimeGetEx, FileTimeSetEx), FileCompare and
// FileLockItemize. Sizes and times come from the directory entry, so files
// that another program holds open are measured too.
#include <string>

#include "builtins/arrays/array_args.h"
#include "builtins/files/attribute_rules.h"
#include "builtins/files/file_args.h"
#include "builtins/files/file_times.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/name_rules.h"
#include "builtins/files/source_list.h"
#include "builtins/files/whole_files.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace orv::files {
// Named, not anonymous: a folder compiles as one unit in the Windows build.
namespace facts_impl {

namespace pf = platform::files;

constexpr std::uint16_t kTimeNotFound = 1125, kTimeBadValue = 1017, kTimeNotConverted = 1711,
                        kTimeNotSet = 1128, kBadSelector = 4046, kBadSizeFormat = 4049, kBadInfoFlags = 4050;

void set_size(Call& call, std::uint64_t n, bool always64) {
  if (!always64 && n <= 2147483647u) make_int(call.result, static_cast<std::int32_t>(n));
  else make_int64(call.result, static_cast<std::int64_t>(n));
}

std::string with_separators(std::uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

bool total_size(Call& call, const char* function, std::uint64_t& total) {
  Context& c = call.c;
  total = 0;
  return for_each_source(c, wide_arg(call, 1), {}, [&](const std::u16string& path) {
    pf::Facts f;
    if (!pf::facts(path, f) || (f.attributes & pf::kDirectory)) return fail_missing(c, function, path);
    total += f.size;
    return true;
  });
}

void file_size(Call& call) {
  const int format = call.count >= 2 ? call.args[2].i : 0;
  if (format != 0 && format != 1) { fail(call.c, kBadSizeFormat); return; }
  std::uint64_t total = 0;
  if (!total_size(call, "FileSize", total)) return;
  if (format == 1) set_text(call, with_separators(total));
  else set_size(call, total, false);
}

void file_size_ex(Call& call) {
  std::uint64_t total = 0;
  if (total_size(call, "FileSizeEx", total)) set_size(call, total, true);
}

// FileInfoToArray and DirInfoToArray: row 0 holds the count and the total
// size, each further row one match.
enum InfoColumn { kName, kSize, kCreated, kAccessed, kWritten, kAttributes, kInfoColumns };
constexpr int kInfoShortNames = 1, kInfoLetters = 2;

struct InfoRow {
  std::u16string path;
  pf::Facts facts;
};

// Matches of the list that exist and are of the wanted kind; names that
// match nothing add no row.
bool collect_rows(Context& c, std::u16string_view list, bool folders, std::vector<InfoRow>& rows) {
  const auto items = split_source_list(list);
  if (!items) return fail(c, errs::kUnrecognizedItem);
  const auto take = [&](const std::u16string& path) {
    InfoRow row{path, {}};
    if (pf::facts(path, row.facts) && ((row.facts.attributes & pf::kDirectory) != 0) == folders)
      rows.push_back(std::move(row));
  };
  for (const std::u16string& item : *items) {
    std::u16string full;
    if (!full_path(c, item, full)) return false;
    const std::size_t cut = name_start(full);
    if (!has_wildcards(std::u16string_view(full).substr(cut))) {
      take(full);
      continue;
    }
    std::vector<pf::Entry> found;
    std::uint32_t err = 0;
    pf::find(full, found, err);
    for (const pf::Entry& e : found) take(full.substr(0, cut) + e.name);
  }
  return true;
}

bool store_text_in(Call& call, Value& v, std::u16string_view text) {
  if (call.wide) return make_wstring(call.c, v, text);
  std::string ansi;
  platform::utf16_to_ansi(text, ansi);
  return make_string(call.c, v, ansi);
}

std::u16string ascii16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

void store_size(Value& v, std::uint64_t n) {
  if (n <= 2147483647u) make_int(v, static_cast<std::int32_t>(n));
  else make_int64(v, static_cast<std::int64_t>(n));
}

template <bool Folders>
void info_to_array(Call& call) {
  Context& c = call.c;
  const int flags = call.count >= 2 ? call.args[2].i : 0;
  if (flags & ~(kInfoShortNames | kInfoLetters)) { fail(c, kBadInfoFlags); return; }
  std::vector<InfoRow> rows;
  if (!collect_rows(c, wide_arg(call, 1), Folders, rows)) return;
  arrays::NewArray out(c);
  if (!out.create({static_cast<std::uint32_t>(rows.size() + 1), kInfoColumns, 0, 0, 0})) return;
  Value* els = out.elements();
  std::uint64_t total = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const InfoRow& row = rows[r];
    Value* cells = els + (r + 1) * kInfoColumns;
    const std::u16string name =
        (flags & kInfoShortNames) ? row.path.substr(name_start(row.path)) : row.path;
    total += row.facts.size;
    store_size(cells[kSize], row.facts.size);
    const bool ok = store_text_in(call, cells[kName], name) &&
                    store_text_in(call, cells[kCreated], ascii16(file_time_text(c, row.facts.created))) &&
                    store_text_in(call, cells[kAccessed], ascii16(file_time_text(c, row.facts.accessed))) &&
                    store_text_in(call, cells[kWritten], ascii16(file_time_text(c, row.facts.written)));
    if (!ok) return;
    if (flags & kInfoLetters) {
      if (!store_text_in(call, cells[kAttributes], attribute_text(row.facts.attributes))) return;
    } else {
      make_int(cells[kAttributes], static_cast<std::int32_t>(row.facts.attributes));
    }
  }
  make_int(els[kName], static_cast<std::int32_t>(rows.size()));
  store_size(els[kSize], total);
  for (int k = kCreated; k < kInfoColumns; ++k)
    if (!store_text_in(call, els[k], u"")) return;
  out.to_result(call);
}

// The time selector of the file services for the script's 1, 2 and 3.
bool selector_arg(Call& call, int k, int& selector) {
  switch (call.args[static_cast<std::size_t>(k)].i) {
    case 1: selector = 1; return true;
    case 2: selector = 3; return true;
    case 3: selector = 2; return true;
    default: return fail(call.c, kBadSelector);
  }
}

void file_time_get_ex(Call& call) {
  int selector = 0;
  if (!selector_arg(call, 2, selector)) return;
  std::u16string path;
  if (!full_path(call.c, wide_arg(call, 1), path)) return;
  pf::LocalTime t;
  if (!pf::get_time(path, selector, t)) { fail(call.c, kTimeNotFound); return; }
  set_text(call, file_time_text(call.c, t));
}

void file_time_set_ex(Call& call) {
  Context& c = call.c;
  int selector = 0;
  if (!selector_arg(call, 2, selector)) return;
  pf::LocalTime t;
  if (!parse_file_time(wide_arg(call, 3), t)) { fail(c, kTimeBadValue); return; }
  const bool ok = for_each_source(c, wide_arg(call, 1), {}, [&](const std::u16string& path) {
    std::uint32_t err = 0;
    if (pf::set_time(path, selector, t, err)) return true;
    return err == 0 ? fail(c, kTimeNotConverted) : os_fail(c, kTimeNotSet, "FileTimeSetEx", err);
  });
  if (ok) make_int(call.result, 1);
}

// 1 / -1: the first / second is newer; 2 / -2: same time, the first is
// larger / smaller; 0: same time and size. A missing file is the older one.
void file_compare(Call& call) {
  Context& c = call.c;
  std::u16string a, b;
  if (!full_path(c, wide_arg(call, 1), a) || !full_path(c, wide_arg(call, 2), b)) return;
  pf::Facts fa, fb;
  const bool hasA = pf::facts(a, fa) && !(fa.attributes & pf::kDirectory);
  const bool hasB = pf::facts(b, fb) && !(fb.attributes & pf::kDirectory);
  if (!hasA && !hasB) { fail_missing(c, "FileCompare", a); return; }
  int answer = 0;
  if (!hasA || !hasB) answer = hasA ? 1 : -1;
  else if (const int t = compare_file_times(fa.written, fb.written)) answer = t;
  else if (fa.size != fb.size) answer = fa.size > fb.size ? 2 : -2;
  make_int(call.result, answer);
}

// The files of the list that another open handle keeps from being opened
// exclusively, as a TAB-separated list of full names.
void file_lock_itemize(Call& call) {
  Context& c = call.c;
  std::u16string list;
  const bool ok = for_each_source(c, wide_arg(call, 1), {true, true}, [&](const std::u16string& path) {
    if (!pf::in_use(path)) return true;
    if (!list.empty()) list += u'\t';
    list += path;
    return true;
  });
  if (ok) set_text(call, list);
}

}  // namespace facts_impl

void register_file_facts(HandlerTable& t) {
  t.add(kw::fn_filesize, facts_impl::file_size);
  t.add(kw::fn_filesizeex, facts_impl::file_size_ex);
  t.add(kw::fn_fileinfotoarray, facts_impl::info_to_array<false>);
  t.add(kw::fn_dirinfotoarray, facts_impl::info_to_array<true>);
  t.add(kw::fn_filetimegetex, facts_impl::file_time_get_ex);
  t.add(kw::fn_filetimesetex, facts_impl::file_time_set_ex);
  t.add(kw::fn_filecompare, facts_impl::file_compare);
  t.add(kw::fn_filelockitemize, facts_impl::file_lock_itemize);
}

}  // namespace orv::files
