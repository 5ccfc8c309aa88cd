#include "builtins/arrays/text_file.h"

#include <new>

#include "builtins/files/text_encoding.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace orv::arrays {

bool path_arg(Call& call, int k, std::string& path) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  if (v.flags & vf::kStr) {
    path = str_of(call.c, v);
    return true;
  }
  if ((v.flags & vf::kWide) && platform::utf16_to_ansi(wstr_view(call.c, v), path)) return true;
  return fail(call.c, errs::kFileOpenError);
}

namespace {

namespace pf = platform::files;

// The whole file through the same file services as the text-file functions.
bool read_bytes(Context& c, const std::string& path, std::string& bytes) {
  std::u16string wide, full;
  platform::ansi_to_utf16(path, wide);
  std::uint32_t err = 0;
  const pf::FileHandle h = pf::full_path(wide, full) ? pf::open(full, pf::Open::read, err) : 0;
  if (!h) return fail(c, errs::kFileOpenError);
  struct Closer {
    pf::FileHandle h;
    ~Closer() { pf::close(h); }
  } closer{h};
  const std::uint64_t size = pf::size_of(h);
  if (size > 0x7FFFFFF0u) return fail(c, errs::kFileReadError);
  try {
    bytes.assign(static_cast<std::size_t>(size), '\0');
  } catch (const std::bad_alloc&) {
    return fail(c, errs::kFileReadError);
  }
  std::size_t have = 0;
  while (have < bytes.size()) {
    std::size_t got = 0;
    if (!pf::read(h, bytes.data() + have, bytes.size() - have, got, err)) return fail(c, errs::kFileReadError);
    if (got == 0) break;
    have += got;
  }
  bytes.resize(have);
  return true;
}

}  // namespace

bool read_text_file(Context& c, const std::string& path, FileText& out) {
  std::string bytes;
  if (!read_bytes(c, path, bytes)) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const files::Encoding e = files::encoding_of_mark(p, bytes.size());
  if (e == files::Encoding::ansi) {
    out.wide = false;
    out.ansi = std::move(bytes);
    return true;
  }
  out.wide = true;
  const std::size_t units = (bytes.size() - 2) / 2;
  out.utf16.resize(units);
  for (std::size_t i = 0; i < units; ++i) {
    const unsigned b0 = p[2 + 2 * i], b1 = p[3 + 2 * i];
    out.utf16[i] = static_cast<char16_t>(e == files::Encoding::utf16le ? b0 | (b1 << 8) : (b0 << 8) | b1);
  }
  return true;
}

namespace {

// The encoding of an existing file's text; `hasText` when it has any.
files::Encoding existing_encoding(const std::u16string& path, bool& hasText) {
  std::uint32_t err = 0;
  hasText = false;
  const pf::FileHandle h = pf::open(path, pf::Open::read, err);
  if (!h) return files::Encoding::ansi;
  unsigned char two[2] = {};
  std::size_t got = 0;
  pf::read(h, two, 2, got, err);
  pf::close(h);
  hasText = got > 0;
  return files::encoding_of_mark(two, got);
}

std::string encoded(const OutText& text, files::Encoding e, bool mark) {
  std::string bytes;
  if (e == files::Encoding::ansi) {
    if (!text.wide) return text.ansi;
    platform::utf16_to_ansi(text.utf16, bytes);
    return bytes;
  }
  if (mark) files::append_mark(bytes, e);
  if (text.wide) {
    files::append_units(bytes, text.utf16, e);
  } else {
    std::u16string w;
    platform::ansi_to_utf16(text.ansi, w);
    files::append_units(bytes, w, e);
  }
  return bytes;
}

bool write_all(pf::FileHandle h, const std::string& bytes) {
  std::uint32_t err = 0;
  return bytes.empty() || pf::write(h, bytes.data(), bytes.size(), err);
}

}  // namespace

bool write_text_file(Context& c, const std::string& path, const OutText& text, bool append) {
  std::u16string wide, full;
  platform::ansi_to_utf16(path, wide);
  if (!pf::full_path(wide, full)) return fail(c, errs::kFileOpenError);
  bool hasText = false;
  const files::Encoding existing = existing_encoding(full, hasText);
  std::uint32_t err = 0;
  if (append && hasText) {
    const pf::FileHandle h = pf::open(full, pf::Open::open_existing_write, err);
    if (!h) return fail(c, errs::kFileOpenError);
    std::uint64_t end = 0;
    const std::string bytes = encoded(text, existing, false);
    const bool ok = pf::seek_end(h, end) && write_all(h, bytes);
    if (!ok && pf::seek_to(h, end)) pf::truncate_here(h);   // cut back to the old end
    pf::close(h);
    return ok || fail(c, errs::kFileWriteError);
  }
  const files::Encoding e = text.wide ? files::Encoding::utf16le : files::Encoding::ansi;
  const std::string bytes = encoded(text, e, true);
  // A new file is written in place; an existing one only replaced when the new text is complete.
  const bool replacing = pf::attributes(full) != pf::kNoAttributes;
  const std::u16string target = replacing ? full + u".orvnew" : full;
  const pf::FileHandle h = pf::open(target, pf::Open::create_always, err);
  if (!h) return fail(c, errs::kFileOpenError);
  const bool ok = write_all(h, bytes);
  pf::close(h);
  if (ok && (!replacing || pf::replace(target, full, err))) return true;
  pf::remove(target, err);
  return fail(c, ok ? errs::kFileOpenError : errs::kFileWriteError);
}

}  // namespace orv::arrays
