// The platform-free halves of window automation: title patterns, window ids,
// the key language and the launcher's command lines.
#include <gtest/gtest.h>

#include "winauto/command_line.h"
#include "winauto/key_language.h"
#include "winauto/title_pattern.h"

namespace orv::winauto {
namespace {

bool matches(std::string_view title, std::string_view pattern) { return title_matches<char>(title, pattern); }

TEST(TitlePattern, PrefixExactSubstringAndAnchoredForms) {
  EXPECT_TRUE(matches("abcdef", "abc"));
  EXPECT_FALSE(matches("ab", "abc"));
  EXPECT_FALSE(matches("abc", "ABC"));       // case counts in every form
  EXPECT_TRUE(matches("abc", "abc~"));
  EXPECT_FALSE(matches("abcd", "abc~"));
  EXPECT_TRUE(matches("xxabcyy", "~abc"));
  EXPECT_FALSE(matches("xxABCyy", "~abc"));
  EXPECT_TRUE(matches("xxabc", "~abc~"));
  EXPECT_FALSE(matches("abcx", "~abc~"));
  EXPECT_TRUE(matches("abc-abc", "~abc~"));   // a later occurrence may end it
  EXPECT_TRUE(matches("~tilde", "~"));        // one character: always a prefix
  EXPECT_FALSE(matches("tilde~", "~"));
  EXPECT_FALSE(matches("", ""));              // an empty title never matches
  EXPECT_TRUE(matches("anything", ""));
}

TEST(TitlePattern, WorksOnWideText) {
  EXPECT_TRUE(title_matches<char16_t>(u"Untitled - Editor", u"~Editor~"));
  EXPECT_FALSE(title_matches<char16_t>(u"Untitled - Editor", u"Editor"));
}

TEST(WindowId, FormParseAndRoundTrip) {
  EXPECT_EQ(make_window_id(0x1A2B3), "#WIN$ID#0001A2B3");
  EXPECT_EQ(parse_window_id<char>("#WIN$ID#0001A2B3"), 0x1A2B3u);
  EXPECT_EQ(parse_window_id<char>(make_window_id(0xFFFFFFFF)), 0xFFFFFFFFu);
  EXPECT_FALSE(is_window_id<char>("#win$id#0001A2B3"));     // the prefix is case-sensitive
  EXPECT_FALSE(is_window_id<char>("#WIN$ID#0001A2B"));      // exactly 16 characters
  EXPECT_TRUE(is_window_id<char>("#WIN$ID#0001A2GZ"));
  EXPECT_FALSE(parse_window_id<char>("#WIN$ID#0001A2GZ"));  // id form, but no number
}

std::string describe(const KeyParse& p) {
  std::string s;
  for (const KeyUnit& u : p.units) {
    s += u.isChar ? std::string(1, static_cast<char>(u.code)) : "vk" + std::to_string(u.code);
    if (u.mods) s += "/m" + std::to_string(u.mods);
    if (u.repeat != 1) s += "x" + std::to_string(u.repeat);
    s += ' ';
  }
  if (p.malformed) s += "MALFORMED";
  return s;
}

TEST(KeyLanguage, PlainCharactersModifiersAndEnter) {
  EXPECT_EQ(describe(parse_keys("ab")), "a b ");
  EXPECT_EQ(describe(parse_keys("+a^b!c")), "a/m1 b/m2 c/m4 ");
  EXPECT_EQ(describe(parse_keys("+^x")), "x/m3 ");
  EXPECT_EQ(describe(parse_keys("~")), "vk13 ");
  EXPECT_EQ(describe(parse_keys("+")), "");   // a modifier with nothing after it sends nothing
}

TEST(KeyLanguage, BracedNamesCountsAndLiterals) {
  EXPECT_EQ(describe(parse_keys("{ENTER 3}")), "vk13x3 ");
  EXPECT_EQ(describe(parse_keys("{enter}")), "vk13 ");
  EXPECT_EQ(describe(parse_keys("{a 5}{a 0}")), "ax5 ax0 ");
  EXPECT_EQ(describe(parse_keys("{}}{{}{+}{~}")), "} { + ~ ");
  EXPECT_EQ(describe(parse_keys("+{TAB}")), "vk9/m1 ");
  EXPECT_EQ(describe(parse_keys("^+{ESC}")), "vk27/m3 ");
  EXPECT_EQ(describe(parse_keys("{NUMPAD~}")), "vk0 ");
  EXPECT_EQ(describe(parse_keys("{F16}{f1}")), "vk127 vk112 ");
  EXPECT_EQ(describe(parse_keys("{a 99999999999}")), "ax2147483647 ");   // saturates, never overflows
}

TEST(KeyLanguage, HeldModifiersKeepTheirSideOnlyWhenAsked) {
  EXPECT_EQ(describe(parse_keys("{*LWIN}r")), "r/m512 ");
  EXPECT_EQ(describe(parse_keys("{*LSHIFT}{*RCONTROL}x")), "x/m192 ");
  EXPECT_EQ(describe(parse_keys("{*LSHIFT}{*RCONTROL}x", false)), "x/m3 ");
}

TEST(KeyLanguage, MalformedStringsKeepTheUnitsBeforeThem) {
  EXPECT_EQ(describe(parse_keys("ab{F17}c")), "a b MALFORMED");
  EXPECT_EQ(describe(parse_keys("x{ENTER")), "x MALFORMED");
  EXPECT_EQ(describe(parse_keys("{NOSUCHKEY 2}")), "MALFORMED");
  EXPECT_EQ(key_code("pgdn"), 0x22);
  EXPECT_EQ(key_code("PGDOWN"), -1);
}

std::string events(std::uint16_t vk, std::uint32_t mods) {
  std::vector<KeyEvent> out;
  key_events(vk, mods, out);
  std::string s;
  char buf[16];
  for (const KeyEvent& e : out) {
    std::snprintf(buf, sizeof buf, "%s%02X%s ", e.up ? "^" : "v", e.vk, e.extended ? "x" : "");
    s += buf;
  }
  return s;
}

TEST(KeyLanguage, AltIsReleasedBeforeTheKeyAndOthersAfter) {
  EXPECT_EQ(events(0x41, 0), "v41 ^41 ");
  EXPECT_EQ(events(0x41, mod::kShift | mod::kCtrl | mod::kAlt), "v10 v11 v12 v41 ^12 ^41 ^11 ^10 ");
  EXPECT_EQ(events(0x52, mod::kLWin | mod::kRAlt), "v5Bx vA5x v52 ^A5x ^52 ^5Bx ");
}

TEST(KeyLanguage, ExtendedFlagFollowsTheKeyRanges) {
  EXPECT_FALSE(make_event(0x0D, false).extended);
  EXPECT_TRUE(make_event(0x2E, false).extended);    // Delete
  EXPECT_TRUE(make_event(0x25, false).extended);    // Left arrow
  EXPECT_TRUE(make_event(0x60, false).extended);    // keypad
  EXPECT_FALSE(make_event(0x7F, false).extended);   // F16
  KeyEvent keypadEnter = make_event(0, true);
  EXPECT_EQ(keypadEnter.vk, 0x0D);
  EXPECT_TRUE(keypadEnter.extended && keypadEnter.up);
  EXPECT_EQ(layout_modifiers(0x01), mod::kShift);
  EXPECT_EQ(layout_modifiers(0x06), mod::kCtrl | mod::kAlt);
  EXPECT_EQ(layout_modifiers(0x80), mod::kLShift);
}

TEST(CommandLine, QuotedAndUnquotedForms) {
  EXPECT_EQ(quoted_command("C:\\a b\\p.exe", "x y"), "\"C:\\a b\\p.exe\" x y");
  EXPECT_EQ(quoted_command("\"p.exe\"", ""), "\"p.exe\"");
  EXPECT_EQ(unquoted_command("p.exe", "1"), "p.exe 1");
  EXPECT_EQ(show_command(5), std::nullopt);
  EXPECT_EQ(show_command(-1), 0);
  EXPECT_EQ(shell_show_command(2), 5);
  EXPECT_EQ(shell_show_command(7), 1);
}

TEST(CommandLine, AppPathsKeysAndProgramParts) {
  EXPECT_EQ(app_paths_keys("c:\\tools\\Edit.Exe"), std::vector<std::string>{"EDIT.EXE"});
  EXPECT_EQ(app_paths_keys("notes"), (std::vector<std::string>{"NOTES", "NOTES.EXE"}));
  EXPECT_TRUE(app_paths_keys("c:\\dir\\").empty());
  ProgramParts p = split_program("\"c:\\x.y\\name\"");
  EXPECT_EQ(p.dir, "c:\\x.y\\");
  EXPECT_EQ(p.name, "name");
  EXPECT_EQ(p.ext, "");
}

TEST(CommandLine, TemplateExpansion) {
  EXPECT_EQ(parameter_words("a \"b c\"  d"), (std::vector<std::string>{"a", "\"b c\"", "d"}));
  EXPECT_EQ(expand_template("\"%1\" %2 [%*] 50%% %x", "doc.txt", "one two three"),
            "\"doc.txt\" one [two three] 50%% %x");
  EXPECT_EQ(expand_template("%1 %*", "d", "  a b"), "d a b");
  EXPECT_EQ(expand_template("%9", "d", "a"), "");   // a missing word is empty
  EXPECT_EQ(expand_template(std::string(100, 'x') + "%1", std::string(kCommandLineMax, 'p'), ""), std::nullopt);
  EXPECT_EQ(association_command("notepad.exe %1", "c:\\a.txt", ""), "notepad.exe c:\\a.txt");
  EXPECT_EQ(association_command("\"c:\\pro gram\\v.exe\" /open", "a.txt", "p"), "\"c:\\pro gram\\v.exe\" \"a.txt\" p");
}

}  // namespace
}  // namespace orv::winauto
