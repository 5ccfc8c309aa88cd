// FileCopy, FileMove, FileAppend, FileDelete, FileRename and the Attr forms
// of copy and move. No operation loses data when it fails: an existing
// target is replaced only by a finished copy, an append that fails is cut
// back to the old end, and a file copied or moved onto itself stays as it is.
#include <algorithm>

#include "builtins/files/attribute_rules.h"
#include "builtins/files/file_args.h"
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
namespace {

namespace pf = platform::files;

struct Op {
  std::uint16_t sourceMissing, noSpace, failed;
  const char* osCall;
};
constexpr Op kCopy{errs::kFileCopySourceOpenFailed, errs::kFileCopyNoSpace, errs::kFileCopyFailed, "CopyFile"};
constexpr Op kMove{errs::kFileMoveSourceOpenFailed, errs::kFileMoveNoSpace, errs::kFileMoveFailed, "FileMove"};

bool is_file(const std::u16string& p) {
  const std::uint32_t a = pf::attributes(p);
  return a != pf::kNoAttributes && !(a & pf::kDirectory);
}

std::uint64_t file_size(const std::u16string& p) {
  std::uint32_t err = 0;
  const pf::FileHandle h = pf::open(p, pf::Open::read, err);
  if (!h) return 0;
  const std::uint64_t n = pf::size_of(h);
  pf::close(h);
  return n;
}

bool enough_space(const std::u16string& target, std::uint64_t needed) {
  std::uint64_t free = 0;
  return needed == 0 || !pf::free_space(target, free) || free >= needed;
}

// Asks before replacing an existing file; false when the user cancels.
bool confirm_replace(Context& c, const std::u16string& source, const std::u16string& target) {
  std::string from, to;
  platform::utf16_to_ansi(source, from);
  platform::utf16_to_ansi(target, to);
  const int answer = platform::message_box("Replace file:\n" + to + "\nwith file:\n" + from, "Confirm File Replace",
                                           platform::mb_okcancel | platform::mb_icon_exclamation);
  if (answer == 2) return fail(c, errs::kCancelled);
  return true;
}

bool copy_one(Context& c, const std::u16string& from, const std::u16string& to, bool warn) {
  if (!is_file(from)) return fail(c, kCopy.sourceMissing);
  const bool exists = pf::attributes(to) != pf::kNoAttributes;
  if (exists && pf::same_file(from, to)) return true;   // nothing to do, and nothing to lose
  if (exists && warn && !confirm_replace(c, from, to)) return false;
  const std::uint64_t size = file_size(from), old = exists ? file_size(to) : 0;
  if (size > old && !enough_space(to, size - old)) return fail(c, kCopy.noSpace);
  std::uint32_t err = 0;
  if (!exists) return pf::copy(from, to, err) || os_fail(c, kCopy.failed, kCopy.osCall, err);
  if (pf::attributes(to) & pf::kReadOnly) return os_fail(c, kCopy.failed, kCopy.osCall, 5);
  const std::u16string temp = temp_beside(to, platform::tick_count());
  if (!pf::copy(from, temp, err)) {
    std::uint32_t ignored = 0;
    pf::remove(temp, ignored);
    return os_fail(c, kCopy.failed, kCopy.osCall, err);
  }
  if (!pf::replace(temp, to, err)) {
    std::uint32_t ignored = 0;
    pf::remove(temp, ignored);
    return os_fail(c, kCopy.failed, kCopy.osCall, err);
  }
  return true;
}

bool move_one(Context& c, const std::u16string& from, const std::u16string& to, bool warn) {
  if (!is_file(from)) return fail(c, kMove.sourceMissing);
  const bool exists = pf::attributes(to) != pf::kNoAttributes;
  std::uint32_t err = 0;
  // The same file under another name (or letter case): a rename, never a delete.
  if (exists && pf::same_file(from, to))
    return from == to || pf::move(from, to, err) || os_fail(c, kMove.failed, kMove.osCall, err);
  if (exists && warn && !confirm_replace(c, from, to)) return false;
  const std::uint64_t size = file_size(from), old = exists ? file_size(to) : 0;
  if (size > old && !enough_space(to, size - old)) return fail(c, kMove.noSpace);
  if (exists && (pf::attributes(to) & pf::kReadOnly)) return os_fail(c, kMove.failed, kMove.osCall, 5);
  const bool ok = exists ? pf::replace(from, to, err) : pf::move(from, to, err);
  return ok || os_fail(c, kMove.failed, kMove.osCall, err);
}

bool set_letters(const std::u16string& path, std::u16string_view letters) {
  const std::uint32_t a = pf::attributes(path);
  std::uint32_t err = 0;
  return a != pf::kNoAttributes && pf::set_attributes(path, apply_letters(a, letters), err);
}

template <bool Move, bool Attr>
void copy_or_move(Call& call) {
  Context& c = call.c;
  TargetMask target;
  if (!target.parse(c, wide_arg(call, 2))) return;
  const bool warn = call.args[3].i != 0;
  const std::u16string letters = Attr ? wide_arg(call, 4) : std::u16string();
  const bool ok = for_each_source(c, wide_arg(call, 1), {}, [&](const std::u16string& from) {
    std::u16string to;
    if (!target.target_for(c, from, to)) return false;
    if (!(Move ? move_one(c, from, to, warn) : copy_one(c, from, to, warn))) return false;
    if (Attr) set_letters(to, letters);   // a failure here is not the copy's failure
    return true;
  });
  if (ok) make_int(call.result, 1);
}

// Copies the source's bytes (as many as it had at the start, so that a file
// appended to itself ends) to the target's end; cuts the target back on failure.
bool append_one(Context& c, const std::u16string& from, const std::u16string& to) {
  if (!is_file(from)) return fail(c, errs::kFileAppendSourceOpenFailed);
  const std::uint64_t size = file_size(from);
  if (!enough_space(to, size)) return fail(c, errs::kFileAppendNoSpace);
  std::uint32_t err = 0;
  const pf::FileHandle in = pf::open(from, pf::Open::read, err);
  if (!in) return os_fail(c, errs::kFileAppendSourceOpenFailed, "FileAppend: open existing", err);
  struct Closer {
    pf::FileHandle h;
    ~Closer() { pf::close(h); }
  } closeIn{in};
  const pf::FileHandle out = pf::open(to, pf::Open::open_always, err);
  if (!out) return os_fail(c, errs::kFileAppendTargetOpenFailed, "FileAppend: open new", err);
  Closer closeOut{out};
  std::uint64_t end = 0;
  if (!pf::seek_end(out, end)) return os_fail(c, errs::kFileAppendIoError, "FileAppend: write new", 0);
  std::string buffer(28672, '\0');
  std::uint64_t left = size;
  while (left > 0) {
    std::size_t got = 0;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
    const char* phrase = "FileAppend: read existing";
    bool ok = pf::read(in, buffer.data(), want, got, err) && got > 0;
    if (ok) {
      phrase = "FileAppend: write new";
      ok = pf::write(out, buffer.data(), got, err);
    }
    if (!ok) {
      if (pf::seek_to(out, end)) pf::truncate_here(out);
      return os_fail(c, errs::kFileAppendIoError, phrase, err);
    }
    left -= got;
  }
  return true;
}

void file_append(Call& call) {
  Context& c = call.c;
  std::u16string to;
  if (!full_path(c, wide_arg(call, 2), to)) return;
  if (for_each_source(c, wide_arg(call, 1), {}, [&](const std::u16string& from) { return append_one(c, from, to); }))
    make_int(call.result, 1);
}

void file_delete(Call& call) {
  Context& c = call.c;
  const bool ok = for_each_source(c, wide_arg(call, 1), {}, [&](const std::u16string& path) {
    std::uint32_t err = 0;
    if (pf::remove(path, err)) return true;
    if (pf::attributes(path) != pf::kNoAttributes) return os_fail(c, errs::kFileDeleteFailed, "FileDelete", err);
    return fail(c, errs::kFileDeleteNotFound);
  });
  if (ok) make_int(call.result, 1);
}

void file_rename(Call& call) {
  Context& c = call.c;
  TargetMask target;
  if (!target.parse(c, wide_arg(call, 2))) return;
  const bool ok = for_each_source(c, wide_arg(call, 1), {}, [&](const std::u16string& from) {
    std::u16string to;
    if (!target.target_for(c, from, to)) return false;
    if (from == to) return true;
    std::uint32_t err = 0;
    return pf::move(from, to, err) || os_fail(c, errs::kFileRenameFailed, "FileRename", err);
  });
  if (ok) make_int(call.result, 1);
}

}  // namespace

std::u16string temp_suffix(std::uint32_t salt) {
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  std::u16string out;
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(salt >> shift) & 0xF];
  return out + u".tmp";
}

std::u16string temp_beside(const std::u16string& target, std::uint32_t salt) {
  return target.substr(0, name_start(target)) + u"~orv" + temp_suffix(salt);
}

bool copy_replacing(Context& c, const std::u16string& from, const std::u16string& to) {
  return copy_one(c, from, to, false);
}

void register_management(HandlerTable& t) {
  t.add(kw::fn_filecopy, copy_or_move<false, false>);
  t.add(kw::fn_filemove, copy_or_move<true, false>);
  t.add(kw::fn_filecopyattr, copy_or_move<false, true>);
  t.add(kw::fn_filemoveattr, copy_or_move<true, true>);
  t.add(kw::fn_fileappend, file_append);
  t.add(kw::fn_filedelete, file_delete);
  t.add(kw::fn_filerename, file_rename);
}

}  // namespace orv::files
