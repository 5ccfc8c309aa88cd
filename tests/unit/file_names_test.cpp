// Platform-free file-name rules: source lists, masks, ports and attribute
// letters; and the file table's reference counting over real native files.
#include <gtest/gtest.h>

#include <filesystem>

#include "builtins/files/attribute_rules.h"
#include "builtins/files/file_table.h"
#include "builtins/files/name_rules.h"
#include "platform/files.h"

namespace orv::files {
namespace {

namespace pf = platform::files;
using Names = std::vector<std::u16string>;

TEST(SourceList, SplitsAtTabAndBarSkippingEmptyItems) {
  EXPECT_EQ(*split_source_list(u"a b.txt|c\td"), (Names{u"a b.txt", u"c", u"d"}));
  EXPECT_EQ(*split_source_list(u"||\tx||"), (Names{u"x"}));
  EXPECT_EQ(*split_source_list(u""), Names{});
  // One item of 32766 characters is too long; 32765 is not.
  EXPECT_FALSE(split_source_list(std::u16string(32766, u'n') + u"|a"));
  EXPECT_TRUE(split_source_list(std::u16string(32765, u'n') + u"|a"));
}

TEST(NameRules, NameStartAndPorts) {
  EXPECT_EQ(name_start(u"C:\\dir\\f.txt"), 7u);
  EXPECT_EQ(name_start(u"C:f.txt"), 2u);
  EXPECT_EQ(name_start(u"f.txt"), 0u);
  EXPECT_EQ(name_start(u"a/b"), 2u);
  EXPECT_TRUE(is_port_name(u"COM1"));
  EXPECT_TRUE(is_port_name(u"LPT9"));
  EXPECT_TRUE(is_port_name(u"USB001"));
  EXPECT_FALSE(is_port_name(u"COM0"));
  EXPECT_FALSE(is_port_name(u"COM10"));
  EXPECT_FALSE(is_port_name(u"USB01"));
  EXPECT_FALSE(is_port_name(u"USB0a1"));
}

TEST(NameRules, MasksMapNameAndExtensionSeparately) {
  EXPECT_EQ(*map_name(u"report.txt", u"*.bak"), u"report.bak");
  EXPECT_EQ(*map_name(u"report.txt", u"*.*"), u"report.txt");
  EXPECT_EQ(*map_name(u"report", u"*.*"), u"report");
  EXPECT_EQ(*map_name(u"report.txt", u"*"), u"report.txt");
  EXPECT_EQ(*map_name(u"report.txt", u"??port.*"), u"report.txt");
  EXPECT_EQ(*map_name(u"ab.txt", u"????.t?"), u"ab.tx");
  EXPECT_EQ(*map_name(u"a.b.c", u"*.x"), u"a.b.x");
  EXPECT_EQ(*map_name(u"a.txt", u"?"), u"a");
  // Nothing legal results.
  EXPECT_FALSE(map_name(u".txt", u"*."));
  EXPECT_FALSE(map_name(u"a.txt", u"*:x"));
}

TEST(AttributeLetters, TextAndUpdates) {
  EXPECT_EQ(attribute_text(pf::kReadOnly | pf::kSystem), u"R-S-");
  EXPECT_EQ(attribute_text(pf::kHidden), u"---H");
  EXPECT_EQ(attribute_text(pf::kReadOnly | pf::kArchive | pf::kSystem | pf::kHidden | pf::kDirectory), u"RASH");
  EXPECT_EQ(apply_letters(pf::kArchive, u"Rh"), pf::kArchive | pf::kReadOnly);
  EXPECT_EQ(apply_letters(pf::kArchive | pf::kHidden, u"a-h x"), 0u);
  EXPECT_EQ(apply_letters(pf::kDirectory | pf::kArchive, u"S"), pf::kArchive | pf::kSystem);
}

class FileTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("orv_table_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  pf::FileHandle open_new(const char* name) {
    std::uint32_t err = 0;
    const auto p = (dir_ / name).u16string();
    return pf::open(std::u16string(p.begin(), p.end()), pf::Open::create_always, err);
  }
  std::filesystem::path dir_;
};

TEST_F(FileTableTest, LastReferenceClosesAndStaleValuesNeverCloseANewerFile) {
  FileTable table;
  FileSlot* a = table.free_slot();
  table.occupy(*a, open_new("a"), state::kWrite);
  const auto ha = static_cast<std::int32_t>(a->handle);
  table.add_ref(ha);        // a second value holds it
  table.release_ref(ha);
  EXPECT_EQ(table.open_count(), 1);
  table.close(*a);          // FileClose while a value still holds the number
  EXPECT_EQ(table.open_count(), 0);
  FileSlot* b = table.free_slot();
  table.occupy(*b, open_new("b"), state::kWrite);
  EXPECT_NE(static_cast<std::int32_t>(b->handle), ha);
  table.release_ref(ha);    // the stale value goes away: b stays open
  EXPECT_EQ(table.open_count(), 1);
  table.release_ref(static_cast<std::int32_t>(b->handle));
  EXPECT_EQ(table.open_count(), 0);
}

TEST_F(FileTableTest, HoldsExactly128) {
  FileTable table;
  for (int i = 0; i < kMaxOpenFiles; ++i) {
    FileSlot* s = table.free_slot();
    ASSERT_NE(s, nullptr);
    table.occupy(*s, open_new(("f" + std::to_string(i)).c_str()), state::kWrite);
  }
  EXPECT_EQ(table.free_slot(), nullptr);
  table.close_all();
  EXPECT_EQ(table.open_count(), 0);
}

}  // namespace
}  // namespace orv::files
