// Menu files: line kinds, hot keys, the title state machine and its messages.
#include <gtest/gtest.h>

#include "ui/menus/menu_file.h"

using namespace orv::menus;

TEST(MenuLines, KindsByIndentation) {
  EXPECT_EQ(classify("File"), LineKind::title1);
  EXPECT_EQ(classify(" Open"), LineKind::title2);
  EXPECT_EQ(classify("  Recent"), LineKind::title3);
  EXPECT_EQ(classify("   One"), LineKind::title4);
  EXPECT_EQ(classify("    Message(1,2)"), LineKind::script);
  EXPECT_EQ(classify("\tx=1"), LineKind::script);
  EXPECT_EQ(classify("  \tx=1"), LineKind::script);
  for (const char* ignored : {"", "   ", "\t", "' note", "  ; note", "\t'note"})
    EXPECT_EQ(classify(ignored), LineKind::ignored) << ignored;
}

TEST(MenuHotKeys, ModifiersNamesAndWords) {
  HotKey k;
  ASSERT_TRUE(parse_hot_key("^E", k));
  EXPECT_EQ(k.word, 0x4045);
  EXPECT_EQ(k.shown, "Ctrl+E");
  ASSERT_TRUE(parse_hot_key("!{f4}", k));
  EXPECT_EQ(k.word, 0x3000 | 0x1073);
  EXPECT_EQ(k.shown, "Alt+F4");
  ASSERT_TRUE(parse_hot_key("+{ Num Pad 7 }", k));
  EXPECT_EQ(k.word, 0x8000 | 0x1067);
  ASSERT_TRUE(parse_hot_key("^1", k));   // Ctrl outside A..Z carries the virtual-key flag
  EXPECT_EQ(k.word, 0x4000 | 0x1000 | '1');
  ASSERT_TRUE(parse_hot_key("{ESC}", k));
  EXPECT_EQ(k.word, 0x001B);
  ASSERT_TRUE(parse_hot_key("q", k));
  EXPECT_EQ(k.word, 'Q');
  ASSERT_TRUE(parse_hot_key("{F16}", k));
  EXPECT_EQ(k.word, 0x107F);
  for (const char* bad : {"", "^", "{F17}", "{NOPE}", "{F1", "!+^"}) EXPECT_FALSE(parse_hot_key(bad, k)) << bad;
}

TEST(MenuFileParse, BuildsPopupsCommandsAndScripts) {
  const MenuFile m = parse_menu(
      "; a comment\n"
      "&File\n"
      " &Open\\^O\n"
      "\tMessage(\"a\", \"b\")\n"
      "    x = 1\n"
      " &Recent\n"
      "  One\n"
      "   Deep\\{F2}\n"
      "\tDeep()\r\n"
      "Edit\\^E\n"
      "\tEdit()\n");
  ASSERT_EQ(m.message, 0) << m.badLine << m.badText;
  ASSERT_EQ(m.entries.size(), 6u);
  EXPECT_TRUE(m.entries[0].popup);
  EXPECT_EQ(m.entries[1].menu_text(), "&Open\tCtrl+O");
  EXPECT_EQ(m.entries[1].item, 1);
  EXPECT_TRUE(m.entries[2].popup && m.entries[3].popup);
  EXPECT_EQ(m.entries[4].level, 4);
  EXPECT_EQ(m.entries[4].item, 2);
  EXPECT_EQ(m.entries[5].menu_text(), "Edit\tCtrl+E");
  EXPECT_EQ(m.entries[5].item, 3);
  std::string script;
  ASSERT_TRUE(item_script(m, 1, script));
  EXPECT_EQ(script, "Message(\"a\", \"b\")\r\nx = 1\r\n");
  ASSERT_TRUE(item_script(m, 2, script));
  EXPECT_EQ(script, "Deep()\r\n");
  EXPECT_FALSE(item_script(m, 4, script));
}

TEST(MenuFileParse, StructuralFaultsNameTheirLine) {
  struct Case { const char* text; int message; int line; };
  for (const Case& k : {Case{" Open\n", 512, 1}, Case{"File\n  Deep\n", 514, 2}, Case{"File\n Open\n   Four\n", 519, 3},
                        Case{"F\n O\n  R\n X\n", 521, 4}, Case{"F\n O\n  R\n   D\n   E\n", 580, 5},
                        Case{"F\n\tx\n O\n", 515, 3}, Case{"F\n O\n\tx\n  R\n", 520, 4},
                        Case{"F\n O\n  R\n\tx\n   D\n", 579, 5}, Case{"F\n", 527, 1}, Case{"", 512, 0},
                        Case{"F\n O\n", 527, 2}}) {
    const MenuFile m = parse_menu(k.text);
    EXPECT_EQ(m.message, k.message) << k.text;
    if (k.message != 527 && k.message != 512) {
      EXPECT_EQ(m.badLine, k.line) << k.text;
    }
  }
  // In level-4 code every title level may follow.
  EXPECT_EQ(parse_menu("F\n O\n  R\n   D\n\tx\n   E\n\ty\n  S\n\tz\n G\n\tw\nH\n\tv\n").message, 0);
  // NUL and Ctrl+Z end the file; script lines before any title are ignored.
  EXPECT_EQ(parse_menu("\tearly\nF\n\tx\n\x1A junk\n").message, 0);
  EXPECT_EQ(parse_menu(std::string_view("F\n\tx\n\0 junk\n", 12)).message, 0);
}
