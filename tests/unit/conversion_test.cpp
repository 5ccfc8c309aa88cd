// Number/text conversions that every family relies on.
#include <gtest/gtest.h>

#include <cmath>
#include "engine/convert.h"

namespace orv {
namespace {

std::string fmt(double x, int d) { return format_float(x, d).value_or("NaN"); }

TEST(FloatFormat, DefaultSettingPicksFixedOrExponentForm) {
  EXPECT_EQ(fmt(1.0, -1), "1.0");
  EXPECT_EQ(fmt(0.0, -1), "0.0");
  EXPECT_EQ(fmt(3.25, -1), "3.25");
  EXPECT_EQ(fmt(-0.5, -1), "-0.5");
  EXPECT_EQ(fmt(0.00005, -1), "5.00000000e-005");
  EXPECT_EQ(fmt(1234567890.5, -1), "1.23456789e+009");
  EXPECT_EQ(fmt(999999999.0, -1), "999999999.0");
  EXPECT_EQ(fmt(0.1 + 0.2, -1), "0.3");
}

TEST(FloatFormat, ExplicitDecimals) {
  EXPECT_EQ(fmt(2.5, 0), "3");
  EXPECT_EQ(fmt(-2.5, 0), "-3");
  EXPECT_EQ(fmt(1.5, 3), "1.500");
  EXPECT_EQ(fmt(2.0, 2), "2.00");
  EXPECT_EQ(fmt(0.00005, 2), "0.00");
  EXPECT_EQ(fmt(1e300, 0).substr(0, 3), "1.e");
  EXPECT_EQ(fmt(0.5, -2), "0.5");
  EXPECT_FALSE(format_float(std::nan(""), -1).has_value());
}

TEST(IntegerText, StrictReading) {
  EXPECT_EQ(parse_integer_text("  +12", true).value, 12);
  EXPECT_TRUE(parse_integer_text("  +12", true).ok);
  EXPECT_FALSE(parse_integer_text("12 ", true).ok);
  EXPECT_FALSE(parse_integer_text("1-2", true).ok);
  EXPECT_FALSE(parse_integer_text("", true).ok);
  EXPECT_FALSE(parse_integer_text("-", true).ok);
  IntText twoSigns = parse_integer_text("--5", true);
  EXPECT_TRUE(twoSigns.ok);
  EXPECT_EQ(twoSigns.value, 0);
  IntText big = parse_integer_text("123456789012", true);
  EXPECT_TRUE(big.ok && big.is64);
  EXPECT_EQ(big.value, 123456789012LL);
  EXPECT_FALSE(parse_integer_text("123456789012", false).ok);
  EXPECT_EQ(parse_integer_text("-2147483648", false).value, INT32_MIN);
  EXPECT_FALSE(parse_integer_text("99999999999999999999", true).ok);
}

TEST(FloatText, WholeTextAndNoD) {
  double v = 0;
  EXPECT_EQ(parse_float_text("1.5", v), FloatText::ok);
  EXPECT_EQ(v, 1.5);
  EXPECT_EQ(parse_float_text("1d5", v), FloatText::not_float);
  EXPECT_EQ(parse_float_text("1.5x", v), FloatText::not_float);
  EXPECT_EQ(parse_float_text("inf", v), FloatText::not_float);
  EXPECT_EQ(parse_float_text("1e999", v), FloatText::too_large);
  EXPECT_EQ(parse_float_text("1e-999", v), FloatText::ok);
}

TEST(Radix, BothDirections) {
  EXPECT_EQ(int_to_text(255, 16), "FF");
  EXPECT_EQ(int_to_text(-5, 2), "-101");
  EXPECT_EQ(int_to_text(INT64_MIN, 10), "-9223372036854775808");
  EXPECT_EQ(int_to_text(INT32_MIN, 10), "-2147483648");
  EXPECT_EQ(int_to_text(35, 36), "Z");
  EXPECT_EQ(text_to_integer("ff", 16), 255);
  EXPECT_EQ(text_to_integer("z", 36), 35);
  EXPECT_EQ(text_to_integer("12", 1), -1);
  EXPECT_EQ(text_to_integer("12", 37), -1);
  EXPECT_EQ(text_to_integer("19", 8), -2);
}

TEST(FloatToInteger, RoundsHalfAwayAndRefusesOutOfRange) {
  std::int32_t out = 0;
  EXPECT_TRUE(float_to_int32(2.5, out));
  EXPECT_EQ(out, 3);
  EXPECT_TRUE(float_to_int32(-2.5, out));
  EXPECT_EQ(out, -3);
  EXPECT_FALSE(float_to_int32(2147483646.0, out));
  EXPECT_FALSE(float_to_int32(std::nan(""), out));
  std::int64_t out64 = 0;
  EXPECT_TRUE(float_to_int64(4e15, out64));
  EXPECT_EQ(out64, 4000000000000000LL);
  EXPECT_FALSE(float_to_int64(1e19, out64));
}

}  // namespace
}  // namespace orv
