// The platform-free rules of the system built-ins: manifests, request
// tables, computer names, number parameters and elevation prompts.
#include <gtest/gtest.h>

#include "builtins/system/system_rules.h"
#include "engine/uac_facts.h"

namespace orv::sysinfo {
namespace {

using platform::Elevation;

TEST(ManifestSettings, ReadsTheRequestedLevelWhereverItIsWritten) {
  const auto m = uac::parse_manifest(
      "<?xml version='1.0'?><assembly><trustInfo><security><requestedPrivileges>"
      "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess='false'/>"
      "</requestedPrivileges></security></trustInfo></assembly>");
  EXPECT_EQ(m.level, "requireAdministrator");
  EXPECT_EQ(m.uiAccess, "false");
  // A namespace prefix, spaces around "=" and attributes in the other order.
  const auto p = uac::parse_manifest("<ms_asmv3:requestedExecutionLevel uiAccess = \"true\"\n level= 'asInvoker' />");
  EXPECT_EQ(p.level, "asInvoker");
  EXPECT_EQ(p.uiAccess, "true");
  // The other quote character is part of a value.
  EXPECT_EQ(uac::parse_manifest("<requestedExecutionLevel level=\"a'b\" uiAccess='\"'/>").level, "a'b");
  EXPECT_EQ(uac::parse_manifest("<requestedExecutionLevel level=\"a'b\" uiAccess='\"'/>").uiAccess, "\"");
}

TEST(ManifestSettings, IgnoresWhatIsNotTheElement) {
  // A commented-out element, the word in text, and a longer element name.
  EXPECT_EQ(uac::parse_manifest("<!-- <requestedExecutionLevel level=\"requireAdministrator\"/> -->").level, "");
  EXPECT_EQ(uac::parse_manifest("<d>requestedExecutionLevel level=\"x\"</d>").level, "");
  EXPECT_EQ(uac::parse_manifest("<requestedExecutionLevels level=\"x\"/>").level, "");
  // "level" inside another attribute's name is not the level.
  EXPECT_EQ(uac::parse_manifest("<requestedExecutionLevel xlevel=\"a\" level=\"b\"/>").level, "b");
  // Unclosed quotes and a tag cut short give nothing rather than the rest of the file.
  EXPECT_EQ(uac::parse_manifest("<requestedExecutionLevel level=\"asInvoker").level, "");
  EXPECT_EQ(uac::parse_manifest("<requestedExecutionLevel").level, "");
  EXPECT_EQ(uac::parse_manifest("").level, "");
}

TEST(ManifestSettings, ReadsUtf16Manifests) {
  const std::string ascii = "<requestedExecutionLevel level=\"highestAvailable\"/>";
  std::string withBom = "\xFF\xFE", bare;
  for (char ch : ascii) {
    withBom += ch;
    withBom += '\0';
    bare += ch;
    bare += '\0';
  }
  EXPECT_EQ(uac::parse_manifest(withBom).level, "highestAvailable");
  EXPECT_EQ(uac::parse_manifest(bare).level, "highestAvailable");
}

TEST(ElevationNames, MatchTheTraceHeaderWords) {
  EXPECT_STREQ(uac::elevation_name(Elevation::elevated), "Elevated");
  EXPECT_STREQ(uac::elevation_name(Elevation::admin_not_elevated), "Admin Not Elevated");
  EXPECT_STREQ(uac::elevation_name(Elevation::standard), "Standard User or Disabled");
  EXPECT_STREQ(uac::elevation_name(Elevation::unsupported), "Unsupported Platform");
  EXPECT_STREQ(uac::elevation_name(Elevation::unknown), "<Unknown>");
}

TEST(VersionRequests, PickTheirPartAndRefuseOthers) {
  platform::OsVersionDetail v;
  v.major = 10, v.minor = 2, v.build = 19045, v.platformId = 2, v.servicePack = "Service Pack 1";
  v.servicePackMajor = 1, v.productType = 3;
  Answer a;
  ASSERT_TRUE(win_version_part(v, 0, a));
  EXPECT_EQ(a.number, 2);
  ASSERT_TRUE(win_version_part(v, 2, a));
  EXPECT_EQ(a.number, 19045);
  ASSERT_TRUE(win_version_part(v, 4, a));
  EXPECT_TRUE(a.isText);
  EXPECT_EQ(a.text, "Service Pack 1");
  ASSERT_TRUE(win_version_part(v, 5, a));
  EXPECT_EQ(a.text, "10.2.19045");
  ASSERT_TRUE(win_version_part(v, 8, a));
  EXPECT_FALSE(a.isText);
  EXPECT_EQ(a.number, 3);
  EXPECT_FALSE(win_version_part(v, -1, a));
  EXPECT_FALSE(win_version_part(v, 9, a));
  // The command processor's version has only its two numbers.
  ASSERT_TRUE(dos_version_part(v, 1, a));
  EXPECT_EQ(a.number, 10);
  EXPECT_FALSE(dos_version_part(v, 2, a));
}

TEST(ComputerNames, FollowTheRulesOfTheirKind) {
  // NetBIOS: 1 to 15 characters without the reserved punctuation.
  EXPECT_TRUE(valid_computer_name(u"BUILD-07", 0));
  EXPECT_TRUE(valid_computer_name(std::u16string(15, u'A'), 4));
  EXPECT_FALSE(valid_computer_name(std::u16string(16, u'A'), 0));
  EXPECT_FALSE(valid_computer_name(u"", 0));
  EXPECT_FALSE(valid_computer_name(u"A/B", 0));
  EXPECT_FALSE(valid_computer_name(u".HIDDEN", 0));
  // DNS host: one label of letters, digits and inner hyphens.
  EXPECT_TRUE(valid_computer_name(u"web-01", 1));
  EXPECT_FALSE(valid_computer_name(u"-web", 5));
  EXPECT_FALSE(valid_computer_name(u"web.corp", 1));
  EXPECT_FALSE(valid_computer_name(std::u16string(64, u'a'), 1));
  // DNS domain: labels joined by dots; empty clears the suffix.
  EXPECT_TRUE(valid_computer_name(u"corp.example.org", 2));
  EXPECT_TRUE(valid_computer_name(u"", 6));
  EXPECT_FALSE(valid_computer_name(u"corp..org", 2));
  EXPECT_FALSE(valid_computer_name(u"corp.org.", 2));
  // The fully qualified kinds are made of two others and cannot be set.
  EXPECT_FALSE(is_settable_name_type(3));
  EXPECT_FALSE(is_settable_name_type(7));
  EXPECT_FALSE(is_name_type(8));
  EXPECT_FALSE(valid_computer_name(u"web", 3));
}

TEST(SystemParameters, OnlyTableActionsAndWholeNumbers) {
  ASSERT_NE(find_spi_action(0x0068), nullptr);
  EXPECT_EQ(find_spi_action(0x0068)->kind, SpiKind::get_number);
  EXPECT_EQ(find_spi_action(0x0071)->kind, SpiKind::set_by_pointer);
  EXPECT_EQ(find_spi_action(0x0073)->kind, SpiKind::get_text);
  // Actions that take structures are refused, as are numbers outside the table.
  EXPECT_EQ(find_spi_action(0x0003), nullptr);   // reads three numbers into an array
  EXPECT_EQ(find_spi_action(0x0030), nullptr);   // writes a rectangle
  EXPECT_EQ(find_spi_action(-1), nullptr);
  EXPECT_EQ(find_spi_action(0x7FFFFFFF), nullptr);
  EXPECT_FALSE(valid_update_flags(4));
  EXPECT_FALSE(valid_update_flags(-1));
  std::int32_t n = 0;
  EXPECT_TRUE(parse_number(u" -42 ", n));
  EXPECT_EQ(n, -42);
  EXPECT_TRUE(parse_number(u"2147483647", n));
  EXPECT_EQ(n, 2147483647);
  EXPECT_FALSE(parse_number(u"2147483648", n));
  EXPECT_FALSE(parse_number(u"12a", n));
  EXPECT_FALSE(parse_number(u"-", n));
  EXPECT_FALSE(parse_number(u"", n));
}

TEST(SystemParameters, EveryDesktopParameterHasBothActions) {
  for (std::int32_t n = 1; n <= 16; ++n) {
    const WinParm* p = find_win_parm(n);
    ASSERT_NE(p, nullptr) << n;
    const SpiAction* get = find_spi_action(static_cast<std::int32_t>(p->getAction));
    const SpiAction* set = find_spi_action(static_cast<std::int32_t>(p->setAction));
    ASSERT_NE(get, nullptr) << n;
    ASSERT_NE(set, nullptr) << n;
    EXPECT_TRUE(get->kind == SpiKind::get_number || get->kind == SpiKind::get_text) << n;
    // A text read is written back as text, a number as a number.
    EXPECT_EQ(get->kind == SpiKind::get_text, set->kind == SpiKind::set_text) << n;
  }
  EXPECT_EQ(find_win_parm(0), nullptr);
  EXPECT_EQ(find_win_parm(17), nullptr);
}

TEST(SystemMetrics, KnownRangesAndOurOwn) {
  EXPECT_TRUE(valid_metric(0));
  EXPECT_TRUE(valid_metric(99));
  EXPECT_TRUE(valid_metric(0x1000));
  EXPECT_TRUE(valid_metric(kMetricDpiY));
  EXPECT_FALSE(valid_metric(kMetricDpiY - 1));
  EXPECT_FALSE(valid_metric(100));
  EXPECT_FALSE(valid_metric(0x2006));
}

TEST(ElevationPrompts, FollowTheRequestedLevel) {
  for (Elevation e : {Elevation::elevated, Elevation::unsupported}) {
    EXPECT_FALSE(start_would_prompt(e, "requireAdministrator", u"tool.exe"));
    EXPECT_FALSE(start_would_prompt(e, "", u"setup.exe"));
  }
  EXPECT_TRUE(start_would_prompt(Elevation::standard, "requireAdministrator", u"tool.exe"));
  EXPECT_TRUE(start_would_prompt(Elevation::unknown, "RequireAdministrator", u"tool.exe"));
  // highestAvailable asks only an administrator who runs filtered.
  EXPECT_FALSE(start_would_prompt(Elevation::standard, "highestAvailable", u"tool.exe"));
  EXPECT_TRUE(start_would_prompt(Elevation::admin_not_elevated, "highestAvailable", u"tool.exe"));
  // An explicit asInvoker overrides the guess by name.
  EXPECT_FALSE(start_would_prompt(Elevation::standard, "asInvoker", u"C:\\x\\setup.exe"));
  EXPECT_TRUE(start_would_prompt(Elevation::standard, "", u"C:\\x\\MySetup.EXE"));
  EXPECT_TRUE(start_would_prompt(Elevation::admin_not_elevated, "", u"patch01.exe"));
  // Only the file's own name is looked at, not its folder's.
  EXPECT_FALSE(start_would_prompt(Elevation::standard, "", u"C:\\install\\tool.exe"));
}

TEST(ElevationPrompts, ProtectedFoldersAndWhatLiesBelow) {
  const std::vector<std::u16string> roots = {u"C:\\Windows", u"C:\\Program Files\\"};
  EXPECT_TRUE(writing_would_prompt(Elevation::standard, u"c:\\windows", roots));
  EXPECT_TRUE(writing_would_prompt(Elevation::standard, u"C:/Program Files/App/", roots));
  // A folder whose name only starts like a protected one is not below it.
  EXPECT_FALSE(writing_would_prompt(Elevation::standard, u"C:\\WindowsApps", roots));
  EXPECT_FALSE(writing_would_prompt(Elevation::standard, u"C:\\Users\\me", roots));
  EXPECT_FALSE(writing_would_prompt(Elevation::elevated, u"C:\\Windows\\System32", roots));
  EXPECT_FALSE(writing_would_prompt(Elevation::standard, u"C:\\Windows", {}));
  EXPECT_FALSE(is_within(u"C:\\", u""));
}

}  // namespace
}  // namespace orv::sysinfo
