// Script texts: preparation (encodings, line ends, #include, line-origin
// markers), the line reader, and multiline string constants.
#pragma once
#include <cstdint>
#include <string>
#include "engine/context.h"
#include "engine/script_source.h"

namespace orv {

inline constexpr char kGotoMarker = 0x01;         // a GoTo rewritten with its target
inline constexpr char kGosubMarker = 0x02;        // a GoSub rewritten with its target

// Turns raw file bytes into a prepared script. `dir` is the file's folder.
// False with the error set (215, 216, 217, 218, 219).
bool prepare_script(Context& c, std::string raw, const std::string& file, const std::string& dir,
                    Script& out);

// Reads the line at `pos` into c.line (leading blanks skipped) and advances
// `pos`. `stmtPos` receives the position of the first character. False when
// the text has no more lines.
bool read_line(Context& c, const Script& s, std::uint32_t& pos, std::uint32_t& stmtPos);

// The file name and line number in that file of a script position.
struct Origin { std::string file; std::uint32_t line = 0; };
Origin origin_of(const Script& s, std::uint32_t pos);

// Reads a multiline string constant whose opening delimiter was just scanned.
bool read_multiline_constant(Context& c, Operand& out);

// Finds a file the way #include and Call do: the script's folder first, then
// as written, then the search path. "" when not found.
std::string locate_script_file(const std::string& name, const std::string& dir);

// Expands %name% in the line buffer in place (3047, 3048, 3101).
bool substitute(Context& c, char* line, bool continuation);

}  // namespace orv
