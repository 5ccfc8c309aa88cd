// The native platform layer stands in for Win32 in sanitizer runs; these check
// the places where it must behave like the Windows back end.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/platform.h"

namespace p = orv::platform;

TEST(MemoryBlocks, ZeroFilledLockableAndSized) {
  p::MemHandle h = p::mem_alloc(100);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(p::mem_size(h), 100u);
  auto* bytes = static_cast<unsigned char*>(p::mem_lock(h));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(bytes[i], 0) << i;
  bytes[99] = 7;
  p::mem_unlock(h);
  EXPECT_EQ(static_cast<unsigned char*>(p::mem_lock(h))[99], 7);
  p::mem_unlock(h);
  p::mem_free(h);
  EXPECT_EQ(p::mem_lock(nullptr), nullptr);
}

TEST(VirtualMemory, CommitInsideReservationAndHonourLimit) {
  const std::size_t reserve = 1u << 20;
  void* base = p::vm_reserve(reserve);
  ASSERT_NE(base, nullptr);
  ASSERT_EQ(p::vm_commit(base, 64 * 1024), 0u);
  std::memset(base, 0xAB, 64 * 1024);  // committed pages are writable

  p::set_commit_limit(128 * 1024);
  EXPECT_EQ(p::vm_commit(base, 128 * 1024), 0u);
  // The limit counts from the reservation's base, not from the commit's start.
  char* later = static_cast<char*>(base) + 120 * 1024;
  EXPECT_EQ(p::vm_commit(later, 16 * 1024), 8u);
  p::set_commit_limit(0);
  EXPECT_EQ(p::vm_commit(later, 16 * 1024), 0u);

  EXPECT_EQ(p::vm_commit(static_cast<char*>(base) + reserve - 4096, 8192), 487u);
  int outside = 0;
  EXPECT_EQ(p::vm_commit(&outside, 4096), 487u);
  p::vm_release(base);
}

TEST(AnsiText, RoundTripsTheWindows1252Range) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::u16string wide;
  ASSERT_TRUE(p::ansi_to_utf16(all, wide));
  ASSERT_EQ(wide.size(), all.size());
  EXPECT_EQ(wide[0x80 - 1], u'\u20AC');  // euro sign
  EXPECT_EQ(wide[0x99 - 1], u'\u2122');  // trade mark
  EXPECT_EQ(wide[0x81 - 1], u'\u0081');  // undefined byte keeps its value
  EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
  std::string back;
  ASSERT_TRUE(p::utf16_to_ansi(wide, back));
  EXPECT_EQ(back, all);
}

TEST(AnsiText, UnmappableCharactersBecomeQuestionMarks) {
  std::string out;
  ASSERT_TRUE(p::utf16_to_ansi(u"a\u4E2Dz", out));
  EXPECT_EQ(out, "a?z");
}

TEST(Comparison, CaseFoldingIsAsciiOnly) {
  EXPECT_EQ(p::compare_ansi("Hello", "hello", true), 0);
  EXPECT_NE(p::compare_ansi("Hello", "hello", false), 0);
  EXPECT_LT(p::compare_ansi("abc", "abd", true), 0);
  EXPECT_LT(p::compare_ansi("ab", "abc", false), 0);
  EXPECT_GT(p::compare_ansi("\xE9", "e", false), 0);  // bytes compare unsigned
  EXPECT_EQ(p::compare_utf16(u"MiXeD", u"mixed", true), 0);
  EXPECT_GT(p::compare_utf16(u"b", u"A", true), 0);
}

TEST(Files, ReadWholeFileAndPathHelpers) {
  const auto dir = std::filesystem::temp_directory_path() / "orv_platform_test";
  std::filesystem::create_directories(dir);
  const auto file = dir / "data.bin";
  {
    std::ofstream out(file, std::ios::binary);
    out.write("a\0b\r\n", 5);
  }
  std::string text;
  ASSERT_EQ(p::read_whole_file(file.string(), text), p::FileStatus::ok);
  EXPECT_EQ(text, std::string("a\0b\r\n", 5));
  // A file longer than one read, into a string that held something before.
  std::string big(40000, 'x');
  for (std::size_t i = 0; i < big.size(); i += 997) big[i] = static_cast<char>('0' + i % 10);
  {
    std::ofstream out(dir / "big.bin", std::ios::binary);
    out << big;
  }
  ASSERT_EQ(p::read_whole_file((dir / "big.bin").string(), text), p::FileStatus::ok);
  EXPECT_EQ(text, big);
  EXPECT_EQ(p::read_whole_file((dir / "missing").string(), text), p::FileStatus::not_found);
  EXPECT_EQ(p::read_whole_file(dir.string(), text), p::FileStatus::not_found);
  EXPECT_TRUE(p::file_exists(file.string()));

  EXPECT_EQ(p::directory_of("/a/b/c.orv"), "/a/b/");
  EXPECT_EQ(p::directory_of("c.orv"), "");
  EXPECT_TRUE(p::is_absolute_path("/x"));
  EXPECT_FALSE(p::is_absolute_path("x/y"));
  EXPECT_EQ(p::search_path("sh").empty(), false);
  EXPECT_EQ(p::search_path("no-such-program-orv"), "");
  std::filesystem::remove_all(dir);
}

TEST(Ticks, AdvanceWithTime) {
  const auto before = p::tick_count();
  p::sleep_ms(20);
  EXPECT_GE(p::tick_count() - before, 15u);
}
