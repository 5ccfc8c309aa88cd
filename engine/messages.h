// The message table: error and interface texts by number. The number of an
// error is also the key of its text.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orv {

struct MessageEntry {
  std::uint32_t number;
  const char* text;  // as stored: "~" and "|" not yet expanded
};

// Text of a message with "~" turned into LF and "|" into TAB; "" when the
// number has no message. On Windows the text comes from the module's string
// table (or the language file); elsewhere from the built-in table.
std::string message_text(std::uint32_t number);

// The built-in table, sorted by number; the same texts as the string table.
std::span<const MessageEntry> message_table();

// Applies the line-break ("~" -> LF) and tab ("|" -> TAB) marks.
std::string expand_message_marks(std::string_view stored);

// Copies message_text(number) into a caller's buffer: at most size - 1
// characters, NUL-terminated whenever size > 0; returns the count copied.
// Nothing is written when buffer is null or size <= 0. (LoadMyString.)
int copy_message_text(std::uint32_t number, char* buffer, int size);

}  // namespace orv
