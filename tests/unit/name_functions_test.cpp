// The file-name functions that need a real folder tree or a host: FileLocate
// walks from the current folder up to the root (the nearest file wins,
// folders of the same name do not count, a name with folders of its own is
// tried below each parent), and an empty FileItemPath asks the host.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tests/unit/host_fixture.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

// Puts the process in a folder for one test and back afterwards.
struct InFolder {
  explicit InFolder(const fs::path& p) : old(fs::current_path()) { fs::current_path(p); }
  ~InFolder() {
    std::error_code ec;
    fs::current_path(old, ec);
  }
  fs::path old;
};

class FileLocateTest : public test::FileHostTest {
 protected:
  FileLocateTest() : FileHostTest("orv_locate_") {}
  std::string real(const char* name) const { return (fs::canonical(dir_) / name).string(); }
};

TEST_F(FileLocateTest, NearestFileUpwardsWinsAndFoldersDoNotCount) {
  fs::create_directories(dir_ / "a/b/c");
  fs::create_directories(dir_ / "a/b/top.ini");   // a folder under the file's name
  put("top.ini", "t");
  put("a/mid.ini", "m");
  put("a/b/c/mid.ini", "near");
  put("a/b/c/here.txt", "h");
  InFolder in(fs::canonical(dir_) / "a/b/c");
  ASSERT_EQ(run("top = FileLocate(\"top.ini\")\nmid = FileLocate('\"mid.ini\"')\nnone = FileLocate(\"orv_none.ini\")\n"
                "below = FileLocate(\"b\\c\\here.txt\")\nfar = FileLocate(FileFullName(\"..\\..\\mid.ini\"))\n"),
            0u);
  EXPECT_EQ(variable("top"), real("top.ini"));
  EXPECT_EQ(variable("mid"), real("a/b/c/mid.ini"));
  EXPECT_EQ(variable("none"), "");
  EXPECT_EQ(variable("below"), real("a/b/c/here.txt"));
  EXPECT_EQ(variable("far"), real("a/mid.ini"));
}

TEST_F(FileLocateTest, AnAbsoluteNameIsOnlyTriedWhereItPoints) {
  fs::create_directories(dir_ / "a");
  put("x.ini", "x");
  InFolder in(fs::canonical(dir_) / "a");
  // "a/x.ini" is missing; the walk must not climb and find "x.ini" beside "a".
  ASSERT_EQ(run("r = FileLocate(FileFullName(\"x.ini\"))\n"), 0u);
  EXPECT_EQ(variable("r"), "");
}

class ItemPathHostTest : public test::HostTest {};

TEST_F(ItemPathHostTest, AnEmptyListAsksTheHostsSecondListingFunction) {
  // The test host's one function answers 1 and prints its argument.
  std::strcpy(hostTable[0].name, "itemizenull2");
  hostTable[0].nameLength = 12;
  ASSERT_EQ(run("paths = FileItemPath(\"\")\nnames = FileItemize(\"|\")\n"), 0u);
  EXPECT_EQ(variable("paths"), "1");
  EXPECT_EQ(output, "0\n");
  EXPECT_EQ(variable("names"), "");   // FileItemize asks for another name
}

}  // namespace
}  // namespace orv
