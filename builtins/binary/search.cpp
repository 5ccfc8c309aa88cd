// BinaryIndex, BinaryIndexNc, BinaryIndexEx, BinaryIndexBin and BinaryStrCnt:
// finding text or byte patterns in the data (bytes before EOD). An empty
// pattern stands for one NUL byte.
#include <string>

#include "builtins/binary/binary_args.h"
#include "builtins/binary/byte_search.h"
#include "builtins/binary/hex.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

constexpr std::string_view kNulPattern("\0", 1);

// The match offset from `start` in the direction, or kNoMatch.
std::size_t index_of(const BinaryBuffer& b, std::int32_t start, std::string_view pattern, bool backward,
                     bool matchCase) {
  if (pattern.empty()) pattern = kNulPattern;
  const std::string_view data = data_view(b);
  if (!backward) return find_forward(data, pattern, static_cast<std::size_t>(start), matchCase);
  const std::int64_t last = static_cast<std::int64_t>(start) - static_cast<std::int64_t>(pattern.size()) + 1;
  if (last < 0) return kNoMatch;
  return find_backward(data, pattern, static_cast<std::size_t>(last), matchCase);
}

// Checks the buffer and start of a search; nullptr with the error set.
BinaryBuffer* search_site(Call& call, std::int32_t& start) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return nullptr;
  start = arg_int(call, 2);
  if (!check_offset(call, start)) return nullptr;
  if (start >= b->size) { fail(call.c, errs::kIndexOffsetBeyondEnd); return nullptr; }
  return b;
}

// Match case: 0 ignores case, anything else matches it. `notFound` is the
// result when there is no match.
template <int CaseMode, int NotFound>
void index(Call& call) {
  std::int32_t start = 0;
  BinaryBuffer* b = search_site(call, start);
  if (!b) return;
  const bool matchCase = CaseMode == 1 || (CaseMode == 2 && (call.count < 5 || arg_int(call, 5) != 0));
  const std::size_t at = index_of(*b, start, arg_str(call, 3), arg_int(call, 4) != 0, matchCase);
  make_int(call.result, at == kNoMatch ? NotFound : static_cast<std::int32_t>(at));
}

// The pattern of BinaryIndexBin: a hex string, or the data of a buffer
// (viewed in place; `hex` holds the bytes of a hex string).
bool pattern_arg(Call& call, std::string& hex, std::string_view& out) {
  const Value& item = call.args[3];
  if (item.flags & vf::kStr) {
    if (!hex_decode(str_of(call.c, item), hex)) return fail(call.c, errs::kIndexBinBadHex);
    out = hex;
    return true;
  }
  if (item.flags & vf::kInt) {
    if (const BinaryBuffer* p = call.c.binaries.find(item.i)) {
      out = data_view(*p);
      return true;
    }
  }
  return fail(call.c, errs::kIndexBinItemNotHex);
}

void index_bin(Call& call) {
  std::int32_t start = 0;
  BinaryBuffer* b = search_site(call, start);
  std::string hex;
  std::string_view pattern;
  if (!b || !pattern_arg(call, hex, pattern)) return;
  const std::size_t at = index_of(*b, start, pattern, arg_int(call, 4) != 0, arg_int(call, 5) != 0);
  make_int(call.result, at == kNoMatch ? -1 : static_cast<std::int32_t>(at));
}

void str_cnt(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  std::int32_t start = arg_int(call, 2), end = arg_int(call, 3);
  if (start > end) std::swap(start, end);
  if (start < 0 || end >= b->size) { fail(call.c, errs::kIndexOffsetBeyondEnd); return; }
  if (end >= b->eod) { fail(call.c, errs::kBinaryOffsetBeyondEod); return; }
  const std::string_view pattern = arg_str(call, 4), data = data_view(*b);
  std::int32_t found = 0;
  if (!pattern.empty()) {
    for (std::size_t at = static_cast<std::size_t>(start);;) {
      at = data.find(pattern, at);
      if (at == kNoMatch || at > static_cast<std::size_t>(end)) break;
      ++found;
      at += pattern.size();
    }
  }
  make_int(call.result, found);
}

}  // namespace

void register_search(HandlerTable& t) {
  t.add(kw::fn_binaryindex, index<1, 0>);
  t.add(kw::fn_binaryindexnc, index<0, 0>);
  t.add(kw::fn_binaryindexex, index<2, -1>);
  t.add(kw::fn_binaryindexbin, index_bin);
  t.add(kw::fn_binarystrcnt, str_cnt);
}

}  // namespace orv::binary
