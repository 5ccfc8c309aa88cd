// The storage of one map: text keys compared without regard to case, kept in
// the order they were first inserted, found through a hash index. Entries
// hold value records; their payloads belong to whoever releases the map
// (the array table), so the store itself never touches the string heap.
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

class MapStore {
 public:
  struct Entry {
    std::u16string folded;
    std::u16string spelling;   // empty when it equals `folded`
    Value value{};
    std::uint32_t hash = 0;
    std::uint32_t seq = 0;     // insertion order, rising; positions of ForEach
    bool wide = false;
    bool live = true;
  };

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
  // The key as written, in UTF-16.
  static const std::u16string& spelling_of(const Entry& e) { return e.spelling.empty() ? e.folded : e.spelling; }

 private:
  static constexpr std::uint32_t kEmpty = 0, kGone = 0xFFFFFFFFu;
  std::uint32_t probe(const MapKey& key, bool& found) const;
  void rebuild(std::size_t slots);
  void compact();

  std::vector<Entry> entries_;
  std::vector<std::uint32_t> index_;   // entry number + 1, kEmpty or kGone
  std::size_t live_ = 0;
  std::size_t used_ = 0;               // index slots not kEmpty
  std::uint32_t nextSeq_ = 0;
};

}  // namespace orv
