// Platform-free halves of the INI and registry families: the settings-file
// document used off Windows, and the registry's key/value syntax and text
// forms of value data.
#include <gtest/gtest.h>

#include "builtins/ini/ini_document.h"
#include "builtins/registry/reg_text.h"

namespace orv {
namespace {

using ini::IniDocument;

TEST(IniDocument, ReadsSectionsKeysAndValuesWithoutCase) {
  IniDocument d;
  d.parse("; comment\r\nloose\n[Main]\r\n a = 1 \nB=\"quoted value\"\n\n[other]\nc=x=y\n[MAIN]\nd=late\n");
  EXPECT_EQ(d.get("main", "A"), "1");
  EXPECT_EQ(d.get("MAIN", "b"), "quoted value");
  EXPECT_EQ(d.get("Other", "c"), "x=y");
  EXPECT_EQ(d.get("main", "zz"), std::nullopt);
  EXPECT_EQ(d.get("none", "a"), std::nullopt);
  EXPECT_EQ(d.sections(), (std::vector<std::string>{"Main", "other", "MAIN"}));
  EXPECT_EQ(d.keys("main"), (std::vector<std::string>{"a", "B"}));
}

TEST(IniDocument, EditsKeepOtherLinesAndRoundTrip) {
  IniDocument d;
  d.parse("; keep me\n[s]\na=1\n; inner\nb=2\n[t]\nc=3\n");
  d.set("S", "A", "one");
  d.set("s", "new", "4");
  d.set("fresh", "k", "v");
  d.erase_key("s", "b");
  d.erase_section("T");
  IniDocument again;
  again.parse(d.text());
  EXPECT_EQ(again.get("s", "a"), "one");
  EXPECT_EQ(again.get("s", "new"), "4");
  EXPECT_EQ(again.get("s", "b"), std::nullopt);
  EXPECT_EQ(again.get("t", "c"), std::nullopt);
  EXPECT_EQ(again.get("fresh", "k"), "v");
  EXPECT_NE(d.text().find("; keep me"), std::string::npos);
  EXPECT_NE(d.text().find("; inner"), std::string::npos);
}

// A line with nothing before its "=" is no key, and stays what it was when
// written back (it once came back as a section).
TEST(IniDocument, LinesWithoutAKeyStayAsTheyAre) {
  IniDocument d;
  d.parse("[s]\n=v\n\r=[x]\nk=1\n");
  EXPECT_EQ(d.keys("s"), (std::vector<std::string>{"k"}));
  IniDocument again;
  again.parse(d.text());
  EXPECT_EQ(again.sections(), (std::vector<std::string>{"s"}));
  EXPECT_EQ(again.keys("s"), (std::vector<std::string>{"k"}));
}

TEST(RegistryPath, SubkeyAndValueSyntax) {
  registry::KeyAndValue kv;
  EXPECT_EQ(registry::split_key_and_value("Software\\X[Name]", kv), 0);
  EXPECT_EQ(kv.subkey, "Software\\X");
  EXPECT_EQ(kv.value, "Name");
  EXPECT_EQ(registry::split_key_and_value("Software\\X\\[Name]", kv), 0);
  EXPECT_EQ(kv.subkey, "Software\\X");
  EXPECT_EQ(registry::split_key_and_value("[only]", kv), 0);
  EXPECT_EQ(kv.subkey, "");
  EXPECT_EQ(kv.value, "only");
  EXPECT_EQ(registry::split_key_and_value("Software\\X", kv), 0);
  EXPECT_FALSE(kv.namesValue);
  EXPECT_EQ(kv.value, "");
  EXPECT_EQ(registry::split_key_and_value("Software\\X[]", kv), 0);
  EXPECT_TRUE(kv.namesValue);
  EXPECT_EQ(registry::split_key_and_value("Software\\X[Name", kv), 1402);
  EXPECT_EQ(registry::split_key_and_value("[", kv), 1402);
  EXPECT_EQ(registry::split_key_and_value(std::string(registry::kMaxSubkey, 'k'), kv), 1460);
  EXPECT_TRUE(registry::names_wow_branch("Software\\wow6432Node\\x"));
  EXPECT_FALSE(registry::names_wow_branch("Software\\Wow6432"));
}

TEST(RegistryText, NumbersAndBytes) {
  EXPECT_EQ(registry::dword_text(4294967295u, false), "4294967295");
  EXPECT_EQ(registry::dword_text(255, true), "FF");
  const unsigned char be[] = {0x01, 0x02, 0x03, 0x04};
  EXPECT_EQ(registry::big_endian_dword(be, 4), 0x01020304u);
  const unsigned char bytes[] = {0x01, 0x02, 0xFF};
  EXPECT_EQ(registry::hex_pairs(bytes, 3), "01 02 FF ");
  EXPECT_EQ(registry::parse_dword(" 42 ", false), 42u);
  EXPECT_EQ(registry::parse_dword("ff", true), 255u);
  EXPECT_EQ(registry::parse_dword("0x10", true), 16u);
  EXPECT_EQ(registry::parse_dword("4294967296", false), std::nullopt);
  EXPECT_EQ(registry::parse_dword("12a", false), std::nullopt);
  EXPECT_EQ(registry::parse_dword("", false), std::nullopt);
}

TEST(RegistryText, HexPairs) {
  using Bytes = std::vector<unsigned char>;
  EXPECT_EQ(registry::parse_hex_pairs("01 02  ff\tA0"), (Bytes{1, 2, 255, 160}));
  EXPECT_EQ(registry::parse_hex_pairs("   "), Bytes{});
  EXPECT_EQ(registry::parse_hex_pairs(""), Bytes{});
  EXPECT_EQ(registry::parse_hex_pairs("1 02"), std::nullopt);
  EXPECT_EQ(registry::parse_hex_pairs("012"), std::nullopt);
  EXPECT_EQ(registry::parse_hex_pairs("0g"), std::nullopt);
  EXPECT_EQ(registry::parse_hex_pairs("01,02"), std::nullopt);
  // What the query side prints, the set side reads.
  const unsigned char all[] = {0, 0x7F, 0x80, 0xFF};
  EXPECT_EQ(registry::parse_hex_pairs(registry::hex_pairs(all, 4)), (Bytes{0, 0x7F, 0x80, 0xFF}));
}

TEST(RegistryText, MultiStrings) {
  const std::string multi = registry::text_to_multi("a|bc||d", '|');
  EXPECT_EQ(multi, std::string("a\0bc\0\0d\0\0", 9));
  EXPECT_EQ(registry::multi_to_text(multi, '|'), "a|bc||d");
  EXPECT_EQ(registry::multi_to_text(std::string("\0", 1), ','), "");
}

}  // namespace
}  // namespace orv
