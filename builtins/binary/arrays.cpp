// BinaryAllocArray: a new buffer holding an array's elements as packed
// little-endian numbers, in storage (row-major) order, ready for a DLL call
// that takes a C array. The element layout is the optional type word:
// "byte", "word", "long" (the default), "longlong" or "double".
#include <cstring>
#include <string>

#include "builtins/binary/binary_args.h"
#include "engine/error_numbers.h"
#include "engine/arrays.h"
#include "engine/convert.h"
#include "engine/keyword_ids.h"
#include "engine/sizes.h"
#include "engine/value_ops.h"

namespace orv::binary {
namespace {

enum class Layout { byte, word, long32, long64, real };

int width_of(Layout l) {
  switch (l) {
    case Layout::byte: return 1;
    case Layout::word: return 2;
    case Layout::long32: return 4;
    default: return 8;
  }
}

bool layout_arg(Call& call, Layout& out) {
  out = Layout::long32;
  if (call.count < 2) return true;
  Temp word(call.c);
  if (!copy_value(call.c, call.args[2], word.op()) || !to_string(call.c, word.op())) return false;
  std::string name = str_of(call.c, word.op());
  for (char& ch : name)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  if (name == "byte") out = Layout::byte;
  else if (name == "word") out = Layout::word;
  else if (name == "long") out = Layout::long32;
  else if (name == "longlong") out = Layout::long64;
  else if (name == "double") out = Layout::real;
  else return fail(call.c, errs::kBadFlags);
  return true;
}

// Stores one element at `at`; an unassigned element is 0.
bool store_element(Context& c, const Value& element, Layout layout, std::uint8_t* at) {
  if (!is_assigned(element)) return true;
  if (element.flags & (vf::kArray | vf::kFile | vf::kBinary | vf::kCom | vf::kComObject)) return fail(c, errs::kNotConvertibleToNumber);
  Temp temp(c);
  Value& v = temp.op();
  if (!copy_value(c, element, v)) return false;
  if (layout == Layout::real) {
    if (!to_float(c, v)) return false;
    std::memcpy(at, &v.wide.f, 8);
    return true;
  }
  if (!to_numeric(c, v, true)) return false;
  std::int64_t n = 0;
  if (v.flags & vf::kInt64) n = v.wide.i64;
  else if (v.flags & vf::kInt) n = v.i;
  else if (!float_to_int64(v.wide.f, n)) return fail(c, errs::kPokeValueOutOfRange);
  const int width = width_of(layout);
  if (!poke_fits(n, width)) return fail(c, errs::kPokeValueOutOfRange);
  for (int k = 0; k < width; ++k) at[k] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(n) >> (8 * k));
  return true;
}

void alloc_array(Call& call) {
  Context& c = call.c;
  const Value& a = call.args[1];
  if (!(a.flags & vf::kArray)) { fail(c, errs::kNotArrayVariable); return; }
  const ArrayHeader* h = c.arrays.header(a.str);
  if (!h) { fail(c, errs::kNotArrayVariable); return; }
  Layout layout{};
  if (!layout_arg(call, layout)) return;
  if (call.count > 2) { fail(c, errs::kWrongArgumentCount, "BinaryAllocArray: array [, type]"); return; }
  const std::uint64_t bytes = static_cast<std::uint64_t>(h->count) * static_cast<std::uint64_t>(width_of(layout));
  if (bytes > 0x7FFFFFFF || !block_room(c, bytes, errs::kBinaryAllocFailed)) {
    if (!c.error) fail(c, errs::kBinaryAllocFailed);
    return;
  }
  std::uint16_t error = 0;
  const std::int32_t handle = c.binaries.allocate(static_cast<std::int32_t>(bytes), error);
  if (!handle) { fail(c, error); return; }
  BinaryBuffer* b = c.binaries.find(handle);
  const Value* elements = c.arrays.elements(a.str);
  for (std::uint32_t i = 0; i < h->count; ++i) {
    if (!store_element(c, elements[i], layout, b->data + static_cast<std::size_t>(i) * width_of(layout))) {
      c.binaries.release(handle);   // a failing call leaves no buffer behind
      return;
    }
  }
  b->eod = static_cast<std::int32_t>(bytes);
  make_int(call.result, handle);
  call.result.flags |= vf::kBinary;
}

}  // namespace

void register_arrays(HandlerTable& t) { t.add(kw::fn_binaryallocarray, alloc_array); }

}  // namespace orv::binary
