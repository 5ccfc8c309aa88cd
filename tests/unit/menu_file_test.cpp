// Menu files: line kinds, hot keys, the title state machine and its messages.
#include <gtest/gtest.h>

#include "tests/support/memory_files.h"
#include "ui/menus/menu_file.h"
#include "ui/menus/menu_status.h"
#include "ui/menus/menu_text.h"

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

TEST(MenuFileParse, PopupsAreNumberedInFileOrder) {
  const MenuFile m = parse_menu("File\n Open\n\tx\n Recent\n  One\n\ty\nEdit\n\tz\nView\n Zoom\n\tw\n");
  ASSERT_EQ(m.message, 0);
  std::vector<std::pair<std::string, int>> popups;
  for (const MenuEntry& e : m.entries)
    if (e.popup) popups.emplace_back(e.caption, e.popupNumber);
  EXPECT_EQ(popups, (std::vector<std::pair<std::string, int>>{{"File", 1}, {"Recent", 2}, {"View", 3}}));
}

// ---- The text before parsing: decoding and #include ----

namespace {

struct Prepared {
  bool ok = false;
  std::string text;
  MenuTextFault fault;
};

Prepared prepare(const std::string& raw, orv::test_support::MemoryFiles& files) {
  Prepared p;
  p.ok = prepare_menu_text(raw, "/m/menu.mnu", files, p.text, p.fault);
  return p;
}

std::string utf16le(std::string_view ascii) {
  std::string out = "\xFF\xFE";
  for (char ch : ascii) { out += ch; out += '\0'; }
  return out;
}

}  // namespace

TEST(MenuText, Utf16WithEitherMarkReadsLikeItsAnsiForm) {
  orv::test_support::MemoryFiles files;
  const std::string ansi = "File\n\tx = 1\n";
  Prepared le = prepare(utf16le(ansi), files);
  ASSERT_TRUE(le.ok);
  EXPECT_EQ(le.text, ansi);
  std::string be = "\xFE\xFF";
  for (char ch : ansi) { be += '\0'; be += ch; }
  Prepared big = prepare(be, files);
  ASSERT_TRUE(big.ok);
  EXPECT_EQ(big.text, ansi);
}

TEST(MenuText, EncodedFormIsRefusedWithItsFileName) {
  orv::test_support::MemoryFiles files;
  for (char first : {'\x01', '\x02', '\x03'}) {
    Prepared p = prepare(std::string(1, first) + "File\n\tx\n", files);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.fault.message, 219);
    EXPECT_EQ(p.fault.detail, "/m/menu.mnu");
  }
  files.files["/m/enc.orv"] = "\x02payload";
  Prepared inc = prepare("File\n\t#include enc.orv\n", files);
  EXPECT_EQ(inc.fault.message, 219);
  EXPECT_EQ(inc.fault.detail, "enc.orv");
}

TEST(MenuText, IncludesExpandBeforeParsingAndKeepItemNumbers) {
  orv::test_support::MemoryFiles files;
  // A whole menu from another file, UTF-16, from the menu's own folder.
  files.files["/m/file.mnu"] = utf16le("File\r\n Open\r\n\tOpen()\r\n");
  // Code shared by items: its lines take the indentation of the #include line.
  files.files["/m/common.orv"] = "a = 1\nb = 2";
  Prepared p = prepare("#include file.mnu\r\nEdit\n\t#include \"common.orv\"\n\tEdit()\nHelp\n    #include 'common.orv'\n", files);
  ASSERT_TRUE(p.ok) << p.fault.message;
  const MenuFile m = parse_menu(p.text);
  ASSERT_EQ(m.message, 0) << m.badText;
  std::string script;
  ASSERT_TRUE(item_script(m, 1, script));
  EXPECT_EQ(script, "Open()\r\n");
  ASSERT_TRUE(item_script(m, 2, script));
  EXPECT_EQ(script, "a = 1\r\nb = 2\r\nEdit()\r\n");
  ASSERT_TRUE(item_script(m, 3, script));
  EXPECT_EQ(script, "a = 1\r\nb = 2\r\n");
  EXPECT_FALSE(item_script(m, 4, script));
}

TEST(MenuText, ReportsTheFilesItIncluded) {
  // Their dates join the menu file's, so a change to any of them rebuilds the menus.
  orv::test_support::MemoryFiles files;
  files.files["/m/a.mnu"] = "#include b.orv\n";
  files.files["/m/b.orv"] = "\tx\n";
  std::string text;
  MenuTextFault fault;
  std::vector<std::string> included;
  ASSERT_TRUE(prepare_menu_text("File\n#include a.mnu\n", "/m/menu.mnu", files, text, fault, &included));
  EXPECT_EQ(text, "File\n\tx\n");
  EXPECT_EQ(included, (std::vector<std::string>{"/m/a.mnu", "/m/b.orv"}));
}

TEST(MenuText, IncludeFaultsNameTheFile) {
  orv::test_support::MemoryFiles files;
  Prepared missing = prepare("File\n\t#include gone.orv\n", files);
  EXPECT_EQ(missing.fault.message, 217);
  EXPECT_EQ(missing.fault.detail, "gone.orv");
  files.files["/m/x.orv"] = "x";
  Prepared unclosed = prepare("File\n\t#include \"x.orv\n", files);   // a quote not closed on its line
  EXPECT_EQ(unclosed.fault.message, 217);
  // Text after Ctrl+Z or NUL is not part of the menu, so its includes are not read.
  EXPECT_TRUE(prepare("File\n\tx\n\x1A#include gone.orv\n", files).ok);
  const char withNul[] = "File\n\tx\n\0#include gone.orv\n";
  EXPECT_TRUE(prepare(std::string(withNul, sizeof withNul - 1), files).ok);
  files.files["/m/stop.orv"] = std::string("y\n\x1A#include gone.orv\n");
  Prepared stop = prepare("File\n\t#include stop.orv\n\tz\n", files);
  ASSERT_TRUE(stop.ok);
  EXPECT_EQ(stop.text, "File\n\ty\n\tz\n");
}

TEST(MenuText, SixteenNestedIncludesReadAndSeventeenFail) {
  auto chain = [](int depth) {
    orv::test_support::MemoryFiles files;
    for (int k = 1; k < depth; ++k)
      files.files["/m/" + std::to_string(k)] = "#include " + std::to_string(k + 1) + "\n";
    files.files["/m/" + std::to_string(depth)] = "\tdeep()\n";
    std::string text;
    MenuTextFault fault;
    const bool ok = prepare_menu_text("File\n#include 1\n", "/m/menu.mnu", files, text, fault);
    return ok ? std::uint16_t{0} : fault.message;
  };
  EXPECT_EQ(chain(16), 0);
  EXPECT_EQ(chain(17), 218);
}

// ---- Status-line texts ----

TEST(MenuStatus, NamesAndLookups) {
  EXPECT_EQ(status_text_name(false, 'A', 12), "%MA12");
  EXPECT_EQ(status_text_name(true, 'b', 3), "%PB3");
  EXPECT_EQ(status_text_name(false, '\0', 1), "%MA1");   // no letter given: the first menu file
  std::vector<std::string> asked;
  StatusTextLookup lookup = [&](const std::string& name, std::string& text) {
    asked.push_back(name);
    if (name != "%MA2") return false;
    text = "Opens a file";
    return true;
  };
  EXPECT_EQ(status_text(false, 'A', 2, lookup), "Opens a file");
  EXPECT_EQ(status_text(true, 'A', 2, lookup), "");    // a pop-up of the same number has its own name
  EXPECT_EQ(status_text(false, 'A', 0, lookup), "");   // an entry without a number is not looked up
  EXPECT_EQ(asked, (std::vector<std::string>{"%MA2", "%PA2"}));
  EXPECT_EQ(status_text(false, 'A', 2, nullptr), "");
}
