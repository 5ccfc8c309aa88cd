// Dialog definitions kept in files (DialogBox): the line rules of the file and
// the way its entries stand in for a dialog's variables.
#include <gtest/gtest.h>

#include "ui/boxes.h"
#include "ui/dialogs/definition_file.h"

using namespace orv::dialogs;

namespace {

bool no_image(std::string_view) { return false; }

TEST(DialogFile, EntriesIgnoreBlanksCommentsAndCaseAndKeepTheLastValue) {
  DefinitionEntries e;
  std::size_t bad = 0;
  ASSERT_TRUE(read_definition_file("; a comment\r\n\r\n  Format = TRNDLGED,6.2 \r\nWIDTH=10\nwidth=20\n"
                                   "001=a=b, \"c\"",
                                   e, bad));
  EXPECT_EQ(e.size(), 3u);
  EXPECT_EQ(e["format"], "TRNDLGED,6.2");
  EXPECT_EQ(e["width"], "20");
  EXPECT_EQ(e["001"], "a=b, \"c\"");   // only the first "=" separates
  ASSERT_TRUE(read_definition_file("", e, bad));
  EXPECT_TRUE(e.empty());
}

TEST(DialogFile, ALineThatIsNoEntryIsReportedByNumber) {
  DefinitionEntries e;
  std::size_t bad = 0;
  EXPECT_FALSE(read_definition_file("Format=x\n\nno equals sign\n", e, bad));
  EXPECT_EQ(bad, 3u);
  EXPECT_FALSE(read_definition_file("=value", e, bad));
  EXPECT_EQ(bad, 1u);
  EXPECT_FALSE(read_definition_file(std::string(31, 'n') + "=1", e, bad));
  EXPECT_TRUE(read_definition_file(std::string(30, 'n') + "=1", e, bad));
}

TEST(DialogFile, EntriesAnswerOnlyForTheirDialogName) {
  DefinitionEntries e{{"format", "TRNDLGED,6.2"}};
  EntrySource s(e, "Box", no_image);
  EXPECT_EQ(s.text("BOXFORMAT").value_or("-"), "TRNDLGED,6.2");
  EXPECT_FALSE(s.text("BoxWidth").has_value());
  EXPECT_FALSE(s.text("OtherFormat").has_value());
  EXPECT_FALSE(s.image_loadable("x.bmp"));
}

TEST(DialogFile, AFileDefinitionReadsAsTheSameVariablesWould) {
  DefinitionEntries e;
  std::size_t bad = 0;
  ASSERT_TRUE(read_definition_file("Format=TRNDLGED,6.2\nCaption=Hello\nX=1\nY=2\nWidth=100\nHeight=50\n"
                                   "NumControls=1\n001=10,10,40,12,PUSHBUTTON,\"OkBtn\",DEFAULT,\"OK\",1,1,"
                                   "DEFAULT,DEFAULT,DEFAULT,DEFAULT\n",
                                   e, bad));
  EntrySource s(e, "FileDialog", no_image);
  Definition d;
  DefinitionError error;
  ASSERT_TRUE(read_definition("FileDialog", s, d, error)) << error.number << " " << error.text;
  EXPECT_EQ(d.caption, "Hello");
  EXPECT_EQ(d.width, 100);
  ASSERT_EQ(d.controls.size(), 1u);
  EXPECT_EQ(d.controls[0].type, kPushButton);
  e.erase("numcontrols");
  EXPECT_FALSE(read_definition("FileDialog", s, d, error));
  EXPECT_EQ(error.number, 3968);
}

TEST(BoxLists, SortingIgnoresCaseAndKeepsTiesAndDelimitersAreOneCharacter) {
  std::vector<std::u16string> items{u"b", u"B", u"a", u"C"};
  orv::ui::sort_items(items);
  EXPECT_EQ(items, (std::vector<std::u16string>{u"a", u"b", u"B", u"C"}));
  char16_t d = 0;
  EXPECT_TRUE(orv::ui::read_delimiter(u"", d));
  EXPECT_EQ(d, u'\t');
  EXPECT_TRUE(orv::ui::read_delimiter(u"|", d));
  EXPECT_EQ(d, u'|');
  EXPECT_FALSE(orv::ui::read_delimiter(u", ", d));
}

}  // namespace
