// Command lines of the launch routine: the quoted and unquoted forms, the App
// Paths key of a program, and the expansion of a file type's open command.
// Platform-free; the Windows launcher tries the forms in order.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::winauto {

// Longest command line one attempt may build (characters, without the NUL).
inline constexpr std::size_t kCommandLineMax = 8192;

// Display modes and wait flags of the Run family.
namespace launch {
inline constexpr int kHidden = -1, kIcon = 1, kNormal = 2, kZoomed = 3, kNoActivate = 4;
inline constexpr int kNoWait = 33, kWait = 34, kGetProcId = 35, kGetExitCode = 36;
inline constexpr int kNoExitCode = 99999;   // last exit code before a program ended
}

// The window-show command for a display mode; nothing for a bad mode.
std::optional<int> show_command(int display);
// ShellExecute's own mapping: 2 is the plain show command, others show normal.
int shell_show_command(int display);

// "program" params: quoted unless it already starts with a quote.
std::string quoted_command(std::string_view program, std::string_view params);
// program params, as written.
std::string unquoted_command(std::string_view program, std::string_view params);

struct ProgramParts {
  std::string dir;    // with its trailing separator, or empty
  std::string name;   // without extension
  std::string ext;    // without the dot, or empty
};
ProgramParts split_program(std::string_view program);

// The App Paths sub-key names to try for a program, in order: NAME.EXT, or for
// a name without extension NAME and then NAME.EXE (upper-cased).
std::vector<std::string> app_paths_keys(std::string_view program);

// Splits parameters into at most eight words at blanks outside double quotes.
std::vector<std::string> parameter_words(std::string_view params);

// Expands an open-command template: %1 the program, %2..%9 parameter words,
// %* the rest of the parameters, %% stays. Nothing when the result would
// exceed kCommandLineMax.
std::optional<std::string> expand_template(std::string_view tmpl, std::string_view program, std::string_view params);

// The command line that opens a document with its type's open command: the
// command's first word (quoted or not) starts, its rest is the template.
std::optional<std::string> association_command(std::string_view openCommand, std::string_view program,
                                               std::string_view params);

}  // namespace orv::winauto
