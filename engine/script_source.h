// Script and menu texts as files hold them, made ready for reading: the
// encoded form refused, UTF-16 with a byte-order mark turned into ANSI, and
// #include lines replaced by the files they name. Shared by the script
// loader and the menu-file exports so both read the same files the same way.
// Files are reached through SourceFiles so tests and fuzzing can serve them
// from memory.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace orv {

inline constexpr char kMarkerTag = 0x0B;   // ";" + 0x0B starts a line-origin marker

// A failure: message number (215, 216, 217, 218, 219) and the file name concerned.
struct SourceFault {
  std::uint16_t number = 0;
  std::string text;
};

class SourceFiles {
 public:
  virtual ~SourceFiles() = default;
  // The script's folder first, then as written, then the search path; "" when missing.
  virtual std::string locate(const std::string& name, const std::string& dir) = 0;
  virtual platform::FileStatus read(const std::string& path, std::string& out) = 0;
};

// The real file system.
SourceFiles& disk_files();

// Does `line`, after leading blanks, begin with `word` (lower case), in any case?
bool starts_with_word(std::string_view line, std::string_view word);

// First byte 1, 2 or 3: the encoded script form.
bool is_encoded_script(std::string_view raw);

// Refuses the encoded form (219) and converts UTF-16 with either byte-order
// mark to ANSI in place (215 when that fails). Other text is left alone.
bool decode_script_bytes(std::string& raw, SourceFault& fault);

// CR LF becomes blank LF, a lone CR becomes LF: scripts' line ends.
void normalise_line_ends(std::string& text);

// An #include line: "#include" (any case, after blanks) and a blank or tab.
bool is_include_line(std::string_view line);
// Its file name; false when malformed (no name, an unclosed quote, too long).
bool include_name(std::string_view line, std::string& name);

// How expanded text is laid out for its reader.
struct IncludeStyle {
  // Scripts: a line-origin marker before each file's text, after each
  // #include and after each #DefineFunction/#DefineSubroutine; lone CRs
  // become line ends.
  bool scriptLayout = true;
  // Menus: a text ends at its first NUL or Ctrl+Z, and the lines of an
  // indented #include take its indentation, so an include inside an item's
  // code stays code of that item.
  bool menuLayout = false;
};

// Appends `text` (the file `file` in folder `dir`) to `out` with its #include
// lines expanded, recursively. False with the fault set (216, 217, 218, 219, 215).
bool expand_includes(const std::string& text, const std::string& file, const std::string& dir,
                     const IncludeStyle& style, SourceFiles& files, std::string& out, SourceFault& fault);

// A line-origin marker for line `lineNo` of `file` (";" 0x0B flag "@" number name LF).
std::string marker_line(std::uint32_t lineNo, const std::string& file, char flag = 'A');

}  // namespace orv
