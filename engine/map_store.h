// The storage of one map: text keys compared without regard to case, kept in
// the order they were first inserted, found through a hash index. Entries
// hold value records; their payloads belong to whoever releases the map
// (the array table), so the store itself never touches the string heap.
// Key texts live in one shared buffer beside the entries, named by offset:
// a map of a million short keys then costs little more than its values.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace orv {

// A key as a map looks it up: the text in UTF-16 as written, its folded
// (lower-case) form and the hash of the folded form.
struct MapKey {
  std::u16string spelling;
  std::u16string folded;
  std::uint32_t hash = 0;
  bool wide = false;   // written as a UTF-16 text (else 8-bit)
};

// Fills folded and hash from spelling.
void prepare_map_key(MapKey& key);
// Fills the whole key from an 8-bit text in one pass, when it is ASCII
// (false otherwise: the key is then to be made the general way).
bool prepare_ascii_map_key(std::string_view text, MapKey& key);

class MapStore {
 public:
  struct Entry {
    Value value{};
    std::uint32_t hash = 0;
    std::uint32_t seq = 0;       // insertion order, rising; positions of ForEach
    std::uint32_t keyAt = 0;     // the folded key's first unit in the key buffer
    std::uint32_t keyUnits = 0;
    // Units of the spelling, which follows the folded key in the buffer;
    // kSameSpelling when the key was written in its folded form.
    std::uint32_t spellingUnits = kSameSpelling;
    bool wide = false;
    bool live = true;
  };
  static constexpr std::uint32_t kSameSpelling = 0xFFFFFFFFu;

  // The value of a key, or nullptr.
  Value* find(const MapKey& key);
  // The value of a key, inserted empty (flags 0) when missing. The reference
  // is good until the next insertion or removal.
  Value& insert(const MapKey& key, bool& inserted);
  // Removes a key; its value moves to `removed` for the caller to release.
  bool erase(const MapKey& key, Value& removed);

  std::size_t size() const { return live_; }
  // The first live entry at or after insertion position `seq`, or nullptr;
  // stable while the body of a loop inserts and removes keys.
  const Entry* at_or_after(std::uint32_t seq) const;
  // Live entries in insertion order.
  template <class Fn>
  void for_each(Fn&& fn) const {
    for (const Entry& e : entries_)
      if (e.live) fn(e);
  }
  template <class Fn>
  void for_each_value(Fn&& fn) {
    for (Entry& e : entries_)
      if (e.live) fn(e.value);
  }
  // Entries and index hold room for `count` keys (a copy of another map).
  void reserve(std::size_t count);
  // The key folded to lower case, and as written, in UTF-16; good until the
  // next insertion or removal.
  std::u16string_view folded_of(const Entry& e) const { return {keys_.data() + e.keyAt, e.keyUnits}; }
  // Units the entry's texts take in the key buffer.
  static std::size_t stored_units(const Entry& e) {
    return e.keyUnits + (e.spellingUnits == kSameSpelling ? 0 : e.spellingUnits);
  }
  std::u16string_view spelling_of(const Entry& e) const {
    if (e.spellingUnits == kSameSpelling) return folded_of(e);
    return {keys_.data() + e.keyAt + e.keyUnits, e.spellingUnits};
  }

 private:
  static constexpr std::uint32_t kEmpty = 0, kGone = 0xFFFFFFFFu;
  std::uint32_t probe(const MapKey& key, bool& found) const;
  void rebuild(std::size_t slots);
  void compact();

  // Appends the key's texts to the buffer and points `e` at them.
  void store_key(const MapKey& key, Entry& e);

  std::vector<Entry> entries_;
  std::vector<char16_t> keys_;         // the key texts of live and removed entries
  // An index slot keeps its entry's hash, so a probe passes other keys
  // without reading their entries.
  struct Slot {
    std::uint32_t entry;   // entry number + 1, kEmpty or kGone
    std::uint32_t hash;
  };
  std::vector<Slot> index_;
  std::size_t live_ = 0;
  std::size_t used_ = 0;               // index slots not kEmpty
  std::uint32_t nextSeq_ = 0;
};

}  // namespace orv
