#include "builtins/files/line_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orv::files {

LineReader::LineReader(Encoding encoding, std::uint32_t bufferChars)
    : encoding_(encoding),
      blockUnits_(bufferChars == 0 ? 1 : bufferChars),
      limit_(bufferChars == 0 ? kUnbufferedLineLimit : bufferChars) {}

bool LineReader::allocate() {
  try {
    if (encoding_ == Encoding::ansi) {
      narrow_.reserve(blockUnits_);
    } else {
      units_.reserve(blockUnits_);
      raw_.reserve(std::size_t{blockUnits_} * 2);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

template <>
bool LineReader::refill<char>(ByteSource& source, std::vector<char>& block) {
  block.resize(blockUnits_);
  for (;;) {
    std::size_t got = 0;
    if (!source.read(block.data(), blockUnits_, got)) { readError_ = true; return false; }
    if (got == 0) { ended_ = true; return false; }
    std::size_t kept = got;
    if (std::memchr(block.data(), '\0', got))   // rare: squeeze them out
      kept = static_cast<std::size_t>(std::remove(block.data(), block.data() + got, '\0') - block.data());
    if (kept == 0) continue;   // a block of NULs only: read on
    block.resize(kept);
    cursor_ = 0;
    return true;
  }
}

template <>
bool LineReader::refill<char16_t>(ByteSource& source, std::vector<char16_t>& block) {
  const std::size_t bytes = std::size_t{blockUnits_} * 2;
  raw_.resize(bytes);
  block.resize(blockUnits_);
  for (;;) {
    std::size_t have = 0;
    if (carry_ >= 0) raw_[have++] = static_cast<unsigned char>(carry_);
    std::size_t got = 0;
    if (!source.read(raw_.data() + have, bytes - have, got)) { readError_ = true; return false; }
    if (got == 0) { ended_ = true; return false; }   // a lone trailing byte is no character
    have += got;
    carry_ = (have % 2) ? raw_[have - 1] : -1;
    std::size_t kept = 0;
    for (std::size_t i = 0; i + 1 < have; i += 2) {
      const unsigned lo = raw_[i], hi = raw_[i + 1];
      const auto unit = static_cast<char16_t>(encoding_ == Encoding::utf16be ? (lo << 8) | hi : lo | (hi << 8));
      if (unit != 0) block[kept++] = unit;
    }
    if (kept == 0) continue;
    block.resize(kept);
    cursor_ = 0;
    return true;
  }
}

namespace {

// The first LF, CR or Ctrl-Z in [p, e), or e.
const char16_t* find_stop(const char16_t* p, const char16_t* e) {
  while (p < e && *p != u'\n' && *p != u'\r' && *p != char16_t(26)) ++p;
  return p;
}

// 8-bit text: library searches, a whole line at a time.
const char* find_stop(const char* p, const char* e) {
  auto find = [](const char* from, const char* to, char ch) {
    const void* at = std::memchr(from, ch, static_cast<std::size_t>(to - from));
    return at ? static_cast<const char*>(at) : to;
  };
  const char* stop = find(p, e, '\n');
  stop = find(p, stop, '\r');
  return find(p, stop, char(26));
}

}  // namespace

template <class Ch>
LineReader::Result LineReader::gather(ByteSource& source, std::vector<Ch>& block, std::basic_string<Ch>& out,
                                      std::basic_string_view<Ch>& line) {
  out.clear();
  line = {};
  auto gathered = [&](Result r) {
    line = out;
    return r;
  };
  for (;;) {
    if (ended_) return gathered(Result::end);
    if (cursor_ >= block.size() && !refill(source, block))
      return gathered(readError_ ? Result::read_error : Result::end);
    const Ch* const base = block.data();
    const Ch* p = base + cursor_;
    const Ch* const e = base + block.size();
    while (p < e) {
      const Ch* run = p;
      p = find_stop(p, e);
      const std::size_t room = limit_ - out.size();
      if (static_cast<std::size_t>(p - run) >= room) {
        out.append(run, room);
        cursor_ = static_cast<std::size_t>(run + room - base);
        return gathered(Result::too_long);
      }
      // The common line: whole in the block, seen where it lies.
      if (out.empty() && p != e && *p == Ch('\n')) {
        line = {run, static_cast<std::size_t>(p - run)};
        cursor_ = static_cast<std::size_t>(p + 1 - base);
        return Result::line;
      }
      out.append(run, p);
      if (p == e) break;
      const Ch c = *p++;
      cursor_ = static_cast<std::size_t>(p - base);
      if (c == Ch('\n')) return gathered(Result::line);
      if (c == Ch(26)) {
        ended_ = true;
        return gathered(Result::end);
      }
    }
    cursor_ = block.size();
  }
}

LineReader::Result LineReader::next(ByteSource& source, std::string& ansi, std::u16string& wide,
                                    std::string_view& ansiLine, std::u16string_view& wideLine) {
  ansiLine = {};
  wideLine = {};
  if (encoding_ == Encoding::ansi) return gather(source, narrow_, ansi, ansiLine);
  return gather(source, units_, wide, wideLine);
}

LineReader::Result LineReader::next(ByteSource& source, std::string& ansi, std::u16string& wide) {
  std::string_view a;
  std::u16string_view w;
  const Result r = next(source, ansi, wide, a, w);
  if (a.data() != ansi.data()) ansi.assign(a);
  if (w.data() != wide.data()) wide.assign(w);
  return r;
}

}  // namespace orv::files
