// File times: FileTimeGet (display form), FileYmdHms, FileTimeCode (packed
// date and time), FileTimeSet and FileTimeTouch. Times are local; the
// selector picks last write (0, 2), creation (1) or last access (3).
#include <cstdio>
#include <ctime>

#include "builtins/files/file_args.h"
#include "builtins/files/file_times.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/source_list.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/files.h"

namespace orv::files {
namespace {

namespace pf = platform::files;

// Which time the functions read and set: last write.
constexpr int kSelector = 0;

bool time_arg(Call& call, pf::LocalTime& t) {
  std::u16string path;
  if (!full_path(call.c, wide_arg(call, 1), path)) return false;
  if (pf::attributes(path) == pf::kNoAttributes || !pf::get_time(path, kSelector, t)) return fail(call.c, errs::kFileTimeGetNotFound);
  return true;
}

std::string format_time(const char* format, int a, int b, int c2, const pf::LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c2, t.hour, t.minute, t.second);
  return text;
}

void file_time_get(Call& call) {
  pf::LocalTime t;
  if (time_arg(call, t)) set_text(call, format_time("%02d/%02d/%04d %02d:%02d:%02d", t.month, t.day, t.year, t));
}

void file_ymdhms(Call& call) {
  pf::LocalTime t;
  if (time_arg(call, t)) set_text(call, file_time_text(call.c, t));
}

void file_time_code(Call& call) {
  pf::LocalTime t;
  if (!time_arg(call, t)) return;
  const int year = t.year < 1980 ? 0 : t.year - 1980;
  const std::uint32_t date = static_cast<std::uint32_t>((year << 9) | (t.month << 5) | t.day);
  const std::uint32_t time = static_cast<std::uint32_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2));
  make_int(call.result, static_cast<std::int32_t>((date << 16) | time));
}

void set_times(Call& call, const pf::LocalTime& t) {
  Context& c = call.c;
  const bool ok = for_each_source(c, wide_arg(call, 1), {}, [&](const std::u16string& path) {
    std::uint32_t err = 0;
    if (pf::set_time(path, kSelector, t, err)) return true;
    return err == 0 ? fail(c, errs::kFileTimeSetBadTime) : os_fail(c, errs::kFileTimeTouchNotFound, "FileTimeTouch", err);
  });
  if (ok) make_int(call.result, 1);
}

void file_time_set(Call& call) {
  pf::LocalTime t;
  if (!parse_file_time(wide_arg(call, 2), t)) { fail(call.c, errs::kTimeDiffBadValue); return; }
  set_times(call, t);
}

void file_time_touch(Call& call) {
  const std::time_t now = std::time(nullptr);
  const std::tm* tm = std::localtime(&now);
  if (!tm) { fail(call.c, errs::kFileTimeSetBadTime); return; }
  set_times(call, {tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec});
}

}  // namespace

namespace {

int days_in(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool parse_file_time(std::u16string_view s, pf::LocalTime& t) {
  int f[6] = {0, 0, 0, 0, 0, 0};
  int count = 0;
  std::size_t i = 0;
  while (i < s.size() && s[i] == u' ') ++i;
  for (; count < 6; ++count) {
    std::size_t start = i;
    long v = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9' && i - start < 5) v = v * 10 + (s[i++] - u'0');
    if (i == start) return false;
    f[count] = static_cast<int>(v);
    if (count == 0 && i - start <= 2) f[0] += f[0] < 50 ? 2000 : 1900;
    if (i == s.size()) { ++count; break; }
    if (s[i] != u':') return false;
    ++i;
  }
  if (i != s.size() || count < 3) return false;
  t = {f[0], f[1], f[2], f[3], f[4], f[5]};
  return t.year >= 1601 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= days_in(t.year, t.month) && t.hour < 24 && t.minute < 60 && t.second < 60;
}

std::string file_time_text(const Context& c, const pf::LocalTime& t) {
  const bool fourDigits = c.intSettings[41] != 0;
  char text[64];
  std::snprintf(text, sizeof text, fourDigits ? "%04d:%02d:%02d:%02d:%02d:%02d" : "%02d:%02d:%02d:%02d:%02d:%02d",
                fourDigits ? t.year : t.year % 100, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

int compare_file_times(const pf::LocalTime& a, const pf::LocalTime& b) {
  const int x[] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
  const int y[] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
  for (int i = 0; i < 6; ++i)
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  return 0;
}

void register_times(HandlerTable& t) {
  t.add(kw::fn_filetimeget, file_time_get);
  t.add(kw::fn_fileymdhms, file_ymdhms);
  t.add(kw::fn_filetimecode, file_time_code);
  t.add(kw::fn_filetimeset, file_time_set);
  t.add(kw::fn_filetimetouch, file_time_touch);
}

}  // namespace orv::files
