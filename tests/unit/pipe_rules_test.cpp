// The platform-free rules of the pipe and DDE built-ins: pipe names, handle
// ranges, the width mark of a message, and DDE text blocks.
#include <gtest/gtest.h>

#include "builtins/dde/dde_rules.h"
#include "builtins/pipes/pipe_rules.h"

namespace orv::pipes {
namespace {

TEST(PipeName, BareNamesAndFullPathsOfThisOrAnotherMachine) {
  auto bare = parse_pipe_name(u"orders");
  ASSERT_TRUE(bare);
  EXPECT_TRUE(bare->local());
  EXPECT_EQ(bare->path(), u"\\\\.\\pipe\\orders");
  auto full = parse_pipe_name(u"\\\\.\\PIPE\\orders");   // the word "pipe" in any case
  ASSERT_TRUE(full);
  EXPECT_EQ(full->path(), u"\\\\.\\pipe\\orders");
  auto remote = parse_pipe_name(u"\\\\host7\\pipe\\a\\b");   // backslashes inside the name are kept
  ASSERT_TRUE(remote);
  EXPECT_FALSE(remote->local());
  EXPECT_EQ(remote->server, u"host7");
  EXPECT_EQ(remote->name, u"a\\b");
}

TEST(PipeName, RefusesEmptyPartsMistypedPathsAndOverlongNames) {
  for (std::u16string_view bad : {u"", u"\\x", u"\\\\", u"\\\\.", u"\\\\.\\", u"\\\\.\\pipe\\", u"\\\\.\\pipes\\x",
                                  u"\\\\.\\pip\\x", u"\\\\\\pipe\\x", u"\\\\.\\pipe\\\\x"})
    EXPECT_FALSE(parse_pipe_name(bad)) << std::string(bad.begin(), bad.end());
  EXPECT_FALSE(parse_pipe_name(std::u16string(u"a\0b", 3)));
  // The longest accepted path is exactly the system's limit.
  const std::size_t room = kMaxPipePath - std::u16string(u"\\\\.\\pipe\\").size();
  EXPECT_TRUE(parse_pipe_name(std::u16string(room, u'n')));
  EXPECT_FALSE(parse_pipe_name(std::u16string(room + 1, u'n')));
}

TEST(HandleRanges, SlotsRoundTripAndOtherKindsAreRefused) {
  EXPECT_EQ(PipeHandles::slot(PipeHandles::handle(0)), 0);
  EXPECT_EQ(PipeHandles::slot(PipeHandles::handle(PipeHandles::kSlots - 1)), PipeHandles::kSlots - 1);
  EXPECT_EQ(PipeHandles::slot(PipeHandles::handle(PipeHandles::kSlots)), -1);
  EXPECT_EQ(PipeHandles::slot(PipeHandles::kBase - 1), -1);
  using dde::ConversationHandles;
  // Neither kind takes the other's handles, nor buffer (987659+), structure
  // (987787+) or callback (29796+) handles, nor small file handles.
  for (std::int32_t other : {0, 1, 128, 29796, 30307, 987659, 987787, 987914}) {
    EXPECT_EQ(PipeHandles::slot(other), -1) << other;
    EXPECT_EQ(ConversationHandles::slot(other), -1) << other;
  }
  for (int s = 0; s < PipeHandles::kSlots; ++s) EXPECT_EQ(ConversationHandles::slot(PipeHandles::handle(s)), -1);
  for (int s = 0; s < ConversationHandles::kSlots; ++s) EXPECT_EQ(PipeHandles::slot(ConversationHandles::handle(s)), -1);
}

TEST(Messages, EachWidthComesBackInTheWidthItWasWritten) {
  const MessageText narrow = decode_message(encode_message(std::string_view("caf\xE9")));
  EXPECT_FALSE(narrow.wide);
  EXPECT_EQ(narrow.narrow, "caf\xE9");
  const std::u16string text = u"A\u2013B\U0001F600";
  const MessageText wide = decode_message(encode_message(std::u16string_view(text)));
  EXPECT_TRUE(wide.wide);
  EXPECT_EQ(wide.utf16, text);
  const MessageText empty = decode_message(encode_message(std::u16string_view()));
  EXPECT_TRUE(empty.wide);
  EXPECT_TRUE(empty.utf16.empty());
}

TEST(Messages, TextEndsAtItsFirstNulAndAnOddMarkedMessageStaysNarrow) {
  EXPECT_EQ(encode_message(std::string_view("ab\0cd", 5)), "ab");
  EXPECT_EQ(decode_message(std::string_view("ab\0cd", 5)).narrow, "ab");
  EXPECT_EQ(decode_message(std::string("\xFF\xFE" "a\0\0\0b\0", 8)).utf16, u"a");
  const MessageText odd = decode_message(std::string_view("\xFF\xFE" "a", 3));
  EXPECT_FALSE(odd.wide);
  EXPECT_EQ(odd.narrow, "\xFF\xFE" "a");
  // A lone mark from another program is an empty UTF-16 text.
  EXPECT_TRUE(decode_message(std::string_view("\xFF\xFE", 2)).wide);
}

TEST(TimeoutsAndRequests, NegativeWaitsForeverAndOnlyFourRequestsExist) {
  EXPECT_EQ(timeout_ms(-1), kForever);
  EXPECT_EQ(timeout_ms(-5000), kForever);
  EXPECT_EQ(timeout_ms(0), 0u);
  EXPECT_EQ(timeout_ms(2147483647), 2147483647u);
  EXPECT_EQ(info_request(0), InfoRequest::side);
  EXPECT_EQ(info_request(3), InfoRequest::name);
  EXPECT_FALSE(info_request(4));
  EXPECT_FALSE(info_request(-1));
}

TEST(DdeBlocks, TextsGetOneTerminatorAndLoseWhatFollowsIt) {
  EXPECT_EQ(dde::block_of_text(std::string_view("abc")), std::string("abc\0", 4));
  EXPECT_EQ(dde::block_of_text(std::string_view("ab\0c", 4)), std::string("ab\0", 3));
  EXPECT_EQ(dde::block_of_text(std::u16string_view(u"h\u00e9")), std::string("h\0\xE9\0\0\0", 6));
  EXPECT_EQ(dde::text_of_block(std::string("abc\0junk", 8)), "abc");
  EXPECT_EQ(dde::text_of_block("no terminator"), "no terminator");
  EXPECT_EQ(dde::text_of_wide_block(dde::block_of_text(std::u16string_view(u"\u20ac1"))), u"\u20ac1");
  EXPECT_EQ(dde::text_of_wide_block(std::string("a\0b", 3)), u"a");   // a last odd byte is no character
}

}  // namespace
}  // namespace orv::pipes
