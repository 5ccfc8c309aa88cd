// The extender name index must find what a front-to-back search of the table
// finds: the first entry of a name, whatever order the names came in, and
// nothing for prefixes, extensions or names that were removed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "extend/name_index.h"

namespace orv::ext {
namespace {

api::KeywordRecord named(const std::string& name, std::uint32_t id) {
  api::KeywordRecord r{};
  r.id = id;
  r.nameLength = static_cast<std::uint16_t>(name.size());
  std::memcpy(r.name, name.data(), name.size());
  return r;
}

int linear(const std::vector<api::KeywordRecord>& records, const std::string& name) {
  for (std::size_t k = 0; k < records.size(); ++k)
    if (records[k].nameLength == name.size() && std::memcmp(records[k].name, name.data(), name.size()) == 0)
      return static_cast<int>(k);
  return -1;
}

TEST(ExtenderNameIndex, FindsWhatAFrontToBackSearchFinds) {
  std::vector<api::KeywordRecord> records;
  NameIndex index;
  const char* names[] = {"zeta", "alpha", "alp", "alphabet", "mid", "alpha", "b", "zeta"};
  std::uint32_t id = 10001;
  for (const char* n : names) {
    records.push_back(named(n, id++));
    index.insert(records, records.size() - 1);
  }
  for (const char* probe : {"zeta", "alpha", "alp", "alphabet", "mid", "b", "al", "alphab", "zz", "", "a"})
    EXPECT_EQ(index.find(records, probe, std::strlen(probe)), linear(records, probe)) << probe;
  // Duplicates: the earlier entry wins, as it would in the table.
  EXPECT_EQ(index.find(records, "alpha", 5), 1);
  EXPECT_EQ(index.find(records, "zeta", 4), 0);
}

TEST(ExtenderNameIndex, RemovalsAndStaleIndexesAreHandled) {
  std::vector<api::KeywordRecord> records;
  NameIndex index;
  for (int k = 0; k < 700; ++k) {
    records.push_back(named("fn" + std::to_string((k * 37) % 700), static_cast<std::uint32_t>(10000 + k)));
    index.insert(records, records.size() - 1);
  }
  for (int k = 0; k < 700; k += 13) {
    const std::string n = "fn" + std::to_string(k);
    EXPECT_EQ(index.find(records, n.c_str(), n.size()), linear(records, n)) << n;
  }
  // The first extender's entries go; the rest close the gap.
  records.erase(records.begin(), records.begin() + 350);
  index.rebuild(records);
  for (int k = 0; k < 700; k += 7) {
    const std::string n = "fn" + std::to_string(k);
    EXPECT_EQ(index.find(records, n.c_str(), n.size()), linear(records, n)) << n;
  }
  // A table changed behind the index's back (another size) is re-indexed.
  records.push_back(named("late", 30001));
  EXPECT_EQ(index.find(records, "late", 4), static_cast<int>(records.size()) - 1);
  records.clear();
  EXPECT_EQ(index.find(records, "late", 4), -1);
}

}  // namespace
}  // namespace orv::ext
