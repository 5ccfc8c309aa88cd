// Binary buffers as scripts use them: every offset and count at its edges,
// EOD rules, text and hex, searching, tags, records, checksums with known
// digests, compression round trips and byte-range file access.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "builtins/binary/checksums.h"
#include "builtins/binary/tag_record.h"
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

using binary::compress_bytes;
using binary::format_tag_record;
using binary::parse_tag_record;
using binary::TagRecord;
using binary::uncompress_bytes;

class Binary : public EngineTest {
 protected:
  // Runs assignments and calls one per line; stops at the first error.
  std::string run(const std::string& lines) {
    std::string last;
    std::size_t from = 0;
    while (from < lines.size()) {
      std::size_t eol = lines.find('\n', from);
      if (eol == std::string::npos) eol = lines.size();
      last = eval(lines.substr(from, eol - from));
      if (last.rfind("error", 0) == 0) return last;
      from = eol + 1;
    }
    return last;
  }
  std::string temp_path(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::string("orv_bin_") + std::to_string(::getpid()) + name))
        .string();
  }
};

TEST_F(Binary, AllocationLimitsAndHandles) {
  EXPECT_EQ(eval("BinaryAlloc(0)"), "987659");
  EXPECT_EQ(flags_of("BinaryAlloc(1)") & (vf::kInt | vf::kBinary), vf::kInt | vf::kBinary);
  for (int i = 2; i < 128; ++i) ASSERT_EQ(eval("BinaryAlloc(1)"), std::to_string(987659 + i));
  EXPECT_EQ(eval("BinaryAlloc(1)"), "error 3024");
  EXPECT_EQ(eval("BinaryFree(987700)"), "0");
  EXPECT_EQ(eval("BinaryAlloc(5)"), "987700");   // the freed slot is reused
  EXPECT_EQ(eval("BinaryFree(987658)"), "error 3023");
  EXPECT_EQ(eval("BinaryFree(987787)"), "error 3023");
  c.binaries.release_all();
  EXPECT_EQ(eval("BinaryEodGet(987659)"), "error 3023");
  EXPECT_EQ(eval("BinaryAlloc(-1)"), "error 1126");
  platform::set_block_limit(1 << 20);
  EXPECT_EQ(eval("BinaryAlloc(2000000)"), "error 1126");
  platform::set_block_limit(0);
  EXPECT_EQ(c.binaries.live_count(), 0);
}

TEST_F(Binary, InfoAndEod) {
  run("h = BinaryAlloc(100)");
  EXPECT_EQ(eval("BinaryBufInfo(h, -1)"), "1");
  EXPECT_EQ(eval("BinaryBufInfo(5, -1)"), "0");
  EXPECT_EQ(eval("BinaryBufInfo(h, 0)"), "100");
  EXPECT_EQ(eval("BinaryBufInfo(h, 3)"), "error 1809");
  EXPECT_EQ(eval("BinaryEodSet(h, 100)"), "0");
  EXPECT_EQ(eval("BinaryEodSet(h, 101)"), "error 3127");
  EXPECT_EQ(eval("BinaryEodSet(h, -1)"), "error 1548");
  EXPECT_EQ(eval("BinaryEodSet(h, 0)"), "100");
  EXPECT_EQ(eval("BinaryBufInfo(h, 2)"), "0");
}

TEST_F(Binary, NumberOffsetsAtTheirEdges) {
  run("h = BinaryAlloc(100)");
  EXPECT_EQ(eval("BinaryPeek(h, 10)"), "0");
  EXPECT_EQ(eval("BinaryEodGet(h)"), "11");   // reads raise EOD too
  EXPECT_EQ(eval("BinaryPeek(h, 99)"), "0");
  EXPECT_EQ(eval("BinaryPeek(h, 100)"), "error 3325");
  EXPECT_EQ(eval("BinaryPeek(h, -1)"), "error 1548");
  EXPECT_EQ(eval("BinaryPeek4(h, 96)"), "0");
  EXPECT_EQ(eval("BinaryPeek4(h, 97)"), "error 3325");
  EXPECT_EQ(eval("BinaryPeek8(h, 2147483647)"), "error 3325");
  EXPECT_EQ(eval("BinaryPeekFlt(h, 93)"), "error 3325");
  EXPECT_EQ(eval("BinaryPoke2(h, 99, 1)"), "error 3325");
  EXPECT_EQ(eval("BinaryEodGet(h)"), "100");
}

TEST_F(Binary, PokeRangesAndIncrement) {
  run("h = BinaryAlloc(16)");
  EXPECT_EQ(eval("BinaryPoke(h, 0, 255)"), "0");
  EXPECT_EQ(eval("BinaryPoke(h, 0, -1)"), "255");
  EXPECT_EQ(eval("BinaryPeek(h, 0)"), "255");
  EXPECT_EQ(eval("BinaryPoke(h, 0, 256)"), "error 3326");
  EXPECT_EQ(eval("BinaryPoke(h, 0, -257)"), "error 3326");
  EXPECT_EQ(eval("BinaryPoke2(h, 2, 65536)"), "error 3326");
  EXPECT_EQ(eval("BinaryPoke2(h, 2, -2)"), "0");
  EXPECT_EQ(eval("BinaryPeek2(h, 2)"), "65534");
  EXPECT_EQ(eval("BinaryIncr(h, 0)"), "256");
  EXPECT_EQ(eval("BinaryPeek(h, 0)"), "0");
  EXPECT_EQ(eval("BinaryPoke4(h, 4, -2)"), "0");
  EXPECT_EQ(eval("BinaryPeek4(h, 4)"), "-2");
  EXPECT_EQ(eval("BinaryPoke4(h, 4, 2147483647)"), "-2");
  EXPECT_EQ(eval("BinaryIncr4(h, 4)"), "2147483648");
  EXPECT_EQ(eval("BinaryPeek4(h, 4)"), "-2147483648");
}

TEST_F(Binary, SixtyFourBitAndFloat) {
  run("h = BinaryAlloc(16)");
  EXPECT_EQ(eval("BinaryPokeHex(h, 0, 'FFFFFFFFFFFFFFFF0100000000000000')"), "16");
  EXPECT_EQ(eval("BinaryPeek8(h, 0)"), "-1");
  EXPECT_EQ(eval("BinaryPeek8(h, 8)"), "1");
  EXPECT_EQ(eval("BinaryPoke8(h, 0, '9223372036854775807')"), "-1");
  EXPECT_EQ(eval("BinaryPeek8(h, 0)"), "9223372036854775807");
  EXPECT_EQ(eval("BinaryPoke8(h, 0, 'twelve')"), "error 1824");
  run("BinaryPokeFlt(h, 8, 1.5)");
  EXPECT_EQ(eval("BinaryPokeFlt(h, 8, 1.5)"), "1.5");
  EXPECT_EQ(eval("BinaryIncrFlt(h, 8)"), "2.5");
  EXPECT_EQ(eval("BinaryPeekFlt(h, 8)"), "2.5");
}

TEST_F(Binary, PeekStrStopsAtEodAndNul) {
  run("h = BinaryAlloc(20)\nBinaryPokeStr(h, 0, 'abcdef')");
  EXPECT_EQ(eval("BinaryPeekStr(h, 0, 100)"), "abcdef");
  EXPECT_EQ(eval("BinaryPeekStr(h, 2, 2)"), "cd");
  EXPECT_EQ(eval("BinaryPeekStr(h, 6, 0)"), "");
  EXPECT_EQ(eval("BinaryPeekStr(h, 10, 5)"), "");
  EXPECT_EQ(eval("BinaryPeekStr(h, 20, 1)"), "error 2331");
  EXPECT_EQ(eval("BinaryPeekStr(h, 0, -1)"), "error 1549");
  run("BinaryPoke(h, 3, 0)");
  EXPECT_EQ(eval("BinaryPeekStr(h, 0, 100)"), "abc");
  EXPECT_EQ(eval("BinaryPokeStr(h, 15, 'abcde')"), "5");
  EXPECT_EQ(eval("BinaryPokeStr(h, 16, 'abcde')"), "error 2332");
  EXPECT_EQ(eval("BinaryPokeStr(h, -1, 'a')"), "error 1548");
}

TEST_F(Binary, WideStrings) {
  run("h = BinaryAlloc(8)");
  EXPECT_EQ(eval("BinaryPokeStrW(h, 0, 'ab')"), "4");
  EXPECT_EQ(eval("BinaryPeekHex(h, 0, 4)"), "61006200");
  EXPECT_EQ(eval("BinaryPeekStrW(h, 0, 4)"), "ab");
  EXPECT_EQ(eval("BinaryPeekStrW(h, 0, 3)"), "error 1765");
  EXPECT_EQ(eval("BinaryPeekStrW(h, 1, 4)"), "error 1766");
  EXPECT_EQ(eval("BinaryPokeStrW(h, 4, 'ab', 1)"), "4");
  EXPECT_EQ(eval("BinaryPeekHex(h, 4, 4)"), "00610062");
  EXPECT_EQ(eval("BinaryPeekStrW(h, 4, 4, 1)"), "ab");
  EXPECT_EQ(eval("BinaryPokeStrW(h, 6, 'ab')"), "error 2332");
}

TEST_F(Binary, HexText) {
  run("h = BinaryAlloc(4)");
  EXPECT_EQ(eval("BinaryPokeHex(h, 0, '0a  Ff 10 ')"), "3");
  EXPECT_EQ(eval("BinaryPeekHex(h, 0, 10)"), "0AFF10");
  EXPECT_EQ(eval("BinaryPokeHex(h, 0, 'F F')"), "error 1720");
  EXPECT_EQ(eval("BinaryPokeHex(h, 0, 'ABC')"), "error 1720");
  EXPECT_EQ(eval("BinaryPokeHex(h, 0, 'G0')"), "error 1720");
  EXPECT_EQ(eval("BinaryPokeHex(h, 2, '010203')"), "error 1721");
  EXPECT_EQ(eval("BinaryPokeHex(h, 4, '01')"), "error 1543");
  EXPECT_EQ(eval("BinaryPeekHex(h, 0, -1)"), "error 1549");
  EXPECT_EQ(eval("BinaryPeekHex(h, 0, 0)"), "");
}

TEST_F(Binary, TwoBufferChecksInOrder) {
  run("a = BinaryAlloc(8)\nb = BinaryAlloc(4)\nBinaryPokeStr(a, 0, 'abcdefgh')\nBinaryPokeStr(b, 0, 'ab')");
  EXPECT_EQ(eval("BinaryCopy(b, 2, a, 2, 2)"), "2");
  EXPECT_EQ(eval("BinaryEodGet(b)"), "4");
  EXPECT_EQ(eval("BinaryCompare(a, 0, b, 0, 4)"), "1");
  EXPECT_EQ(eval("BinaryCopy(b, 4, a, 0, 1)"), "error 3327");
  EXPECT_EQ(eval("BinaryCopy(b, 3, a, 0, 2)"), "error 3328");
  EXPECT_EQ(eval("BinaryCopy(a, 0, b, 3, 2)"), "error 3329");
  EXPECT_EQ(eval("BinaryCopy(a, -1, b, 0, 1)"), "error 1548");
  EXPECT_EQ(eval("BinaryCopy(a, 0, b, 0, -1)"), "error 1549");
  EXPECT_EQ(eval("BinaryCopy(a, 1, a, 0, 7)"), "7");   // overlapping ranges move
  EXPECT_EQ(eval("BinaryPeekStr(a, 0, 8)"), "aabcdefg");
  EXPECT_EQ(eval("BinaryXor(a, 0, a, 0, 8)"), "1");   // the same bytes on both sides
  EXPECT_EQ(eval("BinaryPeekHex(a, 0, 8)"), "0000000000000000");
  run("BinaryEodSet(b, 2)");
  EXPECT_EQ(eval("BinaryOr(b, 2, a, 0, 1)"), "error 1550");
  EXPECT_EQ(eval("BinaryAnd(b, 1, a, 0, 2)"), "error 1551");
  EXPECT_EQ(eval("BinaryAnd(b, 1, a, 0, 4)"), "error 1544");
  EXPECT_EQ(eval("BinaryAnd(b, 4, a, 0, 1)"), "error 1543");
  EXPECT_EQ(eval("BinaryCompare(b, 0, a, 0, 3)"), "0");   // past EOD is no error
  EXPECT_EQ(eval("BinaryAnd(b, 0, a, 0, 0)"), "1");
}

TEST_F(Binary, SearchesInBothDirections) {
  run("h = BinaryAlloc(32)\nBinaryPokeStr(h, 0, 'abcABCabc')");
  EXPECT_EQ(eval("BinaryIndex(h, 0, 'abc', 0)"), "0");
  EXPECT_EQ(eval("BinaryIndex(h, 1, 'abc', 0)"), "6");
  EXPECT_EQ(eval("BinaryIndexNc(h, 1, 'abc', 0)"), "3");
  EXPECT_EQ(eval("BinaryIndexEx(h, 7, 'abc', 0, 1)"), "-1");
  EXPECT_EQ(eval("BinaryIndexEx(h, 8, 'abc', 1, 1)"), "6");
  EXPECT_EQ(eval("BinaryIndexEx(h, 7, 'abc', 1, 1)"), "0");
  EXPECT_EQ(eval("BinaryIndexEx(h, 7, 'ABC', 1, 0)"), "3");
  EXPECT_EQ(eval("BinaryIndexEx(h, 1, 'abc', 1, 1)"), "-1");
  EXPECT_EQ(eval("BinaryIndexEx(h, 0, '', 0, 1)"), "-1");   // empty is a NUL byte, none before EOD
  run("BinaryEodSet(h, 12)");
  EXPECT_EQ(eval("BinaryIndexEx(h, 0, '', 0, 1)"), "9");
  EXPECT_EQ(eval("BinaryIndex(h, 32, 'a', 0)"), "error 3333");
  EXPECT_EQ(eval("BinaryIndex(h, -1, 'a', 0)"), "error 1548");
  EXPECT_EQ(eval("BinaryIndexBin(h, 0, '43 61', 0, 1)"), "5");
  EXPECT_EQ(eval("BinaryIndexBin(h, 0, 'zz', 0, 1)"), "error 1715");
  EXPECT_EQ(eval("BinaryIndexBin(h, 0, 12, 0, 1)"), "error 1714");
  run("p = BinaryAlloc(2)\nBinaryPokeStr(p, 0, 'Ca')");
  EXPECT_EQ(eval("BinaryIndexBin(h, 0, p, 0, 1)"), "5");
  EXPECT_EQ(eval("BinaryStrCnt(h, 0, 8, 'abc')"), "2");
  EXPECT_EQ(eval("BinaryStrCnt(h, 8, 1, 'abc')"), "1");
  EXPECT_EQ(eval("BinaryStrCnt(h, 0, 12, 'abc')"), "error 1550");
  EXPECT_EQ(eval("BinaryStrCnt(h, 0, 32, 'abc')"), "error 3333");
  EXPECT_EQ(eval("BinaryStrCnt(h, 0, 8, '')"), "0");
}

TEST_F(Binary, ReplaceLeavesTheBufferWhenTheResultOverruns) {
  run("h = BinaryAlloc(12)\nBinaryPokeStr(h, 0, 'a-b-c')");
  EXPECT_EQ(eval("BinaryReplace(h, '-', '--', 1)"), "2");
  EXPECT_EQ(eval("BinaryPeekStr(h, 0, 12)"), "a--b--c");
  EXPECT_EQ(eval("BinaryReplace(h, '-', '----', 1)"), "error 1614");
  EXPECT_EQ(eval("BinaryPeekStr(h, 0, 12)"), "a--b--c");
  EXPECT_EQ(eval("BinaryReplace(h, 'B', '', 1)"), "0");
  EXPECT_EQ(eval("BinaryReplace(h, 'B', '', 0)"), "1");
  EXPECT_EQ(eval("BinaryPeekStr(h, 0, 12)"), "a----c");
  EXPECT_EQ(eval("BinaryEodGet(h)"), "6");
  EXPECT_EQ(eval("BinaryPeek(h, 6)"), "0");   // cleared behind the new data
}

TEST_F(Binary, TagsWalkTheElements) {
  run("h = BinaryAlloc(40)\nBinaryPokeStr(h, 0, 'abc[x]def[yy]')\nt = BinaryTagInit(h, '[', ']')");
  run("t = BinaryTagFind(t)");
  EXPECT_EQ(eval("StrLen(t)"), "40");
  EXPECT_EQ(eval("BinaryTagExtr(t, 0)"), "x");
  EXPECT_EQ(eval("BinaryTagIndex(t, 0)"), "4");
  EXPECT_EQ(eval("BinaryTagIndex(t, 1)"), "3");
  EXPECT_EQ(eval("BinaryTagLen(t, 1)"), "3");
  EXPECT_EQ(eval("BinaryTagLen(t, 2)"), "error 1655");
  run("t = BinaryTagFind(t)");
  EXPECT_EQ(eval("BinaryTagExtr(t, 0)"), "yy");
  run("t = BinaryTagRepl(t, '<Y>')");
  EXPECT_EQ(eval("BinaryPeekStr(h, 0, 40)"), "abc[x]def<Y>");
  EXPECT_EQ(eval("BinaryTagFind(t)"), "");
  EXPECT_EQ(eval("BinaryTagInit(h, '[', '')"), "error 1580");
  EXPECT_EQ(eval("BinaryTagFind('0025')"), "error 1581");
}

TEST(TagRecord, RejectsForgedStructures) {
  TagRecord r;
  r.slot = 3;
  r.position = 10;
  r.state = 'F';
  r.startTag = "<a>";
  r.endTag = "</a>";
  r.dataLength = 5;
  const std::string text = format_tag_record(r);
  TagRecord back;
  ASSERT_TRUE(parse_tag_record(text, back));
  EXPECT_EQ(back.position, 10);
  EXPECT_EQ(back.endTag, "</a>");
  for (std::size_t i = 0; i < 36; ++i) {
    std::string bad = text;
    bad[i] = 'x';
    EXPECT_FALSE(parse_tag_record(bad, back)) << i;
  }
  EXPECT_FALSE(parse_tag_record(text + " ", back));
  EXPECT_FALSE(parse_tag_record(text.substr(0, 35), back));
  std::string badState = text;
  badState.replace(16, 4, "0041");
  EXPECT_FALSE(parse_tag_record(badState, back));
}

TEST_F(Binary, ForgedTagPositionsStayInsideTheData) {
  run("h = BinaryAlloc(8)\nBinaryPokeStr(h, 0, '[a]')");
  TagRecord r;
  r.slot = 0;
  r.state = 'F';
  r.startTag = "[";
  r.endTag = "]";
  r.position = 6;
  r.dataLength = 1;
  EXPECT_EQ(eval("BinaryTagExtr('" + format_tag_record(r) + "', 0)"), "error 1581");
  EXPECT_EQ(eval("BinaryTagRepl('" + format_tag_record(r) + "', 'zz')"), "error 1581");
  r.slot = 5;
  r.state = 'I';
  EXPECT_EQ(eval("BinaryTagFind('" + format_tag_record(r) + "')"), "error 3023");
}

TEST_F(Binary, HashRecordsProbeAndStore) {
  run("h = BinaryAlloc(30)");
  // Three records: keys start at (2h + c) mod 2.
  EXPECT_EQ(eval("BinaryHashRec(h, 10, 0, 4, 'ab')"), "0");
  EXPECT_EQ(eval("BinaryHashRec(h, 10, 0, 4, 'AB')"), "0");   // hits ignore case
  EXPECT_EQ(eval("BinaryEodGet(h)"), "30");
  EXPECT_EQ(eval("BinaryHashRec(h, 10, 0, 4, 'c')"), "10");
  EXPECT_EQ(eval("BinaryHashRec(h, 10, 0, 4, 'd')"), "20");   // probes on past the taken ones
  EXPECT_EQ(eval("BinaryPeekStr(h, 20, 10)"), "d");
  EXPECT_EQ(eval("BinaryHashRec(h, 10, 0, 4, 'e')"), "error 1482");
  EXPECT_EQ(eval("BinaryHashRec(h, 10, 0, 4, 'abcde')"), "error 1481");
  EXPECT_EQ(eval("BinaryHashRec(h, 10, 0, 4, '')"), "error 1480");
  EXPECT_EQ(eval("BinaryHashRec(h, 0, 0, 4, 'a')"), "error 1474");
  EXPECT_EQ(eval("BinaryHashRec(h, 10, -1, 4, 'a')"), "error 1475");
  EXPECT_EQ(eval("BinaryHashRec(h, 10, 0, 0, 'a')"), "error 1476");
  EXPECT_EQ(eval("BinaryHashRec(h, 10, 8, 4, 'a')"), "error 1477");
  EXPECT_EQ(eval("BinaryHashRec(h, 31, 0, 4, 'a')"), "error 1478");
  run("one = BinaryAlloc(15)");
  EXPECT_EQ(eval("BinaryHashRec(one, 10, 0, 4, 'zz')"), "0");   // one record: always record 0
}

TEST_F(Binary, SortByEachKeyType) {
  run("h = BinaryAlloc(9)\nBinaryPokeHex(h, 0, '0362 0161 0263 0064 FF')");
  EXPECT_EQ(eval("BinarySort(h, 2, 0, 1, 1)"), "1");
  EXPECT_EQ(eval("BinaryPeekHex(h, 0, 9)"), "0064016102630362FF");   // the odd byte stays
  EXPECT_EQ(eval("BinarySort(h, 2, 1, 1, 0)"), "1");   // string keys, ignoring case
  EXPECT_EQ(eval("BinaryPeekStr(h, 1, 1) : BinaryPeekStr(h, 3, 1) : BinaryPeekStr(h, 5, 1) : BinaryPeekStr(h, 7, 1)"), "abcd");
  EXPECT_EQ(eval("BinarySort(h, 2, 0, 1, 1 | 16)"), "1");
  EXPECT_EQ(eval("BinaryPeekHex(h, 0, 2)"), "0362");
  EXPECT_EQ(eval("BinarySort(h, 2, 1, 1, 4)"), "error 1477");   // a 4-byte key in a 2-byte record
  run("f = BinaryAlloc(24)\nBinaryPokeFlt(f, 0, 2.5)\nBinaryPokeFlt(f, 8, -1.0)\nBinaryPokeFlt(f, 16, 0.5)");
  EXPECT_EQ(eval("BinarySort(f, 8, 0, 8, 8)"), "1");
  EXPECT_EQ(eval("BinaryPeekFlt(f, 0) : ' ' : BinaryPeekFlt(f, 16)"), "-1.0 2.5");
}

TEST_F(Binary, TranslateTablesAndWidths) {
  run("d = BinaryAlloc(4)\nBinaryPokeStr(d, 0, 'ab')\nt = BinaryAlloc(512)\nBinaryEodSet(t, 255)");
  EXPECT_EQ(eval("BinaryXlate(d, t, 0)"), "error 1657");
  EXPECT_EQ(eval("BinaryXlate(d, t, 4)"), "error 1656");
  run("BinaryEodSet(t, 256)\nBinaryPoke(t, 97, 65)\nBinaryPoke(t, 98, 66)");
  EXPECT_EQ(eval("BinaryXlate(d, t, 0)"), "2");
  EXPECT_EQ(eval("BinaryPeekStr(d, 0, 4)"), "AB");
  run("BinaryEodSet(t, 512)");
  EXPECT_EQ(eval("BinaryXlate(d, t, 1)"), "4");
  EXPECT_EQ(eval("BinaryXlate(d, t, 1)"), "error 1663");
  run("BinaryEodSet(d, 3)");
  EXPECT_EQ(eval("BinaryXlate(d, t, 2)"), "error 1659");
  run("e = BinaryAlloc(4)");
  EXPECT_EQ(eval("BinaryXlate(e, t, 9)"), "0");   // empty data: nothing to check
}

TEST_F(Binary, KnownChecksums) {
  run("h = BinaryAlloc(8)\nBinaryPokeStr(h, 0, 'abc')");
  EXPECT_EQ(eval("BinaryChecksum(h, 0)"), "90015098-3cd24fb0-d6963f7d-28e17f72");
  EXPECT_EQ(eval("BinaryChecksum(h, 1)"), "9738");
  EXPECT_EQ(eval("BinaryChecksum(h, 2)"), "352441c2");
  EXPECT_EQ(eval("BinaryChecksum(h, 3)"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(eval("BinaryChecksum(h, 4)"), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EXPECT_EQ(eval("BinaryChecksum(h, 5)"), "error 1704");
  EXPECT_EQ(eval("BinaryChecksum(h, -1)"), "error 1704");
  run("BinaryEodSet(h, 0)");
  EXPECT_EQ(eval("BinaryChecksum(h, 2)"), "00000000");
  EXPECT_EQ(eval("BinaryChecksum(h, 4)"), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

TEST_F(Binary, ConvertBetweenWidthsAndCases) {
  run("h = BinaryAlloc(8)\nBinaryPokeStr(h, 0, 'abC')");
  EXPECT_EQ(eval("BinaryConvert(h, 0, 3, 0, 1)"), "6");
  EXPECT_EQ(eval("BinaryPeekHex(h, 0, 6)"), "410042004300");
  EXPECT_EQ(eval("BinaryConvert(h, 3, 0, 0, 2)"), "3");
  EXPECT_EQ(eval("BinaryPeekStr(h, 0, 8)"), "abc");
  EXPECT_EQ(eval("BinaryConvert(h, 0, 3, 0, 3)"), "error 1555");
  EXPECT_EQ(eval("BinaryConvert(h, 0, 3, 0, 4)"), "error 1554");
  EXPECT_EQ(eval("BinaryConvert(h, 4, 3, 0, 0)"), "error 1553");
  run("BinaryPokeStr(h, 0, 'abcde')");
  EXPECT_EQ(eval("BinaryConvert(h, 0, 3, 0, 0)"), "error 1556");
  EXPECT_EQ(eval("BinaryPeekStr(h, 0, 8)"), "abcde");   // unchanged
  run("BinaryPokeHex(h, 0, 'C3A9')\nBinaryEodSet(h, 2)");
  EXPECT_EQ(eval("BinaryConvert(h, 2, 3, 65001, 0)"), "2");
  EXPECT_EQ(eval("BinaryPeekHex(h, 0, 2)"), "E900");
  run("BinaryEodSet(h, 1)");
  EXPECT_EQ(eval("BinaryConvert(h, 3, 0, 0, 0)"), "error 1557");
  run("BinaryEodSet(h, 0)");
  EXPECT_EQ(eval("BinaryConvert(h, 0, 3, 0, 0)"), "0");
}

std::string random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& ch : s) ch = static_cast<char>(gen());
  return s;
}

std::string round_trip(const std::string& in, std::size_t capacity) {
  std::string packed(capacity, '\0'), back(in.size(), '\0');
  const auto* p = reinterpret_cast<const std::uint8_t*>(in.data());
  const std::int64_t n = compress_bytes(p, in.size(), reinterpret_cast<std::uint8_t*>(packed.data()), capacity, 6);
  if (n < 0) return "compress failed";
  const std::int64_t m = uncompress_bytes(reinterpret_cast<const std::uint8_t*>(packed.data()), static_cast<std::size_t>(n),
                                          reinterpret_cast<std::uint8_t*>(back.data()), back.size());
  if (m != static_cast<std::int64_t>(in.size())) return "uncompress failed";
  return back;
}

TEST(Compression, RoundTripsOfEverySize) {
  EXPECT_EQ(round_trip("", 64), "");
  EXPECT_EQ(round_trip("a", 64), "a");
  const std::string noise = random_bytes(100000, 7);
  EXPECT_EQ(round_trip(noise, 101000), noise);
  EXPECT_EQ(round_trip(noise, 90000), "compress failed");   // incompressible data does not fit
  std::string big(10u << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>("0123456789abcdef"[(i * 7 + i / 1000) % 16]);
  EXPECT_TRUE(round_trip(big, big.size()) == big);
}

TEST(Compression, DamagedStreamsAreRejectedWithoutTouchingTheOutput) {
  const std::string text(5000, 'q');
  std::string packed(6000, '\0');
  const std::int64_t n = compress_bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                        reinterpret_cast<std::uint8_t*>(packed.data()), packed.size(), 9);
  ASSERT_GT(n, 0);
  packed.resize(static_cast<std::size_t>(n));
  std::string out(5000, '#');
  auto unpack = [&](const std::string& in, std::size_t cap) {
    return uncompress_bytes(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(),
                            reinterpret_cast<std::uint8_t*>(out.data()), cap);
  };
  EXPECT_EQ(unpack(packed.substr(0, packed.size() - 1), out.size()), -1);   // truncated
  std::string flipped = packed;
  flipped[flipped.size() / 2] ^= 0x55;
  EXPECT_EQ(unpack(flipped, out.size()), -1);
  EXPECT_EQ(unpack(packed, 4999), -1);   // does not fit
  EXPECT_EQ(unpack("", out.size()), -1);
  EXPECT_EQ(out, std::string(5000, '#'));
  EXPECT_EQ(unpack(packed, out.size()), 5000);
}

TEST_F(Binary, CompressBetweenBuffers) {
  run("s = BinaryAlloc(1000)\nt = BinaryAlloc(100)\nu = BinaryAlloc(1000)\nBinaryPokeStr(s, 0, StrFill('ab', 1000))");
  const std::string packed = eval("BinaryComp(s, t, 9)");
  ASSERT_LT(std::stoi(packed), 100);
  EXPECT_EQ(eval("BinaryUncomp(t, u)"), "1000");
  EXPECT_EQ(eval("BinaryCompare(s, 0, u, 0, 1000)"), "1");
  EXPECT_EQ(eval("BinaryComp(s, t, 99)"), "error 1592");
  EXPECT_EQ(eval("BinaryEodGet(t)"), packed);   // a failed call leaves the target
  EXPECT_EQ(eval("BinaryUncomp(s, u)"), "error 1593");
  const std::string inPlace = eval("BinaryComp(s, s)");   // in place through a work block
  EXPECT_EQ(eval("BinaryEodGet(s)"), inPlace);
  EXPECT_EQ(eval("BinaryUncomp(s, u)"), "1000");
}

TEST_F(Binary, FilesWholeAndInRanges) {
  const std::string path = temp_path("a.bin");
  run("h = BinaryAlloc(10)\nBinaryPokeStr(h, 0, 'hello')\np = '" + path + "'");
  EXPECT_EQ(eval("BinaryWrite(h, p)"), "5");
  EXPECT_EQ(std::filesystem::file_size(path), 5u);
  run("r = BinaryAlloc(5)");
  EXPECT_EQ(eval("BinaryRead(r, p)"), "5");
  EXPECT_EQ(eval("BinaryPeekStr(r, 0, 5)"), "hello");
  run("small = BinaryAlloc(4)");
  EXPECT_EQ(eval("BinaryRead(small, p)"), "error 1330");
  EXPECT_EQ(eval("BinaryRead(small, p : '.missing')"), "error 1077");
  EXPECT_EQ(eval("BinaryReadEx(small, 0, p, '3', -1)"), "2");
  EXPECT_EQ(eval("BinaryPeekStr(small, 0, 4)"), "lo");
  EXPECT_EQ(eval("BinaryReadEx(small, 1, p, '0', 4)"), "error 1544");
  EXPECT_EQ(eval("BinaryReadEx(small, 4, p, '0', 1)"), "error 1543");
  EXPECT_EQ(eval("BinaryReadEx(small, 0, p, '6', 1)"), "error 1545");
  EXPECT_EQ(eval("BinaryReadEx(small, 0, p, '-1', 1)"), "error 1548");
  EXPECT_EQ(eval("BinaryReadEx(small, 0, p, 'x', 1)"), "error 1548");
  EXPECT_EQ(eval("BinaryReadEx(small, 0, p, '0', -2)"), "error 1549");
  EXPECT_EQ(eval("BinaryReadEx(small, 0, p, '5', -1)"), "0");
  EXPECT_EQ(eval("BinaryWriteEx(h, 1, p, '8', 2)"), "2");   // gap filled with zeros
  EXPECT_EQ(std::filesystem::file_size(path), 10u);
  run("big = BinaryAlloc(16)");
  EXPECT_EQ(eval("BinaryRead(big, p)"), "10");
  EXPECT_EQ(eval("BinaryPeekHex(big, 0, 10)"), "68656C6C6F000000656C");
  EXPECT_EQ(eval("BinaryWriteEx(h, 5, p, '0', 1)"), "error 1550");
  EXPECT_EQ(eval("BinaryWriteEx(h, 4, p, '0', 2)"), "error 1551");
  EXPECT_EQ(eval("BinaryWriteEx(h, 10, p, '0', 1)"), "error 1543");
  EXPECT_EQ(eval("BinaryWriteEx(0, 0, p, '3', -1)"), "0");   // truncates; the handle is not used
  EXPECT_EQ(std::filesystem::file_size(path), 3u);
  EXPECT_EQ(eval("BinaryWriteEx(0, 0, p, '0', -1)"), "0");
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  EXPECT_EQ(eval("BinaryWriteEx(0, 0, p, '40000', -1)"), "0");   // extends with zeros
  EXPECT_EQ(std::filesystem::file_size(path), 40000u);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace orv::test
