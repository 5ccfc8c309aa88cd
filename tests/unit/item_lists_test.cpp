// ItemCount, ItemExtract, ItemLocate and ItemInsert walk a list once instead
// of splitting it; each must give what splitting the list into items and
// joining them again gives, at every index and on every awkward list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builtins/text/items.h"
#include "tests/unit/host_fixture.h"

namespace orv {
namespace {

std::vector<std::string> split(const std::string& list, char delim) {
  std::vector<std::string> items;
  if (list.empty()) return items;
  std::string item;
  for (char ch : list) {
    if (ch == delim) {
      items.push_back(item);
      item.clear();
    } else {
      item += ch;
    }
  }
  items.push_back(item);
  return items;
}

std::string join(const std::vector<std::string>& items, char delim) {
  std::string out;
  for (std::size_t k = 0; k < items.size(); ++k) out += (k ? std::string(1, delim) : "") + items[k];
  return out;
}

// 1-based index, -1 the last; SIZE_MAX when it names no item.
std::size_t item_index(int index, std::size_t count) {
  if (index == -1 && count > 0) return count - 1;
  if (index >= 1 && static_cast<std::size_t>(index) <= count) return static_cast<std::size_t>(index) - 1;
  return SIZE_MAX;
}

// Script text for a quoted string (no quotes occur in the lists here).
std::string quoted(const std::string& s) { return "\"" + s + "\""; }

class ItemListTest : public test::HostTest {
 protected:
  std::string printed(const std::string& expression) {
    output.clear();
    EXPECT_EQ(run("StdOut(" + expression + ")\n"), 0u) << expression;
    return output.empty() ? "" : output.substr(0, output.size() - 1);
  }
};

const std::vector<std::string> kLists = {"", "a", ",", ",,", "a,", ",a", "a,b", "ab,cd,ef", "x,,y", ",mid,", "w1,w2,w1"};
const std::vector<int> kIndexes = {-2, -1, 0, 1, 2, 3, 4, 5};

TEST_F(ItemListTest, CountAndExtractMatchSplitting) {
  for (const std::string& list : kLists) {
    const auto items = split(list, ',');
    EXPECT_EQ(printed("ItemCount(" + quoted(list) + ", \",\")"), std::to_string(items.size())) << list;
    for (int index : kIndexes) {
      const std::size_t k = item_index(index, items.size());
      const std::string expected = k == SIZE_MAX ? "" : items[k];
      EXPECT_EQ(printed("\"<\" : ItemExtract(" + std::to_string(index) + ", " + quoted(list) + ", \",\") : \">\""),
                "<" + expected + ">")
          << list << " at " << index;
    }
  }
}

TEST_F(ItemListTest, LocateFindsTheFirstEqualItem) {
  for (const std::string& list : kLists) {
    const auto items = split(list, ',');
    for (const char* item : {"", "a", "b", "w1", "mid", "y", "zz"}) {
      std::size_t expected = 0;
      for (std::size_t k = 0; k < items.size() && !expected; ++k)
        if (items[k] == item) expected = k + 1;
      EXPECT_EQ(printed("ItemLocate(" + quoted(item) + ", " + quoted(list) + ", \",\")"), std::to_string(expected))
          << item << " in " << list;
    }
  }
}

TEST_F(ItemListTest, InsertMatchesSplittingAndJoining) {
  for (const std::string& list : kLists) {
    for (int index : kIndexes) {
      auto items = split(list, ',');
      std::string expected = list;   // an index below 1 (but -1) leaves the list as it is
      if (index == -1 || (index >= 1 && static_cast<std::size_t>(index) > items.size())) {
        items.push_back("new");
        expected = join(items, ',');
      } else if (index >= 1) {
        items.insert(items.begin() + (index - 1), "new");
        expected = join(items, ',');
      }
      EXPECT_EQ(printed("\"<\" : ItemInsert(\"new\", " + std::to_string(index) + ", " + quoted(list) + ", \",\") : \">\""),
                "<" + expected + ">")
          << list << " at " << index;
    }
  }
}

// An empty delimiter means TAB; a letter delimits like any other character.
TEST_F(ItemListTest, TabAndLetterDelimiters) {
  EXPECT_EQ(printed("ItemCount(\"a\" : @TAB : \"b\", \"\")"), "2");
  EXPECT_EQ(printed("ItemExtract(2, \"a\" : @TAB : \"b\", \"\")"), "b");
  EXPECT_EQ(printed("ItemInsert(\"q\", 2, \"axbxc\", \"x\")"), "axqxbxc");
  EXPECT_EQ(printed("ItemLocate(\"c\", \"axbxc\", \"x\")"), "3");
  // UTF-16 lists take the same walk
  EXPECT_EQ(printed("ItemInsert(\"n\", 2, StrInsert(\"a,b,c\", \"\"), \",\")"), "a,n,b,c");
  EXPECT_EQ(printed("ItemExtract(3, StrInsert(\"a,b,c\", \"\"), \",\") : ItemLocate(\"b\", StrInsert(\"a,b\", \"\"), \",\")"), "c2");
}

// The delimiters found by the quick scan of 8-bit lists are those of the
// character walk, in order, however the list starts and ends, with empty
// items, delimiters above 0x7F, lists longer than a vector register, and a
// walk stopped part way.
TEST(ItemDelimiterScan, FindsWhatTheCharacterWalkFinds) {
  using Offsets = std::vector<std::size_t>;
  auto collect = [](auto walk, std::string_view list, std::string_view delim, std::size_t stopAfter) {
    Offsets found;
    walk(list, delim, [&](std::size_t at) {
      found.push_back(at);
      return found.size() < stopAfter;
    });
    return found;
  };
  std::vector<std::string> lists = {"", ",", ",,", "a,", ",a", "a,,b", ",mid,", "no delimiter here"};
  std::string longList;
  for (int k = 0; k < 90; ++k) longList += (k % 7 == 0 ? "" : "w" + std::to_string(k)) + ",";
  lists.push_back(longList);
  lists.push_back("," + longList + "tail");
  std::string high;
  for (int k = 0; k < 70; ++k) high += static_cast<char>(k % 3 == 0 ? 0xE9 : 'a' + k % 26);
  lists.push_back(high);
  for (const std::string& list : lists) {
    for (std::string_view delim : {std::string_view(","), std::string_view("\xE9"), std::string_view("a")}) {
      for (std::size_t stop : {std::size_t{1}, std::size_t{3}, SIZE_MAX}) {
        const Offsets quick = collect([](auto... a) { text::each_delimiter<char>(a...); }, list, delim, stop);
        const Offsets walked = collect([](auto... a) { text::each_delimiter_by_char<char>(a...); }, list, delim, stop);
        EXPECT_EQ(quick, walked) << "list \"" << list << "\" delimiter " << delim << " stop " << stop;
      }
    }
  }
}

// Counting delimiters a word at a time agrees with the character walk on
// lists of every length around the word size, with the delimiter at each
// place, high bytes beside it and bytes that differ from it in one bit.
TEST(ItemDelimiterScan, CountedWordsFindWhatTheCharacterWalkFinds) {
  std::vector<std::string> lists = {"", ",", "abcdefgh", ",bcdefgh", "abcdefg,", "abcdefgh,", ",,,,,,,,,"};
  for (std::size_t n = 1; n <= 26; ++n) {
    for (std::size_t at = 0; at < n; at += 3) {
      std::string list;
      for (std::size_t k = 0; k < n; ++k) list += k % 5 == at % 5 ? ',' : (k % 2 ? '\xAC' : '-');   // ',' ^ 0x80, ',' ^ 1
      lists.push_back(list);
    }
  }
  for (const std::string& list : lists) {
    for (std::string_view delim : {std::string_view(","), std::string_view("\xAC"), std::string_view("-")}) {
      std::vector<std::size_t> all;
      text::each_delimiter_by_char<char>(list, delim, [&](std::size_t at) { all.push_back(at); return true; });
      EXPECT_EQ(text::count_delimiters<char>(list, delim), all.size()) << list << " by " << delim;
      for (std::size_t k = 1; k <= all.size() + 1; ++k)
        EXPECT_EQ(text::nth_delimiter<char>(list, delim, k), k <= all.size() ? all[k - 1] : std::string_view::npos)
            << list << " by " << delim << " delimiter " << k;
    }
  }
}

// The same lists through the item functions, held in variables so their
// texts are read where they lie.
TEST_F(ItemListTest, LongListsWithDelimitersAtEitherEnd) {
  std::string list = ",";
  std::vector<std::string> items = {""};
  for (int k = 1; k < 80; ++k) {
    items.push_back(k % 9 == 0 ? "" : "item" + std::to_string(k));
    list += items.back() + ",";
  }
  items.push_back("");
  EXPECT_EQ(printed("ItemCount(" + orv::quoted(list) + ", \",\")"), std::to_string(items.size()));
  for (int index : {1, 2, 9, 10, 40, 80, 81, 82, -1}) {
    const std::size_t k = item_index(index, items.size());
    EXPECT_EQ(printed("\"<\" : ItemExtract(" + std::to_string(index) + ", " + orv::quoted(list) + ", \",\") : \">\""),
              "<" + (k == SIZE_MAX ? std::string() : items[k]) + ">")
        << index;
  }
  EXPECT_EQ(printed("ItemLocate(\"item44\", " + orv::quoted(list) + ", \",\")"), "45");
  EXPECT_EQ(printed("ItemLocate(\"\", " + orv::quoted(list) + ", \",\")"), "1");
}

}  // namespace
}  // namespace orv
