// BinaryConvert: the data between ANSI, OEM, other 8-bit code pages and
// UTF-16, with optional case mapping; the new text replaces the data.
#include <cstring>
#include <new>
#include <string>

#include "builtins/binary/binary_args.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/codepage.h"
#include "platform/text_case.h"

namespace orv::binary {
namespace {

constexpr int kAnsi = 0, kOem = 1, kUtf16 = 3;

template <class S>
void apply_case(S& s, std::int32_t flags) {
  if constexpr (sizeof(typename S::value_type) == 1) {
    if (flags == 1) platform::upper_ansi(s);
    if (flags == 2) platform::lower_ansi(s);
  } else {
    if (flags == 1) platform::upper_utf16(s);
    if (flags == 2) platform::lower_utf16(s);
  }
}

// The converted bytes; false with the error set.
bool convert_bytes(Call& call, std::string_view data, int from, int to, unsigned codePage, std::int32_t flags,
                   std::string& out) {
  if (from == kUtf16) {
    if (data.size() % 2 != 0) return fail(call.c, errs::kBinaryConvertFailed);   // half a unit is no text
    std::u16string text(data.size() / 2, u'\0');
    std::memcpy(text.data(), data.data(), text.size() * 2);
    apply_case(text, flags);
    if (to == kUtf16) {
      out.assign(reinterpret_cast<const char*>(text.data()), text.size() * 2);
      return true;
    }
    return platform::utf16_to_codepage(text, codePage, out) || fail(call.c, errs::kBinaryConvertFailed);
  }
  std::string text(data);
  apply_case(text, flags);
  if (to == kUtf16) {
    std::u16string wide;
    if (!platform::codepage_to_utf16(text, codePage, wide)) return fail(call.c, errs::kBinaryConvertFailed);
    out.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    return true;
  }
  if (from == kAnsi && to == kOem && !platform::ansi_to_oem(text)) return fail(call.c, errs::kBinaryConvertFailed);
  if (from == kOem && to == kAnsi && !platform::oem_to_ansi(text)) return fail(call.c, errs::kBinaryConvertFailed);
  out = std::move(text);
  return true;
}

void binary_convert(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  const std::int32_t from = arg_int(call, 2), to = arg_int(call, 3), flags = arg_int(call, 5);
  if (from < 0 || from > 3 || to < 0 || to > 3) { fail(call.c, errs::kBinaryConvertBadType); return; }
  if (flags == 3) { fail(call.c, errs::kBinaryConvertFlagClash); return; }
  if (flags < 0 || flags > 2) { fail(call.c, errs::kBinaryConvertBadFlags); return; }
  if (b->eod == 0) return;
  std::string out;
  try {
    if (!convert_bytes(call, data_view(*b), from, to, static_cast<unsigned>(arg_int(call, 4)), flags, out)) return;
  } catch (const std::bad_alloc&) {
    fail(call.c, errs::kBinaryWriteExNoMemory);   // the copies of a large buffer did not fit in memory
    return;
  }
  if (out.size() > static_cast<std::size_t>(b->size)) { fail(call.c, errs::kBinaryConvertNoSpace); return; }
  std::memcpy(b->data, out.data(), out.size());
  b->eod = static_cast<std::int32_t>(out.size());
  make_int(call.result, b->eod);
}

}  // namespace

void register_convert(HandlerTable& t) { t.add(kw::fn_binaryconvert, binary_convert); }

}  // namespace orv::binary
