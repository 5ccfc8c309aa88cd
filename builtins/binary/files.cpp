// BinaryRead, BinaryWrite, BinaryReadEx and BinaryWriteEx: whole files and
// byte ranges of files at 64-bit offsets. The buffer is checked before the
// file is opened, so a failing call creates no file.
#include <string>
#include <vector>

#include "builtins/binary/binary_args.h"
#include "builtins/strings/text.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/byte_files.h"
#include "platform/platform.h"

namespace orv::binary {
namespace {

using platform::ByteFile;

constexpr std::size_t kZeroBlock = 32768;

// The file name argument in either width.
std::u16string path_arg(const Call& call, int k) {
  if (call.wide) return std::u16string(strings::arg_text<char16_t>(call, k));
  std::u16string path;
  if (!platform::ansi_to_utf16(arg_str(call, k), path)) path.clear();
  return path;
}

// The decimal file offset of the Ex forms; false with 1548.
bool file_offset_arg(Call& call, int k, std::int64_t& out) {
  const IntText t = parse_integer_text(arg_str(call, k), true);
  if (!t.ok || t.value < 0) return fail(call.c, errs::kBinaryBadOffset);
  out = t.value;
  return true;
}

void binary_read(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  ByteFile f;
  if (!f.open(path_arg(call, 2), ByteFile::Mode::read)) { fail(call.c, errs::kFileOpenFailed); return; }
  const std::int64_t size = f.size();
  if (size < 0) { fail(call.c, errs::kBinaryReadFailed); return; }
  if (size > b->size) { fail(call.c, errs::kBinaryReadFileTooLarge); return; }
  if (!f.read(b->data, static_cast<std::size_t>(size))) { fail(call.c, errs::kBinaryReadFailed); return; }
  b->eod = static_cast<std::int32_t>(size);
  make_int(call.result, b->eod);
}

void binary_write(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  ByteFile f;
  if (!f.open(path_arg(call, 2), ByteFile::Mode::create_truncate)) { fail(call.c, errs::kFileOpenFailed); return; }
  if (!f.write(b->data, static_cast<std::size_t>(b->eod))) { fail(call.c, errs::kBinaryWriteFailed); return; }
  make_int(call.result, b->eod);
}

void read_ex(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  const std::int32_t o = arg_int(call, 2);
  std::int64_t count = arg_int(call, 5), at = 0;
  if (!file_offset_arg(call, 4, at) || !check_offset(call, o)) return;
  if (o >= b->size) { fail(call.c, errs::kBinaryOffsetsBeyondEnd); return; }
  if (count < -1) { fail(call.c, errs::kBinaryBadCount); return; }
  ByteFile f;
  if (!f.open(path_arg(call, 3), ByteFile::Mode::read)) { fail(call.c, errs::kFileOpenFailed); return; }
  const std::int64_t size = f.size();
  if (size < 0) { fail(call.c, errs::kBinaryReadFailed); return; }
  if (at > size) { fail(call.c, errs::kBinaryOffsetBeyondFile); return; }
  if (count == -1 || count > size - at) count = size - at;
  if (count > INT32_MAX) { fail(call.c, errs::kBinaryReadExTooLarge); return; }
  if (o + count > b->size) { fail(call.c, errs::kBinaryCountBeyondEnd); return; }
  if (count == 0) return;
  if (!f.seek(at)) { fail(call.c, errs::kBinarySeekFailed); return; }
  if (!f.read(b->data + o, static_cast<std::size_t>(count))) { fail(call.c, errs::kBinaryReadFailed); return; }
  b->raise_eod(o + count);
  make_int(call.result, static_cast<std::int32_t>(count));
}

// Makes the file exactly `at` bytes long when it is longer, or pads it with
// zero bytes up to `at` when it is shorter.
bool pad_to(Call& call, ByteFile& f, std::int64_t at) {
  const std::int64_t size = f.size();
  if (size < 0) return fail(call.c, errs::kBinaryWriteFailed);
  if (size >= at) return true;
  std::vector<char> zeros;
  zeros.resize(kZeroBlock);
  if (!f.seek(size)) return fail(call.c, errs::kBinarySeekFailed);
  for (std::int64_t left = at - size; left > 0;) {
    const std::size_t n = left < static_cast<std::int64_t>(kZeroBlock) ? static_cast<std::size_t>(left) : kZeroBlock;
    if (!f.write(zeros.data(), n)) return fail(call.c, errs::kBinaryWriteFailed);
    left -= static_cast<std::int64_t>(n);
  }
  return true;
}

void write_ex(Call& call) {
  const std::int32_t o = arg_int(call, 2), count = arg_int(call, 5);
  std::int64_t at = 0;
  if (!file_offset_arg(call, 4, at)) return;
  BinaryBuffer* b = nullptr;
  if (count != -1) {
    b = buffer_arg(call, 1);
    if (!b || !check_offset(call, o) || !check_count(call, count)) return;
    if (o >= b->size) { fail(call.c, errs::kBinaryOffsetsBeyondEnd); return; }
    if (o >= b->eod) { fail(call.c, errs::kBinaryOffsetBeyondEod); return; }
    if (static_cast<std::int64_t>(o) + count > b->size) { fail(call.c, errs::kBinaryCountBeyondEnd); return; }
    if (static_cast<std::int64_t>(o) + count > b->eod) { fail(call.c, errs::kBinaryCountBeyondEod); return; }
  }
  ByteFile f;
  if (!f.open(path_arg(call, 3), ByteFile::Mode::open_or_create)) { fail(call.c, errs::kFileOpenFailed); return; }
  if (count == -1) {
    const std::int64_t size = f.size();
    if (size > at) {
      if (!f.seek(at)) { fail(call.c, errs::kBinarySeekFailed); return; }
      if (!f.truncate_here()) fail(call.c, errs::kBinaryWriteFailed);
    } else {
      pad_to(call, f, at);
    }
    return;
  }
  if (!pad_to(call, f, at)) return;
  if (!f.seek(at)) { fail(call.c, errs::kBinarySeekFailed); return; }
  if (!f.write(b->data + o, static_cast<std::size_t>(count))) { fail(call.c, errs::kBinaryWriteFailed); return; }
  make_int(call.result, count);
}

}  // namespace

void register_files(HandlerTable& t) {
  t.add(kw::fn_binaryread, binary_read);
  t.add(kw::fn_binarywrite, binary_write);
  t.add(kw::fn_binaryreadex, read_ex);
  t.add(kw::fn_binarywriteex, write_ex);
}

}  // namespace orv::binary
