#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/messages.h"

namespace {

using orv::message_table;
using orv::message_text;

TEST(Messages, TextsTheEngineReportsAreExact) {
  EXPECT_EQ(message_text(3051), "Undefined variable or function");
  EXPECT_EQ(message_text(3052), "Uninitialized variable, undefined function, or unquoted string");
  EXPECT_EQ(message_text(3096), "Memory allocation failure.  Out of memory for strings");
  EXPECT_EQ(message_text(3722), "Line too long (>2048 characters)");
  EXPECT_EQ(message_text(880), "Uninitialized variable or undefined function:");
  EXPECT_EQ(message_text(9502), "not followed by open parenthesis");
  // Characters that need care on the way through the generator.
  EXPECT_EQ(message_text(3048), "Substitution %Variable% not followed by a % (Use %% for %)");
  EXPECT_EQ(message_text(3360), "For Error: Bad Syntax.  e.g. 'For x = 1 to 10'");
  EXPECT_EQ(message_text(1335), "IniPrivate functions: Illegal to access [386Enh] Device= keywords");
  EXPECT_EQ(message_text(3053), "Character string too long (>2048 chars?\?)");
  EXPECT_EQ(message_text(9505),
            "Check for extra ) on end, subscript used with non-array variable, missing ; before a "
            "comment, or other extraneous characters after logical end of line");
}

TEST(Messages, TableIsSortedUniqueAndFitsTheStringTable) {
  const auto table = message_table();
  ASSERT_GT(table.size(), 500u);
  std::int64_t previous = -1;
  for (const auto& entry : table) {
    EXPECT_GT(static_cast<std::int64_t>(entry.number), previous) << "at " << entry.number;
    EXPECT_LE(entry.number, 0xFFFFu);
    ASSERT_NE(entry.text, nullptr);
    EXPECT_GT(std::strlen(entry.text), 0u) << "empty text for " << entry.number;
    previous = entry.number;
  }
}

// On Windows this reads every text back from the string-table resource, so
// it also proves the resource escaping.
TEST(Messages, EveryTableEntryIsFoundWithMarksExpanded) {
  for (const auto& entry : message_table()) {
    const std::string text = message_text(entry.number);
    EXPECT_EQ(text, orv::expand_message_marks(entry.text)) << "number " << entry.number;
    EXPECT_EQ(text.find_first_of("~|"), std::string::npos) << "number " << entry.number;
  }
  EXPECT_EQ(message_text(528),
            "ORV Processor menu(s) will be reloaded\nto reflect recent changes.\n"
            "Reselect menu option when reload complete.");
}

TEST(Messages, MarksBecomeLineBreaksAndTabs) {
  EXPECT_EQ(orv::expand_message_marks("a~b|c~~|"), "a\nb\tc\n\n\t");
  EXPECT_EQ(orv::expand_message_marks("plain text"), "plain text");
  EXPECT_EQ(orv::expand_message_marks(""), "");
}

TEST(Messages, UnknownNumbersGiveEmptyText) {
  EXPECT_EQ(message_text(0), "");
  EXPECT_EQ(message_text(9518), "");
  EXPECT_EQ(message_text(65535), "");
  // Above 16 bits: must not wrap onto 3051.
  EXPECT_EQ(message_text(65536u + 3051u), "");
  EXPECT_EQ(message_text(0xFFFFFFFFu), "");
}

TEST(Messages, CopyToBufferTruncatesAndTerminates) {
  const std::string full = message_text(3051);
  constexpr int kSize = 64;
  char buf[kSize];

  std::memset(buf, 'x', kSize);
  EXPECT_EQ(orv::copy_message_text(3051, buf, kSize), static_cast<int>(full.size()));
  EXPECT_EQ(std::string(buf), full);

  std::memset(buf, 'x', kSize);
  EXPECT_EQ(orv::copy_message_text(3051, buf, 6), 5);
  EXPECT_EQ(std::string(buf), full.substr(0, 5));
  EXPECT_EQ(buf[6], 'x');  // nothing written past the given size

  std::memset(buf, 'x', kSize);
  EXPECT_EQ(orv::copy_message_text(3051, buf, 1), 0);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(buf[1], 'x');

  std::memset(buf, 'x', kSize);
  EXPECT_EQ(orv::copy_message_text(3051, buf, 0), 0);
  EXPECT_EQ(buf[0], 'x');
  EXPECT_EQ(orv::copy_message_text(3051, buf, -5), 0);
  EXPECT_EQ(buf[0], 'x');
  EXPECT_EQ(orv::copy_message_text(3051, nullptr, 10), 0);

  EXPECT_EQ(orv::copy_message_text(9518, buf, kSize), 0);
  EXPECT_EQ(buf[0], '\0');

  // The translated form is what callers get.
  EXPECT_EQ(orv::copy_message_text(528, buf, kSize), 63);
  EXPECT_NE(std::strchr(buf, '\n'), nullptr);
}

}  // namespace
