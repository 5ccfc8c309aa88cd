// Texts joined from pieces straight into one heap block, and the item-list
// edits built on them: the pieces may lie in the heap themselves, any may be
// empty, long results keep their length, and a result the heap cannot take
// fails with 3096 and leaves the heap whole.
#include <gtest/gtest.h>

#include <string>

#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "platform/platform.h"
#include "tests/unit/host_fixture.h"

namespace orv {
namespace {

class JoinedTextTest : public test::HostTest {
 protected:
  std::string printed(const std::string& expression) {
    output.clear();
    EXPECT_EQ(run("StdOut(" + expression + ")\n"), 0u) << expression;
    return output.empty() ? "" : output.substr(0, output.size() - 1);
  }
};

TEST_F(JoinedTextTest, PiecesFromTheHeapAndOutsideIt) {
  Context& c = engine();
  const std::uint32_t before = c.heap.bytes_in_use();
  Value held{};
  ASSERT_TRUE(make_string(c, held, "middle"));
  const std::string_view inHeap = str_view(c, held);
  Value joined{};
  ASSERT_TRUE(make_joined_string(c, joined, {"<", inHeap.substr(0, 3), "", inHeap.substr(3), ">"}));
  EXPECT_EQ(str_view(c, joined), "<middle>");
  Value empty{};
  ASSERT_TRUE(make_joined_string(c, empty, {"", ""}));
  EXPECT_EQ(empty.flags, vf::kStr);
  EXPECT_EQ(str_view(c, empty), "");
  Value wide{};
  ASSERT_TRUE(make_joined_wstring(c, wide, {u"\u0436", u"", u"\U0001F600"}));
  EXPECT_EQ(wide.flags, vf::kWide);
  EXPECT_EQ(wstr_view(c, wide), u"\u0436\U0001F600");
  for (Value* v : {&held, &joined, &empty, &wide}) release_value(c, *v);
  EXPECT_EQ(c.heap.bytes_in_use(), before);
  EXPECT_TRUE(c.heap.verify());
}

// A long result is known by its length at once; its text must say the same.
TEST_F(JoinedTextTest, LongResultsKeepTheirLength) {
  Context& c = engine();
  const std::string a(300, 'a'), b(500, 'b');
  Value joined{};
  ASSERT_TRUE(make_joined_string(c, joined, {a, ",", b}));
  EXPECT_EQ(c.heap.known_length(joined.str, 1), 801u);
  EXPECT_EQ(std::string(str_of(c, joined)), a + "," + b);
  Value wide{};
  const std::u16string w(400, u'\u0436');
  ASSERT_TRUE(make_joined_wstring(c, wide, {w, u"|"}));
  EXPECT_EQ(c.heap.known_length(wide.wstr, 2), 401u);
  EXPECT_EQ(wstr_view(c, wide), w + u"|");
  release_value(c, joined);
  release_value(c, wide);
}

TEST_F(JoinedTextTest, ATotalBeyondTheHeapFails) {
  Context& c = engine();
  platform::set_commit_limit(book.committed);   // the heap may not grow
  const std::uint32_t before = c.heap.bytes_in_use();
  const std::string big(40000, 'x');
  Value joined{};
  EXPECT_FALSE(make_joined_string(c, joined, {big, big}));
  EXPECT_EQ(c.error, errs::kOutOfMemory);
  EXPECT_EQ(joined.flags, 0u);
  EXPECT_EQ(c.heap.bytes_in_use(), before);
  EXPECT_TRUE(c.heap.verify());
}

// Inserting into the list held by the variable it is stored back into, at
// either end and inside, narrow and wide; the list grows over the length
// from which lengths are kept.
TEST_F(JoinedTextTest, InsertingIntoTheListItReplaces) {
  EXPECT_EQ(run("l = \"\"\nFor i = 1 To 120\n  l = ItemInsert(\"w\" : i, -1, l, \" \")\nNext\n"
                "l = ItemInsert(\"first\", 1, l, \" \")\nl = ItemInsert(\"mid\", 60, l, \" \")\n"
                "l = ItemInsert(\"past\", 500, l, \" \")\nl = ItemInsert(\"no\", 0, l, \" \")\n"
                "l = ItemInsert(\"no\", -2, l, \" \")\n"
                "StdOut(ItemCount(l, \" \") : \" \" : StrLen(l) : \" \" : ItemExtract(1, l, \" \") : \" \" :"
                " ItemExtract(60, l, \" \") : \" \" : ItemExtract(61, l, \" \") : \" \" : ItemExtract(-1, l, \" \"))\n"),
            0u);
  std::string expected;
  for (int i = 1; i <= 120; ++i) expected += (i > 1 ? " w" : "w") + std::to_string(i);
  const std::size_t length = expected.size() + 6 + 4 + 5;
  EXPECT_EQ(output, "123 " + std::to_string(length) + " first mid w59 past\n");
  EXPECT_EQ(printed("ItemInsert(\"x\", 2, StrInsert(\"a\", \"\"), \"\")"), "a\tx");
  EXPECT_EQ(printed("VarType(ItemInsert(\"x\", 2, StrInsert(\"a\", \"\"), \"\"))"),
            printed("VarType(StrInsert(\"a\", \"\"))"));
  EXPECT_EQ(printed("ItemInsert(\"\", 2, \"a,b\", \",\")"), "a,,b");
  EXPECT_EQ(printed("ItemInsert(\"x\", 1, \"\", \",\") : \"|\" : ItemInsert(\"x\", 0, \"\", \",\")"), "x|");
}

// A delimiter of more than one character is refused, whatever the width; a
// surrogate pair is two UTF-16 units and so more than one character here.
TEST_F(JoinedTextTest, DelimitersOfMoreThanOneCharacter) {
  EXPECT_EQ(run("x = ItemInsert(\"x\", -1, \"a\", \"ab\")\n"), 1705u);
  EXPECT_EQ(run("x = ItemInsert(\"x\", -1, StrInsert(\"a\", \"\"), ChrHexToUnicode(\"3DD800DE\"))\n"), 1705u);
  EXPECT_EQ(run("x = ItemCount(\"a\", \", \")\n"), 1705u);
  EXPECT_EQ(printed("ItemInsert(\"x\", -1, \"a\", ChrHexToUnicode(\"3604\"))"),
            printed("\"a\" : ChrHexToUnicode(\"3604\") : \"x\""));
}

// A list the heap cannot hold with the new item fails with 3096, also when
// the index leaves the list as it is (and a copy of the list would fit); the
// heap stays whole.
TEST_F(JoinedTextTest, ListsNearTheHeapLimit) {
  platform::set_commit_limit(book.committed);
  auto list_of = [](int n) { return "Drop(l, m)\nl = StrFill(\"x\", " + std::to_string(n) + ")\n"; };
  auto appends = [&](int n) { return run(list_of(n) + "m = ItemInsert(\"abc\", -1, l, \",\")\n") == 0; };
  int low = 1000, high = 70000;   // appending to a list of `low` works, of `high` not
  ASSERT_TRUE(appends(low));
  ASSERT_FALSE(appends(high));
  while (high - low > 1) {
    const int mid = (low + high) / 2;
    (appends(mid) ? low : high) = mid;
  }
  EXPECT_EQ(run(list_of(high) + "m = ItemInsert(\"abc\", -1, l, \",\")\n"), 3096u);
  EXPECT_EQ(run(list_of(high) + "m = ItemInsert(\"abc\", 1, l, \",\")\n"), 3096u);
  EXPECT_EQ(run(list_of(high) + "m = ItemInsert(\"abc\", 0, l, \",\")\n"), 3096u);
  EXPECT_EQ(run(list_of(high) + "m = ItemInsert(\"abc\", -5, l, \",\")\n"), 3096u);
  EXPECT_EQ(run(list_of(low) + "m = ItemInsert(\"abc\", 1, l, \",\")\nStdOut(StrLen(m))\n"), 0u);
  EXPECT_EQ(output, std::to_string(low + 4) + "\n");
  EXPECT_TRUE(engine().heap.verify());
}

}  // namespace
}  // namespace orv
