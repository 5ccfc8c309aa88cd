#include "com/variant_rules.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "engine/error_numbers.h"

namespace orv::com {
namespace {

struct TypeName {
  std::uint16_t type;
  const char* name;   // without the "VT_" prefix
};

constexpr std::array kBaseNames = {
    TypeName{0, "EMPTY"},     TypeName{1, "NULL"},       TypeName{2, "I2"},
    TypeName{3, "I4"},        TypeName{4, "R4"},         TypeName{5, "R8"},
    TypeName{6, "CY"},        TypeName{7, "DATE"},       TypeName{8, "BSTR"},
    TypeName{9, "DISPATCH"},  TypeName{10, "ERROR"},     TypeName{11, "BOOL"},
    TypeName{12, "VARIANT"},  TypeName{13, "UNKNOWN"},   TypeName{14, "DECIMAL"},
    TypeName{16, "I1"},       TypeName{17, "UI1"},       TypeName{18, "UI2"},
    TypeName{19, "UI4"},      TypeName{20, "I8"},        TypeName{21, "UI8"},
    TypeName{22, "INT"},      TypeName{23, "UINT"},      TypeName{24, "VOID"},
    TypeName{25, "HRESULT"},  TypeName{26, "PTR"},       TypeName{27, "SAFEARRAY"},
    TypeName{28, "CARRAY"},   TypeName{29, "USERDEFINED"}, TypeName{30, "LPSTR"},
    TypeName{31, "LPWSTR"},   TypeName{36, "RECORD"},    TypeName{37, "INT_PTR"},
    TypeName{38, "UINT_PTR"}, TypeName{64, "FILETIME"},  TypeName{65, "BLOB"},
    TypeName{66, "STREAM"},   TypeName{67, "STORAGE"},   TypeName{68, "STREAMED_OBJECT"},
    TypeName{69, "STORED_OBJECT"}, TypeName{70, "BLOB_OBJECT"}, TypeName{71, "CF"},
    TypeName{72, "CLSID"},    TypeName{73, "VERSIONED_STREAM"}, TypeName{0xFFF, "BSTR_BLOB"},
};

constexpr std::array kFlagNames = {
    TypeName{vt::kVector, "VECTOR"}, TypeName{vt::kArray, "ARRAY"}, TypeName{vt::kByRef, "BYREF"},
    TypeName{vt::kReserved, "RESERVED"},
};

const char* base_name(std::uint16_t type) {
  for (const auto& n : kBaseNames)
    if (n.type == type) return n.name;
  return nullptr;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& ch : out)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return out;
}

std::string trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

std::optional<std::uint16_t> parse_one(std::string_view text) {
  std::string name = upper(trimmed(text));
  if (name.rfind("VT_", 0) == 0) name.erase(0, 3);
  if (name.empty()) return std::nullopt;
  for (const auto& n : kBaseNames)
    if (name == n.name) return n.type;
  for (const auto& n : kFlagNames)
    if (name == n.name) return n.type;
  return std::nullopt;
}

// Days from 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civil_from_days(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

// Day 0 of the automation calendar, counted from 1970-01-01.
constexpr std::int64_t kEpochShift = -25569;

bool is_leap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
unsigned days_in_month(std::int64_t y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

}  // namespace

std::string vartype_text(std::uint16_t type, bool withPrefix) {
  const std::string prefix = withPrefix ? "VT_" : "";
  if (type == vt::kIllegal) return prefix + "ILLEGAL";
  const auto flags = static_cast<std::uint16_t>(type & vt::kFlagMask);
  const auto base = static_cast<std::uint16_t>(type & vt::kTypeMask);
  std::string flagText;
  if (flags == (vt::kByRef | vt::kArray)) {
    flagText = prefix + "BYREF|" + prefix + "ARRAY";
  } else if (flags != 0) {
    for (const auto& n : kFlagNames)
      if (n.type == flags) flagText = prefix + n.name;
    if (flagText.empty()) return "<unknown>";
  }
  const char* name = base_name(base);
  const std::string baseText = name ? prefix + name : std::string("<unknown>");
  if (flagText.empty()) return baseText;
  // A bare flag (VT_BYREF alone names an object reference) has no base part.
  if (base == 0) return flagText;
  return flagText + "|" + baseText;
}

std::optional<std::uint16_t> parse_vartype(std::string_view text) {
  const auto bar = text.find('|');
  if (bar == std::string_view::npos) return parse_one(text);
  if (text.find('|', bar + 1) != std::string_view::npos) return std::nullopt;
  auto a = parse_one(text.substr(0, bar)), b = parse_one(text.substr(bar + 1));
  if (!a || !b) return std::nullopt;
  return static_cast<std::uint16_t>(*a | *b);
}

std::uint16_t error_for_status(std::uint32_t status, bool creating) {
  static constexpr std::pair<std::uint32_t, std::uint16_t> kMap[] = {
      {0x80020001, errs::kComUnknownInterface}, {0x80020003, errs::kComMemberNotFound},
      {0x80020004, errs::kComParamNotFound}, {0x80020005, errs::kComTypeMismatch},
      {0x80020006, errs::kComUnknownName}, {0x80020007, errs::kComNoNamedArgs},
      {0x80020008, errs::kComBadVariableType}, {0x80020009, errs::kComException}, {0x8002000A, errs::kComOverflow},
      {0x8002000B, errs::kComBadIndex}, {0x8002000C, errs::kComUnknownLcid}, {0x8002000D, errs::kComArrayLocked},
      {0x8002000E, errs::kComBadParamCount}, {0x8002000F, errs::kComParamNotOptional},
      {0x80020010, errs::kComBadCallee}, {0x80020011, errs::kComNotCollection},
      {0x80028016, errs::kComBufferTooSmall}, {0x80028018, errs::kComInvalidDataRead},
      {0x80028019, errs::kComUnsupportedFormat}, {0x8002801C, errs::kComRegistryAccessProblem},
      {0x8002801D, errs::kComLibNotRegistered}, {0x80028027, errs::kComUndefinedType},
      {0x80028028, errs::kComQualifiedNameDisallowed}, {0x80028029, errs::kComInvalidState},
      {0x8002802A, errs::kComWrongTypeKind}, {0x8002802B, errs::kComElementNotFound},
      {0x8002802C, errs::kComAmbiguousName}, {0x8002802F, errs::kComDllFunctionNotFound},
      {0x800288BD, errs::kComBadModuleKind}, {0x80028CA0, errs::kComInvokeFunctionMismatch},
      {0x80028CA2, errs::kComIoError}, {0x80028CA3, errs::kComCannotCreateTempfile},
      {0x80029C4A, errs::kComCannotLoadLibrary}, {0x800401F3, errs::kComBadClassString},
      {0x80040201, errs::kComNoMoreEventLinks}, {0x80040202, errs::kComNoLateEvents},
      {0x80070005, errs::kComAccessDenied}, {0x80045848, errs::kClrTypeNotFound},
      {0x80045851, errs::kClrMemberNotFound}, {0x8007000E, errs::kComOutOfMemory},
      {0x80070057, errs::kOleBadParameter}, {0x80070002, errs::kDllFileNotFound},
  };
  for (const auto& [code, error] : kMap)
    if (code == status) return error;
  if (((status >> 16) & 0x1FFF) == 0x13) return errs::kComException;
  return creating ? errs::kOleInitiateFailed : errs::kComUnknownErrorCode;
}

bool is_moniker_name(std::string_view name) {
  if (name.find("://") != std::string_view::npos) return true;
  static constexpr const char* kPrefixes[] = {"ADS:", "GC:", "IIS:", "LDAP:", "NDS:",
                                              "NWCOMPAT:", "SAMPLE:", "WINNT:", "WINMGMTS:"};
  const std::string u = upper(name);
  for (const char* p : kPrefixes)
    if (u == p) return true;
  return false;
}

std::optional<std::string> date_to_ymdhms(double date) {
  // Far outside years 100-9999 (and never converted to an integer there).
  if (!std::isfinite(date) || date < -700000.0 || date > 3000000.0) return std::nullopt;
  // The fraction is the time of day even before day 0 (-1.25 is 06:00 of day -1).
  double whole = std::trunc(date);
  double fraction = std::fabs(date - whole);
  auto seconds = static_cast<std::int64_t>(std::llround(fraction * 86400.0));
  auto day = static_cast<std::int64_t>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    day += date < 0 ? -1 : 1;
  }
  std::int64_t y = 0;
  unsigned m = 0, d = 0;
  civil_from_days(day + kEpochShift, y, m, d);
  if (y < 100 || y > 9999) return std::nullopt;
  char text[32];
  std::snprintf(text, sizeof text, "%04d:%02u:%02u:%02d:%02d:%02d", static_cast<int>(y), m, d,
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return std::string(text);
}

std::optional<double> ymdhms_to_date(std::string_view text) {
  std::int64_t fields[6] = {};
  int count = 0;
  std::size_t digits = 0;
  for (char ch : text) {
    if (ch == ':') {
      if (digits == 0 || ++count >= 6) return std::nullopt;
      digits = 0;
    } else if (ch >= '0' && ch <= '9') {
      if (++digits > 9) return std::nullopt;
      fields[count] = fields[count] * 10 + (ch - '0');
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  ++count;
  if (count != 3 && count != 6) return std::nullopt;
  const auto [y, mo, d, h, mi, s] = fields;
  if (y < 100 || y > 9999 || mo < 1 || mo > 12) return std::nullopt;
  if (d < 1 || d > days_in_month(y, static_cast<unsigned>(mo))) return std::nullopt;
  if (h > 23 || mi > 59 || s > 59) return std::nullopt;
  const double day = static_cast<double>(
      days_from_civil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) - kEpochShift);
  const double fraction = static_cast<double>((h * 60 + mi) * 60 + s) / 86400.0;
  // Before day 0 the fraction still counts forward within the day.
  return day >= 0 ? day + fraction : day - fraction;
}

double single_to_double(float value) {
  const double v = static_cast<double>(value);
  if (!std::isfinite(v) || std::fabs(v) > 1e15) return v;
  return std::round(v * 1e6) / 1e6;
}

Reading reading_of(std::uint16_t type) {
  switch (type) {
    case vt::kEmpty: case vt::kNull: return Reading::kEmpty;
    case vt::kI1: case vt::kI2: case vt::kI4: case vt::kI8: case vt::kInt: case vt::kUi1: case vt::kUi2:
    case vt::kUi4: case vt::kUi8: case vt::kUint: case vt::kBool: case vt::kError:
      return Reading::kInteger;
    case vt::kR4: return Reading::kSingle;
    case vt::kR8: return Reading::kDouble;
    case vt::kCy: return Reading::kCurrency;
    case vt::kDate: return Reading::kDate;
    case vt::kBstr: return Reading::kString;
    default: return Reading::kSystemText;
  }
}

std::optional<std::int64_t> unsigned_as_integer(std::uint64_t value) {
  if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

bool strip_prefix(std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  if (upper(std::string_view(text).substr(0, prefix.size())) != upper(prefix)) return false;
  text.erase(0, prefix.size());
  return true;
}

}  // namespace orv::com
