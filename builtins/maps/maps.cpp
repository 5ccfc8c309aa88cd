// The map functions: making maps from item lists and CSV files, asking for
// and removing keys, and taking keys and values out as arrays. A map
// argument is the caller's own map (the argument shares its block), so
// MapKeyRemove changes the variable it was given.
#include <string>
#include <string_view>
#include <vector>

#include "builtins/arrays/array_args.h"
#include "builtins/arrays/text_file.h"
#include "builtins/families.h"
#include "builtins/text/csv.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/maps.h"
#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv {
namespace {

using arrays::arg;

MapStore* map_arg(Call& call, int k) {
  MapStore* map = map_of(call.c, arg(call, k));
  if (!map) fail(call.c, errs::kNotAMap);
  return map;
}

bool key_arg(Call& call, int k, MapKey& key) { return map_key_of(call.c, arg(call, k), key); }

void key_from_text(std::string_view text, MapKey& key) {
  bool ascii = true;
  for (char ch : text) ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
  if (ascii || !platform::ansi_to_utf16(text, key.spelling)) key.spelling.assign(text.begin(), text.end());
  key.wide = false;
  prepare_map_key(key);
}

void key_from_text(std::u16string_view text, MapKey& key) {
  key.spelling = text;
  key.wide = true;
  prepare_map_key(key);
}

bool store_text_under(Context& c, MapStore& map, const MapKey& key, std::string_view text) {
  Value v{};
  return make_string(c, v, text) && map_store(c, map, key, v);
}

bool store_text_under(Context& c, MapStore& map, const MapKey& key, std::u16string_view text) {
  Value v{};
  return make_wstring(c, v, text) && map_store(c, map, key, v);
}

// The text of argument k in the call's width, or the one character
// `fallback` (none when 0) when it was not given.
template <class Ch>
std::basic_string<Ch> text_arg(Call& call, int k, char fallback) {
  if (call.count < k) return fallback ? std::basic_string<Ch>(1, Ch(fallback)) : std::basic_string<Ch>();
  const Value& v = arg(call, k);
  if constexpr (sizeof(Ch) == 1) return str_of(call.c, v);
  else return std::u16string(wstr_view(call.c, v));
}

// "key=value" items split at `item`; empty items are passed over, an item
// without `kv` fails with 1882. Later items replace earlier ones.
template <class Ch>
bool fill_from_list(Context& c, MapStore& map, std::basic_string_view<Ch> list, Ch kv, Ch item) {
  MapKey key;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(item, start);
    if (end == std::basic_string_view<Ch>::npos) end = list.size();
    const std::basic_string_view<Ch> one = list.substr(start, end - start);
    start = end + 1;
    if (one.empty()) continue;
    const std::size_t at = one.find(kv);
    if (at == std::basic_string_view<Ch>::npos) return fail(c, errs::kMapItemNoDelimiter);
    key_from_text(one.substr(0, at), key);
    if (!store_text_under(c, map, key, one.substr(at + 1))) return false;
  }
  return true;
}

template <class Ch>
void map_create_in(Call& call) {
  Context& c = call.c;
  const std::basic_string<Ch> list = text_arg<Ch>(call, 1, 0);
  const std::basic_string<Ch> kv = text_arg<Ch>(call, 2, '=');
  const std::basic_string<Ch> item = text_arg<Ch>(call, 3, ',');
  if (kv.size() != 1 || item.size() != 1 || kv == item) { fail(c, errs::kBadDelimiter); return; }
  Value made{};
  if (!make_map(c, made)) return;
  if (!fill_from_list<Ch>(c, *map_of(c, made), std::basic_string_view<Ch>(list), kv[0], item[0])) {
    release_value(c, made);
    return;
  }
  release_value(c, call.result);
  call.result.flags = made.flags;
  call.result.str = made.str;
}

void map_create(Call& call) {
  if (call.wide) map_create_in<char16_t>(call);
  else map_create_in<char>(call);
}

void map_key_exist(Call& call) {
  MapStore* map = map_arg(call, 1);
  MapKey key;
  if (map && key_arg(call, 2, key)) make_int(call.result, map->find(key) ? 1 : 0);
}

void map_key_remove(Call& call) {
  MapStore* map = map_arg(call, 1);
  MapKey key;
  if (!map || !key_arg(call, 2, key)) return;
  Value removed{};
  const bool gone = map->erase(key, removed);
  release_value(call.c, removed);
  make_int(call.result, gone ? 1 : 0);
}

void map_key_find(Call& call) {
  MapStore* map = map_arg(call, 1);
  MapKey key;
  if (!map || !key_arg(call, 2, key)) return;
  const Value* found = map->find(key);
  Value answer{};
  if (found) {
    if (!copy_value(call.c, *found, answer)) return;
  } else if (call.count >= 3) {
    if (!copy_value(call.c, arg(call, 3), answer)) return;
  } else if (!make_string(call.c, answer, "")) {
    return;
  }
  release_value(call.c, call.result);
  static_cast<Value&>(call.result) = answer;
}

// A one-dimensional array of one element per key (an empty array for an
// empty map), filled by `fill(entry, element)`.
template <class Fill>
void entries_to_array(Call& call, const MapStore& map, Fill fill) {
  const std::size_t n = map.size();
  if (n > 0x7FFFFFFFu) { fail(call.c, errs::kBadArrayDimension); return; }
  arrays::NewArray made(call.c);
  if (!made.create({static_cast<std::uint32_t>(n), 0, 0, 0, 0})) return;
  Value* els = made.elements();
  bool ok = true;
  std::size_t k = 0;
  map.for_each([&](const MapStore::Entry& e) {
    if (ok) ok = fill(e, els[k++]);
  });
  if (ok) made.to_result(call);
}

void map_keys_get(Call& call) {
  if (const MapStore* map = map_arg(call, 1))
    entries_to_array(call, *map, [&](const MapStore::Entry& e, Value& el) { return map_key_value(call.c, *map, e, el); });
}

void map_values_get(Call& call) {
  if (const MapStore* map = map_arg(call, 1))
    entries_to_array(call, *map, [&](const MapStore::Entry& e, Value& el) { return copy_value(call.c, e.value, el); });
}

// ---- CSV files: one "key,value" line per entry ----

template <class Ch>
bool csv_to_map(Context& c, MapStore& map, std::basic_string_view<Ch> text, std::basic_string_view<Ch> delim) {
  std::vector<text::Span> fields;
  MapKey key;
  return arrays::for_each_line(text, [&](std::basic_string_view<Ch> line, std::size_t number) {
    if (!text::split_csv_line(line, delim, fields)) return arrays::csv_invalid_line(c, number);
    if (fields.empty()) return true;   // a blank line
    if (fields.size() != 2) return arrays::csv_invalid_line(c, number);
    // Blanks are kept, so that a written map reads back as it was.
    key_from_text(text::csv_field(text::span_text(line, fields[0]), delim, true), key);
    const std::basic_string<Ch> value = text::csv_field(text::span_text(line, fields[1]), delim, true);
    return store_text_under(c, map, key, std::basic_string_view<Ch>(value));
  });
}

void map_file_get_csv(Call& call) {
  Context& c = call.c;
  std::string path;
  if (!arrays::path_arg(call, 1, path)) return;
  std::string delim;
  std::u16string wdelim;
  if (!arrays::csv_delimiter_arg(call, 2, delim, wdelim)) return;
  arrays::FileText file;
  if (!arrays::read_text_file(c, path, file)) return;
  Value made{};
  if (!make_map(c, made)) return;
  MapStore& map = *map_of(c, made);
  const bool ok = file.wide ? csv_to_map<char16_t>(c, map, file.utf16, wdelim)
                            : csv_to_map<char>(c, map, file.ansi, delim);
  if (!ok) {
    release_value(c, made);
    return;
  }
  release_value(c, call.result);
  call.result.flags = made.flags;
  call.result.str = made.str;
}

bool key_text(Context& c, const MapStore& map, const MapStore::Entry& e, std::string& out) {
  return platform::utf16_to_ansi(map.spelling_of(e), out) ? true : fail(c, errs::kNotConvertibleToString);
}
bool key_text(Context&, const MapStore& map, const MapStore::Entry& e, std::u16string& out) {
  out = map.spelling_of(e);
  return true;
}

template <class Ch>
bool map_to_csv(Context& c, const MapStore& map, std::basic_string_view<Ch> delim, std::basic_string<Ch>& out) {
  std::basic_string<Ch> field;
  bool ok = true;
  map.for_each([&](const MapStore::Entry& e) {
    if (!ok || !key_text(c, map, e, field)) { ok = false; return; }
    text::append_csv_field(out, field, delim, false);
    out += delim;
    field.clear();
    if (is_assigned(e.value) && !arrays::element_text(c, e.value, field)) { ok = false; return; }
    text::append_csv_field(out, field, delim, false);
    out += Ch('\r');
    out += Ch('\n');
  });
  return ok;
}

void map_file_put_csv(Call& call) {
  Context& c = call.c;
  std::string path;
  if (!arrays::path_arg(call, 1, path)) return;
  const MapStore* map = map_arg(call, 2);
  if (!map) return;
  std::string delim;
  std::u16string wdelim;
  if (!arrays::csv_delimiter_arg(call, 3, delim, wdelim)) return;
  // UTF-16 when anything in the map was written as UTF-16, so nothing is lost.
  arrays::OutText text;
  map->for_each([&](const MapStore::Entry& e) { text.wide = text.wide || e.wide || (e.value.flags & vf::kWide); });
  const bool made = text.wide ? map_to_csv<char16_t>(c, *map, wdelim, text.utf16)
                              : map_to_csv<char>(c, *map, delim, text.ansi);
  if (made && arrays::write_text_file(c, path, text, false))
    make_int(call.result, static_cast<std::int32_t>(map->size()));
}

}  // namespace

void register_map_functions(HandlerTable& t) {
  t.add(kw::fn_mapcreate, map_create);
  t.add(kw::fn_mapkeyexist, map_key_exist);
  t.add(kw::fn_mapkeyremove, map_key_remove);
  t.add(kw::fn_mapkeyfind, map_key_find);
  t.add(kw::fn_mapkeysget, map_keys_get);
  t.add(kw::fn_mapvaluesget, map_values_get);
  t.add(kw::fn_mapfilegetcsv, map_file_get_csv);
  t.add(kw::fn_mapfileputcsv, map_file_put_csv);
}

}  // namespace orv
