// Maps as values: keys made from values, element reads and stores, and the
// rule of what a map may hold. The storage itself is engine/map_store.h.
#pragma once
#include "engine/context.h"
#include "engine/map_store.h"

namespace orv {

// A fresh, empty map value in `out` (which must hold nothing); false + 1631.
bool make_map(Context& c, Value& out);
// The key a value names: its text (numbers formatted as everywhere); a UTF-16
// text stays UTF-16. False with 3056 for arrays, maps and other non-texts.
bool map_key_of(Context& c, const Value& v, MapKey& key);
// The key an 8-bit text names, as map_key_of reads a text value.
bool map_key_of_text(Context& c, std::string_view text, MapKey& key);
// The key of an entry as a value: 8-bit when it was written so, else UTF-16.
bool map_key_value(Context& c, const MapStore& map, const MapStore::Entry& e, Value& out);
// Copies the value of `key` into `out`; false with 1880 (naming the key) when missing.
bool map_read(Context& c, MapStore& map, const MapKey& key, Operand& out);
// Stores `value` (taken over, emptied) under `key`, creating the key. A map
// holds no arrays or maps (3647); false with the error set, `value` released.
bool map_store(Context& c, MapStore& map, const MapKey& key, Value& value);

}  // namespace orv
