// The platform-free rules of the system built-ins: which request numbers
// mean what, which system parameters may be asked for and how their
// argument travels, what makes a computer name valid, and when starting a
// program or writing a folder asks for elevation.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/process_facts.h"

namespace orv::sysinfo {

// A request's answer: a number or a text.
struct Answer {
  bool isText = false;
  std::int32_t number = 0;
  std::string text;
};

// WinVersion: 0 minor, 1 major, 2 build, 3 platform id, 4 service pack text,
// 5 "major.minor.build", 6 and 7 service pack major and minor, 8 product type.
bool win_version_part(const platform::OsVersionDetail& v, std::int32_t request, Answer& out);
// DosVersion: 0 minor, 1 major of the command processor's version.
bool dos_version_part(const platform::OsVersionDetail& v, std::int32_t request, Answer& out);

// ComputerNameGet/Set name types: the system's name formats 0 to 7.
inline bool is_name_type(std::int32_t which) { return which >= 0 && which <= 7; }
// The settable ones (the fully qualified forms 3 and 7 are made of two others).
inline bool is_settable_name_type(std::int32_t which) { return is_name_type(which) && which != 3 && which != 7; }
// Whether `name` may become a computer name of type `which` (a settable one).
bool valid_computer_name(std::u16string_view name, std::int32_t which);

// How SysParamInfo passes its parameter for one action.
enum class SpiKind {
  get_number,      // the answer is a number the call writes
  get_text,        // the answer is a text the call writes
  set_by_count,    // the number travels as the call's count argument
  set_by_pointer,  // the number travels in place of the pointer argument
  set_text,        // the text travels as the pointer argument
};
struct SpiAction {
  std::uint32_t action;
  SpiKind kind;
};
// nullptr for actions outside the supported table.
const SpiAction* find_spi_action(std::int32_t action);
// The update flags that may be given: 0 to 3 (write the profile, tell the windows).
inline bool valid_update_flags(std::int32_t update) { return update >= 0 && update <= 3; }
// A number parameter written as text ("12", " -3 "); false for anything else.
bool parse_number(std::u16string_view text, std::int32_t& out);

// WinParmGet/WinParmSet: a numbered desktop parameter and its two actions.
struct WinParm {
  std::int32_t number;
  std::uint32_t getAction, setAction;
};
const WinParm* find_win_parm(std::int32_t number);

// WinMetrics: a system metric the system knows, or one of our own below zero
// (-1 colour bits per pixel, -2 refresh rate, -3 and -4 horizontal and
// vertical dots per inch).
bool valid_metric(std::int32_t n);
inline constexpr std::int32_t kMetricColorBits = -1, kMetricRefresh = -2, kMetricDpiX = -3, kMetricDpiY = -4;

// Elevation prompts. `level` is the manifest's requested level ("" without one).
bool looks_like_installer(std::u16string_view fileName);
bool start_would_prompt(platform::Elevation e, std::string_view level, std::u16string_view fileName);

// Whether `dir` (a full path) lies in or below one of `roots` (case and the
// kind of slash do not matter).
bool is_within(std::u16string_view dir, std::u16string_view root);
bool writing_would_prompt(platform::Elevation e, std::u16string_view dir, const std::vector<std::u16string>& roots);

}  // namespace orv::sysinfo
