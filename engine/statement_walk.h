// Reads a script's lines from a place on as their compiled statements, the
// way the run loop would meet them: blank and comment lines are passed by.
// Used by what maps a block ahead of running it (a Switch's table, the
// programs of whole-number functions and loops).
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/compiled_statement_parts.h"

namespace orv {

class StatementWalk {
 public:
  enum class Stop : std::uint8_t {
    none,
    end,          // the text ran out
    not_learnt,   // a line is not compiled for the text and names as they are now (yet)
    unreadable    // a line the compiled form never covers, or the reader's end byte
  };

  // Longer blocks are read line by line.
  static constexpr std::size_t kMaxLines = 4096;

  StatementWalk(const Context& c, const Script& s, std::uint32_t pos) : c_(c), s_(s), pos_(pos) {}

  // The next statement, or null with stop() saying why.
  CompiledStatement* next() {
    const std::string& text = s_.text;
    const auto size = static_cast<std::uint32_t>(text.size());
    if (!s_.statements) return halt(Stop::not_learnt);
    while (lines_++ < kMaxLines) {
      if (pos_ >= size) return halt(Stop::end);
      const void* lf = std::memchr(text.data() + pos_, '\n', size - pos_);
      const std::uint32_t end = lf ? static_cast<std::uint32_t>(static_cast<const char*>(lf) - text.data()) : size;
      if (std::memchr(text.data() + pos_, 0x1A, end - pos_)) return halt(Stop::unreadable);
      std::uint32_t p = pos_;
      while (p < end && (text[p] == ' ' || text[p] == '\t')) ++p;
      if (p == end || text[p] == ';') {
        pos_ = end < size ? end + 1 : end;
        continue;
      }
      const auto found = s_.statements->byPos.find(pos_);
      if (found == s_.statements->byPos.end() || !current(c_, s_, found->second)) return halt(Stop::not_learnt);
      CompiledStatement& st = found->second;
      if (st.kind == CompiledStatement::kNone) return halt(Stop::unreadable);
      read_ = pos_;
      pos_ = st.nextPos;
      return &st;
    }
    return halt(Stop::unreadable);
  }

  Stop stop() const { return stop_; }
  // Where the line of the statement next() gave is read from.
  std::uint32_t read_at() const { return read_; }

 private:
  CompiledStatement* halt(Stop why) {
    stop_ = why;
    return nullptr;
  }

  const Context& c_;
  const Script& s_;
  std::uint32_t pos_;
  std::uint32_t read_ = 0;
  std::size_t lines_ = 0;
  Stop stop_ = Stop::none;
};

}  // namespace orv
