// Drive lists, volume roots and environment names as scripts write them; and
// the native folder and environment services the script functions stand on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "builtins/system/system_text.h"
#include "platform/environment.h"
#include "platform/folders.h"

namespace orv::system {
namespace {

namespace fs = std::filesystem;
namespace pfo = platform::folders;
namespace pe = platform::environment;
using Letters = std::vector<char>;

TEST(DriveNames, LetterWithOptionalColonAndSeparator) {
  EXPECT_EQ(parse_drive(u"C"), 'C');
  EXPECT_EQ(parse_drive(u"c:"), 'C');
  EXPECT_EQ(parse_drive(u"z:\\"), 'Z');
  EXPECT_EQ(parse_drive(u" d:/\t"), 'D');
  for (const char16_t* bad : {u"", u"  ", u"1", u"CD", u"C:x", u"C\\", u"C:\\\\", u"[", u"@:", u"\u00c4:", u"C;"})
    EXPECT_FALSE(parse_drive(bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

TEST(DriveNames, ListsTakeEveryDelimiterAndNameEachDriveOnce) {
  EXPECT_EQ(parse_drive_list(u"c d:\tE:\\,f;g|h").letters, (Letters{'C', 'D', 'E', 'F', 'G', 'H'}));
  EXPECT_EQ(parse_drive_list(u"c C: c:\\ d").letters, (Letters{'C', 'D'}));
  EXPECT_EQ(parse_drive_list(u"  ,|").letters, Letters{});
  EXPECT_FALSE(parse_drive_list(u"  ,|").bad);
  // One bad item spoils the list and is named.
  const DriveList bad = parse_drive_list(u"C: DD: E");
  EXPECT_TRUE(bad.letters.empty());
  EXPECT_EQ(bad.bad, u"DD:");
  EXPECT_EQ(parse_drive_list(u"C:x").bad, u"C:x");
}

TEST(DriveNames, VolumeRootsOfDrivesAndShares) {
  EXPECT_EQ(volume_root(u"c"), u"C:\\");
  EXPECT_EQ(volume_root(u"D:/"), u"D:\\");
  EXPECT_EQ(volume_root(u"\\\\server\\share"), u"\\\\server\\share\\");
  EXPECT_EQ(volume_root(u"//server/share/"), u"\\\\server\\share\\");
  for (const char16_t* bad : {u"\\\\server", u"\\\\server\\", u"\\\\\\share", u"\\\\s\\share\\dir", u"\\\\s\\a:b",
                              u"\\\\s\\*", u"\\server\\share", u"C:\\dir", u"share"})
    EXPECT_FALSE(volume_root(bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

TEST(DiskText, ThousandsAndSerialNumbers) {
  EXPECT_EQ(group_thousands(0), "0");
  EXPECT_EQ(group_thousands(999), "999");
  EXPECT_EQ(group_thousands(1000), "1,000");
  EXPECT_EQ(group_thousands(123456), "123,456");
  EXPECT_EQ(group_thousands(1234567), "1,234,567");
  EXPECT_EQ(group_thousands(18446744073709551615ull), "18,446,744,073,709,551,615");
  EXPECT_EQ(serial_text(0x1A2B3C4Du), "1A2B-3C4D");
  EXPECT_EQ(serial_text(0), "0000-0000");
  EXPECT_EQ(serial_text(0xFFFFFFFFu), "FFFF-FFFF");
}

TEST(EnvironmentText, NamesAndListing) {
  EXPECT_TRUE(environment_name_ok(u"PATH"));
  EXPECT_TRUE(environment_name_ok(u"with blank"));
  EXPECT_FALSE(environment_name_ok(u""));
  EXPECT_FALSE(environment_name_ok(u"A=B"));
  EXPECT_FALSE(environment_name_ok(u"=C:"));
  EXPECT_FALSE(environment_name_ok(std::u16string(u"A\0B", 3)));
  // The per-drive entries stay out; the others keep their order.
  EXPECT_EQ(environment_lines({u"=C:=C:\\x", u"B=2", u"A=1=one", u"=::=::\\"}), u"B=2\nA=1=one");
  EXPECT_EQ(environment_lines({}), u"");
}

// A scratch folder made for one test and removed after it.
struct Scratch {
  fs::path dir = fs::temp_directory_path() / ("orv-places-" + std::to_string(::getpid()));
  Scratch() {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::u16string wide(const fs::path& p) const {
    const std::string s = p.string();
    return std::u16string(s.begin(), s.end());
  }
  void file(const fs::path& p, std::size_t bytes) const { std::ofstream(p, std::ios::binary) << std::string(bytes, 'x'); }
};

TEST(NativeFolders, ContentBytesWalksBelowButNotThroughLinks) {
  Scratch s;
  s.file(s.dir / "a", 10);
  fs::create_directories(s.dir / "sub" / "deeper");
  s.file(s.dir / "sub" / "b", 200);
  s.file(s.dir / "sub" / "deeper" / "c", 3000);
  // A link back up would make the walk endless; a file link is no file.
  fs::create_directory_symlink(s.dir, s.dir / "sub" / "loop");
  fs::create_symlink(s.dir / "a", s.dir / "alink");
  std::uint64_t bytes = 0;
  std::u16string where;
  std::uint32_t err = 0;
  ASSERT_TRUE(pfo::content_bytes(s.wide(s.dir), true, bytes, where, err));
  EXPECT_EQ(bytes, 3210u);
  ASSERT_TRUE(pfo::content_bytes(s.wide(s.dir), false, bytes, where, err));
  EXPECT_EQ(bytes, 10u);
  EXPECT_FALSE(pfo::content_bytes(s.wide(s.dir / "missing"), true, bytes, where, err));
  EXPECT_EQ(where, s.wide(s.dir / "missing"));
}

TEST(NativeFolders, RenameNeverReplacesAndChangeFollows) {
  Scratch s;
  fs::create_directories(s.dir / "old" / "inner");
  fs::create_directories(s.dir / "empty");
  std::uint32_t err = 0;
  // An existing target, even an empty folder, stays as it was.
  EXPECT_FALSE(pfo::rename(s.wide(s.dir / "old"), s.wide(s.dir / "empty"), err));
  EXPECT_EQ(err, pfo::kAlreadyExists);
  EXPECT_TRUE(fs::exists(s.dir / "old" / "inner"));
  ASSERT_TRUE(pfo::rename(s.wide(s.dir / "old"), s.wide(s.dir / "new"), err));
  EXPECT_TRUE(fs::exists(s.dir / "new" / "inner"));
  EXPECT_FALSE(pfo::rename(s.wide(s.dir / "old"), s.wide(s.dir / "other"), err));

  std::u16string before, now;
  ASSERT_TRUE(pfo::current(before));
  ASSERT_TRUE(pfo::change(s.wide(s.dir / "new"), err));
  ASSERT_TRUE(pfo::current(now));
  EXPECT_EQ(now, s.wide(fs::canonical(s.dir / "new")) + u"/");
  EXPECT_FALSE(pfo::change(s.wide(s.dir / "none"), err));
  ASSERT_TRUE(pfo::change(before, err));
}

TEST(NativeEnvironment, SetGetRemoveAndListInUtf16) {
  const std::u16string name = u"ORV_PLACES_TEST", value = u"\u00e9t\u00e9 \u20ac \U0001F600";
  std::u16string got;
  ASSERT_TRUE(pe::set(name, value));
  ASSERT_TRUE(pe::get(name, got));
  EXPECT_EQ(got, value);
  const auto list = pe::entries();
  EXPECT_NE(std::find(list.begin(), list.end(), name + u"=" + value), list.end());
  ASSERT_TRUE(pe::set(name, u""));
  EXPECT_FALSE(pe::get(name, got));
  // Removing what is not there is no failure.
  EXPECT_TRUE(pe::set(name, u""));
  // A lone surrogate half has no UTF-8 form.
  EXPECT_FALSE(pe::set(name, std::u16string(1, u'\xD800')));
}

}  // namespace
}  // namespace orv::system
