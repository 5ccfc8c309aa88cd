// BinaryComp and BinaryUncomp: plain zlib streams between buffers. Output goes
// to a work block first, so a failing call leaves the target as it was.
#include <cstring>
#include <zlib.h>

#include "builtins/binary/binary_args.h"
#include "builtins/binary/checksums.h"
#include "builtins/binary/work_block.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

// zlib's one-call forms take 32-bit lengths on the product build.
constexpr std::size_t kMaxStream = 0x7FFFFFFF;

std::int64_t finish(int rc, uLongf produced, const WorkBlock& work, std::uint8_t* out) {
  if (rc != Z_OK) return -1;
  if (produced) std::memcpy(out, work.data(), produced);
  return static_cast<std::int64_t>(produced);
}

}  // namespace

std::int64_t compress_bytes(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t capacity, int level) {
  if (n > kMaxStream || capacity > kMaxStream) return -1;
  WorkBlock work(capacity);
  if (!work) return -1;
  uLongf produced = static_cast<uLongf>(capacity);
  const int rc = compress2(work.data(), &produced, in, static_cast<uLong>(n), level);
  return finish(rc, produced, work, out);
}

std::int64_t uncompress_bytes(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t capacity) {
  if (n > kMaxStream || capacity > kMaxStream) return -1;
  WorkBlock work(capacity);
  if (!work) return -1;
  uLongf produced = static_cast<uLongf>(capacity);
  const int rc = uncompress(work.data(), &produced, in, static_cast<uLong>(n));
  return finish(rc, produced, work, out);
}

namespace {

void binary_comp(Call& call) {
  BinaryBuffer* src = buffer_arg(call, 1);
  BinaryBuffer* dst = src ? buffer_arg(call, 2) : nullptr;
  if (!dst) return;
  const int level = call.count >= 3 ? arg_int(call, 3) : Z_DEFAULT_COMPRESSION;
  const std::int64_t n = compress_bytes(src->data, static_cast<std::size_t>(src->eod), dst->data,
                                        static_cast<std::size_t>(dst->size), level);
  if (n < 0) { fail(call.c, errs::kCompressFailed); return; }
  dst->eod = static_cast<std::int32_t>(n);
  make_int(call.result, dst->eod);
}

void binary_uncomp(Call& call) {
  BinaryBuffer* src = buffer_arg(call, 1);
  BinaryBuffer* dst = src ? buffer_arg(call, 2) : nullptr;
  if (!dst) return;
  const std::int64_t n =
      uncompress_bytes(src->data, static_cast<std::size_t>(src->eod), dst->data, static_cast<std::size_t>(dst->size));
  if (n < 0) { fail(call.c, errs::kUncompressFailed); return; }
  dst->eod = static_cast<std::int32_t>(n);
  make_int(call.result, dst->eod);
}

}  // namespace

void register_compress(HandlerTable& t) {
  t.add(kw::fn_binarycomp, binary_comp);
  t.add(kw::fn_binaryuncomp, binary_uncomp);
}

}  // namespace orv::binary
