// The map store: keys found without regard to case under their first
// spelling, insertion order through updates, removals and re-insertions, loop
// positions that survive compaction; and maps as values: copies that share
// nothing, and releases that give every heap string back.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/error_numbers.h"
#include "engine/arrays.h"
#include "engine/maps.h"
#include "tests/unit/engine_fixture.h"

namespace orv {
namespace {

MapKey key_of(std::u16string text) {
  MapKey k;
  k.spelling = std::move(text);
  prepare_map_key(k);
  return k;
}

void put(MapStore& m, const std::u16string& key, std::int32_t value) {
  bool inserted = false;
  Value& v = m.insert(key_of(key), inserted);
  v.flags = vf::kInt;
  v.i = value;
}

std::u16string digits(int i) {
  const std::string s = std::to_string(i);
  return std::u16string(s.begin(), s.end());
}

std::u16string order_of(const MapStore& m) {
  std::u16string out;
  m.for_each([&](const MapStore::Entry& e) {
    out += m.spelling_of(e);
    out += u"|";
  });
  return out;
}

TEST(MapStoreTest, KeysMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
  MapStore m;
  put(m, u"Apple", 1);
  put(m, u"APPLE", 2);
  put(m, u"", 3);
  put(m, u"\u00c9t\u00e9", 4);
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m.find(key_of(u"aPPle"))->i, 2);
  EXPECT_EQ(m.find(key_of(u""))->i, 3);
  EXPECT_EQ(m.find(key_of(u"\u00e9T\u00c9"))->i, 4);
  EXPECT_EQ(m.find(key_of(u"appl")), nullptr);
  EXPECT_EQ(order_of(m), u"Apple||\u00c9t\u00e9|");
}

TEST(MapStoreTest, OrderIsFirstInsertionAndARemovedKeyComesBackLast) {
  MapStore m;
  for (const char16_t* k : {u"c", u"a", u"b"}) put(m, k, 1);
  put(m, u"A", 5);   // an update keeps the place
  EXPECT_EQ(order_of(m), u"c|a|b|");
  Value removed{};
  EXPECT_TRUE(m.erase(key_of(u"C"), removed));
  EXPECT_EQ(removed.i, 1);
  EXPECT_FALSE(m.erase(key_of(u"c"), removed));
  put(m, u"C", 7);
  EXPECT_EQ(order_of(m), u"a|b|C|");
  EXPECT_EQ(m.find(key_of(u"a"))->i, 5);
}

TEST(MapStoreTest, ManyKeysSurviveGrowthRemovalAndCompaction) {
  MapStore m;
  const int n = 100000;
  for (int i = 0; i < n; ++i) put(m, u"Key" + digits(i), i);
  ASSERT_EQ(m.size(), static_cast<std::size_t>(n));
  Value removed{};
  for (int i = 0; i < n; i += 2) ASSERT_TRUE(m.erase(key_of(u"KEY" + digits(i)), removed));
  ASSERT_EQ(m.size(), static_cast<std::size_t>(n / 2));
  int expected = 1;
  bool inOrder = true;
  m.for_each([&](const MapStore::Entry& e) {
    inOrder = inOrder && e.value.i == expected;
    expected += 2;
  });
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(expected, n + 1);
}

TEST(MapStoreTest, LoopPositionsStayRightWhenRemovalsCompactTheStore) {
  MapStore m;
  for (int i = 0; i < 300; ++i) put(m, u"k" + std::u16string(1, char16_t(0x4E00 + i)), i);
  std::uint32_t position = 0;
  std::vector<std::int32_t> seen;
  while (const MapStore::Entry* e = m.at_or_after(position)) {
    seen.push_back(e->value.i);
    position = e->seq + 1;
    if (e->value.i == 10) {   // removes enough keys after this one to compact
      Value removed{};
      for (int i = 11; i < 250; ++i) m.erase(key_of(u"K" + std::u16string(1, char16_t(0x4E00 + i))), removed);
      put(m, u"late", 999);
    }
  }
  ASSERT_EQ(seen.size(), 11u + 50u + 1u);
  EXPECT_EQ(seen[10], 10);
  EXPECT_EQ(seen[11], 250);
  EXPECT_EQ(seen.back(), 999);
}

// Keys whose hashes all collide are told apart by their text, through
// removals that leave gaps in the probe chain and the compaction that
// rebuilds the key texts of the survivors, spellings included.
TEST(MapStoreTest, CollidingKeysAndCompactionKeepTextsAndSpellings) {
  MapStore m;
  auto colliding = [](const std::u16string& text) {
    MapKey k = key_of(text);
    k.hash = 7;
    return k;
  };
  const int n = 200;
  for (int i = 0; i < n; ++i) {
    bool inserted = false;
    Value& v = m.insert(colliding(u"Key" + digits(i)), inserted);
    ASSERT_TRUE(inserted);
    v.flags = vf::kInt;
    v.i = i;
  }
  Value removed{};
  for (int i = 0; i < n; ++i) {
    if (i % 4 != 3) {
      ASSERT_TRUE(m.erase(colliding(u"kEY" + digits(i)), removed));
    }
  }
  ASSERT_EQ(m.size(), static_cast<std::size_t>(n / 4));
  for (int i = 0; i < n; ++i) {
    const Value* v = m.find(colliding(u"KEY" + digits(i)));
    if (i % 4 == 3) {
      ASSERT_NE(v, nullptr);
      EXPECT_EQ(v->i, i);
    } else {
      EXPECT_EQ(v, nullptr);
    }
  }
  std::u16string expected;
  for (int i = 3; i < n; i += 4) expected += u"Key" + digits(i) + u"|";
  EXPECT_EQ(order_of(m), expected);
  bool inserted = true;
  m.insert(colliding(u"key3"), inserted);
  EXPECT_FALSE(inserted);
}

// Keys whose hashes start at the same index slot but differ beyond it: a
// removed key's slot taken again by another key answers for the new one.
TEST(MapStoreTest, SlotsLeftByRemovedKeysServeKeysOfOtherHashes) {
  MapStore m;
  auto near = [](int i) {
    MapKey k = key_of(u"n" + digits(i));
    k.hash = 5 + (static_cast<std::uint32_t>(i) << 24);   // the index's low bits alike
    return k;
  };
  bool inserted = false;
  for (int i = 0; i < 8; ++i) {
    Value& v = m.insert(near(i), inserted);
    v.flags = vf::kInt;
    v.i = i;
  }
  Value removed{};
  for (int i = 0; i < 8; i += 2) ASSERT_TRUE(m.erase(near(i), removed));
  for (int i = 8; i < 12; ++i) {
    Value& v = m.insert(near(i), inserted);
    ASSERT_TRUE(inserted);
    v.flags = vf::kInt;
    v.i = i;
  }
  for (int i = 0; i < 12; ++i) {
    const Value* v = m.find(near(i));
    if (i < 8 && i % 2 == 0) {
      EXPECT_EQ(v, nullptr) << i;
    } else {
      ASSERT_NE(v, nullptr) << i;
      EXPECT_EQ(v->i, i);
    }
  }
  m.insert(near(9), inserted);
  EXPECT_FALSE(inserted);
  EXPECT_EQ(m.size(), 8u);
}

// The one-pass key of an ASCII text is the key the general way makes; a
// text with any byte past ASCII is left to the general way.
TEST(MapStoreTest, AsciiKeysMadeInOnePassMatchTheGeneralWay) {
  for (const char* text : {"", "k1", "Key42", "MIXED case_Z@[`{", "\x7f~ 09"}) {
    const std::string_view t = text;
    MapKey quick;
    ASSERT_TRUE(prepare_ascii_map_key(t, quick)) << text;
    const MapKey general = key_of(std::u16string(t.begin(), t.end()));
    EXPECT_EQ(quick.spelling_text(), general.spelling_text()) << text;
    EXPECT_EQ(quick.folded_text(), general.folded_text()) << text;
    EXPECT_EQ(quick.hash, general.hash) << text;
  }
  MapKey key;
  EXPECT_FALSE(prepare_ascii_map_key("abc\xe9", key));
  EXPECT_FALSE(prepare_ascii_map_key("\x80", key));
}

MapKey short_key_of(std::string_view text) {
  MapKey k;
  EXPECT_TRUE(prepare_ascii_map_key(text, k)) << text;
  return k;
}

// A key made in 8-bit form and one made in UTF-16 (a UTF-16 text, a key
// copied from another map) find each other whichever form stored the entry:
// equality is the folded units', not the form's. The same holds around the
// length at which a text stops being a short key.
TEST(MapStoreTest, KeysOfEitherFormFindEachOther) {
  for (std::size_t length : {std::size_t{0}, std::size_t{1}, MapKey::kShort - 1, MapKey::kShort,
                             MapKey::kShort + 1, MapKey::kShort * 3}) {
    std::string text(length, 'q');
    if (length > 0) text[0] = 'Q';
    if (length > 2) text[length / 2] = 'Z';
    std::string lower = text;
    for (char& ch : lower) ch = static_cast<char>(ch | 0x20);
    const std::u16string wide(text.begin(), text.end());
    const std::u16string wideLower(lower.begin(), lower.end());
    EXPECT_EQ(short_key_of(text).isShort, length <= MapKey::kShort) << length;
    EXPECT_EQ(short_key_of(text).hash, key_of(wideLower).hash) << length;
    {
      MapStore m;
      put(m, wide, 1);   // the general way, in UTF-16
      ASSERT_NE(m.find(short_key_of(lower)), nullptr) << length;
      EXPECT_EQ(m.find(short_key_of(text))->i, 1) << length;
      EXPECT_EQ(m.find(short_key_of(lower + "x")), nullptr) << length;
      bool inserted = true;
      m.insert(short_key_of(lower), inserted);
      EXPECT_FALSE(inserted) << length;
      EXPECT_EQ(order_of(m), wide + u"|") << length;
    }
    {
      MapStore m;
      bool inserted = false;
      m.insert(short_key_of(text), inserted).i = 2;
      ASSERT_TRUE(inserted);
      ASSERT_NE(m.find(key_of(wideLower)), nullptr) << length;
      EXPECT_EQ(m.find(key_of(wideLower))->i, 2) << length;
      EXPECT_EQ(m.find(short_key_of(lower))->i, 2) << length;
      EXPECT_EQ(m.find(key_of(wideLower + u"\u00e9")), nullptr) << length;
      EXPECT_EQ(order_of(m), wide + u"|") << length;
      m.for_each([&](const MapStore::Entry& e) { EXPECT_EQ(m.folded_of(e), wideLower) << length; });
    }
  }
}

// Non-ASCII letters fold the general way: a key past ASCII never equals
// an ASCII key of the same length, and both live side by side.
TEST(MapStoreTest, NonAsciiKeysStayApartFromAsciiOnes) {
  MapStore m;
  put(m, u"caf\u00e9", 1);
  bool inserted = false;
  m.insert(short_key_of("CAFE"), inserted).i = 2;
  ASSERT_TRUE(inserted);
  EXPECT_EQ(m.find(key_of(u"CAF\u00c9"))->i, 1);
  EXPECT_EQ(m.find(short_key_of("cafe"))->i, 2);
  EXPECT_EQ(m.size(), 2u);
  EXPECT_EQ(order_of(m), u"caf\u00e9|CAFE|");
}

// The key of a stored entry, as a copy of the map makes it, finds the same
// entry and keeps its spelling, for short, long and UTF-16 keys.
TEST(MapStoreTest, EntryKeysRebuildTheKeysThatMadeThem) {
  MapStore m;
  const std::string longText = "Long" + std::string(MapKey::kShort, 'x');
  put(m, u"Short", 1);
  put(m, std::u16string(longText.begin(), longText.end()), 2);
  put(m, u"\u0416ar", 3);
  bool inserted = false;
  m.insert(short_key_of("MiXed"), inserted).i = 4;
  m.insert(short_key_of("lower"), inserted).i = 5;
  MapStore copy;
  m.for_each([&](const MapStore::Entry& e) {
    MapKey k;
    m.key_of(e, k);
    EXPECT_EQ(m.find(k), &e.value);
    copy.insert(k, inserted) = e.value;
  });
  EXPECT_EQ(order_of(copy), order_of(m));
  EXPECT_EQ(copy.find(short_key_of("mixed"))->i, 4);
  EXPECT_EQ(copy.find(key_of(u"\u0436AR"))->i, 3);
  EXPECT_EQ(copy.find(short_key_of(longText))->i, 2);
}

// A short key takes pieces up to its limit; a piece past ASCII or past the
// limit is refused, and what it made agrees with the one-pass key.
TEST(MapStoreTest, ShortKeysBuiltFromPiecesRefuseWhatTheyCannotHold) {
  MapKey built;
  ShortKeyBuilder build(built);
  ASSERT_TRUE(build.add("Ab", 2));
  ASSERT_TRUE(build.add_number_text("-2147483648", 11));
  ASSERT_TRUE(build.add("", 0));
  build.finish();
  const MapKey whole = short_key_of("Ab-2147483648");
  EXPECT_EQ(built.hash, whole.hash);
  EXPECT_EQ(built.folded_text(), u"ab-2147483648");
  EXPECT_EQ(built.spelling_text(), u"Ab-2147483648");
  EXPECT_FALSE(built.lowerOnly);

  MapKey full;
  ShortKeyBuilder fill(full);
  const std::string most(MapKey::kShort - 1, 'a');
  ASSERT_TRUE(fill.add(most.data(), most.size()));
  EXPECT_FALSE(fill.add("bc", 2));
  EXPECT_FALSE(fill.add_number_text("12", 2));
  ASSERT_TRUE(fill.add_number_text("1", 1));
  fill.finish();
  EXPECT_EQ(full.size, MapKey::kShort);
  EXPECT_TRUE(full.lowerOnly);

  MapKey other;
  ShortKeyBuilder refuse(other);
  EXPECT_FALSE(refuse.add("ok\x80", 3));
}

class MapValueTest : public test::EngineTest {};

// A copy made for a second holder shares nothing; releasing both gives the
// heap back its strings, the keys' texts included.
TEST_F(MapValueTest, CopiesShareNothingAndReleasesFreeEveryString) {
  const std::uint32_t before = c.heap.bytes_in_use();
  Value map{};
  ASSERT_TRUE(make_map(c, map));
  MapKey key;
  for (int i = 0; i < 50; ++i) {
    Value text{};
    ASSERT_TRUE(make_string(c, text, "value " + std::to_string(i)));
    Value name{};
    ASSERT_TRUE(make_string(c, name, "Key" + std::to_string(i)));
    ASSERT_TRUE(map_key_of(c, name, key));
    release_value(c, name);
    ASSERT_TRUE(map_store(c, *map_of(c, map), key, text));
  }
  Value copy{};
  ASSERT_TRUE(copy_value(c, map, copy));
  EXPECT_EQ(copy.str, map.str);   // shared until a holder must own it
  ASSERT_TRUE(own_array(c, copy));
  ASSERT_NE(copy.str, map.str);
  Value removed{};
  ASSERT_TRUE(map_of(c, copy)->erase(key_of(u"key7"), removed));
  release_value(c, removed);
  EXPECT_EQ(map_of(c, map)->size(), 50u);
  EXPECT_EQ(map_of(c, copy)->size(), 49u);
  Operand out;
  clear_operand(out);
  ASSERT_TRUE(map_read(c, *map_of(c, map), key_of(u"KEY7"), out));
  EXPECT_STREQ(str_of(c, out), "value 7");
  release_value(c, out);
  EXPECT_FALSE(map_read(c, *map_of(c, copy), key_of(u"KEY7"), out));
  EXPECT_EQ(c.error, errs::kMapNoSuchKey);
  c.error = 0;
  release_value(c, map);
  release_value(c, copy);
  EXPECT_EQ(c.heap.bytes_in_use(), before);
  EXPECT_EQ(c.arrays.live_count(), 0u);
}

TEST_F(MapValueTest, AMapHoldsNoArrayOrMap) {
  Value map{}, inner{};
  ASSERT_TRUE(make_map(c, map));
  ASSERT_TRUE(make_map(c, inner));
  EXPECT_FALSE(map_store(c, *map_of(c, map), key_of(u"x"), inner));
  EXPECT_EQ(c.error, 3647);
  EXPECT_EQ(inner.flags, 0u);   // released, not leaked
  c.error = 0;
  EXPECT_EQ(map_of(c, map)->size(), 0u);
  release_value(c, map);
  EXPECT_EQ(c.arrays.live_count(), 0u);
}

}  // namespace
}  // namespace orv
