// DllStructAlloc, DllStructPeek, DllStructPoke, DllStructFree: C structures
// laid out from a descriptor in a binary buffer of exactly their size.
#include <cstring>

#include "builtins/arrays/array_args.h"
#include "builtins/binary/binary_args.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "extend/dll_groups.h"
#include "extend/dll_state.h"
#include "extend/foreign_text.h"

namespace orv::dll {
namespace {

template <typename T>
T load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
void store(std::uint8_t* p, T v) { std::memcpy(p, &v, sizeof v); }

const void* pointer_at(const std::uint8_t* p) {
  return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(load<std::uint32_t>(p)));
}

// A 64-bit member as scripts see it: an integer when it fits 0..2^31-1, else its decimal text.
bool make_int64_value(Context& c, Value& out, std::int64_t v) {
  if (v >= 0 && v <= INT32_MAX) { make_int(out, static_cast<std::int32_t>(v)); return true; }
  return make_string(c, out, int_to_text(v));
}

// Text in a fixed field: up to the first NUL within it.
template <typename Ch>
std::basic_string_view<Ch> field_text(const std::uint8_t* p, std::size_t units) {
  const auto* s = reinterpret_cast<const Ch*>(p);
  std::size_t n = 0;
  while (n < units && s[n] != 0) ++n;
  return {s, n};
}

// The text a pointer member points at; 1843 when it cannot be read.
template <typename Ch>
bool pointed_text(Context& c, const void* at, std::basic_string<Ch>& out) {
  return foreign_text(at, out) || fail(c, errs::kMemoryUnreadable);
}

bool read_element(Context& c, int type, const std::uint8_t* p, Value& out) {
  switch (type) {
    case m_byte: make_int(out, p[0]); return true;
    case m_char: return make_string(c, out, field_text<char>(p, 1));
    case m_wchar: return make_wstring(c, out, field_text<char16_t>(p, 1));
    case m_short: make_int(out, load<std::uint16_t>(p)); return true;
    case m_int64: return make_int64_value(c, out, load<std::int64_t>(p));
    case m_float: make_float(out, load<float>(p)); return true;
    case m_double: make_float(out, load<double>(p)); return true;
    case m_lpstr: {
      std::string text;
      return pointed_text(c, pointer_at(p), text) && make_string(c, out, text);
    }
    case m_lpwstr: {
      std::u16string text;
      return pointed_text(c, pointer_at(p), text) && make_wstring(c, out, text);
    }
    default: make_int(out, load<std::int32_t>(p)); return true;   // int, pointer, handle
  }
}

bool number_of(Context& c, Value& v, std::int64_t& out) {
  if (v.flags & vf::kInt64) { out = v.wide.i64; return true; }
  if (v.flags & vf::kInt) { out = v.i; return true; }
  if (v.flags & vf::kStr) {
    const IntText t = parse_integer_text(str_of(c, v), true);
    if (t.ok) { out = t.value; return true; }
  }
  if (!to_numeric(c, v, true)) return false;
  if (v.flags & vf::kInt64) out = v.wide.i64;
  else if (v.flags & vf::kInt) out = v.i;
  else if (!float_to_int64(v.wide.f, out)) return fail(c, errs::kNotConvertibleToNumber);
  return true;
}

// Pointer members are written as addresses; the text they point at is the
// script's own business (a buffer it keeps alive).
bool write_element(Context& c, int type, std::uint8_t* p, Value& v) {
  std::int64_t n = 0;
  switch (type) {
    case m_float: case m_double:
      if (!to_float(c, v)) return false;
      if (type == m_float) store(p, static_cast<float>(v.wide.f));
      else store(p, v.wide.f);
      return true;
    case m_char: {
      if (!to_string(c, v)) return false;
      p[0] = static_cast<std::uint8_t>(str_of(c, v)[0]);
      return true;
    }
    case m_wchar: {
      if (!to_wide(c, v)) return false;
      store(p, wstr_of(c, v)[0]);
      return true;
    }
    default: {
      // Numbers obey BinaryPoke of the member's width; a refused one leaves the member as it was.
      const int width = member_size(type);
      if (width == 8) {
        if (!binary::poke8_value(c, v, n)) return false;
      } else if (!number_of(c, v, n)) {
        return false;
      } else if (!binary::poke_fits(n, width)) {
        return fail(c, errs::kPokeValueOutOfRange);
      }
      switch (width) {
        case 1: p[0] = static_cast<std::uint8_t>(n); break;
        case 2: store(p, static_cast<std::uint16_t>(n)); break;
        case 8: store(p, n); break;
        default: store(p, static_cast<std::uint32_t>(n)); break;
      }
      return true;
    }
  }
}

struct Site {
  const Member* member = nullptr;
  std::uint8_t* data = nullptr;
};

bool locate(Call& call, Site& site) {
  DllState& s = dll_state(call.c);
  DllStruct* st = s.find_struct(call.args[1].i);
  BinaryBuffer* b = st ? call.c.binaries.find(st->buffer) : nullptr;
  if (!b) return fail(call.c, errs::kBadStructHandle);
  site.member = find_member(st->layout, str_of(call.c, call.args[2]));
  if (!site.member) return fail(call.c, errs::kBadStructDescriptor, str_of(call.c, call.args[2]));
  site.data = b->data + site.member->offset;
  return true;
}

void struct_alloc(Call& call) {
  Context& c = call.c;
  DllState& s = dll_state(c);
  auto st = std::make_unique<DllStruct>();
  std::string detail;
  if (int e = parse_struct_descriptor(str_of(c, call.args[1]), st->layout, detail)) {
    fail(c, static_cast<std::uint16_t>(e), detail);
    return;
  }
  int slot = -1;
  for (int k = 0; k < kStructSlots && slot < 0; ++k)
    if (!s.structs[static_cast<std::size_t>(k)]) slot = k;
  if (slot < 0) { fail(c, errs::kTooManyStructHandles); return; }
  const void* source = nullptr;
  if (call.count >= 2) {
    source = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(call.args[2].i)));
    if (!readable(source, st->layout.size)) { fail(c, errs::kMemoryUnreadable); return; }
  }
  std::uint16_t error = 0;
  st->buffer = c.binaries.allocate(static_cast<std::int32_t>(st->layout.size), error);
  if (!st->buffer) { fail(c, error); return; }
  BinaryBuffer* b = c.binaries.find(st->buffer);
  b->ownedByStruct = true;
  if (source) {
    std::memcpy(b->data, source, st->layout.size);
    b->eod = b->size;
  }
  s.structs[static_cast<std::size_t>(slot)] = std::move(st);
  make_int(call.result, kStructHandleBase + slot);
}

void struct_free(Call& call) {
  DllState& s = dll_state(call.c);
  if (!s.find_struct(call.args[1].i)) { fail(call.c, errs::kBadStructHandle); return; }
  s.free_struct(call.args[1].i);
}

void peek_array(Call& call, const Site& site) {
  const Member& m = *site.member;
  arrays::NewArray a(call.c);
  if (!a.create({m.count, 0, 0, 0, 0})) return;
  const std::uint32_t width = static_cast<std::uint32_t>(member_size(m.type));
  Value* els = a.elements();
  for (std::uint32_t k = 0; k < m.count; ++k)
    if (!read_element(call.c, m.type, site.data + k * width, els[k])) return;
  a.to_result(call);
}

void struct_peek(Call& call) {
  Site site;
  if (!locate(call, site)) return;
  const Member& m = *site.member;
  release_value(call.c, call.result);
  if (m.isArray && m.type == m_char) { make_string(call.c, call.result, field_text<char>(site.data, m.count)); return; }
  if (m.isArray && m.type == m_wchar) {
    make_wstring(call.c, call.result, field_text<char16_t>(site.data, m.count));
    return;
  }
  if (m.isArray) { peek_array(call, site); return; }
  if (!read_element(call.c, m.type, site.data, call.result)) make_int(call.result, 0);
}

// Text members take text cut to the field, NUL-padded.
template <typename Ch>
void poke_text(std::uint8_t* p, std::size_t units, std::basic_string_view<Ch> text) {
  std::memset(p, 0, units * sizeof(Ch));
  std::memcpy(p, text.data(), std::min(units, text.size()) * sizeof(Ch));
}

void poke_array(Call& call, const Site& site, Value& v) {
  const Member& m = *site.member;
  if (!(v.flags & vf::kArray)) { fail(call.c, errs::kNotArrayVariable); return; }
  const ArrayHeader* h = call.c.arrays.header(v.str);
  if (!h) { fail(call.c, errs::kArrayAccessFailed); return; }
  if (h->dims != 1) { fail(call.c, errs::kArrayBadDimensionCount); return; }
  const std::uint32_t width = static_cast<std::uint32_t>(member_size(m.type));
  Value* els = call.c.arrays.elements(v.str);
  const std::uint32_t n = std::min(h->count, m.count);
  for (std::uint32_t k = 0; k < n; ++k) {
    Temp element(call.c);
    if (!copy_value(call.c, els[k], element.op())) return;
    if (!write_element(call.c, m.type, site.data + k * width, element.op())) {
      call.c.error = 0;
      fail(call.c, errs::kArrayAccessFailed);
      return;
    }
  }
}

void struct_poke(Call& call) {
  Site site;
  if (!locate(call, site)) return;
  const Member& m = *site.member;
  Value& v = call.args[3];
  if (m.isArray && m.type == m_char) {
    if (to_string(call.c, v)) poke_text<char>(site.data, m.count, str_of(call.c, v));
  } else if (m.isArray && m.type == m_wchar) {
    if (to_wide(call.c, v)) poke_text<char16_t>(site.data, m.count, wstr_view(call.c, v));
  } else if (m.isArray) {
    poke_array(call, site, v);
  } else {
    write_element(call.c, m.type, site.data, v);
  }
  if (!failed(call.c)) make_int(call.result, 1);
}

}  // namespace

void register_structs(HandlerTable& t) {
  t.add(kw::fn_dllstructalloc, struct_alloc);
  t.add(kw::fn_dllstructfree, struct_free);
  t.add(kw::fn_dllstructpeek, struct_peek);
  t.add(kw::fn_dllstructpoke, struct_poke);
}

}  // namespace orv::dll
