// Argument coercion by type code, as every built-in receives its arguments.
#include "builtins/dispatch.h"
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

class Coercion : public EngineTest {
 protected:
  Operand arg(const std::string& expression) {
    std::strncpy(c.line, expression.c_str(), sizeof c.line - 1);
    c.prog = c.line;
    c.error = 0;
    get_token(c);
    Operand out;
    clear_operand(out);
    EXPECT_TRUE(process_sub_expression(c, out, false, false)) << expression;
    return out;
  }
  // Coerces and returns the error number (0 on success); `out` keeps the result.
  int coerce(const std::string& expression, int code, Operand& out, bool wide = false) {
    out = arg(expression);
    c.error = 0;
    c.errorText.clear();
    return coerce_argument(c, out, code, 2, wide) ? 0 : c.error;
  }
  void TearDown() override {
    for (Operand& o : held) release_value(c, o);
    EngineTest::TearDown();
  }
  Operand& slot() { held.emplace_back(); clear_operand(held.back()); return held.back(); }
  std::vector<Operand> held;
};

TEST_F(Coercion, IntegersFromTextFloatsAnd64Bit) {
  Operand& a = slot();
  EXPECT_EQ(coerce("\"12\"", 0, a), 0);
  EXPECT_EQ(a.i, 12);
  EXPECT_TRUE(a.flags & vf::kStr);   // the text stays beside the number
  Operand& b = slot();
  EXPECT_EQ(coerce("2.5", 0, b), 0);
  EXPECT_EQ(b.i, 3);
  Operand& d = slot();
  EXPECT_EQ(coerce("4294967297", 0, d), 0);
  EXPECT_EQ(d.i, 1);   // the low 32 bits of a 64-bit value
  Operand& e = slot();
  EXPECT_EQ(coerce("4294967297", 9, e), 0);
  const std::int64_t wide64 = e.wide.i64;   // packed field: copy before binding a reference
  EXPECT_EQ(wide64, 4294967297LL);
  Operand& f = slot();
  EXPECT_EQ(coerce("\"abc\"", 0, f), 3057);
  EXPECT_EQ(c.errorText, "Argument number 2 could not be converted");
  Operand& g = slot();
  EXPECT_EQ(coerce("1.0e15", 0, g), 3057);
}

TEST_F(Coercion, StringsFloatsAndWideForms) {
  Operand& a = slot();
  EXPECT_EQ(coerce("42", 1, a), 0);
  EXPECT_STREQ(str_of(c, a), "42");
  Operand& b = slot();
  EXPECT_EQ(coerce("\"1.5\"", 2, b), 0);
  const double f64 = b.wide.f;
  EXPECT_DOUBLE_EQ(f64, 1.5);
  Operand& d = slot();
  EXPECT_EQ(coerce("\"x\"", 2, d), 3340);
  Operand& e = slot();
  EXPECT_EQ(coerce("\"wide\"", 5, e), 0);
  EXPECT_TRUE(e.flags & vf::kWide);
  EXPECT_EQ(std::u16string(wstr_view(c, e)), u"wide");
  Operand& f = slot();
  EXPECT_EQ(coerce("\"narrow\"", 6, f, false), 0);
  EXPECT_FALSE(f.flags & vf::kWide);
  Operand& g = slot();
  EXPECT_EQ(coerce("\"now wide\"", 6, g, true), 0);
  EXPECT_TRUE(g.flags & vf::kWide);
}

TEST_F(Coercion, ArraysComAndPassThrough) {
  Operand& a = slot();
  EXPECT_EQ(coerce("5", 3, a), 3650);
  Operand& b = slot();
  EXPECT_EQ(coerce("5", 4, b), 3732);
  Operand& d = slot();
  EXPECT_EQ(coerce("\"as is\"", 15, d), 0);
  EXPECT_EQ(d.flags, vf::kStr);
}

}  // namespace
}  // namespace orv::test
