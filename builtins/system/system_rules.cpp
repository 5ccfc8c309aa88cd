#include "builtins/system/system_rules.h"

#include <algorithm>
#include <array>

namespace orv::sysinfo {
namespace {

using K = SpiKind;

// The system parameter actions scripts may use, by number. Only actions
// whose argument is one number or one text are here: anything that would
// make the system read or write a structure through a script's value stays
// out.
constexpr std::array<SpiAction, 71> kSpiActions{{
    {0x0001, K::get_number},      // beep on
    {0x0002, K::set_by_count},
    {0x0005, K::get_number},      // border width
    {0x0006, K::set_by_count},
    {0x000A, K::get_number},      // keyboard repeat speed
    {0x000B, K::set_by_count},
    {0x000E, K::get_number},      // screen saver timeout (seconds)
    {0x000F, K::set_by_count},
    {0x0010, K::get_number},      // screen saver active
    {0x0011, K::set_by_count},
    {0x0014, K::set_text},        // desktop wallpaper
    {0x0015, K::set_text},        // desktop pattern
    {0x0016, K::get_number},      // keyboard delay
    {0x0017, K::set_by_count},
    {0x0019, K::get_number},      // icon titles wrap
    {0x001A, K::set_by_count},
    {0x001B, K::get_number},      // menus drop right-aligned
    {0x001C, K::set_by_count},
    {0x001D, K::set_by_count},    // double-click width
    {0x001E, K::set_by_count},    // double-click height
    {0x0020, K::set_by_count},    // double-click time
    {0x0021, K::set_by_count},    // mouse buttons swapped
    {0x0025, K::set_by_count},    // full window drag
    {0x0026, K::get_number},
    {0x0038, K::get_number},      // show sounds
    {0x0039, K::set_by_count},
    {0x0044, K::get_number},      // keyboard preferred
    {0x0045, K::set_by_count},
    {0x0046, K::get_number},      // screen reader running
    {0x0047, K::set_by_count},
    {0x004A, K::get_number},      // font smoothing
    {0x004B, K::set_by_count},
    {0x0053, K::get_number},      // low-power screen saver active
    {0x0054, K::get_number},      // power-off screen saver active
    {0x005F, K::get_number},      // snap to default button
    {0x0060, K::set_by_count},
    {0x0062, K::get_number},      // mouse hover width
    {0x0063, K::set_by_count},
    {0x0064, K::get_number},      // mouse hover height
    {0x0065, K::set_by_count},
    {0x0066, K::get_number},      // mouse hover time
    {0x0067, K::set_by_count},
    {0x0068, K::get_number},      // wheel scroll lines
    {0x0069, K::set_by_count},
    {0x006A, K::get_number},      // menu show delay
    {0x006B, K::set_by_count},
    {0x006C, K::get_number},      // wheel scroll characters
    {0x006D, K::set_by_count},
    {0x0070, K::get_number},      // mouse speed
    {0x0071, K::set_by_pointer},
    {0x0072, K::get_number},      // screen saver running
    {0x0073, K::get_text},        // desktop wallpaper
    {0x1002, K::get_number},      // menu animation
    {0x1003, K::set_by_pointer},
    {0x1012, K::get_number},      // hot tracking
    {0x1013, K::set_by_pointer},
    {0x101C, K::get_number},      // mouse sonar
    {0x101D, K::set_by_pointer},
    {0x1042, K::get_number},      // client area animation
    {0x1043, K::set_by_pointer},
    {0x2000, K::get_number},      // foreground lock timeout
    {0x2001, K::set_by_pointer},
    {0x2004, K::get_number},      // foreground flash count
    {0x2005, K::set_by_pointer},
    {0x2006, K::get_number},      // caret width
    {0x2007, K::set_by_pointer},
    {0x200C, K::get_number},      // font smoothing contrast
    {0x200D, K::set_by_pointer},
    {0x200E, K::get_number},      // focus border width
    {0x200F, K::set_by_pointer},
    {0x2010, K::get_number},      // focus border height
}};

// WinParmGet/WinParmSet numbers: the everyday desktop settings.
constexpr std::array<WinParm, 16> kWinParms{{
    {1, 0x0001, 0x0002},    // beep on
    {2, 0x0005, 0x0006},    // border width
    {3, 0x000A, 0x000B},    // keyboard repeat speed
    {4, 0x0016, 0x0017},    // keyboard delay
    {5, 0x000E, 0x000F},    // screen saver timeout
    {6, 0x0010, 0x0011},    // screen saver active
    {7, 0x0019, 0x001A},    // icon titles wrap
    {8, 0x001B, 0x001C},    // menus right-aligned
    {9, 0x0026, 0x0025},    // full window drag
    {10, 0x0073, 0x0014},   // wallpaper
    {11, 0x0070, 0x0071},   // mouse speed
    {12, 0x0068, 0x0069},   // wheel scroll lines
    {13, 0x006A, 0x006B},   // menu show delay
    {14, 0x004A, 0x004B},   // font smoothing
    {15, 0x0038, 0x0039},   // show sounds
    {16, 0x005F, 0x0060},   // snap to default button
}};

char16_t lower(char16_t ch) { return ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch + 32) : ch; }
bool is_slash(char16_t ch) { return ch == u'\\' || ch == u'/'; }
bool is_alnum(char16_t ch) {
  return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9');
}

std::u16string_view without_trailing_slashes(std::u16string_view s) {
  while (!s.empty() && is_slash(s.back())) s.remove_suffix(1);
  return s;
}

// One DNS label: 1 to 63 letters, digits and hyphens, no hyphen at either end.
bool valid_dns_label(std::u16string_view label) {
  if (label.empty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-') return false;
  return std::all_of(label.begin(), label.end(), [](char16_t ch) { return is_alnum(ch) || ch == u'-'; });
}

bool valid_netbios_name(std::u16string_view name) {
  if (name.empty() || name.size() > 15 || name.front() == u'.' || name.front() == u' ') return false;
  constexpr std::u16string_view kRefused = u"\\/:*?\"<>|,~!@#$%^&'(){}";
  return std::none_of(name.begin(), name.end(),
                      [&](char16_t ch) { return ch < 0x20 || kRefused.find(ch) != std::u16string_view::npos; });
}

bool valid_dns_domain(std::u16string_view name) {
  if (name.empty()) return true;   // no domain suffix
  if (name.size() > 255) return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = name.find(u'.', start);
    if (!valid_dns_label(name.substr(start, dot == std::u16string_view::npos ? dot : dot - start))) return false;
    if (dot == std::u16string_view::npos) return true;
    start = dot + 1;
  }
}

bool contains_nocase(std::u16string_view hay, std::u16string_view needle) {
  if (hay.size() < needle.size()) return false;
  for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && lower(hay[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
  }
  return false;
}

bool equals_nocase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lower(static_cast<unsigned char>(x)) == lower(static_cast<unsigned char>(y));
         });
}

Answer number(std::int32_t n) {
  Answer a;
  a.number = n;
  return a;
}
Answer text(std::string s) {
  Answer a;
  a.isText = true;
  a.text = std::move(s);
  return a;
}
std::int32_t as_int(unsigned long n) { return static_cast<std::int32_t>(n); }

}  // namespace

bool win_version_part(const platform::OsVersionDetail& v, std::int32_t request, Answer& out) {
  switch (request) {
    case 0: out = number(as_int(v.minor)); return true;
    case 1: out = number(as_int(v.major)); return true;
    case 2: out = number(as_int(v.build)); return true;
    case 3: out = number(as_int(v.platformId)); return true;
    case 4: out = text(v.servicePack); return true;
    case 5:
      out = text(std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build));
      return true;
    case 6: out = number(as_int(v.servicePackMajor)); return true;
    case 7: out = number(as_int(v.servicePackMinor)); return true;
    case 8: out = number(as_int(v.productType)); return true;
    default: return false;
  }
}

bool dos_version_part(const platform::OsVersionDetail& v, std::int32_t request, Answer& out) {
  if (request != 0 && request != 1) return false;
  return win_version_part(v, request, out);
}

bool valid_computer_name(std::u16string_view name, std::int32_t which) {
  switch (which) {
    case 0: case 4: return valid_netbios_name(name);
    case 1: case 5: return valid_dns_label(name);
    case 2: case 6: return valid_dns_domain(name);
    default: return false;
  }
}

const SpiAction* find_spi_action(std::int32_t action) {
  const auto it = std::lower_bound(kSpiActions.begin(), kSpiActions.end(), action,
                                   [](const SpiAction& a, std::int32_t x) { return static_cast<std::int64_t>(a.action) < x; });
  return it != kSpiActions.end() && static_cast<std::int64_t>(it->action) == action ? &*it : nullptr;
}

bool parse_number(std::u16string_view s, std::int32_t& out) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == u'-' || s.front() == u'+')) {
    negative = s.front() == u'-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return false;
  std::int64_t n = 0;
  for (char16_t ch : s) {
    if (ch < u'0' || ch > u'9') return false;
    n = n * 10 + (ch - u'0');
  }
  if (negative) n = -n;
  if (n < INT32_MIN || n > INT32_MAX) return false;
  out = static_cast<std::int32_t>(n);
  return true;
}

const WinParm* find_win_parm(std::int32_t n) {
  for (const WinParm& p : kWinParms)
    if (p.number == n) return &p;
  return nullptr;
}

bool valid_metric(std::int32_t n) {
  // The system's own metrics run from 0 to 99 and on at 0x1000 and 0x2000.
  if (n >= kMetricDpiY && n < 0) return true;
  return (n >= 0 && n <= 99) || (n >= 0x1000 && n <= 0x1002) || (n >= 0x2003 && n <= 0x2005);
}

bool looks_like_installer(std::u16string_view fileName) {
  const std::size_t slash = fileName.find_last_of(u"\\/");
  if (slash != std::u16string_view::npos) fileName.remove_prefix(slash + 1);
  for (std::u16string_view word : {u"setup", u"install", u"update", u"patch", u"upgrade"})
    if (contains_nocase(fileName, word)) return true;
  return false;
}

bool start_would_prompt(platform::Elevation e, std::string_view level, std::u16string_view fileName) {
  if (e == platform::Elevation::elevated || e == platform::Elevation::unsupported) return false;
  if (equals_nocase(level, "requireAdministrator")) return true;
  if (equals_nocase(level, "highestAvailable")) return e == platform::Elevation::admin_not_elevated;
  if (!level.empty()) return false;
  // Without a requested level the system guesses installers by their names.
  return looks_like_installer(fileName);
}

bool is_within(std::u16string_view dir, std::u16string_view root) {
  dir = without_trailing_slashes(dir);
  root = without_trailing_slashes(root);
  if (root.empty() || dir.size() < root.size()) return false;
  for (std::size_t i = 0; i < root.size(); ++i) {
    const char16_t a = dir[i], b = root[i];
    if (is_slash(a) && is_slash(b)) continue;
    if (lower(a) != lower(b)) return false;
  }
  return dir.size() == root.size() || is_slash(dir[root.size()]);
}

bool writing_would_prompt(platform::Elevation e, std::u16string_view dir, const std::vector<std::u16string>& roots) {
  if (e == platform::Elevation::elevated || e == platform::Elevation::unsupported) return false;
  return std::any_of(roots.begin(), roots.end(), [&](const std::u16string& r) { return is_within(dir, r); });
}

}  // namespace orv::sysinfo
