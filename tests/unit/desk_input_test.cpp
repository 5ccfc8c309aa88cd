// The platform-free halves of the clipboard, keyboard, mouse and window-extra
// functions: the file-list block another program puts on the clipboard, and
// the words and paths scripts hand to those functions.
#include <gtest/gtest.h>

#include <cstring>

#include "builtins/clipboard/file_list.h"
#include "winauto/key_words.h"

namespace orv {
namespace {

std::vector<std::uint8_t> ansi_list(std::uint32_t offset, std::string_view names) {
  std::vector<std::uint8_t> b(20, 0);
  b[0] = static_cast<std::uint8_t>(offset);
  b.insert(b.end(), names.begin(), names.end());
  return b;
}

TEST(ClipFileList, WideAndAnsiListsReadBack) {
  const std::vector<std::u16string> names{u"C:\\a.txt", u"C:\\dir with blanks\\b", u"\u03b1.doc"};
  const auto block = clip::encode_file_list(names);
  const auto back = clip::decode_file_list(block.data(), block.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, names);
  const auto ansi = ansi_list(20, std::string_view("x.txt\0y\0\0", 9));
  const auto fromAnsi = clip::decode_file_list(ansi.data(), ansi.size());
  ASSERT_TRUE(fromAnsi);
  EXPECT_EQ(*fromAnsi, (std::vector<std::u16string>{u"x.txt", u"y"}));
  // An empty list is a list; a list may start past the header (a larger header).
  EXPECT_EQ(clip::decode_file_list(clip::encode_file_list({}).data(), 24)->size(), 0u);
  auto later = ansi_list(24, std::string_view("\0\0\0\0z\0\0", 7));
  EXPECT_EQ(*clip::decode_file_list(later.data(), later.size()), std::vector<std::u16string>{u"z"});
}

TEST(ClipFileList, DamagedBlocksAreRefused) {
  EXPECT_FALSE(clip::decode_file_list(nullptr, 0));
  std::vector<std::uint8_t> shortHeader(19, 0);
  EXPECT_FALSE(clip::decode_file_list(shortHeader.data(), shortHeader.size()));
  auto inside = ansi_list(8, std::string_view("a\0\0", 3));   // names inside the header
  EXPECT_FALSE(clip::decode_file_list(inside.data(), inside.size()));
  auto beyond = ansi_list(200, std::string_view("a\0\0", 3));
  EXPECT_FALSE(clip::decode_file_list(beyond.data(), beyond.size()));
  auto unended = ansi_list(20, std::string_view("abc\0def", 7));   // no empty name at the end
  EXPECT_FALSE(clip::decode_file_list(unended.data(), unended.size()));
  auto block = clip::encode_file_list({u"abc"});
  EXPECT_FALSE(clip::decode_file_list(block.data(), block.size() - 1));   // half a terminator
  EXPECT_FALSE(clip::decode_file_list(block.data(), block.size() - 2));
}

}  // namespace
}  // namespace orv

namespace orv::winauto {
namespace {

TEST(KeyWords, OneKeyWithItsModifiers) {
  auto a = parse_key_word("a");
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->isChar);
  EXPECT_EQ(a->code, 'a');
  EXPECT_EQ(a->mods, 0u);
  auto tab = parse_key_word("+{TAB}");
  ASSERT_TRUE(tab);
  EXPECT_FALSE(tab->isChar);
  EXPECT_EQ(tab->code, 0x09);
  EXPECT_EQ(tab->mods, mod::kShift);
  EXPECT_EQ(parse_key_word("~")->code, 0x0D);
  EXPECT_EQ(parse_key_word("{NUMPAD~}")->code, 0);   // keypad Enter stays apart from Enter
  EXPECT_EQ(parse_key_word("{f2}")->code, 0x71);
  EXPECT_EQ(parse_key_word("{*LCONTROL}x")->mods, mod::kLCtrl);
  EXPECT_EQ(parse_key_word("{}}")->code, '}');
  EXPECT_EQ(parse_key_word("{a 1}")->code, 'a');
}

TEST(KeyWords, AnythingButOneKeyOnceIsRefused) {
  for (std::string_view bad : {"", "ab", "{a 2}", "{a 0}", "{F17}", "{ENTER", "+", "^!", "{*LWIN}", "a~"})
    EXPECT_FALSE(parse_key_word(bad)) << bad;
}

TEST(KeyWords, ListsNameTheirFirstBadWord) {
  const KeyWordList ok = parse_key_word_list("x\t+x\t{ENTER}");
  EXPECT_EQ(ok.bad, 0u);
  ASSERT_EQ(ok.keys.size(), 3u);
  EXPECT_EQ(ok.keys[1].mods, mod::kShift);
  EXPECT_EQ(parse_key_word_list("x\t{F99}\ty").bad, 2u);
  EXPECT_EQ(parse_key_word_list("x\t").bad, 2u);      // an empty word is no key
  EXPECT_EQ(parse_key_word_list("").bad, 1u);
  EXPECT_TRUE(parse_key_word_list("x\t{F99}").keys.empty());
  EXPECT_EQ(parse_key_word_list("a,b", ',').keys.size(), 2u);
}

TEST(KeyWords, ModifiersFoldToTheirPlainKeys) {
  EXPECT_EQ(plain_modifiers(mod::kLShift | mod::kRCtrl), mod::kShift | mod::kCtrl);
  EXPECT_EQ(plain_modifiers(mod::kRAlt | mod::kLWin), mod::kAlt | mod::kLWin);
  EXPECT_EQ(plain_modifiers(0), 0u);
  EXPECT_FALSE(valid_key_down_flags(0));
  EXPECT_FALSE(valid_key_down_flags(8));
  EXPECT_TRUE(valid_key_down_flags(kKeyDownShift | kKeyDownCtrl | kKeyDownAlt));
}

}  // namespace
}  // namespace orv::winauto
