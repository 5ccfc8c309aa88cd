// The common-control kinds: the spinner (an edit part with an up-down at its
// right edge), the month calendar and the date-time picker. Their values are
// numbers and YmdHms texts in the bound variables.
#include <windows.h>
#include <commctrl.h>

#include "builtins/time/time_groups.h"
#include "engine/error_numbers.h"
#include "ui/dialogs/controls_win32.h"
#include "ui/dialogs/runtime.h"
#include "ui/module_win32.h"

namespace orv::dialogs {

namespace {

// A round trip through a file time checks the date and fills in the weekday.
std::optional<SYSTEMTIME> checked_systemtime(SYSTEMTIME st) {
  FILETIME ft{};
  if (!SystemTimeToFileTime(&st, &ft) || !FileTimeToSystemTime(&ft, &st)) return std::nullopt;
  return st;
}

struct Search {
  HANDLE h;
  explicit Search(HANDLE handle) : h(handle) {}
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;
  ~Search() { if (h != INVALID_HANDLE_VALUE) FindClose(h); }
};

bool defined_text(const std::optional<std::string>& t) {
  return t && !t->empty();
}

}  // namespace

bool init_common_controls(Context& c) {
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES};
  return InitCommonControlsEx(&icc) || fail(c, errs::kDialogControlUnsupported);
}

std::optional<SYSTEMTIME> systemtime_of(std::string_view ymdhms) {
  timefn::Fields f;
  if (!timefn::parse_ymdhms(ymdhms, f, timefn::kDateTime, true)) return std::nullopt;
  if (f.year < 1601 || f.year > 30827) return std::nullopt;   // what the controls can show
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(f.year);
  st.wMonth = static_cast<WORD>(f.month);
  st.wDay = static_cast<WORD>(f.day);
  st.wHour = static_cast<WORD>(f.hour == 24 ? 0 : f.hour);
  st.wMinute = static_cast<WORD>(f.minute);
  st.wSecond = static_cast<WORD>(f.second);
  return checked_systemtime(st);
}

std::string ymdhms_of(Context& c, const SYSTEMTIME& st, bool withTime) {
  timefn::Fields f;
  f.year = st.wYear;
  f.month = st.wMonth;
  f.day = st.wDay;
  if (withTime) {
    f.hour = st.wHour;
    f.minute = st.wMinute;
    f.second = st.wSecond;
  }
  return timefn::format_ymdhms(f, timefn::four_digit_years(c));
}

bool build_spinner(DialogRun& run, std::size_t index) {
  const Control& k = run.d.controls[index];
  ControlWindow& cw = run.windows[index];
  SpinRange range;
  if (const std::uint16_t e = parse_spin_range(variable_text(run.c, k.variable).value_or(""), k.text, range))
    return fail(run.c, e, k.variable);
  DWORD style = WS_CHILD | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;
  if (!(k.style & cs::kInvisible)) style |= WS_VISIBLE;
  if (k.style & cs::kDisabled) style |= WS_DISABLED;
  cw.partner = CreateWindowExW(0, UPDOWN_CLASSW, L"", style, 0, 0, 0, 0, run.hwnd, nullptr, ui::this_module(), nullptr);
  if (!cw.partner) return fail(run.c, errs::kWindowCreateFailed);
  SendMessageW(cw.partner, UDM_SETBUDDY, reinterpret_cast<WPARAM>(cw.hwnd), 0);
  SendMessageW(cw.partner, UDM_SETRANGE32, static_cast<WPARAM>(range.low), static_cast<LPARAM>(range.high));
  UDACCEL accel{0, static_cast<UINT>(range.step)};
  SendMessageW(cw.partner, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
  SendMessageW(cw.partner, UDM_SETPOS32, 0, range.position);
  return true;
}

std::int32_t spinner_position(const ControlWindow& cw) {
  BOOL error = FALSE;
  return static_cast<std::int32_t>(SendMessageW(cw.partner, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)));
}

void set_spinner_position(const ControlWindow& cw, std::int32_t position) {
  SendMessageW(cw.partner, UDM_SETPOS32, 0, position);
}

bool build_date_control(DialogRun& run, std::size_t index) {
  const Control& k = run.d.controls[index];
  const HWND w = run.windows[index].hwnd;
  const auto value = variable_text(run.c, k.variable);
  SYSTEMTIME st{};
  if (!defined_text(value)) {
    GetLocalTime(&st);
  } else if (const auto parsed = systemtime_of(*value)) {
    st = *parsed;
  } else {
    return fail(run.c, errs::kDialogBadCalendarValue, k.variable + "=" + *value);
  }
  if (k.type == kDateTime) {
    const std::string format = k.text.empty() || is_default_word(k.text) ? "yyyy-MM-dd HH:mm:ss" : k.text;
    const std::u16string wide = widen(format);
    const std::wstring fw(wide.begin(), wide.end());
    SendMessageW(w, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(fw.c_str()));
  }
  set_date(k.type, w, st);
  return true;
}

SYSTEMTIME get_date(int type, HWND w) {
  SYSTEMTIME st{};
  if (type == kCalendar) SendMessageW(w, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&st));
  else SendMessageW(w, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
  return st;
}

void set_date(int type, HWND w, const SYSTEMTIME& st) {
  if (type == kCalendar) SendMessageW(w, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&st));
  else SendMessageW(w, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

// A folder alone (an existing directory, or a path ending in a separator)
// lists everything in it; an empty mask lists the current folder.
void list_files(ControlWindow& cw, std::string_view mask) {
  std::u16string m = widen(mask);
  if (m.empty()) m = u"*.*";
  const std::wstring wm(m.begin(), m.end());
  const DWORD attributes = GetFileAttributesW(wm.c_str());
  std::wstring pattern = wm;
  if (wm.back() == L'\\' || wm.back() == L'/') pattern += L"*.*";
  else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) pattern += L"\\*.*";
  const std::size_t cut = pattern.find_last_of(L"\\/:");
  cw.folder = cut == std::wstring::npos ? std::wstring() : pattern.substr(0, cut + 1);
  SendMessageW(cw.hwnd, LB_RESETCONTENT, 0, 0);
  WIN32_FIND_DATAW found{};
  const Search search(FindFirstFileW(pattern.c_str(), &found));
  if (search.h == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      SendMessageW(cw.hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
  } while (FindNextFileW(search.h, &found));
}

}  // namespace orv::dialogs
