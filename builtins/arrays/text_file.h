// Whole text files for the array file functions: reading with the encoding
// found by the byte-order mark, and writing in one piece.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "builtins/dispatch.h"

namespace orv::arrays {

// File name argument k in the ANSI form the file services take; false with 1800.
bool path_arg(Call& call, int k, std::string& path);

struct FileText {
  bool wide = false;        // the file began with a UTF-16 byte-order mark
  std::string ansi;         // 8-bit files: the bytes
  std::u16string utf16;     // UTF-16 files: the text without the mark
};
// False with 1800 (cannot open) or 1801 (cannot read).
bool read_text_file(Context& c, const std::string& path, FileText& out);

// Calls line(text, number) for each line (1-based numbers): lines end at LF,
// a CR right before the LF belongs to the line end, and a file that ends in
// LF has no empty line after it. Stops when line() returns false.
template <class Ch, class Fn>
bool for_each_line(std::basic_string_view<Ch> text, Fn&& line) {
  std::size_t start = 0, number = 0;
  while (start < text.size()) {
    std::size_t end = text.find(Ch('\n'), start);
    const std::size_t next = end == std::basic_string_view<Ch>::npos ? text.size() : end + 1;
    if (end == std::basic_string_view<Ch>::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == Ch('\r')) --stop;
    if (!line(text.substr(start, stop - start), ++number)) return false;
    start = next;
  }
  return true;
}

// The mode bits of the array writers: add to the file, write UTF-16.
constexpr std::int32_t kAppend = 1, kUtf16 = 2;

// Text to write in one piece: 8-bit or UTF-16, as the caller produced it.
struct OutText {
  bool wide = false;
  std::string ansi;
  std::u16string utf16;
  void append(std::string_view a, std::u16string_view w) {
    if (wide) utf16 += w;
    else ansi += a;
  }
};
// Writes the text, replacing the file (only once the new text is complete)
// or appending to it. An existing non-empty file keeps its encoding, as text
// files opened for APPEND do, so no second byte-order mark is ever written.
// False with 1800 (cannot open) or 1802 (cannot write); a failure leaves the
// old file as it was.
bool write_text_file(Context& c, const std::string& path, const OutText& text, bool append);

// The CSV delimiter argument k (default ",") in both widths; false with 1807.
bool csv_delimiter_arg(Call& call, int k, std::string& ansi, std::u16string& wide);
// Fails with 1808 naming the line.
bool csv_invalid_line(Context& c, std::size_t number);

}  // namespace orv::arrays
