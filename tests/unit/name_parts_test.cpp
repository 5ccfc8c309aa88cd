// The text rules behind FilePath, FileRoot, FileExtension, FileBaseName and
// the two pattern evaluators: how a name is cut and how a mask renames.
#include <gtest/gtest.h>

#include <string>

#include "builtins/files/name_rules.h"

namespace orv::files {
namespace {

struct Cut {
  std::u16string folder, root, ext;
  bool operator==(const Cut&) const = default;
};

Cut cut(std::u16string_view name) {
  const NameParts p = split_name(name);
  return {std::u16string(p.folder), std::u16string(p.root), std::u16string(p.ext)};
}

std::u16string shell(std::u16string_view source, std::u16string_view mask) {
  return shell_rename(source, mask).value_or(u"<none>");
}

TEST(NameParts, FolderRootAndExtension) {
  EXPECT_EQ(cut(u"C:\\a\\b.txt"), (Cut{u"C:\\a\\", u"b", u"txt"}));
  EXPECT_EQ(cut(u"b.txt"), (Cut{u"", u"b", u"txt"}));
  EXPECT_EQ(cut(u"C:\\a\\b"), (Cut{u"C:\\a\\", u"b", u""}));
  EXPECT_EQ(cut(u"C:b.txt"), (Cut{u"C:", u"b", u"txt"}));
  EXPECT_EQ(cut(u"C:/a/b.tar.gz"), (Cut{u"C:/a/", u"b.tar", u"gz"}));
  EXPECT_EQ(cut(u"\\\\srv\\share\\x.doc"), (Cut{u"\\\\srv\\share\\", u"x", u"doc"}));
  EXPECT_EQ(cut(u".profile"), (Cut{u"", u"", u"profile"}));
  EXPECT_EQ(cut(u""), (Cut{}));
}

TEST(NameParts, TrailingDotsAndBlanksAreIgnoredAsTheFileSystemDoes) {
  EXPECT_EQ(cut(u"C:\\a\\b."), (Cut{u"C:\\a\\", u"b", u""}));
  EXPECT_EQ(cut(u"a.b. . "), (Cut{u"", u"a", u"b"}));
}

TEST(NameParts, NamesWithoutAFilePartAreAllFolder) {
  EXPECT_EQ(cut(u"C:\\a\\"), (Cut{u"C:\\a\\", u"", u""}));
  EXPECT_EQ(cut(u"a\\.."), (Cut{u"a\\..", u"", u""}));
  EXPECT_EQ(cut(u"."), (Cut{u".", u"", u""}));
  EXPECT_EQ(cut(u"\\\\srv\\share"), (Cut{u"\\\\srv\\share", u"", u""}));
  EXPECT_EQ(cut(u"//srv"), (Cut{u"//srv", u"", u""}));
  // A share root is only the first two parts after the double separator.
  EXPECT_EQ(cut(u"\\\\srv\\share\\f"), (Cut{u"\\\\srv\\share\\", u"f", u""}));
}

TEST(NameParts, FolderTextUsesBackslashesAndEndsInOne) {
  EXPECT_EQ(folder_text(u"C:/a/"), u"C:\\a\\");
  EXPECT_EQ(folder_text(u"\\\\srv\\share"), u"\\\\srv\\share\\");
  EXPECT_EQ(folder_text(u"a\\.."), u"a\\..\\");
  // A drive alone means that drive's current folder, not its root.
  EXPECT_EQ(folder_text(u"C:"), u"C:");
  EXPECT_EQ(folder_text(u""), u"");
}

TEST(NameParts, QuotesAndBlanksAroundANameAreDropped) {
  EXPECT_EQ(unquote_name(u" \"C:\\a b\\c.txt\"\t"), u"C:\\a b\\c.txt");
  EXPECT_EQ(unquote_name(u"\"\""), u"");
  // A lone quote is left for the file system to refuse.
  EXPECT_EQ(unquote_name(u"\"a.txt"), u"\"a.txt");
  EXPECT_EQ(unquote_name(u"\""), u"\"");
}

TEST(NameParts, RelativeNames) {
  EXPECT_TRUE(is_relative_name(u"a\\b"));
  EXPECT_TRUE(is_relative_name(u"..\\b"));
  EXPECT_TRUE(is_relative_name(u"x"));
  EXPECT_FALSE(is_relative_name(u"\\a"));
  EXPECT_FALSE(is_relative_name(u"/a"));
  EXPECT_FALSE(is_relative_name(u"C:a"));
  EXPECT_FALSE(is_relative_name(u"\\\\srv\\share\\a"));
}

TEST(CopyTargets, FolderTargetsTakeEveryNameAndMasksMapTheSourceName) {
  EXPECT_EQ(complete_target(u"C:\\bak\\"), u"C:\\bak\\*.*");
  EXPECT_EQ(complete_target(u"D:"), u"D:*.*");
  EXPECT_EQ(complete_target(u"x/"), u"x/*.*");
  EXPECT_EQ(complete_target(u"x.txt"), u"x.txt");
  EXPECT_EQ(*apply_target(u"C:\\in\\report.txt", u"D:\\out\\*.bak"), u"D:\\out\\report.bak");
  EXPECT_EQ(*apply_target(u"report.txt", u"D:*.*"), u"D:report.txt");
  // A plain target is the target, whatever the source.
  EXPECT_EQ(*apply_target(u"report.txt", u"D:\\out\\x.y"), u"D:\\out\\x.y");
  // Only the source's name part is mapped.
  EXPECT_EQ(*apply_target(u"C:\\in.d\\report", u"*.bak"), u"report.bak");
  EXPECT_FALSE(apply_target(u".txt", u"out\\*."));
}

TEST(ShellRename, QuestionMarksNeverTakeADot) {
  EXPECT_EQ(shell(u"abc.txt", u"???.bak"), u"abc.bak");
  EXPECT_EQ(shell(u"ab.txt", u"????.txt"), u"ab.txt");
  EXPECT_EQ(shell(u"abcdef.txt", u"??.txt"), u"ab.txt");
  EXPECT_EQ(shell(u"abc.txt", u"?"), u"a");
}

TEST(ShellRename, StarsRunToTheLastMatchOfTheNextMaskCharacter) {
  EXPECT_EQ(shell(u"a.b.c", u"*.x"), u"a.b.x");
  EXPECT_EQ(shell(u"abc", u"*.txt"), u"abc.txt");
  EXPECT_EQ(shell(u"a.txt", u"*.*"), u"a.txt");
  EXPECT_EQ(shell(u"a.txt", u"*.*.bak"), u"a.txt.bak");
  EXPECT_EQ(shell(u"report-2024.txt", u"*-old.txt"), u"report-old.txt");
  EXPECT_EQ(shell(u"ReportX.doc", u"*x_old.doc"), u"Reportx_old.doc");   // found in any letter case
  EXPECT_EQ(shell(u"a.b.txt", u"*t.x"), u"a.b.txt.x");   // the last "t", not the first
  EXPECT_EQ(shell(u"abc.txt", u"**"), u"abc.txt");
  EXPECT_EQ(shell(u"abc.txt", u"*?"), u"abc.txt");
}

TEST(ShellRename, LiteralsReplaceSourceCharactersButNotItsDot) {
  EXPECT_EQ(shell(u"abc.txt", u"x*"), u"xbc.txt");
  EXPECT_EQ(shell(u"ab.txt", u"wxyz.*"), u"wxyz.txt");
  EXPECT_EQ(shell(u"abc.txt", u"new.log"), u"new.log");
}

TEST(ShellRename, TrailingDotsGoAndEmptyOrIllegalNamesAreRefused) {
  EXPECT_EQ(shell(u"abc.txt", u"*."), u"abc");
  EXPECT_EQ(shell(u"abc", u"*.?"), u"abc");
  EXPECT_FALSE(shell_rename(u"abc.txt", u""));
  EXPECT_FALSE(shell_rename(u".txt", u"?."));
  EXPECT_FALSE(shell_rename(u"abc", u"a<*"));
}

}  // namespace
}  // namespace orv::files
