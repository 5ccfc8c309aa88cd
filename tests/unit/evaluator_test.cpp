// Tokenizer and evaluator: precedence, types and error numbers.
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

using Evaluator = EngineTest;

TEST_F(Evaluator, ScannerSplitsOperatorsAndLiterals) {
  std::strcpy(c.line, "x<<=2 a<b 5. .5 5abc a mod= 3");
  c.prog = c.line;
  std::vector<std::string> tokens;
  for (get_token(c); !at_end(c) && !failed(c); get_token(c)) tokens.push_back(std::to_string(c.tokKind) + ":" + c.token);
  const std::vector<std::string> want = {"2:x", "1:<<=", "3:2", "2:a", "1:<", "2:b", "5:5.",
                                         "5:.5", "3:5", "2:abc", "2:a", "1:mod=", "3:3"};
  EXPECT_EQ(tokens, want);
}

TEST_F(Evaluator, ScannerErrors) {
  EXPECT_EQ(eval("1.2.3"), "error 3338");
  EXPECT_EQ(eval("1e5e2"), "error 3339");
  EXPECT_EQ(eval("1e"), "error 3054");
  EXPECT_EQ(eval("1 $ 2"), "error 3054");
  EXPECT_EQ(eval(std::string(30, 'a') + " = 1"), "0");
  EXPECT_EQ(eval(std::string(31, 'b') + " = 1"), "error 3055");
}

TEST_F(Evaluator, MemberAccessTakesTheDottedWord) {
  std::strcpy(c.line, "obj.Name.Value + 1");
  c.prog = c.line;
  get_token(c);
  EXPECT_EQ(c.tokKind, tk::kKeyword);
  EXPECT_EQ(c.delim, 34);
  EXPECT_STREQ(c.token, "obj.Name.Value");
}

TEST_F(Evaluator, PointerAmpersandDependsOnThePreviousToken) {
  std::strcpy(c.line, "x & y");
  c.prog = c.line;
  get_token(c);
  EXPECT_EQ(get_token(c), 0);
  std::strcpy(c.line, "(&x)");
  c.prog = c.line;
  get_token(c);
  EXPECT_EQ(get_token(c), 1);
}

TEST_F(Evaluator, PrecedenceAndGrouping) {
  EXPECT_EQ(eval("2 ** 3 ** 2"), "64");
  EXPECT_EQ(eval("-2 ** 2"), "4");
  EXPECT_EQ(eval("1 + 2 * 3"), "7");
  EXPECT_EQ(eval("(1 + 2) * 3"), "9");
  EXPECT_EQ(eval("1 + 2 == 3"), "1");
  EXPECT_EQ(eval("1 : 2 + 3"), "15");
  EXPECT_EQ(eval("1 << 2 + 1"), "8");
  EXPECT_EQ(eval("0 || 2 && 3"), "1");
  EXPECT_EQ(eval("\"a\" : 1 == \"a1\""), "1");
}

TEST_F(Evaluator, TypesOfResults) {
  EXPECT_EQ(flags_of("1"), vf::kInt);
  EXPECT_EQ(flags_of("2147483648"), vf::kInt64);
  EXPECT_EQ(flags_of("1.0"), vf::kFloat);
  EXPECT_EQ(flags_of("1 + 1.0"), vf::kFloat);
  EXPECT_EQ(flags_of("2147483648 + 1"), vf::kInt64);
  EXPECT_EQ(flags_of("\"a\""), vf::kStr);
  EXPECT_EQ(flags_of("!2147483648"), vf::kInt64);
  EXPECT_EQ(flags_of("!1.5"), vf::kInt);
}

TEST_F(Evaluator, ArithmeticEdgeCasesNeverTrap) {
  EXPECT_EQ(eval("(-2147483647 - 1) / -1"), "-2147483648");
  EXPECT_EQ(eval("(-2147483647 - 1) mod -1"), "0");
  EXPECT_EQ(eval("(-9223372036854775807 - 1) / -1"), "-9223372036854775808");
  EXPECT_EQ(eval("2147483648 << 64"), "0");
  EXPECT_EQ(eval("-2147483648 >> 100"), "-1");
  EXPECT_EQ(eval("2 ** 2000000000"), "0");
  EXPECT_EQ(eval("1 / 0"), "error 3062");
  EXPECT_EQ(eval("1 mod 0"), "error 3062");
  EXPECT_EQ(eval("1.0 / 0"), "error 3062");
  EXPECT_EQ(eval("1.5 & 1"), "error 3063");
  EXPECT_EQ(eval("~1.5"), "error 3064");
  EXPECT_EQ(eval("(-8.0) ** 0.5"), "error 1341");
  EXPECT_EQ(eval("1.0e300 * 10"), "error 1342");
  EXPECT_EQ(eval("2 ** -1"), "error 1351");
}

TEST_F(Evaluator, Comparisons) {
  EXPECT_EQ(eval("10 == \"10\""), "1");
  EXPECT_EQ(eval("\"abc\" == \"ABC\""), "0");
  EXPECT_EQ(eval("\"10\" > \"9\""), "1");
  EXPECT_EQ(eval("\"123456789012345678901\" > \"123456789012345678900\""), "1");
  EXPECT_EQ(eval("\"-123456789012345678901\" < \"-123456789012345678900\""), "1");
  EXPECT_EQ(eval("\"000\" == \"-0\""), "1");
  EXPECT_EQ(eval("0.1 + 0.2 == 0.3"), "1");
  EXPECT_EQ(eval("0.1 + 0.2 > 0.3"), "1");
  EXPECT_EQ(eval("2147483648 > 1"), "1");
  EXPECT_EQ(eval("\"1.5\" == 1.5"), "1");
  EXPECT_EQ(eval("\"abc\" < 5"), "0");
}

// Texts read as numbers after leading white space, from a sign, digit or
// point; anything else compares as text whatever the other side holds.
TEST_F(Evaluator, TextsThatReadAsNumbers) {
  EXPECT_EQ(eval("\" 12\" == \"12.0\""), "1");
  EXPECT_EQ(eval("\"\t7\" == \"7\""), "1");
  EXPECT_EQ(eval("\".5\" == \"0.5\""), "1");
  EXPECT_EQ(eval("\"+3\" == \"3\""), "1");
  EXPECT_EQ(eval("\"9\" < \"10\""), "1");
  EXPECT_EQ(eval("\"x9\" < \"x10\""), "0");
  EXPECT_EQ(eval("\"9\" < \"x\""), "1");
  EXPECT_EQ(eval("\"x\" > \"9\""), "1");
  EXPECT_EQ(eval("\"\" == \"0\""), "0");
  EXPECT_EQ(eval("\"inf\" == \"INF\""), "0");
  EXPECT_EQ(eval("\"1e2\" == \"100\""), "1");
  EXPECT_EQ(eval("\"line 1\" == \"*EOF*\""), "0");
}

TEST_F(Evaluator, AssignmentRules) {
  EXPECT_EQ(eval("x = 5"), "0");
  EXPECT_EQ(eval("x"), "5");
  EXPECT_EQ(eval("x += 2"), "0");
  EXPECT_EQ(eval("x"), "7");
  EXPECT_EQ(eval("s = \"a\""), "0");
  EXPECT_EQ(eval("s := \"b\""), "0");
  EXPECT_EQ(eval("s"), "ab");
  EXPECT_EQ(eval("x = 5 6"), "error 3074");
  EXPECT_EQ(eval("y = 1", false), "error 3069");
  EXPECT_EQ(eval("(1 = 1)"), "error 3069");
  EXPECT_EQ(eval("never += 1"), "error 3052");
  EXPECT_EQ(eval("z = undefinedvalue"), "error 3052");
  EXPECT_EQ(c.errorText.find("undefinedvalue") != std::string::npos, true);
}

TEST_F(Evaluator, FailedAssignmentsStoreNothingAndLeakNothing) {
  EXPECT_EQ(eval("x = \"keep\""), "0");
  const std::uint32_t inUse = c.heap.bytes_in_use();
  EXPECT_EQ(eval("x = \"new\" : (1 / 0)"), "error 3062");
  EXPECT_EQ(eval("x"), "keep");
  EXPECT_EQ(c.heap.bytes_in_use(), inUse);
}

TEST_F(Evaluator, PointersAcrossTheTable) {
  EXPECT_EQ(eval("v = 3"), "0");
  EXPECT_EQ(eval("p = &v"), "0");
  EXPECT_EQ(eval("*p"), "3");
  EXPECT_EQ(eval("y = &5"), "error 3818");
  EXPECT_EQ(eval("q = \"#VAR$PTR#bad\""), "0");
  EXPECT_EQ(eval("*q"), "error 3813");
  std::string forged = make_pointer(c, 0, "v");
  forged[25] = forged[25] == '0' ? '1' : '0';   // a sequence number of no frame
  EXPECT_EQ(eval("f = \"" + forged + "\""), "0");
  EXPECT_EQ(eval("*f"), "error 3814");
}

TEST_F(Evaluator, HeapExhaustionIsAnError) {
  platform::set_commit_limit(kCommit);
  EXPECT_EQ(eval("s = \"x\""), "0");
  std::string err;
  for (int i = 0; i < 40 && err.empty(); ++i) {
    std::string r = eval("s = s : s");
    if (r != "0") err = r;
  }
  EXPECT_EQ(err, "error 3096");
  EXPECT_TRUE(c.heap.verify());
}

TEST_F(Evaluator, VariableTableFull) {
  std::string last;
  for (int i = 0; i < kCapacity + 5; ++i) {
    last = eval("v" + std::to_string(i) + " = 1");
    if (last != "0") break;
  }
  EXPECT_EQ(last, "error 3097");
}

}  // namespace
}  // namespace orv::test
