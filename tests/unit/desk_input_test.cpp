// The platform-free halves of the clipboard, keyboard, mouse and window-extra
// functions: the file-list block another program puts on the clipboard, and
// the words and paths scripts hand to those functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "builtins/clipboard/file_list.h"
#include "winauto/desk_rules.h"
#include "winauto/key_words.h"
#include "winauto/menu_path.h"
#include "winauto/mouse_rules.h"

namespace orv {
namespace {

std::vector<std::uint8_t> ansi_list(std::uint32_t offset, std::string_view names) {
  std::vector<std::uint8_t> b(20 + names.size(), 0);
  b[0] = static_cast<std::uint8_t>(offset);
  std::copy(names.begin(), names.end(), b.begin() + 20);
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

namespace orv::winauto {
namespace {

// A standard menu template: header, then items (flags, id unless a pop-up, caption).
struct TemplateBuilder {
  std::vector<std::uint8_t> bytes;
  void word(std::uint16_t v) {
    bytes.push_back(static_cast<std::uint8_t>(v));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void dword(std::uint32_t v) { word(static_cast<std::uint16_t>(v)); word(static_cast<std::uint16_t>(v >> 16)); }
  void text(std::u16string_view s) {
    for (char16_t ch : s) word(ch);
    word(0);
  }
  void align() { while (bytes.size() % 4) bytes.push_back(0); }
  void item(std::uint16_t flags, std::uint16_t id, std::u16string_view caption) { word(flags); word(id); text(caption); }
  void popup(std::uint16_t flags, std::u16string_view caption) { word(flags | 0x10); text(caption); }
};

std::vector<std::uint8_t> editor_menu() {
  TemplateBuilder t;
  t.word(0);
  t.word(0);
  t.popup(0, u"&File");
  t.item(0, 10, u"&Open...\tCtrl+O");
  t.item(0, 0, u"");                 // separator
  t.item(0x80, 11, u"E&xit");
  t.popup(0x80, u"&Edit");
  t.item(0x01, 20, u"&Undo\tCtrl+Z");   // grayed
  t.item(0, 21, u"Select &All");
  t.item(0x80, 22, u"Fish && Chips");
  return t.bytes;
}

TEST(MenuPath, CaptionsMatchWithoutAmpersandsShortcutsDotsOrCase) {
  EXPECT_EQ(menu_match_key(u"&Open...\tCtrl+O"), u"open");
  EXPECT_EQ(menu_match_key(u"Fish && Chips"), u"fish & chips");
  EXPECT_EQ(menu_match_key(u"  Save &As ... "), u"save as");
  EXPECT_EQ(menu_match_key(u"&"), u"");
  const auto path = split_menu_path(u"File|Open", u'|');
  ASSERT_TRUE(path);
  EXPECT_EQ(path->size(), 2u);
  EXPECT_FALSE(split_menu_path(u"File||Open", u'|'));
  EXPECT_FALSE(split_menu_path(u"", u'|'));
  EXPECT_FALSE(split_menu_path(u"File|&", u'|'));
  EXPECT_EQ(split_menu_path(u"a/b|c", u'/')->back(), u"b|c");
}

TEST(MenuPath, StandardTemplateReadsAndPathsFindItems) {
  const auto bytes = editor_menu();
  const auto menu = parse_menu_template(bytes.data(), bytes.size());
  ASSERT_TRUE(menu);
  ASSERT_EQ(menu->size(), 2u);
  EXPECT_EQ((*menu)[0].items.size(), 3u);
  EXPECT_TRUE((*menu)[0].items[1].separator);
  auto find = [&](std::u16string_view p) { return find_menu_item(*menu, *split_menu_path(p, u'|')); };
  EXPECT_EQ(find(u"file|open")->id, 10u);
  EXPECT_EQ(find(u"FILE|exit")->id, 11u);
  EXPECT_EQ(find(u"Edit|select all")->id, 21u);
  EXPECT_EQ(find(u"Edit|fish && chips")->id, 22u);   // the path doubles a literal "&" too
  EXPECT_TRUE(find(u"Edit|Undo")->disabled);
  EXPECT_TRUE(find(u"Edit")->popup);
  EXPECT_EQ(find(u"Edit|Open"), nullptr);        // each caption at its own level
  EXPECT_EQ(find(u"File|Open|More"), nullptr);   // nothing below a plain item
  EXPECT_EQ(find(u"Help"), nullptr);
}

TEST(MenuPath, ExtendedTemplateReads) {
  TemplateBuilder t;
  t.word(1);
  t.word(4);
  t.dword(0);   // help id
  t.align();
  t.dword(0); t.dword(0); t.dword(0); t.word(0x81); t.text(u"&Tools"); t.align(); t.dword(0);   // last pop-up
  t.align();
  t.dword(0x800); t.dword(0); t.dword(0); t.word(0); t.text(u"");                                 // separator
  t.align();
  t.dword(0); t.dword(3); t.dword(70000); t.word(0x80); t.text(u"&Options");                      // disabled, last
  t.align();
  const auto menu = parse_menu_template(t.bytes.data(), t.bytes.size());
  ASSERT_TRUE(menu);
  ASSERT_EQ(menu->size(), 1u);
  const MenuNode* options = find_menu_item(*menu, *split_menu_path(u"tools|options", u'|'));
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(options->id, 70000u);
  EXPECT_TRUE(options->disabled);
  EXPECT_TRUE((*menu)[0].items[0].separator);
}

TEST(MenuPath, CutOrBadTemplatesAreRefused) {
  const auto bytes = editor_menu();
  for (std::size_t n = 0; n < bytes.size(); ++n)
    EXPECT_FALSE(parse_menu_template(bytes.data(), n)) << "cut at " << n;
  auto wrongVersion = bytes;
  wrongVersion[0] = 2;
  EXPECT_FALSE(parse_menu_template(wrongVersion.data(), wrongVersion.size()));
  auto farOffset = bytes;
  farOffset[2] = 0xFF;
  EXPECT_FALSE(parse_menu_template(farOffset.data(), farOffset.size()));
  // Pop-ups nested past any usable depth end the reading, not the stack.
  TemplateBuilder deep;
  deep.word(0);
  deep.word(0);
  for (int i = 0; i < 40; ++i) deep.popup(0x80, u"x");
  deep.item(0x80, 1, u"y");
  EXPECT_FALSE(parse_menu_template(deep.bytes.data(), deep.bytes.size()));
}

TEST(DeskRules, ProgramNamesMatchFileNameOrWholePath) {
  EXPECT_TRUE(program_matches(u"notepad", u"C:\\windows\\system32\\notepad.exe"));
  EXPECT_TRUE(program_matches(u"NOTEPAD.EXE", u"C:\\windows\\system32\\notepad.exe"));
  EXPECT_TRUE(program_matches(u"notepad.exe", u"notepad.exe"));
  EXPECT_FALSE(program_matches(u"notepad.ex", u"C:\\w\\notepad.exe"));
  EXPECT_FALSE(program_matches(u"notepad.com", u"C:\\w\\notepad.exe"));
  EXPECT_FALSE(program_matches(u"pad", u"C:\\w\\notepad.exe"));
  EXPECT_TRUE(program_matches(u"c:\\W\\Notepad.exe", u"C:\\w\\notepad.exe"));
  EXPECT_FALSE(program_matches(u"d:\\w\\notepad.exe", u"C:\\w\\notepad.exe"));
  EXPECT_FALSE(program_matches(u"", u"C:\\w\\notepad.exe"));
}

TEST(DeskRules, WordsAndModes) {
  EXPECT_EQ(help_command("PartialKey"), HelpCommand::partialkey);
  EXPECT_EQ(help_command("quit"), HelpCommand::quit);
  EXPECT_FALSE(help_command("quitx"));
  EXPECT_FALSE(help_command(""));
  const auto m = session_mode(110);
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->describeOnly);
  EXPECT_TRUE(m->force);
  EXPECT_EQ(describe_session(*m), "restart, ending programs without asking");
  EXPECT_EQ(describe_session(*session_mode(3)), "power off");
  for (int bad : {-1, 4, 7, 12, 99, 104, 116}) EXPECT_FALSE(session_mode(bad)) << bad;
  EXPECT_FALSE(arrange_style(0));
  EXPECT_FALSE(arrange_style(5));
}

TEST(DeskRules, ArrangementsFillTheWorkArea) {
  const ArrangeRect area{0, 0, 1000, 600};
  EXPECT_EQ(arrange_rects(ArrangeStyle::columns, 3, area, 20),
            (std::vector<ArrangeRect>{{0, 0, 333, 600}, {333, 0, 666, 600}, {666, 0, 1000, 600}}));
  EXPECT_EQ(arrange_rects(ArrangeStyle::rows, 2, area, 20),
            (std::vector<ArrangeRect>{{0, 0, 1000, 300}, {0, 300, 1000, 600}}));
  const auto tiles = arrange_rects(ArrangeStyle::tile, 5, area, 20);   // 3 columns, 2 rows
  ASSERT_EQ(tiles.size(), 5u);
  EXPECT_EQ(tiles[2], (ArrangeRect{666, 0, 1000, 300}));
  EXPECT_EQ(tiles[3], (ArrangeRect{0, 300, 333, 600}));
  const auto cascade = arrange_rects(ArrangeStyle::cascade, 12, {100, 50, 400, 350}, 30);
  EXPECT_EQ(cascade[0], (ArrangeRect{100, 50, 300, 250}));
  EXPECT_EQ(cascade[1], (ArrangeRect{130, 80, 330, 280}));
  EXPECT_EQ(cascade[4], (ArrangeRect{100, 50, 300, 250}));   // the fifth would leave the area
  EXPECT_TRUE(arrange_rects(ArrangeStyle::tile, 0, area, 20).empty());
  const auto tiny = arrange_rects(ArrangeStyle::columns, 4, {0, 0, 2, 2}, 0);
  for (const auto& r : tiny) EXPECT_GT(r.right, r.left);
}

}  // namespace
}  // namespace orv::winauto

namespace orv::winauto {
namespace {

TEST(MouseRules, ClickCodesBecomeButtonSteps) {
  const auto click = click_steps(513);
  ASSERT_TRUE(click);
  ASSERT_EQ(click->size(), 2u);
  EXPECT_TRUE((*click)[0].down);
  EXPECT_FALSE((*click)[1].down);
  EXPECT_EQ(click_steps(518)->size(), 4u);
  EXPECT_EQ((*click_steps(518))[2].button, MouseButton::right);
  EXPECT_EQ((*click_steps(519))[0].button, MouseButton::middle);
  const auto press = click_steps(16);
  ASSERT_EQ(press->size(), 1u);
  EXPECT_TRUE((*press)[0].down);
  EXPECT_FALSE((*click_steps(-4))[0].down);
  for (int bad : {0, 1, 514, 517, 520, 522, -513, 32}) EXPECT_FALSE(click_steps(bad)) << bad;
  EXPECT_TRUE(valid_click_modifiers(3));
  EXPECT_FALSE(valid_click_modifiers(4));
  EXPECT_FALSE(valid_click_modifiers(-1));
}

TEST(MouseRules, PlayButtonsHoldSomeAndClickOnce) {
  const auto drag = play_buttons(4 | 16 | 64);
  ASSERT_TRUE(drag);
  EXPECT_EQ(drag->held, (std::vector<MouseButton>{MouseButton::left, MouseButton::middle}));
  EXPECT_EQ(drag->atEnd.size(), 4u);   // a double click
  EXPECT_TRUE(play_buttons(0)->atEnd.empty());
  EXPECT_EQ(play_buttons(1024)->atEnd[0].button, MouseButton::right);
  EXPECT_FALSE(play_buttons(32 | 512));   // two clicks at the end
  EXPECT_FALSE(play_buttons(1));
  EXPECT_FALSE(play_buttons(2048));
  EXPECT_FALSE(play_buttons(-4));
}

TEST(MouseRules, PointsAsText) {
  EXPECT_EQ(parse_mouse_point("10 20"), (MousePoint{10, 20}));
  EXPECT_EQ(parse_mouse_point(" -5,\t+7 "), (MousePoint{-5, 7}));
  EXPECT_EQ(parse_mouse_point("3,4"), (MousePoint{3, 4}));
  for (std::string_view bad : {"", "10", "10 20 30", "a b", "10x 20", "1.5 2", "10,,20", "- 3", "99999999999 1"})
    EXPECT_FALSE(parse_mouse_point(bad)) << bad;
}

TEST(MouseRules, GridAndPixelsRoundTrip) {
  EXPECT_EQ(grid_to_pixel(500, 0, 640), 320);
  EXPECT_EQ(grid_to_pixel(0, 100, 740), 100);
  EXPECT_EQ(grid_to_pixel(1000, 100, 740), 740);
  EXPECT_EQ(grid_to_pixel(-100, 0, 1000), -100);   // outside the window is allowed
  for (int g = 0; g <= 1000; g += 7) EXPECT_EQ(pixel_to_grid(grid_to_pixel(g, 13, 1293), 13, 1293), g);
  EXPECT_EQ(pixel_to_grid(5, 10, 10), 0);            // an empty window
  EXPECT_TRUE(valid_mouse_request(6));
  EXPECT_FALSE(valid_mouse_request(7));
}

}  // namespace
}  // namespace orv::winauto
