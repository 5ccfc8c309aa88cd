// The text-file line reader, against a plain reference reader over whole
// files, for every buffer size and every way the OS may cut the reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "builtins/files/line_reader.h"
#include "builtins/files/text_encoding.h"

namespace orv::files {
namespace {

// Bytes from memory, handed out at most `chunk` at a time.
class MemorySource : public ByteSource {
 public:
  MemorySource(std::string bytes, std::size_t chunk, std::size_t failAt = std::string::npos)
      : bytes_(std::move(bytes)), chunk_(chunk), failAt_(failAt) {}
  bool read(void* buffer, std::size_t n, std::size_t& got) override {
    if (at_ >= failAt_) return false;
    got = std::min({n, chunk_, bytes_.size() - at_});
    std::memcpy(buffer, bytes_.data() + at_, got);
    at_ += got;
    return true;
  }

 private:
  std::string bytes_;
  std::size_t chunk_, failAt_, at_ = 0;
};

struct Outcome {
  std::vector<std::u16string> lines;   // the last one may be a partial line before the end
  bool tooLong = false;
};

// Reads to the end; UTF-16 lines as they are, 8-bit lines byte for unit.
Outcome read_all(const std::string& bytes, Encoding e, std::uint32_t buffer, std::size_t chunk) {
  MemorySource source(bytes, chunk);
  LineReader reader(e, buffer);
  Outcome out;
  for (int guard = 0; guard < 100000; ++guard) {
    std::string a;
    std::u16string w;
    const auto r = reader.next(source, a, w);
    if (e == Encoding::ansi)
      for (unsigned char ch : a) w += ch;
    if (r == LineReader::Result::too_long) { out.tooLong = true; return out; }
    if (r == LineReader::Result::end) {
      if (!w.empty()) out.lines.push_back(w);
      return out;
    }
    EXPECT_EQ(r, LineReader::Result::line);
    out.lines.push_back(w);
  }
  ADD_FAILURE() << "reader never ended";
  return out;
}

// Reference: decode all units, cut at Ctrl-Z, drop CR and NUL, split at LF.
std::vector<std::u16string> reference(const std::u16string& units) {
  std::vector<std::u16string> lines;
  std::u16string cur;
  bool any = false;
  for (char16_t u : units) {
    if (u == 26) break;
    if (u == u'\n') { lines.push_back(cur); cur.clear(); any = false; continue; }
    if (u == u'\r' || u == 0) continue;
    cur += u;
    any = true;
  }
  if (any) lines.push_back(cur);
  return lines;
}

std::string encode(const std::u16string& text, Encoding e) {
  std::string out;
  if (e == Encoding::ansi) {
    for (char16_t u : text) out += static_cast<char>(u);
  } else {
    append_units(out, text, e);
  }
  return out;
}

TEST(LineReader, LineEndsOfEveryKindReadAlike) {
  const std::u16string crlf = u"one\r\ntwo\r\n\r\nfour", lf = u"one\ntwo\n\nfour", mixed = u"o\rne\ntwo\r\n\nfour\n";
  for (Encoding e : {Encoding::ansi, Encoding::utf16le, Encoding::utf16be}) {
    const std::vector<std::u16string> want{u"one", u"two", u"", u"four"};
    EXPECT_EQ(read_all(encode(crlf, e), e, 4096, 4096).lines, want);
    EXPECT_EQ(read_all(encode(lf, e), e, 4096, 4096).lines, want);
    // A trailing LF gives no empty last line; a lone CR inside a line vanishes.
    EXPECT_EQ(read_all(encode(mixed, e), e, 0, 4096).lines, want);
  }
}

TEST(LineReader, CtrlZAndNulls) {
  EXPECT_EQ(read_all(std::string("a\nb\x1A" "c\nd\n", 8), Encoding::ansi, 16, 16).lines,
            (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(read_all(std::string("x\0y\n\0\0\nz", 8), Encoding::ansi, 3, 1).lines,
            (std::vector<std::u16string>{u"xy", u"", u"z"}));
  // Once the data has ended the reader stays at the end.
  MemorySource source("q\x1Arest", 64);
  LineReader reader(Encoding::ansi, 64);
  std::string a;
  std::u16string w;
  EXPECT_EQ(reader.next(source, a, w), LineReader::Result::end);
  EXPECT_EQ(a, "q");
  EXPECT_EQ(reader.next(source, a, w), LineReader::Result::end);
  EXPECT_EQ(a, "");
}

TEST(LineReader, LineLimits) {
  const std::string ok(1279, 'x'), over(1280, 'x');
  EXPECT_FALSE(read_all(ok + "\n", Encoding::ansi, 0, 64).tooLong);
  EXPECT_TRUE(read_all(over + "\n", Encoding::ansi, 0, 64).tooLong);
  // Buffered: a line must stay below the buffer size, whatever the block edges.
  for (std::uint32_t size : {1u, 2u, 7u, 4096u}) {
    const std::string below(size - 1, 'y'), at(size, 'y');
    for (Encoding e : {Encoding::ansi, Encoding::utf16le}) {
      std::u16string b(below.begin(), below.end()), t(at.begin(), at.end());
      EXPECT_FALSE(read_all(encode(u"\n" + b + u"\n", e), e, size, 3).tooLong) << size;
      EXPECT_TRUE(read_all(encode(u"\n" + t + u"\n", e), e, size, 3).tooLong) << size;
    }
  }
}

TEST(LineReader, ReadErrorIsReported) {
  MemorySource source("abc\ndef\n", 4, 4);
  LineReader reader(Encoding::ansi, 4);
  std::string a;
  std::u16string w;
  EXPECT_EQ(reader.next(source, a, w), LineReader::Result::line);
  EXPECT_EQ(a, "abc");
  EXPECT_EQ(reader.next(source, a, w), LineReader::Result::read_error);
}

// UTF-16 units survive reads cut at odd byte counts, with any buffer size,
// surrogate pairs included; both byte orders give the same lines.
TEST(LineReader, Utf16NeverSplitsAUnit) {
  const std::u16string text = u"\u00e9t\u00e9\r\n\xD83D\xDE00 smile\n\u4e2d\u6587\n\nend";
  const auto want = reference(text);
  for (Encoding e : {Encoding::utf16le, Encoding::utf16be})
    for (std::uint32_t size : {0u, 1u, 2u, 3u, 5u, 64u})
      for (std::size_t chunk : {1u, 3u, 5u, 7u, 1000u}) {
        const Outcome got = read_all(encode(text, e), e, size == 0 ? 0 : std::max<std::uint32_t>(size, 16), chunk);
        EXPECT_EQ(got.lines, want) << "size " << size << " chunk " << chunk;
      }
}

// The reference with a buffer of `limit` units: the lines before the first
// one that reaches the limit, which fails the read.
Outcome reference_outcome(const std::u16string& units, std::uint32_t limit) {
  Outcome out;
  for (const std::u16string& line : reference(units)) {
    if (line.size() >= limit) {
      out.tooLong = true;
      return out;
    }
    out.lines.push_back(line);
  }
  return out;
}

// Random files of the characters that matter, against the reference, with
// buffers small enough that lines cross block edges anywhere.
TEST(LineReader, AgreesWithReferenceOnRandomFiles) {
  std::mt19937 rng(12);
  const char16_t alphabet[] = {u'a', u'b', u'\n', u'\r', 0, 26, 0xE9, 0x4E2D};
  const std::uint32_t buffers[] = {128, 16, 17, 33};
  for (int round = 0; round < 800; ++round) {
    std::u16string text;
    const int n = static_cast<int>(rng() % (round < 400 ? 60 : 300));
    for (int i = 0; i < n; ++i) text += alphabet[rng() % (round % 2 ? 8 : 6)];
    const Encoding e = round % 3 == 0 ? Encoding::ansi : round % 3 == 1 ? Encoding::utf16le : Encoding::utf16be;
    std::u16string units = text;
    if (e == Encoding::ansi)
      for (auto& u : units) u = static_cast<char16_t>(u & 0xFF);
    const std::uint32_t buffer = buffers[round % 4];
    const Outcome got = read_all(encode(text, e), e, buffer, 1 + rng() % 9);
    const Outcome want = reference_outcome(units, buffer);
    EXPECT_EQ(got.tooLong, want.tooLong) << "round " << round;
    EXPECT_EQ(got.lines, want.lines) << "round " << round;
  }
}

// CR LF and LF line ends, a CR alone inside a line, and Ctrl-Z, each at every
// offset of the read blocks and of the OS reads (a CR last in one block and
// its LF first in the next included); lines as long as a block allows.
TEST(LineReader, LineEndsAtEveryBlockEdge) {
  const std::u16string ends[] = {u"\r\n", u"\n", u"\r\n", u"\r\r\n"};
  for (Encoding e : {Encoding::ansi, Encoding::utf16le, Encoding::utf16be})
    for (std::uint32_t buffer : {16u, 17u, 19u, 32u, 33u})
      for (std::size_t chunk : {1u, 5u, 16u, 4096u}) {
        std::u16string text;
        for (std::uint32_t k = 0; k < 3 * buffer; ++k) {
          std::u16string line(k % buffer, u'x');
          if (k % 7 == 3 && !line.empty()) line[line.size() / 2] = u'\r';   // dropped where it stands
          text += line + ends[k % 4];
        }
        const std::u16string withEnd = text + u"tail\x1A" + u"after\n";
        EXPECT_EQ(read_all(encode(withEnd, e), e, buffer, chunk).lines, reference(withEnd))
            << "buffer " << buffer << " chunk " << chunk;
        const Outcome got = read_all(encode(text, e), e, buffer, chunk);
        EXPECT_FALSE(got.tooLong);
        EXPECT_EQ(got.lines, reference(text)) << "buffer " << buffer << " chunk " << chunk;
      }
}

// A line whole in the block is seen where it lies; the call that keeps its
// lines in the strings gets each one there all the same, and a line that
// reaches the buffer's size still fails wherever it stands.
TEST(LineReader, LinesSeenInPlaceMatchLinesGathered) {
  const std::string bytes = "one\r\ntwo\nthree\r\n\r\n" + std::string(16, 'y') + "\nlast";
  for (std::size_t chunk : {1u, 3u, 64u}) {
    MemorySource source(bytes, chunk);
    LineReader reader(Encoding::ansi, 16);
    std::string kept;
    std::u16string wide;
    std::string_view seen;
    std::u16string_view wideSeen;
    std::vector<std::string> lines;
    LineReader::Result r = LineReader::Result::line;
    while ((r = reader.next(source, kept, wide, seen, wideSeen)) == LineReader::Result::line) lines.emplace_back(seen);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", ""})) << chunk;
    EXPECT_EQ(r, LineReader::Result::too_long) << chunk;
  }
  MemorySource source("alpha\r\nbeta\n", 64);
  LineReader reader(Encoding::ansi, 64);
  std::string a = "stale";
  std::u16string w;
  EXPECT_EQ(reader.next(source, a, w), LineReader::Result::line);
  EXPECT_EQ(a, "alpha");
  EXPECT_EQ(reader.next(source, a, w), LineReader::Result::line);
  EXPECT_EQ(a, "beta");
  EXPECT_EQ(reader.next(source, a, w), LineReader::Result::end);
  EXPECT_EQ(a, "");
}

}  // namespace
}  // namespace orv::files
