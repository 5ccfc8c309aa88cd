// The exact bytes the text-file and array file functions put on disk:
// byte-order marks written once, terminators in the file's encoding, appends
// that follow an existing file's encoding, and replacements that keep the
// old file when they cannot finish.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "builtins/files/file_table.h"
#include "engine/context.h"
#include "tests/unit/host_fixture.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

class TextFileBytesTest : public test::FileHostTest {
 protected:
  TextFileBytesTest() : FileHostTest("orv_bytes_") {}
  // Runs the script with $F standing for the file's path.
  std::uint32_t run_on(const char* name, std::string script) {
    for (std::size_t at; (at = script.find("$F")) != std::string::npos;) script.replace(at, 2, "\"" + path(name) + "\"");
    return run(script);
  }
};

std::string le(const std::u16string& s) {
  std::string out;
  for (char16_t u : s) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
  return out;
}

TEST_F(TextFileBytesTest, UnicodeWriteHasOneMarkAndTerminatorsInUtf16) {
  ASSERT_EQ(run_on("w.txt", "h = FileOpen($F, \"WRITE\", 1)\nFileWrite(h, \"ab\")\nIntControl(53, 2, 0, 0, 0)\n"
                            "FileWrite(h, \"c\")\nFileClose(h)\n"),
            0u);
  EXPECT_EQ(bytes("w.txt"), "\xFF\xFE" + le(u"ab\r\nc\n"));
}

TEST_F(TextFileBytesTest, AppendFollowsTheFileAndNeverAddsASecondMark) {
  put("le.txt", "\xFF\xFE" + le(u"x\r\n"));
  put("be.txt", std::string("\xFE\xFF\0x\0\r\0\n", 8));
  put("ansi.txt", "x\r\n");
  ASSERT_EQ(run_on("le.txt", "h = FileOpen($F, \"APPEND\", 1)\nFileWrite(h, \"y\")\nFileClose(h)\n"), 0u);
  EXPECT_EQ(bytes("le.txt"), "\xFF\xFE" + le(u"x\r\ny\r\n"));
  ASSERT_EQ(run_on("be.txt", "h = FileOpen($F, \"APPEND\")\nFileWrite(h, \"y\")\nFileClose(h)\n"), 0u);
  EXPECT_EQ(bytes("be.txt"), std::string("\xFE\xFF\0x\0\r\0\n\0y\0\r\0\n", 14));
  ASSERT_EQ(run_on("ansi.txt", "h = FileOpen($F, \"APPEND\", 1)\nFileWrite(h, \"y\")\nFileClose(h)\n"), 0u);
  EXPECT_EQ(bytes("ansi.txt"), "x\r\ny\r\n");
}

TEST_F(TextFileBytesTest, ArrayFilesAgreeWithTextFiles) {
  put("le.txt", "\xFF\xFE" + le(u"x\r\n"));
  ASSERT_EQ(run_on("le.txt", "a = ArrDimension(1)\na[0] = \"y\"\nArrayFilePut($F, a, 3)\nArrayFilePut($F, a, 1)\n"), 0u);
  EXPECT_EQ(bytes("le.txt"), "\xFF\xFE" + le(u"x\r\ny\r\ny\r\n"));
  ASSERT_EQ(run_on("new.txt", "a = ArrDimension(2)\na[0] = \"p\"\na[1] = \"q\"\nArrayFilePut($F, a, 2)\n"), 0u);
  EXPECT_EQ(bytes("new.txt"), "\xFF\xFE" + le(u"p\r\nq\r\n"));
  // What one family writes the other reads.
  ASSERT_EQ(run_on("new.txt", "h = FileOpen($F, \"READ\")\nr = FileRead(h) : FileRead(h) : FileRead(h)\nFileClose(h)\n"), 0u);
  EXPECT_EQ(variable("r"), "pq*EOF*");
}

TEST_F(TextFileBytesTest, ReplacingAFileLeavesOnlyTheNewText) {
  put("keep.txt", "old contents that are longer\r\n");
  ASSERT_EQ(run_on("keep.txt", "a = ArrDimension(1)\na[0] = \"new\"\nArrayFilePut($F, a)\n"), 0u);
  EXPECT_EQ(bytes("keep.txt"), "new\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(TextFileBytesTest, DroppingTheLastValueClosesTheFile) {
  ASSERT_EQ(run_on("t.txt", "h = FileOpen($F, \"WRITE\")\ng = FileOpen($F, \"READ\")\n"), 0u);
  EXPECT_EQ(engine().files->open_count(), 2);
  ASSERT_EQ(run("Drop(h)\n"), 0u);
  EXPECT_EQ(engine().files->open_count(), 1);
}

}  // namespace
}  // namespace orv
