// The platform-free automation rules: type names both ways, failure codes,
// monikers, dates, single-precision and text readings.
#include <gtest/gtest.h>

#include "com/variant_rules.h"

namespace orv::com {
namespace {

TEST(VariantTypeText, BaseAndFlagPartsWithAndWithoutPrefix) {
  EXPECT_EQ(vartype_text(vt::kEmpty, true), "VT_EMPTY");
  EXPECT_EQ(vartype_text(vt::kI4, false), "I4");
  EXPECT_EQ(vartype_text(vt::kArray | vt::kUi1, true), "VT_ARRAY|VT_UI1");
  EXPECT_EQ(vartype_text(vt::kByRef | vt::kVariant, false), "BYREF|VARIANT");
  EXPECT_EQ(vartype_text(vt::kByRef | vt::kArray | vt::kBstr, true), "VT_BYREF|VT_ARRAY|VT_BSTR");
  EXPECT_EQ(vartype_text(0xFFF, true), "VT_BSTR_BLOB");
  EXPECT_EQ(vartype_text(vt::kIllegal, true), "VT_ILLEGAL");
  EXPECT_EQ(vartype_text(15, true), "<unknown>");
  EXPECT_EQ(vartype_text(vt::kArray | 15, true), "VT_ARRAY|<unknown>");
}

TEST(VariantTypeParse, NamesAnyCaseOptionalPrefixAtMostTwo) {
  EXPECT_EQ(parse_vartype("VT_I4"), vt::kI4);
  EXPECT_EQ(parse_vartype("date"), vt::kDate);
  EXPECT_EQ(parse_vartype(" Vt_Bool "), vt::kBool);
  EXPECT_EQ(parse_vartype("ARRAY|UI1"), vt::kArray | vt::kUi1);
  EXPECT_EQ(parse_vartype("vt_array|vt_variant"), vt::kArray | vt::kVariant);
  EXPECT_FALSE(parse_vartype("ARRAY|UI1|BYREF"));
  EXPECT_FALSE(parse_vartype("LONG"));
  EXPECT_FALSE(parse_vartype(""));
  EXPECT_FALSE(parse_vartype("VT_"));
  EXPECT_FALSE(parse_vartype("I4|"));
  // Every name written is read back.
  for (std::uint16_t t : {vt::kCy, vt::kDecimal, vt::kUi8, vt::kUint, std::uint16_t(vt::kArray | vt::kR8)})
    EXPECT_EQ(parse_vartype(vartype_text(t, true)), t);
}

TEST(StatusMapping, KnownCodesFacilityAndFallbacks) {
  EXPECT_EQ(error_for_status(0x80020006), 1258);
  EXPECT_EQ(error_for_status(0x80020009), 1261);
  EXPECT_EQ(error_for_status(0x8002000E), 1266);
  EXPECT_EQ(error_for_status(0x800401F3), 1727);
  EXPECT_EQ(error_for_status(0x80070057), 1570);
  EXPECT_EQ(error_for_status(0x80131500), 1261);   // facility 0x13
  EXPECT_EQ(error_for_status(0x80004005), 1298);
  EXPECT_EQ(error_for_status(0x80004005, true), 1129);
  EXPECT_EQ(error_for_status(0x800401F3, true), 1727);
}

TEST(Monikers, SchemesAndFixedNames) {
  EXPECT_TRUE(is_moniker_name("winmgmts:"));
  EXPECT_TRUE(is_moniker_name("WinNT:"));
  EXPECT_TRUE(is_moniker_name("http://host/x"));
  EXPECT_FALSE(is_moniker_name("winmgmts:\\\\.\\root"));
  EXPECT_FALSE(is_moniker_name("Scripting.Dictionary"));
  EXPECT_FALSE(is_moniker_name("C:\\file.xls"));
}

TEST(AutomationDates, RoundTripAndDayZeroAndNegativeDays) {
  EXPECT_EQ(date_to_ymdhms(0.0), "1899:12:30:00:00:00");
  EXPECT_EQ(date_to_ymdhms(2.5), "1900:01:01:12:00:00");
  EXPECT_EQ(date_to_ymdhms(-1.25), "1899:12:29:06:00:00");
  EXPECT_EQ(date_to_ymdhms(45000.0), "2023:03:15:00:00:00");
  // A fraction that rounds up to midnight moves to the next day.
  EXPECT_EQ(date_to_ymdhms(1.0 - 1e-9), "1899:12:31:00:00:00");
  EXPECT_FALSE(date_to_ymdhms(-700000.0));
  EXPECT_FALSE(date_to_ymdhms(1e300));
  EXPECT_FALSE(date_to_ymdhms(-1.9e45));
  EXPECT_FALSE(date_to_ymdhms(3000000.5));

  for (const char* text : {"2022:08:04:14:58:51", "1899:12:29:06:00:00", "2000:02:29:23:59:59", "0100:01:01:00:00:00"})
    EXPECT_EQ(date_to_ymdhms(ymdhms_to_date(text).value()), text);
  EXPECT_DOUBLE_EQ(ymdhms_to_date("1900:01:01").value(), 2.0);
  EXPECT_DOUBLE_EQ(ymdhms_to_date("1899:12:29:06:00:00").value(), -1.25);
}

TEST(AutomationDates, InvalidTextIsRefused) {
  for (const char* text : {"", "2022", "2022:08", "2022:08:04:14", "2022::04", "2022:13:01", "2021:02:29",
                           "2022:08:04:24:00:00", "2022:08:04:1a:00:00", "99:01:01", "2022:08:04:14:58:51:"})
    EXPECT_FALSE(ymdhms_to_date(text)) << text;
}

TEST(SinglePrecision, NearestMillionth) {
  EXPECT_EQ(single_to_double(0.1f), 0.1);
  EXPECT_EQ(single_to_double(-2.675f), -2.675);
  EXPECT_EQ(single_to_double(1.0e20f), static_cast<double>(1.0e20f));
}

TEST(TextReadings, NamedTypesOwnReadingOthersTheSystemText) {
  EXPECT_EQ(reading_of(vt::kNull), Reading::kEmpty);
  EXPECT_EQ(reading_of(vt::kR4), Reading::kSingle);
  EXPECT_EQ(reading_of(vt::kCy), Reading::kCurrency);
  EXPECT_EQ(reading_of(vt::kDate), Reading::kDate);
  EXPECT_EQ(reading_of(vt::kUi8), Reading::kInteger);
  EXPECT_EQ(reading_of(vt::kDecimal), Reading::kSystemText);
  EXPECT_EQ(reading_of(vt::kUnknown), Reading::kSystemText);
  EXPECT_EQ(reading_of(vt::kBstr | vt::kByRef), Reading::kSystemText);
  // An unsigned value past the signed range keeps no number: a float would lose digits.
  EXPECT_EQ(unsigned_as_integer(9223372036854775807ULL), 9223372036854775807LL);
  EXPECT_FALSE(unsigned_as_integer(9223372036854775808ULL));
  EXPECT_FALSE(unsigned_as_integer(18446744073709551615ULL));
}

TEST(Prefixes, CaseInsensitiveAndOnlyAtStart) {
  std::string t = "#currency:12.5";
  EXPECT_TRUE(strip_prefix(t, "#CURRENCY:"));
  EXPECT_EQ(t, "12.5");
  std::string u = "12 #CURRENCY:";
  EXPECT_FALSE(strip_prefix(u, "#CURRENCY:"));
  EXPECT_EQ(u, "12 #CURRENCY:");
}

}  // namespace
}  // namespace orv::com
