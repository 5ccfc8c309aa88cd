// UTF-16 twins of the string and item-list functions keep characters that
// have no ANSI form, and count positions in characters; StrCat's argument
// limit, which no script line is long enough to reach.
#include <string>

#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

class StringsWide : public EngineTest {
 protected:
  void set_wide(const std::string& name, std::u16string_view text) {
    const std::uint16_t slot = find_or_create_slot(c, lower_name(name));
    ASSERT_NE(slot, kNotFound);
    Value v{};
    ASSERT_TRUE(make_wstring(c, v, text));
    ASSERT_TRUE(store_in_slot(c, slot, v));
  }

  // Evaluates text read from a buffer of any length; the wide result, or
  // "error N" / "not wide" as UTF-16.
  std::u16string wide(const std::string& text) {
    buffer_ = text;
    c.prog = buffer_.data();
    c.tokKind = tk::kEnd;
    c.error = 0;
    get_token(c);
    Temp out(c);
    if (failed(c) || !process_sub_expression(c, out.op(), false, false)) return u"error " + number(c.error);
    if (!(out->flags & vf::kWide)) return u"not wide";
    return std::u16string(wstr_view(c, out.op()));
  }

  std::string eval_long(const std::string& text) {
    buffer_ = text;
    c.prog = buffer_.data();
    c.tokKind = tk::kEnd;
    c.error = 0;
    get_token(c);
    Temp out(c);
    if (failed(c) || !process_sub_expression(c, out.op(), false, false)) return "error " + std::to_string(c.error);
    std::string s;
    if (!value_text(c, out.op(), s)) return "error " + std::to_string(c.error);
    return s;
  }

  static std::u16string number(int n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
  }

  std::string buffer_;
};

TEST_F(StringsWide, CharactersWithoutAnAnsiFormSurviveEveryTextFunction) {
  set_wide("w", u"\u0436\u0451\u043b\u0442\u044b\u0439-\u03c3");   // жёлтый-σ
  set_wide("s", u"\u043b\u0442");
  EXPECT_EQ(wide("StrUpper(w)"), u"\u0416\u0401\u041b\u0422\u042b\u0419-\u03a3");
  EXPECT_EQ(wide("StrLower(StrUpper(w))"), u"\u0436\u0451\u043b\u0442\u044b\u0439-\u03c3");
  EXPECT_EQ(wide("StrSub(w, 3, 2)"), u"\u043b\u0442");
  EXPECT_EQ(wide("StrFix(w, s, 10)"), u"\u0436\u0451\u043b\u0442\u044b\u0439-\u03c3\u043b\u0442");
  EXPECT_EQ(wide("StrFixLeft(s, w, 4)"), u"\u0436\u0451\u043b\u0442");
  EXPECT_EQ(wide("StrReplace(w, s, \"+\")"), u"\u0436\u0451+\u044b\u0439-\u03c3");
  EXPECT_EQ(wide("StrClean(w, StrUpper(s), \"\", 0, 1)"), u"\u0436\u0451\u044b\u0439-\u03c3");
  EXPECT_EQ(wide("StrClean(w, s, \"\", 0, 2)"), u"\u043b\u0442");
  EXPECT_EQ(wide("StrCat(\"<\", w, 1, \">\")"), u"<\u0436\u0451\u043b\u0442\u044b\u0439-\u03c31>");
  EXPECT_EQ(wide("StrSubWild(w, StrUpper(s) : \"?\", 0)"), u"\u043b\u0442\u044b");
  EXPECT_EQ(wide("StrInsert(w, s, \"\", 8)"), u"\u0436\u0451\u043b\u0442\u044b\u0439-\u043b\u0442\u03c3");
  EXPECT_EQ(wide("StrTrim(StrCat(\" \", s, \" \"))"), u"\u043b\u0442");
}

TEST_F(StringsWide, PositionsCountCharacters) {
  set_wide("w", u"\u0436\u0451\u043b\u0442\u044b\u0439-\u03c3");
  set_wide("s", u"\u041b\u0422");
  EXPECT_EQ(eval("StrLen(w)"), "8");
  EXPECT_EQ(eval("StrIndex(w, StrLower(s), 0, 0)"), "3");
  EXPECT_EQ(eval("StrIndex(w, s, 0, 0)"), "0");
  EXPECT_EQ(eval("StrIndexNc(w, s, 0, 1)"), "3");
  EXPECT_EQ(eval("StrCnt(w, s, 0, -1, 0)"), "1");
  EXPECT_EQ(eval("StrIndexWild(w, \"*\" : s, 2)"), "2");
  EXPECT_EQ(eval("StrLenWild(w, s : \"*\", 0)"), "6");
  EXPECT_EQ(eval("StrScan(w, StrCat(\"-\", s), 0, 1)"), "7");
  // The ANSI form of a character that has none is one substitute byte.
  EXPECT_EQ(eval("StrByteCount(w, 0)"), "8");
  EXPECT_EQ(eval("StrByteCount(w, 1)"), "16");
}

TEST_F(StringsWide, ItemListsWithAWideDelimiter) {
  set_wide("list", u"\u0431\u0436\u0412\u0436\u0430\u0436\u0411");   // б ж В ж а ж Б
  set_wide("d", u"\u0436");
  EXPECT_EQ(eval("ItemCount(list, d)"), "4");
  EXPECT_EQ(wide("ItemExtract(-1, list, d)"), u"\u0411");
  EXPECT_EQ(wide("ItemSort(list, d)"), u"\u0411\u0436\u0412\u0436\u0430\u0436\u0431");
  EXPECT_EQ(wide("ItemSortNc(list, d)"), u"\u0430\u0436\u0431\u0436\u0411\u0436\u0412");
  EXPECT_EQ(eval("ItemLocateWild(StrUpper(ItemExtract(3, list, d)), list, d, 0)"), "3");
  EXPECT_EQ(wide("ItemInsert(d, 2, list, d)"), u"\u0431\u0436\u0436\u0436\u0412\u0436\u0430\u0436\u0411");
  // A delimiter that case-folding would change still splits the list as given.
  EXPECT_EQ(eval("ItemLocateWild(ItemExtract(2, list, d), list, StrUpper(d), 1)"), "0");
  EXPECT_EQ(eval("ItemCount(list, StrUpper(d))"), "1");
}

// Only the arguments whose type lets UTF-16 through choose the wide twin,
// wherever they stand: the last one alone does; a number given as UTF-16
// text does not.
TEST_F(StringsWide, TheWideTwinIsChosenByTextArgumentsOnly) {
  set_wide("d", u"\u0436");
  set_wide("n", u"2");
  EXPECT_EQ(wide("ItemInsert(\"x\", -1, \"a\", d)"), u"a\u0436x");
  EXPECT_EQ(wide("ItemInsert(\"x\", n, \"a b c\", \" \")"), u"not wide");
  EXPECT_EQ(eval("ItemInsert(\"x\", n, \"a b c\", \" \")"), "a x b c");
  EXPECT_EQ(wide("ItemExtract(n, \"a b\", \" \")"), u"not wide");
  EXPECT_EQ(wide("ItemExtract(1, \"a\" : d : \"b\", d)"), u"a");
  EXPECT_EQ(eval("StrIndex(\"abc\" : d, d, 1, @FWDSCAN)"), "4");
}

TEST_F(StringsWide, CsvFieldsKeepWideCharacters) {
  set_wide("line", u"\u0430, \"\u0431\"\"\u0432\" ,\u0433");
  EXPECT_EQ(eval("ItemCountCsv(line, 0)"), "3");
  EXPECT_EQ(wide("ItemExtractCsv(2, line, 0)"), u"\u0431\"\u0432");
  set_wide("d", u"\u0436");
  set_wide("line2", u"x\u0436\"y\u0436z\"");
  EXPECT_EQ(wide("ItemExtractCsv(2, line2, 0, d)"), u"y\u0436z");
}

TEST_F(StringsWide, StrCatTakesAtMost1024Arguments) {
  std::string args = "\"x\"";
  for (int k = 1; k < 1024; ++k) args += ",\"x\"";
  EXPECT_EQ(eval_long("StrLen(StrCat(" + args + "))"), "1024");
  EXPECT_EQ(eval_long("StrLen(StrCat(" + args + ",\"x\"))"), "error 2058");
}

}  // namespace
}  // namespace orv::test
