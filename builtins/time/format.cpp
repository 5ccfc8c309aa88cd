// TimeFormat: a picture of letter runs ("dd", "MMMM", "yyyy", "hh", "tt" ...)
// applied to a YmdHms. Names are the C locale's, as the runtime's formatter
// gives them.
#include <cstdio>

#include "builtins/strings/text.h"
#include "builtins/time/time_format.h"
#include "builtins/time/time_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::timefn {
namespace {

constexpr std::size_t kMaxPicture = 2048;

const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

void append_number(std::u16string& out, std::int64_t v, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(v));
  for (const char* p = buf; *p; ++p) out.push_back(static_cast<char16_t>(*p));
}

void append_name(std::u16string& out, const char* name, std::size_t run) {
  const std::size_t n = run == 3 ? 3 : std::char_traits<char>::length(name);
  for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<char16_t>(name[i]));
}

bool is_date_letter(char16_t ch) { return ch == u'd' || ch == u'M' || ch == u'y'; }
bool is_time_letter(char16_t ch) { return ch == u'h' || ch == u'H' || ch == u'm' || ch == u's' || ch == u't'; }

// One run of the same letter, appended in its form.
void append_run(std::u16string& out, char16_t letter, std::size_t run, const Fields& f) {
  const std::int64_t weekday = (day_number(f) + 5) % 7;   // day 1 (0000:01:01) was a Saturday
  switch (letter) {
    case u'd':
      if (run <= 2) append_number(out, f.day, static_cast<int>(run));
      else append_name(out, kDayNames[weekday], run);
      return;
    case u'M':
      if (run <= 2) append_number(out, f.month, static_cast<int>(run));
      else append_name(out, kMonthNames[f.month - 1], run);
      return;
    case u'y':
      if (run <= 2) append_number(out, f.year % 100, 2);
      else append_number(out, f.year, 4);
      return;
    case u'h': append_number(out, f.hour % 12 == 0 ? 12 : f.hour % 12, run == 1 ? 1 : 2); return;
    case u'H': append_number(out, f.hour, 2); return;
    case u'm': append_number(out, f.minute, 2); return;
    case u's': append_number(out, f.second, 2); return;
    default: out += f.hour < 12 ? u"AM" : u"PM"; return;
  }
}

}  // namespace

PictureUse picture_use(std::u16string_view picture) {
  PictureUse use;
  bool quoted = false;
  for (char16_t ch : picture) {
    if (ch == u'\'') quoted = !quoted;
    else if (!quoted && is_date_letter(ch)) use.date = true;
    else if (!quoted && is_time_letter(ch)) use.time = true;
  }
  return use;
}

std::u16string apply_picture(std::u16string_view picture, const Fields& f) {
  std::u16string out;
  std::size_t i = 0;
  while (i < picture.size()) {
    const char16_t ch = picture[i];
    if (ch == u'\'') {
      // Quoted text is literal; '' inside it is one quote.
      for (++i; i < picture.size(); ++i) {
        if (picture[i] != u'\'') { out.push_back(picture[i]); continue; }
        if (i + 1 < picture.size() && picture[i + 1] == u'\'') { out.push_back(u'\''); ++i; continue; }
        break;
      }
      ++i;
      continue;
    }
    if (!is_date_letter(ch) && !is_time_letter(ch)) {
      out.push_back(ch);
      ++i;
      continue;
    }
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == ch) ++run;
    append_run(out, ch, run, f);
    i += run;
  }
  return out;
}

namespace {

void time_format(Call& call) {
  const std::u16string_view picture = strings::arg_text<char16_t>(call, 2);
  if (picture.size() > kMaxPicture) { fail(call.c, errs::kStringTooLong); return; }
  const PictureUse use = picture_use(picture);
  const int mode = use.date && use.time ? kDateTime : use.date ? kDateOnly : use.time ? kTimeOnly : kSyntax;
  Fields f;
  if (!parse_ymdhms(arg_str(call, 1), f, mode, true)) { fail(call.c, errs::kTimeBadValue); return; }
  if (!use.date) {
    f.year = 0;
    f.month = 1;
    f.day = 1;
  }
  if (!use.time) f.hour = f.minute = f.second = 0;
  strings::set_result(call, apply_picture(picture, f));
}

}  // namespace

void register_format(HandlerTable& t) { t.add(kw::fn_timeformat, time_format); }

}  // namespace orv::timefn
