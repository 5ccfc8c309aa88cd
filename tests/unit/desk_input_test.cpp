// The platform-free halves of the clipboard, keyboard, mouse and window-extra
// functions: the file-list block another program puts on the clipboard, and
// the words and paths scripts hand to those functions.
#include <gtest/gtest.h>

#include <cstring>

#include "builtins/clipboard/file_list.h"

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
