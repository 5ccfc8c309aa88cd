// Date and time: the YmdHms parser, calendar arithmetic and the time
// built-ins as scripts call them. Nothing here reads the clock's value, so
// the tests pass under any time zone.
#include <gtest/gtest.h>

#include "builtins/time/time_format.h"
#include "builtins/time/ymdhms.h"
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

using timefn::Fields;
using timefn::parse_ymdhms;

bool valid(const char* text, int mode = timefn::kDateTime, bool twoDigit = true) {
  Fields f;
  return parse_ymdhms(text, f, mode, twoDigit);
}

TEST(YmdhmsParse, AcceptsThreeOrSixDigitFieldsOnly) {
  EXPECT_TRUE(valid("2022:2:3"));
  EXPECT_TRUE(valid("2022:02:03:10:00:00"));
  EXPECT_FALSE(valid("2022:02:03:10:00"));
  EXPECT_FALSE(valid("2022:02"));
  EXPECT_FALSE(valid("2022::03"));
  EXPECT_FALSE(valid(""));
  EXPECT_FALSE(valid("2022:02:03:"));
  EXPECT_FALSE(valid(":02:03"));
  EXPECT_FALSE(valid("2022:02:03 "));
  EXPECT_FALSE(valid("2022:-2:03"));
  EXPECT_FALSE(valid("99999999999999999999:1:1", timefn::kSyntax));
  Fields f;
  ASSERT_TRUE(parse_ymdhms("2022:2:3", f, timefn::kDateTime, true));
  EXPECT_EQ(f.year, 2022);
  EXPECT_EQ(f.month, 2);
  EXPECT_EQ(f.day, 3);
  EXPECT_EQ(f.hour, 0);
}

TEST(YmdhmsParse, RejectsAnInvalidValueInEachField) {
  EXPECT_FALSE(valid("12345:01:01"));   // five-digit year
  EXPECT_FALSE(valid("2022:00:01"));
  EXPECT_FALSE(valid("2022:13:01"));
  EXPECT_FALSE(valid("2022:01:00"));
  EXPECT_FALSE(valid("2022:01:32"));
  EXPECT_FALSE(valid("2022:04:31"));
  EXPECT_FALSE(valid("2022:01:01:24:00:00"));
  EXPECT_FALSE(valid("2022:01:01:23:60:00"));
  EXPECT_FALSE(valid("2022:01:01:23:59:60"));
  EXPECT_TRUE(valid("2022:01:01:23:59:59"));
  EXPECT_TRUE(valid("0000:01:01"));
  EXPECT_TRUE(valid("9999:12:31:23:59:59"));
}

TEST(YmdhmsParse, ModesValidateTheirHalfOnly) {
  EXPECT_TRUE(valid("0:0:0:12:30:00", timefn::kTimeOnly));
  EXPECT_FALSE(valid("0:0:0:24:00:00", timefn::kTimeOnly));
  EXPECT_TRUE(valid("7:99:99:99:99:99", timefn::kSyntax));
  Fields f;
  ASSERT_TRUE(parse_ymdhms("2022:01:01:24:77:88", f, timefn::kDateOnly, true));
  EXPECT_EQ(f.hour, 0);   // hour 24 is midnight for a date
  EXPECT_FALSE(valid("2022:02:30:00:00:00", timefn::kDateOnly));
}

TEST(YmdhmsParse, TwoDigitYearsPivotAtFifty) {
  Fields f;
  ASSERT_TRUE(parse_ymdhms("99:12:31:00:00:00", f, timefn::kDateTime, true));
  EXPECT_EQ(f.year, 1999);
  ASSERT_TRUE(parse_ymdhms("49:01:01", f, timefn::kDateTime, true));
  EXPECT_EQ(f.year, 2049);
  ASSERT_TRUE(parse_ymdhms("50:01:01", f, timefn::kDateTime, true));
  EXPECT_EQ(f.year, 1950);
  ASSERT_TRUE(parse_ymdhms("049:01:01", f, timefn::kDateTime, true));
  EXPECT_EQ(f.year, 49);   // three digits are taken as written
  ASSERT_TRUE(parse_ymdhms("49:01:01", f, timefn::kDateTime, false));
  EXPECT_EQ(f.year, 49);
}

TEST(YmdhmsParse, LeapDays) {
  EXPECT_TRUE(valid("2000:02:29"));
  EXPECT_FALSE(valid("1900:02:29"));
  EXPECT_FALSE(valid("2023:02:29"));
  EXPECT_TRUE(valid("2024:02:29"));
  EXPECT_TRUE(valid("0000:02:29"));
}

TEST(DayNumbers, FixedPointsAndInverseOverTheWholeRange) {
  EXPECT_EQ(timefn::day_number(Fields{0, 1, 1}), 1);
  EXPECT_EQ(timefn::day_number(Fields{1, 1, 1}), 367);
  EXPECT_EQ(timefn::day_number(Fields{2000, 3, 1}) - timefn::day_number(Fields{2000, 2, 28}), 2);
  EXPECT_EQ(timefn::day_number(Fields{1900, 3, 1}) - timefn::day_number(Fields{1900, 2, 28}), 1);
  // Every day from 0000:01:01 to 9999:12:31 maps back to itself, in order.
  Fields expect{0, 1, 1};
  const std::int64_t last = timefn::day_number(Fields{9999, 12, 31});
  for (std::int64_t n = 1; n <= last; ++n) {
    const Fields f = timefn::date_of_day_number(n);
    ASSERT_TRUE(f.year == expect.year && f.month == expect.month && f.day == expect.day) << n;
    if (++expect.day > timefn::month_length(expect.month, timefn::is_leap(expect.year))) {
      expect.day = 1;
      if (++expect.month > 12) { expect.month = 1; ++expect.year; }
    }
  }
}

TEST(Picture, LetterRunsQuotesAndUse) {
  const Fields f{2022, 8, 4, 14, 5, 9};
  auto apply = [&](const char16_t* p) { return timefn::apply_picture(p, f); };
  EXPECT_EQ(apply(u"yyyy-MM-dd HH:mm:ss"), u"2022-08-04 14:05:09");
  EXPECT_EQ(apply(u"d/M/yy h tt"), u"4/8/22 2 PM");
  EXPECT_EQ(apply(u"ddd dddd MMM MMMM"), u"Thu Thursday Aug August");
  EXPECT_EQ(apply(u"'dd''s' dd"), u"dd's 04");
  EXPECT_EQ(apply(u"%"), u"%");
  EXPECT_EQ(timefn::apply_picture(u"hh tt", Fields{2022, 1, 1, 0, 0, 0}), u"12 AM");
  EXPECT_TRUE(timefn::picture_use(u"dd").date);
  EXPECT_FALSE(timefn::picture_use(u"dd").time);
  EXPECT_FALSE(timefn::picture_use(u"'hh' dd").time);
}

class TimeFunctions : public EngineTest {};

TEST_F(TimeFunctions, AddClampsMonthEndsAndCarries) {
  EXPECT_EQ(eval(R"(TimeAdd("2000:01:31:00:00:00", "0:1:0:0:0:0"))"), "2000:02:29:00:00:00");
  EXPECT_EQ(eval(R"(TimeAdd("1999:12:15:00:00:00", "0:12:0:0:0:0"))"), "2000:12:15:00:00:00");
  EXPECT_EQ(eval(R"(TimeAdd("1999:12:15:00:00:00", "0:13:0"))"), "2001:01:15:00:00:00");
  EXPECT_EQ(eval(R"(TimeAdd("2022:01:01:00:00:00", "0:0:0:0:0:100000"))"), "2022:01:02:03:46:40");
  EXPECT_EQ(eval(R"(TimeAdd("2022:12:31:23:59:59", "0:0:0:0:0:1"))"), "2023:01:01:00:00:00");
  EXPECT_EQ(eval(R"(TimeAdd("9999:12:31:23:59:59", "0:0:0:0:0:1"))"), "error 1019");
  EXPECT_EQ(eval(R"(TimeAdd("2022:02:30", "0:0:1"))"), "error 1019");
  EXPECT_EQ(eval(R"(TimeAdd("2022:01:01", "0:0:x"))"), "error 1019");
  // A huge offset is arithmetic, not a loop.
  EXPECT_EQ(eval(R"(TimeAdd("0000:01:01", "0:0:3652424:0:0:0"))"), "9999:12:31:00:00:00");
}

TEST_F(TimeFunctions, SubtractBorrowsAcrossMonthsAndYears) {
  EXPECT_EQ(eval(R"(TimeSubtract("2022:03:01:00:00:00", "0:0:1:0:0:0"))"), "2022:02:28:00:00:00");
  EXPECT_EQ(eval(R"(TimeSubtract("2024:03:01:00:00:00", "0:0:1"))"), "2024:02:29:00:00:00");
  EXPECT_EQ(eval(R"(TimeSubtract("2022:01:01:00:00:00", "0:0:0:0:0:1"))"), "2021:12:31:23:59:59");
  EXPECT_EQ(eval(R"(TimeSubtract("2022:03:31", "0:4:0"))"), "2021:11:30:00:00:00");
  EXPECT_EQ(eval(R"(TimeSubtract("0001:01:01", "1:0:1"))"), "error 1462");
  EXPECT_EQ(eval(R"(TimeSubtract("0001:01:01", "1:0:0"))"), "0000:01:01:00:00:00");
}

TEST_F(TimeFunctions, Differences) {
  EXPECT_EQ(eval(R"(TimeDiffDays("2001:01:01", "2000:01:01"))"), "366");
  EXPECT_EQ(eval(R"(TimeDiffDays("2000:01:01", "2001:01:01"))"), "-366");
  EXPECT_EQ(eval(R"(TimeDiffDays("9999:12:31", "0000:01:01"))"), "3652424");
  EXPECT_EQ(eval(R"(TimeDiffSecs("2022:01:02:00:00:00", "2022:01:01:23:59:00"))"), "60");
  EXPECT_EQ(eval(R"(TimeDiffSecs("2060:03:27", "2000:01:01"))"), "error 1018");   // 22001 days
  EXPECT_EQ(eval(R"(TimeDiffSecs("2060:03:26", "2000:01:01"))"), "1900800000");
  EXPECT_EQ(eval(R"(TimeDiffDays("2022:13:01", "2022:01:01"))"), "error 1017");
  EXPECT_EQ(eval(R"(TimeDiff("2022:03:01:00:00:00", "2021:02:28:12:30:30"))"), "0001:00:00:11:29:30");
  EXPECT_EQ(eval(R"(TimeDiff("2022:03:01", "2022:01:31"))"), "0000:01:01:00:00:00");
  EXPECT_EQ(eval(R"(TimeDiff("2021:01:01", "2022:01:01"))"), "error 1462");
}

TEST_F(TimeFunctions, JulianDaysAndTheirInverse) {
  EXPECT_EQ(eval(R"(TimeJulianDay("0000:01:01"))"), "1");
  EXPECT_EQ(eval(R"(TimeJulianDay("0001:01:01:24:00:00"))"), "367");
  EXPECT_EQ(eval("TimeJulToYmd(1)"), "0000:01:01:00:00:00");
  EXPECT_EQ(eval("TimeJulToYmd(367)"), "0001:01:01:00:00:00");
  EXPECT_EQ(eval(R"(TimeJulToYmd(TimeJulianDay("2024:02:29")))"), "2024:02:29:00:00:00");
  EXPECT_EQ(eval("TimeJulToYmd(0)"), "error 1461");
  EXPECT_EQ(eval("TimeJulToYmd(-5)"), "error 1461");
  EXPECT_NE(eval("TimeJulToYmd(2147483647)").substr(0, 5), "error");
  EXPECT_EQ(eval(R"(TimeJulianDay("2022:02:29"))"), "error 1020");
}

TEST_F(TimeFunctions, TwoDigitYearSettingShapesEveryResult) {
  EXPECT_EQ(eval(R"(IntControl(41, 0, "", "", ""))"), "1");
  EXPECT_EQ(eval(R"(TimeAdd("1999:12:31", "0:0:1"))"), "00:01:01:00:00:00");
  EXPECT_EQ(eval("StrLen(TimeYmdHms())"), "17");
  EXPECT_EQ(eval(R"(IntControl(41, 5, "", "", ""))"), "0");
  EXPECT_EQ(eval(R"(IntControl(41, 1, "", "", ""))"), "0");
  EXPECT_EQ(eval("StrLen(TimeYmdHms())"), "19");
  EXPECT_EQ(eval("StrLen(GetExactTime())"), "22");
}

TEST_F(TimeFunctions, FormatPicksTheParseModeFromThePicture) {
  EXPECT_EQ(eval(R"(TimeFormat("2022:08:04:14:05:09", "dddd, d MMMM yyyy"))"), "Thursday, 4 August 2022");
  EXPECT_EQ(eval(R"(TimeFormat("0:0:0:14:05:09", "HH:mm"))"), "14:05");
  EXPECT_EQ(eval(R"(TimeFormat("2022:08:04:24:00:00", "yyyy"))"), "2022");
  EXPECT_EQ(eval(R"(TimeFormat("2022:08:04:25:00:00", "yyyy HH"))"), "error 1020");
  EXPECT_EQ(eval(R"(TimeFormat("2022:08:04", StrFill("x", 2049)))"), "error 3053");
}

TEST_F(TimeFunctions, WaitsRejectBadTimesAndReturnAtOnceForThePast) {
  EXPECT_EQ(eval(R"(TimeWait("2022:01:01"))"), "error 1022");
  EXPECT_EQ(eval(R"(TimeWait("2022::01:00:00:00"))"), "error 1022");
  EXPECT_EQ(eval(R"(TimeWait("2000:01:01:00:00:00:00"))"), "error 1022");
  EXPECT_EQ(eval(R"(TimeWait("2000:01:01:00:00:00"))"), "1");
  EXPECT_EQ(eval("TimeDelay(0)"), "1");
  EXPECT_EQ(eval("TimeDelay(-1)"), "1");
  EXPECT_EQ(eval("Delay(0)"), "1");
  EXPECT_EQ(eval("Delay()"), "error 3066");
  EXPECT_EQ(eval("GetTickCount(1)"), "error 3066");
}

}  // namespace
}  // namespace orv::test
