// BinaryReplace: every occurrence of a text in the data, left to right and
// without overlap, replaced in one pass through a work block; the buffer is
// untouched unless the whole result fits.
#include <cstring>

#include "builtins/binary/binary_args.h"
#include "builtins/binary/byte_search.h"
#include "builtins/binary/work_block.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

void binary_replace(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  std::string_view search = arg_str(call, 2);
  const std::string_view replacement = arg_str(call, 3);
  const bool matchCase = arg_int(call, 4) != 0;
  if (search.empty()) search = std::string_view("\0", 1);
  WorkBlock work(static_cast<std::size_t>(b->size));
  if (!work) { fail(call.c, errs::kNoMemory); return; }
  const std::string_view data = data_view(*b);
  const std::size_t capacity = static_cast<std::size_t>(b->size);
  std::size_t out = 0, from = 0;
  std::int32_t count = 0;
  auto put = [&](const char* p, std::size_t n) {
    if (n == 0) return true;
    if (n > capacity - out) return false;
    std::memcpy(work.data() + out, p, n);
    out += n;
    return true;
  };
  for (;;) {
    const std::size_t at = find_forward(data, search, from, matchCase);
    const std::size_t stop = at == kNoMatch ? data.size() : at;
    if (!put(data.data() + from, stop - from)) { fail(call.c, errs::kBinaryReplaceOverrun); return; }
    if (at == kNoMatch) break;
    if (!put(replacement.data(), replacement.size())) { fail(call.c, errs::kBinaryReplaceOverrun); return; }
    ++count;
    from = at + search.size();
  }
  std::memset(b->data, 0, capacity);
  if (out) std::memcpy(b->data, work.data(), out);
  b->eod = static_cast<std::int32_t>(out);
  make_int(call.result, count);
}

}  // namespace

void register_replace(HandlerTable& t) { t.add(kw::fn_binaryreplace, binary_replace); }

}  // namespace orv::binary
