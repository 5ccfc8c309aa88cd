// Words and numbers that the window-extra functions take from scripts, and
// the rule by which a program name matches a running program. Platform-free.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::winauto {

// A program named by a script: "notepad", "notepad.exe" or a full path.
// A bare name without extension means name.exe; a name with a folder must
// match the whole path; otherwise the file names are compared. Case is ignored
// (ASCII letters; the caller folds others first where it wants).
bool program_matches(std::u16string_view wanted, std::u16string_view imagePath);

// WinHelp's command words, any case.
enum class HelpCommand { contents, key, partialkey, context, helponhelp, command, quit };
std::optional<HelpCommand> help_command(std::string_view word);

// EndSession's mode: 0 log off, 1 shut down, 2 restart, 3 power off; + 8 ends
// programs without asking them; + 100 only describes what would happen.
struct SessionMode {
  int action = 0;       // 0..3
  bool force = false;
  bool describeOnly = false;
};
std::optional<SessionMode> session_mode(std::int32_t mode);
std::string describe_session(const SessionMode& m);

// WinArrange's styles: @STACK (1) cascades; @TILE / @ARRANGE (2) tiles as the
// system likes; @ROWS (3) one above another; @COLUMNS (4) side by side.
enum class ArrangeStyle { cascade = 1, tile = 2, rows = 3, columns = 4 };
std::optional<ArrangeStyle> arrange_style(std::int32_t style);

struct ArrangeRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const ArrangeRect&) const = default;
};
// Where `count` windows go in the work area, first window first: cascaded
// windows two thirds of the area in size, each `step` pixels right of and
// below the one before (starting over at the corner when the next would
// leave the area); tiles in a grid of about as many columns as rows
// (columns first), rows one above another, columns side by side. Sizes
// never drop below one pixel.
std::vector<ArrangeRect> arrange_rects(ArrangeStyle style, std::size_t count, ArrangeRect area, int step);

}  // namespace orv::winauto
