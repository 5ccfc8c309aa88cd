// ItemCount, ItemExtract, ItemLocate and ItemInsert walk a list once instead
// of splitting it; each must give what splitting the list into items and
// joining them again gives, at every index and on every awkward list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace orv
