// Lines written to a text file wait in a buffer, and every point where
// someone else could look at the file writes them out first. A device that
// refuses every write (/dev/full) shows when a flush happens: the failure
// surfaces at the call that caused it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "builtins/files/file_table.h"
#include "engine/context.h"
#include "tests/unit/host_fixture.h"

namespace orv {
namespace {


class WriteBufferTest : public test::FileHostTest {
 protected:
  WriteBufferTest() : FileHostTest("orv_wbuf_") {}
  // $F stands for the file's path, $G for a second file's.
  std::uint32_t run_on(std::string script) {
    const std::pair<const char*, std::string> names[] = {{"$F", path("f.txt")}, {"$G", path("g.txt")}};
    for (const auto& [word, p] : names)
      for (std::size_t at; (at = script.find(word)) != std::string::npos;) script.replace(at, 2, "\"" + p + "\"");
    return run(script);
  }
  int open_files() { return engine().files ? engine().files->open_count() : 0; }
};

bool have_full_device() { return ::access("/dev/full", W_OK) == 0; }

// ---- Nothing is lost, wherever the run leaves the file ----

TEST_F(WriteBufferTest, LinesReachTheFileWhenTheRunEndsWithTheFileOpen) {
  ASSERT_EQ(run_on("h = FileOpen($F, \"WRITE\")\nFileWrite(h, \"one\")\nFileWrite(h, \"two\")\n"), 0u);
  EXPECT_EQ(open_files(), 1);   // still open: it closes at the end of the context
  EXPECT_EQ(bytes("f.txt"), "one\r\ntwo\r\n");
}

TEST_F(WriteBufferTest, LinesReachTheFileWhenAnErrorEndsTheRun) {
  ASSERT_EQ(run_on("h = FileOpen($F, \"WRITE\")\nFileWrite(h, \"kept\")\nx = 1 / 0\nFileWrite(h, \"never\")\n"),
            3062u);
  EXPECT_EQ(open_files(), 1);
  EXPECT_EQ(bytes("f.txt"), "kept\r\n");
}

TEST_F(WriteBufferTest, LinesReachTheFileWhenTheLastValueHoldingItGoes) {
  ASSERT_EQ(run_on("h = FileOpen($F, \"WRITE\")\nFileWrite(h, \"a\")\nh = 0\n"
                   "g = FileOpen($G, \"WRITE\")\nFileWrite(g, \"b\")\nDrop(g)\n"),
            0u);
  EXPECT_EQ(open_files(), 0);
  EXPECT_EQ(bytes("f.txt"), "a\r\n");
  EXPECT_EQ(bytes("g.txt"), "b\r\n");
}

TEST_F(WriteBufferTest, LinesReachTheFileAtTermination) {
  ASSERT_EQ(run_on("h = FileOpen($F, \"WRITE\")\n"), 0u);
  // A run writes its lines when it ends, so put some pending by hand.
  files::FileSlot* slot = engine().files->find(std::stoll(variable("h")));
  ASSERT_NE(slot, nullptr);
  slot->pending = "late\r\n";
  engine().files->note_pending();
  DoDaDllInit(0, context, api::kVersionWord, api::kTerminate, 0, 0, 0);
  EXPECT_EQ(bytes("f.txt"), "late\r\n");
}

TEST_F(WriteBufferTest, LinesLongerThanTheBufferArriveWholeAndInOrder) {
  ASSERT_EQ(run_on("h = FileOpen($F, \"WRITE\")\nFileWrite(h, \"a\")\nFileWrite(h, StrFill(\"x\", 300000))\n"
                   "FileWrite(h, \"b\")\nFileClose(h)\n"),
            0u);
  EXPECT_EQ(bytes("f.txt"), "a\r\n" + std::string(300000, 'x') + "\r\nb\r\n");
}

// ---- The script itself sees its lines through other paths ----

TEST_F(WriteBufferTest, AFileOpenedAgainReadsEveryLineWrittenSoFar) {
  ASSERT_EQ(run_on("h = FileOpen($F, \"WRITE\")\nFileWrite(h, \"first\")\n"
                   "r = FileOpen($F, \"READ\")\nStdOut(FileRead(r))\n"
                   "FileWrite(h, \"second\")\nStdOut(FileRead(r))\nStdOut(FileRead(r))\n"
                   "FileClose(r)\nFileClose(h)\n"),
            0u);
  // The second line went out at once: the file was open twice.
  EXPECT_EQ(output, "first\nsecond\n*EOF*\n");
}

TEST_F(WriteBufferTest, TwoHandlesOnOneFileKeepTheOrderOfTheirLines) {
  ASSERT_EQ(run_on("a = FileOpen($F, \"APPEND\")\nb = FileOpen($F, \"APPEND\")\n"
                   "FileWrite(a, \"a1\")\nFileWrite(b, \"b1\")\nFileWrite(a, \"a2\")\nFileClose(b)\nFileClose(a)\n"),
            0u);
  // Each handle writes at its own position, both starting at the end they
  // found: b1 lands over a1, as it did when every line went out at once.
  EXPECT_EQ(bytes("f.txt"), "b1\r\na2\r\n");
}

TEST_F(WriteBufferTest, CopiesAndAppendsSeeTheLinesBeforeTheFileCloses) {
  ASSERT_EQ(run_on("h = FileOpen($F, \"WRITE\")\nFileWrite(h, \"x\")\nFileCopy($F, $G, @FALSE)\n"
                   "FileWrite(h, \"y\")\nFileAppend($F, $G)\nFileClose(h)\n"),
            0u);
  EXPECT_EQ(bytes("g.txt"), "x\r\nx\r\ny\r\n");
}

// ---- When the lines go out: visible through a device that refuses them ----

TEST_F(WriteBufferTest, LinesWaitThroughTextWorkAndFailOnlyAtClose) {
  if (!have_full_device()) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(run("h = FileOpen(\"/dev/full\", \"WRITE\")\nFileWrite(h, \"a\")\nn = StrLen(\"abc\") + Abs(-2)\n"
                "s = ItemExtract(1, \"p q\", \" \")\nFileWrite(h, \"b\")\nstep = 1\nFileClose(h)\nstep = 2\n"),
            3467u);
  EXPECT_EQ(variable("step"), "1");
  EXPECT_EQ(open_files(), 0);   // closed all the same
}

TEST_F(WriteBufferTest, AnyOtherBuiltInWritesThemFirst) {
  if (!have_full_device()) GTEST_SKIP() << "no /dev/full";
  // The failed flush before FileExist is held; the next FileWrite tries
  // again and reports it.
  ASSERT_EQ(run("h = FileOpen(\"/dev/full\", \"WRITE\")\nFileWrite(h, \"a\")\nx = FileExist(\"/\")\nstep = 1\n"
                "FileWrite(h, \"b\")\nstep = 2\n"),
            3467u);
  EXPECT_EQ(variable("step"), "1");
}

TEST_F(WriteBufferTest, AFullBufferGoesOutFromTheWriteThatFillsIt) {
  if (!have_full_device()) GTEST_SKIP() << "no /dev/full";
  // Lines of 1000 characters and CR LF: the 66th reaches 64 KB.
  ASSERT_EQ(run("h = FileOpen(\"/dev/full\", \"WRITE\")\nline = StrFill(\"x\", 1000)\n"
                "For i = 1 To 100\n  FileWrite(h, line)\nNext\n"),
            3467u);
  EXPECT_EQ(variable("i"), "66");
}

}  // namespace
}  // namespace orv
