#include "builtins/binary/binary_args.h"

#include <array>
#include <string>
#include "engine/error_numbers.h"
#include "platform/text_case.h"

namespace orv::binary {

BinaryBuffer* buffer_arg(Call& call, int k) {
  BinaryBuffer* b = call.c.binaries.find(arg_int(call, k));
  if (!b) fail(call.c, errs::kBadBinaryHandle);
  return b;
}

bool check_offset(Call& call, std::int64_t offset) { return offset >= 0 || fail(call.c, errs::kBinaryBadOffset); }
bool check_count(Call& call, std::int64_t count) { return count >= 0 || fail(call.c, errs::kBinaryBadCount); }

const std::uint8_t* upper_table() {
  static const std::array<std::uint8_t, 256> table = [] {
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
      std::string s(1, static_cast<char>(i));
      if (i != 0) platform::upper_ansi(s);
      t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(s.size() == 1 ? s[0] : static_cast<char>(i));
    }
    return t;
  }();
  return table.data();
}

bool set_string(Call& call, std::string_view text) {
  release_value(call.c, call.result);
  return make_string(call.c, call.result, text);
}

}  // namespace orv::binary

namespace orv::binary {

char* string_result(Call& call, std::size_t length) {
  release_value(call.c, call.result);
  clear_value(call.result);
  if (length > 0x7FFF0000u) { fail(call.c, errs::kOutOfMemory); return nullptr; }
  const std::uint32_t h = call.c.heap.alloc(static_cast<std::uint32_t>(length + 1));
  if (!h) { fail(call.c, errs::kOutOfMemory); return nullptr; }
  char* p = call.c.heap.ptr(h);
  p[length] = '\0';
  call.result.str = h;
  call.result.flags = vf::kStr;
  return p;
}

char16_t* wide_string_result(Call& call, std::size_t units) {
  release_value(call.c, call.result);
  clear_value(call.result);
  if (units > 0x3FFF0000u) { fail(call.c, errs::kOutOfMemory); return nullptr; }
  const std::uint32_t h = call.c.heap.alloc(static_cast<std::uint32_t>((units + 1) * 2));
  if (!h) { fail(call.c, errs::kOutOfMemory); return nullptr; }
  auto* p = reinterpret_cast<char16_t*>(call.c.heap.ptr(h));
  p[units] = u'\0';
  call.result.wstr = h;
  call.result.flags = vf::kWide;
  return p;
}

}  // namespace orv::binary
