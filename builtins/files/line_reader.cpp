#include "builtins/files/line_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "builtins/text/unit_blocks.h"

namespace orv::files {

LineReader::LineReader(Encoding encoding, std::uint32_t bufferChars)
    : encoding_(encoding),
      blockUnits_(bufferChars == 0 ? 1 : bufferChars),
      limit_(bufferChars == 0 ? kUnbufferedLineLimit : bufferChars) {}

namespace {

// A block buffer of `units` units, left unset: reading fills what is used.
template <class T>
void take_buffer(std::unique_ptr<T[]>& buffer, std::size_t units) {
  if (!buffer) buffer = std::make_unique_for_overwrite<T[]>(units);
}

}  // namespace

bool LineReader::allocate() {
  try {
    if (encoding_ == Encoding::ansi) {
      take_buffer(narrow_, blockUnits_);
    } else {
      take_buffer(units_, blockUnits_);
      take_buffer(raw_, std::size_t{blockUnits_} * 2);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

template <>
bool LineReader::refill<char>(ByteSource& source, std::unique_ptr<char[]>& block) {
  take_buffer(block, blockUnits_);
  char* const data = block.get();
  for (;;) {
    std::size_t got = 0;
    if (!source.read(data, blockUnits_, got)) { readError_ = true; return false; }
    if (got == 0) { ended_ = true; return false; }
    std::size_t kept = got;
    if (std::memchr(data, '\0', got))   // rare: squeeze them out
      kept = static_cast<std::size_t>(std::remove(data, data + got, '\0') - data);
    if (kept == 0) continue;   // a block of NULs only: read on
    held_ = kept;
    cursor_ = 0;
    return true;
  }
}

template <>
bool LineReader::refill<char16_t>(ByteSource& source, std::unique_ptr<char16_t[]>& block) {
  const std::size_t bytes = std::size_t{blockUnits_} * 2;
  take_buffer(raw_, bytes);
  take_buffer(block, blockUnits_);
  unsigned char* const raw = raw_.get();
  for (;;) {
    std::size_t have = 0;
    if (carry_ >= 0) raw[have++] = static_cast<unsigned char>(carry_);
    std::size_t got = 0;
    if (!source.read(raw + have, bytes - have, got)) { readError_ = true; return false; }
    if (got == 0) { ended_ = true; return false; }   // a lone trailing byte is no character
    have += got;
    carry_ = (have % 2) ? raw[have - 1] : -1;
    std::size_t kept = 0;
    for (std::size_t i = 0; i + 1 < have; i += 2) {
      const unsigned lo = raw[i], hi = raw[i + 1];
      const auto unit = static_cast<char16_t>(encoding_ == Encoding::utf16be ? (lo << 8) | hi : lo | (hi << 8));
      if (unit != 0) block[kept++] = unit;
    }
    if (kept == 0) continue;
    held_ = kept;
    cursor_ = 0;
    return true;
  }
}

template <class Ch>
bool LineReader::whole_line(const Ch* block, std::basic_string_view<Ch>& line) {
  if (ended_ || cursor_ >= held_) return false;
  const Ch* const p = block + cursor_;
  const Ch* const e = block + held_;
  // LF ends a line, CR is dropped, Ctrl-Z ends the data.
  const Ch* const stop = text::find_any_of3<Ch, Ch('\n'), Ch('\r'), Ch(26)>(p, e);
  // (A block holds fewer units than the limit allows in a line, so a line
  // whole in it is never too long.)
  if (stop == e) return false;
  std::size_t after = 1;
  if (*stop == Ch('\r')) {
    if (stop + 1 == e || stop[1] != Ch('\n')) return false;
    after = 2;
  } else if (*stop != Ch('\n')) {
    return false;
  }
  line = {p, static_cast<std::size_t>(stop - p)};
  cursor_ = static_cast<std::size_t>(stop + after - block);
  return true;
}

template <class Ch>
LineReader::Result LineReader::gather(ByteSource& source, std::unique_ptr<Ch[]>& block, std::basic_string<Ch>& out,
                                      std::basic_string_view<Ch>& line) {
  out.clear();
  line = {};
  auto gathered = [&](Result r) {
    line = out;
    return r;
  };
  for (;;) {
    if (ended_) return gathered(Result::end);
    if (cursor_ >= held_ && !refill(source, block))
      return gathered(readError_ ? Result::read_error : Result::end);
    const Ch* const base = block.get();
    const Ch* p = base + cursor_;
    const Ch* const e = base + held_;
    while (p < e) {
      const Ch* run = p;
      p = text::find_any_of3<Ch, Ch('\n'), Ch('\r'), Ch(26)>(p, e);
      const std::size_t room = limit_ - out.size();
      if (static_cast<std::size_t>(p - run) >= room) {
        out.append(run, room);
        cursor_ = static_cast<std::size_t>(run + room - base);
        return gathered(Result::too_long);
      }
      // A line whole in a block just read, seen where it lies.
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
    cursor_ = held_;
  }
}

LineReader::Result LineReader::next(ByteSource& source, std::string& ansi, std::u16string& wide,
                                    std::string_view& ansiLine, std::u16string_view& wideLine) {
  // (Each way sets the view of its width; the other one stays empty.)
  if (encoding_ == Encoding::ansi) {
    wideLine = {};
    if (whole_line(narrow_.get(), ansiLine)) return Result::line;
    return gather(source, narrow_, ansi, ansiLine);
  }
  ansiLine = {};
  if (whole_line(units_.get(), wideLine)) return Result::line;
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
