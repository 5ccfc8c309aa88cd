// Shortcuts and icons as files and words: special folder names, show modes,
// hotkeys, the shortcut header, icon files and icon groups.
#include <gtest/gtest.h>

#include "desktop/icon_file.h"
#include "desktop/shortcut_text.h"
#include "desktop/sound_backend.h"

using namespace orv::desktop;

namespace {

TEST(SpecialFolders, NamesIgnoreCaseAndBlanksAndUnknownNamesAreNone) {
  ASSERT_TRUE(special_folder("start menu"));
  EXPECT_EQ(special_folder("StartMenu")->user, special_folder("Start Menu")->user);
  EXPECT_EQ(special_folder(" DESKTOP ")->allUsers, special_folder("Desktop")->allUsers);
  EXPECT_EQ(special_folder("Personal")->user, special_folder("Documents")->user);
  EXPECT_FALSE(special_folder(""));
  EXPECT_FALSE(special_folder("   "));
  EXPECT_FALSE(special_folder("Desk"));
  // Every listed name is found again, and the user and all-users folders differ.
  std::size_t n = 0;
  for (; !special_folder_name(n).empty(); ++n) {
    const auto f = special_folder(special_folder_name(n));
    ASSERT_TRUE(f) << special_folder_name(n);
    EXPECT_NE(f->user, f->allUsers);
  }
  EXPECT_GE(n, 20u);
}

TEST(ShowModes, OnlyIconNormalAndZoomedMapAndEveryCommandReadsBack) {
  for (int mode : {1, 2, 3}) {
    ASSERT_TRUE(show_command(mode));
    EXPECT_EQ(show_mode(*show_command(mode)), mode);
  }
  for (int mode : {0, -1, 4, 7}) EXPECT_FALSE(show_command(mode));
  EXPECT_EQ(show_mode(2), 1);    // minimized
  EXPECT_EQ(show_mode(0), 2);    // anything unknown reads as normal
}

TEST(Hotkeys, ModifiersAndOneKeyRoundTrip) {
  EXPECT_EQ(parse_hotkey("").value_or(1), 0);
  EXPECT_EQ(parse_hotkey("^!K").value_or(0), 'K' | (2 | 4) << 8);
  EXPECT_EQ(parse_hotkey("^!k").value_or(0), 'K' | (2 | 4) << 8);
  EXPECT_EQ(parse_hotkey("+{F5}").value_or(0), 0x74 | 1 << 8);
  for (const char* text : {"^!K", "+{F5}", "^{HOME}", "7", "^!+{F12}", "{PGDN}"})
    EXPECT_EQ(hotkey_text(parse_hotkey(text).value_or(0)), text) << text;
  EXPECT_EQ(hotkey_text(0), "");
  EXPECT_EQ(hotkey_text(0xE2), "{226}");   // a key without a name reads as its number
  for (const char* bad : {"^!KK", "{NOSUCHKEY}", "{F5 2}", "^", "{", "ab", "#a"})
    EXPECT_FALSE(parse_hotkey(bad)) << bad;
}

TEST(ShortcutHeader, TheShowCommandComesFromAWellFormedHeaderOnly) {
  std::string header(0x4C, '\0');
  header[0] = 0x4C;
  header[0x3C] = 3;
  EXPECT_EQ(link_file_show_command(header).value_or(0), 3);
  EXPECT_FALSE(link_file_show_command(header.substr(0, 0x4B)));
  header[1] = 1;
  EXPECT_FALSE(link_file_show_command(header));
  EXPECT_FALSE(link_file_show_command(""));
}

IconImage image(std::uint8_t size, std::string bytes, std::uint16_t id = 0) {
  IconImage e;
  e.width = e.height = size;
  e.planes = 1;
  e.bitCount = 32;
  e.resourceId = id;
  e.bytes = std::move(bytes);
  return e;
}

TEST(IconFiles, WrittenFilesReadBackAndBadOnesAreRefused) {
  const std::vector<IconImage> images{image(16, "sixteen"), image(0, std::string(300, 'x'))};
  const std::string file = write_icon_file(images);
  EXPECT_EQ(file.size(), 6 + 2 * 16 + 7 + 300u);
  const auto back = read_icon_file(file);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), 2u);
  EXPECT_EQ((*back)[0].bytes, "sixteen");
  EXPECT_EQ((*back)[1].bytes.size(), 300u);
  EXPECT_EQ(describe_images(*back), "16x16x32\t256x256x32");
  EXPECT_FALSE(read_icon_file(file.substr(0, file.size() - 1)));   // the last image is cut short
  EXPECT_FALSE(read_icon_file(file.substr(0, 20)));                // the directory is cut short
  std::string wrongType = file;
  wrongType[2] = 2;   // a cursor file
  EXPECT_FALSE(read_icon_file(wrongType));
  std::string hugeOffset = file;
  hugeOffset[6 + 12 + 3] = '\x7f';
  EXPECT_FALSE(read_icon_file(hugeOffset));
  EXPECT_FALSE(read_icon_file(std::string("\0\0\1\0\0\0", 6)));   // no images
}

TEST(IconGroups, EntriesNameTheirImagesByNumber) {
  const std::string group = write_icon_group({image(32, "abc", 7), image(48, "defg", 9)});
  EXPECT_EQ(group.size(), 6 + 2 * 14u);
  const auto back = read_icon_group(group);
  ASSERT_TRUE(back);
  EXPECT_EQ((*back)[0].resourceId, 7);
  EXPECT_EQ((*back)[1].resourceId, 9);
  EXPECT_EQ(describe_images(*back), "32x32x32\t48x48x32");
  EXPECT_FALSE(read_icon_group(group.substr(0, group.size() - 1)));
}

TEST(SoundNames, PathsAndWaveFilesAreFilesOtherNamesAreSystemSounds) {
  EXPECT_TRUE(is_sound_file_name(u"c:\\media\\ding"));
  EXPECT_TRUE(is_sound_file_name(u"sounds/ding"));
  EXPECT_TRUE(is_sound_file_name(u"ding.WAV"));
  EXPECT_FALSE(is_sound_file_name(u"SystemAsterisk"));
  EXPECT_FALSE(is_sound_file_name(u"wav"));
  EXPECT_FALSE(is_sound_file_name(u""));
}

}  // namespace
