#include "builtins/arrays/array_args.h"

#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv::arrays {

ArrayHeader* array_arg(Call& call, int k) {
  const Value& v = arg(call, k);
  // A map is an array value underneath, but not one the array functions may touch.
  if (!(v.flags & vf::kArray) || map_of(call.c, v)) { fail(call.c, errs::kNotAnArray); return nullptr; }
  ArrayHeader* h = call.c.arrays.header(v.str);
  if (!h) fail(call.c, errs::kArrayAccessFailed);
  return h;
}

ArrayHeader* shaped_array_arg(Call& call, int k, int minDims, int maxDims) {
  ArrayHeader* h = array_arg(call, k);
  if (!h) return nullptr;
  if (h->dims == 0 || h->count == 0) { fail(call.c, errs::kArrayEmpty); return nullptr; }
  if (h->dims < minDims || h->dims > maxDims) { fail(call.c, errs::kArrayBadDimensionCount); return nullptr; }
  return h;
}

NewArray::~NewArray() {
  if (handle_) c_.arrays.release(c_, handle_);
}

bool NewArray::create(const Sizes& sizes, bool growthRoom) {
  std::uint16_t err = 0;
  handle_ = c_.arrays.create(sizes, growthRoom, err);
  return handle_ ? true : fail(c_, err);
}

void NewArray::to_result(Call& call) {
  release_value(call.c, call.result);
  call.result.flags = vf::kArray;
  call.result.str = handle_;
  handle_ = 0;
}

void NewArray::replace(std::uint32_t target) {
  c_.arrays.swap_blocks(target, handle_);
  c_.arrays.release(c_, handle_);
  handle_ = 0;
}

bool element_copy(Context& c, const Value& value, Value& element) {
  constexpr std::uint32_t kStorable = vf::kInt | vf::kInt64 | vf::kFloat | vf::kStr | vf::kWide;
  constexpr std::uint32_t kOther = vf::kArray | vf::kFile | vf::kBinary | vf::kCom | vf::kComObject;
  if (!(value.flags & kStorable) || (value.flags & kOther)) return fail(c, errs::kArrInitializeBadType);
  return copy_value(c, value, element);
}

bool element_text(Context& c, const Value& v, std::string& out) { return value_text(c, v, out); }

bool element_text(Context& c, const Value& v, std::u16string& out) {
  if (v.flags & vf::kWide) {
    out = wstr_view(c, v);
    return true;
  }
  std::string t;
  if (!value_text(c, v, t)) return false;
  return platform::ansi_to_utf16(t, out) ? true : fail(c, errs::kNotConvertibleToUnicode);
}

bool store_text(Context& c, Value& v, std::string_view s) { return make_string(c, v, s); }
bool store_text(Context& c, Value& v, std::u16string_view s) { return make_wstring(c, v, s); }

void release_range(Context& c, Value* els, std::uint32_t from, std::uint32_t to) {
  for (std::uint32_t i = from; i < to; ++i) release_value(c, els[i]);
}

}  // namespace orv::arrays
