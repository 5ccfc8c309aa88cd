#include "engine/value_ops.h"

#include <cstring>

#include "engine/error_numbers.h"
#include "engine/object_hooks.h"
#include "engine/file_hooks.h"
#include "engine/sizes.h"

namespace orv {

namespace {

// The most units a text may hold (room kept for the terminator).
template <class Ch>
constexpr std::uint64_t kMaxTextUnits = kMaxStringBytes / sizeof(Ch) - 1;

// The pieces joined into a new block with its terminator; 0 and 3096 when
// the total is beyond what a text may hold or the heap cannot grow.
template <class Ch>
std::uint32_t heap_joined(Context& c, const std::basic_string_view<Ch>* pieces, std::size_t count,
                          std::uint64_t& units) {
  units = 0;
  for (std::size_t k = 0; k < count; ++k) units += pieces[k].size();
  if (units > kMaxTextUnits<Ch>) { fail(c, errs::kOutOfMemory); return 0; }
  const std::uint32_t h = c.heap.alloc(static_cast<std::uint32_t>((units + 1) * sizeof(Ch)));
  if (h == 0) { fail(c, errs::kOutOfMemory); return 0; }
  char* p = c.heap.ptr(h);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t bytes = pieces[k].size() * sizeof(Ch);
    if (bytes) std::memcpy(p, pieces[k].data(), bytes);
    p += bytes;
  }
  std::memset(p, 0, sizeof(Ch));
  return h;
}

template <class Ch>
bool make_joined(Context& c, Value& v, std::initializer_list<std::basic_string_view<Ch>> pieces, std::uint32_t flag) {
  clear_value(v);
  std::uint64_t units = 0;
  const std::uint32_t h = heap_joined<Ch>(c, pieces.begin(), pieces.size(), units);
  if (!h) return false;
  c.heap.remember_length(h, static_cast<std::uint32_t>(units), sizeof(Ch));
  if (flag == vf::kStr) v.str = h;
  else v.wstr = h;
  v.flags = flag;
  return true;
}

}  // namespace

// (One piece, the common case, without the join's loops.)
std::uint32_t heap_string(Context& c, std::string_view text) {
  if (text.size() > kMaxTextUnits<char>) { fail(c, errs::kOutOfMemory); return 0; }
  const auto size = static_cast<std::uint32_t>(text.size());
  const std::uint32_t h = c.heap.alloc(size + 1);
  if (h == 0) { fail(c, errs::kOutOfMemory); return 0; }
  char* p = c.heap.ptr(h);
  if (size) std::memcpy(p, text.data(), size);
  p[size] = '\0';
  return h;
}

std::uint32_t heap_wstring(Context& c, std::u16string_view text) {
  std::uint64_t units = 0;
  return heap_joined<char16_t>(c, &text, 1, units);
}

bool make_joined_string(Context& c, Value& v, std::initializer_list<std::string_view> pieces) {
  return make_joined<char>(c, v, pieces, vf::kStr);
}

bool make_joined_wstring(Context& c, Value& v, std::initializer_list<std::u16string_view> pieces) {
  return make_joined<char16_t>(c, v, pieces, vf::kWide);
}

std::string_view long_str_view(const Context& c, const Value& v) {
  const char* p = c.heap.ptr(v.str);
  std::uint32_t n = c.heap.known_length(v.str, 1);
  if (n == StringHeap::kUnknownLength) {
    n = static_cast<std::uint32_t>(std::strlen(p));
    c.heap.remember_length(v.str, n, 1);
  }
  return {p, n};
}

std::u16string_view wstr_view(const Context& c, const Value& v) {
  const char* p = c.heap.ptr(v.wstr);
  std::uint32_t n = c.heap.known_length(v.wstr, 2);
  if (n == StringHeap::kUnknownLength) {
    n = 0;
    while (p[2 * n] != 0 || p[2 * n + 1] != 0) ++n;
    c.heap.remember_length(v.wstr, n, 2);
  }
  return {reinterpret_cast<const char16_t*>(p), n};
}

void release_value(Context& c, Value& v) {
  if (v.flags == vf::kStr) {   // the common payload: one 8-bit text
    const std::uint32_t text = v.str;
    std::memset(static_cast<void*>(&v), 0, sizeof(Value));
    c.heap.free(text);
    return;
  }
  if ((v.flags & vf::kStr) && v.str && !(v.flags & vf::kArray)) c.heap.free(v.str);
  if ((v.flags & vf::kWide) && v.wstr) c.heap.free(v.wstr);
  if ((v.flags & vf::kArray) && v.str) c.arrays.release(c, v.str);
  if (v.flags & vf::kCom) com_release_payload(c, v);
  if (v.flags & vf::kFile) files::release_file_ref(c, v.i);
  std::memset(static_cast<void*>(&v), 0, sizeof(Value));
}

bool copy_value(Context& c, const Value& src, Value& dst) {
  dst = src;
  dst.str = 0;
  dst.wstr = 0;
  dst.flags &= ~(vf::kStr | vf::kWide);
  if ((src.flags & vf::kCom) && !com_copy_payload(c, src, dst)) {
    std::memset(static_cast<void*>(&dst), 0, sizeof(Value));
    return false;
  }
  if (src.flags & vf::kArray) {
    dst.str = src.str;
    c.arrays.add_ref(src.str);
  }
  if (src.flags & vf::kFile) files::add_file_ref(c, src.i);
  if ((src.flags & vf::kStr) && !(src.flags & vf::kArray)) {
    const std::string_view text = str_view(c, src);
    dst.str = heap_string(c, text);
    if (!dst.str) { release_value(c, dst); return false; }
    c.heap.remember_length(dst.str, static_cast<std::uint32_t>(text.size()), 1);
    dst.flags |= vf::kStr;
  }
  if (src.flags & vf::kWide) {
    dst.wstr = heap_wstring(c, wstr_view(c, src));
    if (!dst.wstr) { release_value(c, dst); return false; }
    dst.flags |= vf::kWide;
  }
  return true;
}

bool make_string(Context& c, Value& v, std::string_view text) {
  clear_value(v);
  v.str = heap_string(c, text);
  if (!v.str) return false;
  v.flags = vf::kStr;
  return true;
}

bool make_wstring(Context& c, Value& v, std::u16string_view text) {
  clear_value(v);
  v.wstr = heap_wstring(c, text);
  if (!v.wstr) return false;
  v.flags = vf::kWide;
  return true;
}

}  // namespace orv
