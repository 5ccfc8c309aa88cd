#include <gtest/gtest.h>

#include <string>

#include "engine/error_report.h"

namespace {

using orv::ui::ErrorChoice;
using orv::ui::ErrorReport;
using orv::ui::TracebackRow;
using orv::ui::traceback_short_text;
using orv::ui::traceback_tab_row;
using orv::ui::traceback_text_row;

TEST(Traceback, TextRowPadsEveryColumn) {
  const TracebackRow row{1, "while", 3, "while x < 10", "C:\\x.orv"};
  EXPECT_EQ(traceback_text_row(row),
            "  1 while               3 while x < 10                     C:\\x.orv");
  const TracebackRow wide{1234, "<dlg_callback>", 1234567, "", "f"};
  EXPECT_EQ(traceback_text_row(wide), "1234 <dlg_callback> 1234567                                  f");
}

TEST(Traceback, LineTextIsCutOnlyAboveThirtyTwo) {
  const std::string exact(32, 'a');
  const std::string longer = std::string(29, 'b') + "cdef";
  EXPECT_EQ(traceback_short_text(exact), exact);
  EXPECT_EQ(traceback_short_text(longer), std::string(29, 'b') + "...");
  EXPECT_EQ(traceback_short_text(""), "");

  const TracebackRow cut{2, "<error>", 12, longer, "C:\\dir\\script.orv"};
  const std::string text = traceback_text_row(cut);
  EXPECT_EQ(text, "  2 <error>            12 " + std::string(29, 'b') + "... C:\\dir\\script.orv");
  EXPECT_EQ(text.find("cdef"), std::string::npos);
}

TEST(Traceback, TypeColumnHoldsFourteenCharacters) {
  const TracebackRow row{1, "abcdefghijklmnopq", 1, "x", "f"};
  EXPECT_EQ(traceback_text_row(row).substr(4, 15), "abcdefghijklmn ");
}

TEST(Traceback, TabRowKeepsFullTextAndPath) {
  const std::string longer(40, 'z');
  const TracebackRow row{3, "gosub", -5, longer, "C:\\a folder\\b.orv"};
  EXPECT_EQ(traceback_tab_row(row), "3\tgosub\t-5\t" + longer + "\tC:\\a folder\\b.orv");
  EXPECT_EQ(traceback_tab_row(TracebackRow{}), "0\t\t0\t\t");
}

TEST(ErrorDialogNative, WritesTheReportAndEndsTheRun) {
  ErrorReport report;
  report.caption = "Error:  host";
  report.message = "3052:  Uninitialized variable";
  report.lineInfo = "On line 4 of C:\\x.orv";
  report.fileInfo = "In C:\\x.orv";
  report.statement = "x = y";
  report.additional = "name:\n\n    y";
  report.traceback = {{1, "<error>", 4, "x = y", "C:\\x.orv"}};
  report.withContinue = true;  // no one to ask: still ends the run
  testing::internal::CaptureStderr();
  const ErrorChoice choice = orv::ui::show_error_dialog(report);
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(choice, ErrorChoice::exit);
  EXPECT_EQ(out,
            "Error:  host\n"
            "3052:  Uninitialized variable\n"
            "On line 4 of C:\\x.orv\n"
            "    >>> x = y\n"
            "    name:\n\n        y\n"
            "Traceback:\n"
            "  1 <error>             4 x = y                            C:\\x.orv\n");
}

}  // namespace
