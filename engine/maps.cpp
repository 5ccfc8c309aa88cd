#include "engine/maps.h"

#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv {

bool make_map(Context& c, Value& out) {
  std::uint16_t err = 0;
  const std::uint32_t handle = c.arrays.create_map(err);
  if (!handle) return fail(c, err);
  clear_value(out);
  out.flags = vf::kArray;
  out.str = handle;
  return true;
}

bool map_key_of_text(Context& c, std::string_view text, MapKey& key) {
  key.wide = false;
  if (prepare_ascii_map_key(text, key)) return true;
  if (!platform::ansi_to_utf16(text, key.spelling)) return fail(c, errs::kNotConvertibleToString);
  prepare_map_key(key);
  return true;
}

bool map_key_of(Context& c, const Value& v, MapKey& key) {
  key.wide = false;
  if (v.flags & vf::kArray) return fail(c, errs::kNotConvertibleToString);
  if (v.flags & vf::kWide) {
    key.spelling = wstr_view(c, v);
    key.wide = true;
  } else if (v.flags & vf::kStr) {
    // An 8-bit text (the common key) is read where it lies.
    return map_key_of_text(c, str_view(c, v), key);
  } else {
    std::string text;
    return value_text(c, v, text) && map_key_of_text(c, text, key);
  }
  prepare_map_key(key);
  return true;
}

bool map_key_value(Context& c, const MapStore& map, const MapStore::Entry& e, Value& out) {
  if (e.narrow && !e.wide) return make_string(c, out, map.narrow_spelling_of(e));
  // (Any other entry's spelling goes past ASCII.)
  const std::u16string spelling = map.spelling_of(e);
  std::string text;
  if (e.wide || !platform::utf16_to_ansi(spelling, text)) return make_wstring(c, out, spelling);
  return make_string(c, out, text);
}

bool map_read(Context& c, MapStore& map, const MapKey& key, Operand& out) {
  const Value* v = map.find(key);
  if (!v) {
    std::string name;
    if (!platform::utf16_to_ansi(key.spelling_text(), name)) name.clear();
    return fail(c, errs::kMapNoSuchKey, "\"" + name + "\"");
  }
  return copy_value(c, *v, out);
}

bool map_store(Context& c, MapStore& map, const MapKey& key, Value& value) {
  if (value.flags & vf::kArray) {
    release_value(c, value);
    return fail(c, errs::kEmbeddedArray);
  }
  value.flags &= ~vf::kDeclared;
  bool inserted = false;
  Value& slot = map.insert(key, inserted);
  const Value old = slot;
  slot = value;
  clear_value(value);
  Value released = old;
  release_value(c, released);
  return true;
}

}  // namespace orv
