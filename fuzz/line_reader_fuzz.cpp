// Fuzz target: the text-file line reader over arbitrary bytes, with the
// encoding, buffer size and OS read sizes taken from the first bytes, held
// to a plain reader of the whole input; and the block search for line ends
// held to a plain scan over the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "builtins/files/line_reader.h"
#include "builtins/text/unit_blocks.h"

using namespace orv::files;

namespace {
class Source : public ByteSource {
 public:
  Source(const std::uint8_t* p, std::size_t n, std::size_t chunk) : p_(p), n_(n), chunk_(chunk) {}
  bool read(void* buffer, std::size_t n, std::size_t& got) override {
    got = std::min({n, chunk_, n_});
    std::memcpy(buffer, p_, got);
    p_ += got;
    n_ -= got;
    return true;
  }

 private:
  const std::uint8_t* p_;
  std::size_t n_, chunk_;
};

// The whole input as units: bytes, or byte pairs in the encoding's order (a
// lone last byte is no unit).
std::u16string units_of(const std::uint8_t* p, std::size_t n, Encoding e) {
  std::u16string units;
  if (e == Encoding::ansi) {
    for (std::size_t i = 0; i < n; ++i) units += static_cast<char16_t>(p[i]);
    return units;
  }
  for (std::size_t i = 0; i + 1 < n; i += 2)
    units += static_cast<char16_t>(e == Encoding::utf16be ? (p[i] << 8) | p[i + 1] : p[i] | (p[i + 1] << 8));
  return units;
}

// The plain reader: NULs go, Ctrl-Z ends the data, CR goes, LF ends a line;
// a last line without LF counts when it kept anything.
std::vector<std::u16string> plain_lines(const std::u16string& units) {
  std::vector<std::u16string> lines;
  std::u16string cur;
  bool any = false;
  for (char16_t u : units) {
    if (u == 26) break;
    if (u == u'\n') {
      lines.push_back(cur);
      cur.clear();
      any = false;
      continue;
    }
    if (u == u'\r' || u == 0) continue;
    cur += u;
    any = true;
  }
  if (any) lines.push_back(cur);
  return lines;
}

template <class Ch>
void check_search(const Ch* p, std::size_t n) {
  for (std::size_t from = 0; from <= n && from < 64; ++from) {
    const Ch* got = orv::text::find_any_of3<Ch, Ch('\n'), Ch('\r'), Ch(26)>(p + from, p + n);
    const Ch* want = p + from;
    while (want < p + n && *want != Ch('\n') && *want != Ch('\r') && *want != Ch(26)) ++want;
    if (got != want) std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const auto encoding = static_cast<Encoding>(data[0] % 3);
  const std::uint32_t buffer = data[1] % 4 == 0 ? 0 : 1u + data[1];
  const std::size_t chunk = 1 + data[2] % 17;
  const std::uint32_t limit = buffer == 0 ? kUnbufferedLineLimit : buffer;
  const std::uint8_t* body = data + 3;
  const std::size_t n = size - 3;

  check_search(reinterpret_cast<const char*>(body), n);
  const std::u16string wideUnits = units_of(body, n, Encoding::utf16le);
  check_search(wideUnits.data(), wideUnits.size());

  const std::vector<std::u16string> want = plain_lines(units_of(body, n, encoding));
  Source source(body, n, chunk);
  LineReader reader(encoding, buffer);
  std::string a;       // kept from line to line, as FileRead keeps them
  std::u16string w;
  bool agreeing = true;   // until a line is too long, the lines are the plain reader's
  std::size_t got = 0;
  for (std::size_t lines = 0; lines <= size; ++lines) {
    const auto r = reader.next(source, a, w);
    // No line keeps a terminator, a CR, a NUL or a Ctrl-Z, or reaches the limit.
    for (char ch : a)
      if (ch == '\n' || ch == '\r' || ch == 0 || ch == 26) std::abort();
    for (char16_t u : w)
      if (u == u'\n' || u == u'\r' || u == 0 || u == 26) std::abort();
    if (a.size() > limit || w.size() > limit) std::abort();
    if (r == LineReader::Result::too_long) {
      // The line it stopped in is the first one of the plain reader's that
      // reaches the limit.
      if (agreeing && (got >= want.size() || want[got].size() < limit)) std::abort();
      agreeing = false;
      continue;
    }
    std::u16string line;
    if (encoding == Encoding::ansi) {
      for (unsigned char ch : a) line += ch;
    } else {
      line = w;
    }
    if (r == LineReader::Result::end) {
      if (agreeing) {
        if (!line.empty()) {
          if (got >= want.size() || want[got] != line) std::abort();
          ++got;
        }
        if (got != want.size()) std::abort();
      }
      return 0;
    }
    if (agreeing && (got >= want.size() || want[got] != line || line.size() >= limit)) std::abort();
    ++got;
  }
  std::abort();   // every call either consumes input or ends
}
