// The line reader of text files opened for reading: one line per call from
// 8-bit or UTF-16 (either byte order) bytes. LF ends a line; CR and NUL are
// dropped wherever they stand; Ctrl-Z or the physical end ends the data.
// Blocks are read in whole 16-bit units, and a unit that an OS read splits is
// completed by the next read, so UTF-16 text never breaks whatever the sizes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orv::files {

enum class Encoding : std::uint8_t { ansi = 0, utf16le = 1, utf16be = 2 };

// Where the reader's bytes come from (an open file, or memory in tests).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to n bytes into buffer; got = 0 at the end. False on a read error.
  virtual bool read(void* buffer, std::size_t n, std::size_t& got) = 0;
};

// Line-length limit of unbuffered reading (one OS read per character).
inline constexpr std::uint32_t kUnbufferedLineLimit = 1280;

class LineReader {
 public:
  // bufferChars 0 reads one unit per OS call; otherwise blocks of that many
  // units, and a line must stay below that many characters.
  LineReader(Encoding encoding, std::uint32_t bufferChars);
  // Takes the block buffer now, so that reading never allocates it; false
  // when the memory is not there.
  bool allocate();

  enum class Result { line, end, too_long, read_error };
  // Gathers the next line into `ansi` (8-bit files) or `wide` (UTF-16 files).
  // `end`: the data ended; what was gathered before the end is in the output.
  Result next(ByteSource& source, std::string& ansi, std::u16string& wide);
  // The same, the line seen through `ansiLine` or `wideLine`: into the read
  // block when it lies there whole (valid until the next call: no copy),
  // else into `ansi` or `wide`, where it was gathered.
  Result next(ByteSource& source, std::string& ansi, std::u16string& wide, std::string_view& ansiLine,
              std::u16string_view& wideLine);

  Encoding encoding() const { return encoding_; }

 private:
  // The common line: whole in the block from the cursor, ended by LF or by
  // CR LF; seen where it lies. False (nothing moved)
  // for anything else, which gather() reads.
  template <class Ch>
  bool whole_line(const Ch* block, std::basic_string_view<Ch>& line);
  template <class Ch>
  Result gather(ByteSource& source, std::unique_ptr<Ch[]>& block, std::basic_string<Ch>& out,
                std::basic_string_view<Ch>& line);
  // Reads the next block into the unit buffer; false at the end or on error.
  template <class Ch>
  bool refill(ByteSource& source, std::unique_ptr<Ch[]>& block);

  Encoding encoding_;
  std::uint32_t blockUnits_;
  std::uint32_t limit_;
  // The block buffers, blockUnits_ units each (raw_: the bytes of UTF-16
  // units), taken once and never cleared: only the units read are looked at.
  std::unique_ptr<char[]> narrow_;
  std::unique_ptr<char16_t[]> units_;
  std::unique_ptr<unsigned char[]> raw_;
  std::size_t held_ = 0;     // units of the block read in
  std::size_t cursor_ = 0;
  bool readError_ = false;
  bool ended_ = false;
  int carry_ = -1;   // a byte of a unit that the last OS read split, or -1
};

}  // namespace orv::files
