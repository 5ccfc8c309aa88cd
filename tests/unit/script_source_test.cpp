// Reading script texts as files hold them: encodings, #include lines and
// their layout for scripts (line-origin markers) and for menus.
#include <gtest/gtest.h>

#include "engine/script_source.h"
#include "tests/support/memory_files.h"

using namespace orv;

namespace {

struct Result {
  bool ok = false;
  std::string text;
  SourceFault fault;
};

Result expand(const std::string& text, orv::test_support::MemoryFiles& files, bool menu) {
  IncludeStyle style;
  style.scriptLayout = !menu;
  style.menuLayout = menu;
  Result r;
  r.ok = expand_includes(text, "/s/main.orv", "/s/", style, files, r.text, r.fault);
  return r;
}

}  // namespace

TEST(ScriptSource, DecodingRefusesTheEncodedFormAndConvertsUtf16) {
  SourceFault fault;
  std::string encoded = "\x03" "abc";
  EXPECT_FALSE(decode_script_bytes(encoded, fault));
  EXPECT_EQ(fault.number, 219);
  std::string le("\xFF\xFEx\0=\0" "1\0", 8);
  ASSERT_TRUE(decode_script_bytes(le, fault));
  EXPECT_EQ(le, "x=1");
  std::string odd("\xFE\xFF\0y\0", 5);   // a lone last byte is dropped
  ASSERT_TRUE(decode_script_bytes(odd, fault));
  EXPECT_EQ(odd, "y");
  std::string plain = "\xFFx";
  ASSERT_TRUE(decode_script_bytes(plain, fault));
  EXPECT_EQ(plain, "\xFFx");
}

TEST(ScriptSource, IncludeNamesQuotedOrBare) {
  std::string name;
  EXPECT_TRUE(include_name("#include a b.orv  \r", name));
  EXPECT_EQ(name, "a b.orv");
  EXPECT_TRUE(include_name("  #INCLUDE `x y.orv` rest", name));
  EXPECT_EQ(name, "x y.orv");
  EXPECT_FALSE(include_name("#include 'open", name));
  EXPECT_FALSE(include_name("#include ", name));
  EXPECT_FALSE(include_name("#include " + std::string(261, 'n'), name));
  EXPECT_TRUE(is_include_line("\t#Include\tx"));
  EXPECT_FALSE(is_include_line("#includex y"));
  EXPECT_FALSE(is_include_line("#include"));
}

TEST(ScriptSource, ScriptLayoutMarksWhereEachLineCameFrom) {
  orv::test_support::MemoryFiles files;
  files.files["/s/inc.orv"] = "b = 2\r\nc = 3";
  Result r = expand("a = 1\n#include inc.orv\nd = 4\n", files, false);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.text, marker_line(1, "/s/main.orv") + "a = 1\n" + marker_line(1, "/s/inc.orv") + "b = 2 \nc = 3\n" +
                        marker_line(3, "/s/main.orv") + "d = 4\n");
}

TEST(ScriptSource, IncludeFanOutEndsInsteadOfRunningForEver) {
  // Each file includes the next one eight times: 8^16 expansions of empty files.
  orv::test_support::MemoryFiles files;
  for (int k = 1; k <= 16; ++k) {
    std::string text;
    for (int n = 0; n < 8; ++n) text += k < 16 ? "#include " + std::to_string(k + 1) + "\n" : "";
    files.files["/s/" + std::to_string(k)] = text;
  }
  for (bool menu : {false, true}) {
    Result r = expand("#include 1\n", files, menu);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.fault.number, 216);
  }
}
