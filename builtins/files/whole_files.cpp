// FileGet, FileGetW, FilePut, FilePutW and FileCreateTemp: a file's whole
// content as one string and back. A write goes to a fresh file beside the
// target that replaces it only when complete, so a failure (a full disk, a
// read-only or missing target folder) leaves the old file as it was.
#include "builtins/files/whole_files.h"

#include "builtins/files/file_args.h"
#include "builtins/files/files_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/sizes.h"
#include "engine/value_ops.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace orv::files {
// Named, not anonymous: a folder compiles as one unit in the Windows build.
namespace whole_impl {

namespace pf = platform::files;

constexpr std::uint16_t kNotFound = 1002, kNulBytes = 4040, kOddUtf16 = 4041, kReadFailed = 4042, kWriteFailed = 4043;
constexpr std::uint16_t kBadPrefix = 4047, kNoTempFile = 4048;
constexpr std::uint32_t kFileExists = 80;
constexpr int kNameAttempts = 64;

// NUL cannot stand inside a string: put the replacement in its place, or fail.
template <class Str>
bool replace_nuls(Call& call, Str& text, const Str* replacement) {
  if (text.find(typename Str::value_type{0}) == Str::npos) return true;
  if (!replacement) return fail(call.c, kNulBytes);
  Str out;
  for (auto ch : text) {
    if (ch == 0) out += *replacement;
    else out += ch;
  }
  text = std::move(out);
  return true;
}

void file_get(Call& call) {
  std::string bytes;
  if (!read_whole_file(call.c, wide_arg(call, 1), "FileGet", bytes)) return;
  std::string replacement;
  if (call.count >= 2) replacement = str_of(call.c, call.args[2]);
  if (!replace_nuls(call, bytes, call.count >= 2 ? &replacement : nullptr)) return;
  if (string_room<char>(call.c, bytes.size())) make_string(call.c, call.result, bytes);
}

// UTF-16 by its byte-order mark (either order), UTF-8 by its mark, and any
// other file as 8-bit text in the current code page.
bool decode_text(Context& c, const std::string& bytes, std::u16string& out) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const bool le = bytes.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE;
  const bool be = bytes.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF;
  if (le || be) {
    if (bytes.size() % 2) return fail(c, kOddUtf16);
    out.resize(bytes.size() / 2 - 1);
    for (std::size_t i = 0; i < out.size(); ++i) {
      const unsigned lo = b(2 + i * 2 + (be ? 1 : 0)), hi = b(2 + i * 2 + (be ? 0 : 1));
      out[i] = static_cast<char16_t>(lo | (hi << 8));
    }
    return true;
  }
  if (bytes.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF &&
      platform::codepage_to_utf16(std::string_view(bytes).substr(3), 65001, out))
    return true;
  return platform::ansi_to_utf16(bytes, out) ? true : fail(c, errs::kNotConvertibleToUnicode);
}

void file_get_w(Call& call) {
  std::string bytes;
  if (!read_whole_file(call.c, wide_arg(call, 1), "FileGetW", bytes)) return;
  std::u16string text;
  if (!decode_text(call.c, bytes, text)) return;
  bytes.clear();
  bytes.shrink_to_fit();
  const std::u16string replacement = call.count >= 2 ? std::u16string(wstr_view(call.c, call.args[2])) : u"";
  if (!replace_nuls(call, text, call.count >= 2 ? &replacement : nullptr)) return;
  if (string_room<char16_t>(call.c, text.size())) make_wstring(call.c, call.result, text);
}

bool put_fail(Context& c, std::uint32_t err) { return os_fail(c, kWriteFailed, "FilePut", err); }

// Writes `data` as the whole of `name`; the number of bytes on success.
bool put_whole_file(Context& c, const std::u16string& name, const std::string& data) {
  std::u16string path;
  if (!full_path(c, name, path)) return false;
  const std::uint32_t attrs = pf::attributes(path);
  if (attrs != pf::kNoAttributes && (attrs & (pf::kDirectory | pf::kReadOnly))) return put_fail(c, 5);
  std::u16string temp;
  pf::FileHandle h = 0;
  std::uint32_t err = kFileExists;
  for (int k = 0; k < kNameAttempts && !h && err == kFileExists; ++k) {
    temp = temp_beside(path, platform::tick_count() + static_cast<std::uint32_t>(k) * 7919u);
    h = pf::open(temp, pf::Open::create_new, err);
  }
  if (!h) return put_fail(c, err);
  const bool written = pf::write(h, data.data(), data.size(), err);
  pf::close(h);
  if (written && pf::replace(temp, path, err)) return true;
  std::uint32_t ignored = 0;
  pf::remove(temp, ignored);
  return put_fail(c, err);
}

void set_count(Call& call, std::uint64_t n) {
  if (n <= 2147483647u) make_int(call.result, static_cast<std::int32_t>(n));
  else make_int64(call.result, static_cast<std::int64_t>(n));
}

void file_put(Call& call) {
  const std::string data = str_of(call.c, call.args[2]);
  if (put_whole_file(call.c, wide_arg(call, 1), data)) set_count(call, data.size());
}

// UTF-16 little-endian with its mark, as FileOpen's Unicode files are written.
void file_put_w(Call& call) {
  const std::u16string_view text = wstr_view(call.c, call.args[2]);
  std::string data;
  data.reserve(2 + text.size() * 2);
  data += "\xFF\xFE";
  for (char16_t ch : text) {
    data += static_cast<char>(ch & 0xFF);
    data += static_cast<char>(ch >> 8);
  }
  if (put_whole_file(call.c, wide_arg(call, 1), data)) set_count(call, data.size());
}

void file_create_temp(Call& call) {
  Context& c = call.c;
  const std::u16string prefix = wide_arg(call, 1);
  if (prefix.find_first_of(u"\\/:*?\"<>|") != std::u16string::npos) { fail(c, kBadPrefix); return; }
  std::u16string folder;
  if (!pf::temp_folder(folder)) { fail(c, kNoTempFile); return; }
  std::uint32_t err = kFileExists;
  for (int k = 0; k < kNameAttempts && err == kFileExists; ++k) {
    const std::u16string path = folder + prefix + temp_suffix(platform::tick_count() + static_cast<std::uint32_t>(k) * 7919u);
    const pf::FileHandle h = pf::open(path, pf::Open::create_new, err);
    if (!h) continue;
    pf::close(h);
    set_text(call, path);
    return;
  }
  os_fail(c, kNoTempFile, "FileCreateTemp", err);
}

}  // namespace whole_impl

bool fail_missing(Context& c, const char* function, const std::u16string& path) {
  std::string shown;
  platform::utf16_to_ansi(path, shown);
  return fail(c, whole_impl::kNotFound, std::string(function) + ": " + shown);
}

bool InputFile::open_quietly(const std::u16string& path) {
  std::uint32_t err = 0;
  h_ = platform::files::open(path, platform::files::Open::read, err);
  return h_ != 0;
}

bool InputFile::open(Context& c, const std::u16string& name, const char* function) {
  std::u16string path;
  if (!full_path(c, name, path)) return false;
  const std::uint32_t attrs = platform::files::attributes(path);
  if (attrs == platform::files::kNoAttributes || (attrs & platform::files::kDirectory)) return fail_missing(c, function, path);
  std::uint32_t err = 0;
  h_ = platform::files::open(path, platform::files::Open::read, err);
  return h_ ? true : os_fail(c, whole_impl::kReadFailed, function, err);
}

bool InputFile::read(Context& c, void* buffer, std::size_t n, std::size_t& got) {
  std::uint32_t err = 0;
  return platform::files::read(h_, buffer, n, got, err) ? true : os_fail(c, whole_impl::kReadFailed, "ReadFile", err);
}

ReadAt InputFile::reader() {
  return [this](std::uint64_t offset, std::size_t n, std::uint8_t* out) {
    std::uint32_t err = 0;
    std::size_t got = 0;
    while (n > 0) {
      if (!platform::files::seek_to(h_, offset) || !platform::files::read(h_, out, n, got, err) || got == 0) return false;
      out += got;
      offset += got;
      n -= got;
    }
    return true;
  };
}

bool read_whole_file(Context& c, const std::u16string& name, const char* function, std::string& out) {
  InputFile in;
  if (!in.open(c, name, function)) return false;
  const std::uint64_t size = in.size();
  if (!string_room<char>(c, size)) return false;
  out.resize(static_cast<std::size_t>(size));
  std::size_t have = 0;
  // The file may shrink or grow while it is read: take what is there.
  while (have < out.size()) {
    std::size_t got = 0;
    if (!in.read(c, out.data() + have, out.size() - have, got)) return false;
    if (got == 0) break;
    have += got;
  }
  out.resize(have);
  return true;
}

void register_whole_files(HandlerTable& t) {
  t.add(kw::fn_fileget, whole_impl::file_get);
  t.add(kw::fn_filegetw, whole_impl::file_get_w);
  t.add(kw::fn_fileput, whole_impl::file_put);
  t.add(kw::fn_fileputw, whole_impl::file_put_w);
  t.add(kw::fn_filecreatetemp, whole_impl::file_create_temp);
}

}  // namespace orv::files
