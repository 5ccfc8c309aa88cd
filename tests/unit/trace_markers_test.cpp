// Debug-trace texts: type names, entries, errors and dump frames.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/trace/markers.h"
#include "engine/trace/target.h"

namespace orv::trace {
namespace {

TEST(TraceTypeNames, KindBitsInTheirOrder) {
  EXPECT_EQ(type_name(0, 0), "UNDEFINED");
  EXPECT_EQ(type_name(0x0008, 0), "UNINITIALIZED");
  EXPECT_EQ(type_name(0x0001 | 0x0002, 0), "INT/STRING");
  EXPECT_EQ(type_name(0x2000, 0), "INT64");
  EXPECT_EQ(type_name(0x0020 | 0x0002, 0), "STRING/FLOAT");
  // A file or buffer handle is an integer too, but named by its handle kind.
  EXPECT_EQ(type_name(0x0001 | 0x0004, 0), "FILE");
  EXPECT_EQ(type_name(0x0001 | 0x0040, 0), "BINBUF");
  EXPECT_EQ(type_name(0x0100, 0), "ARRAY");
  EXPECT_EQ(type_name(0x0080 | 0x0002, 0), "STRING/UNICODE");
  EXPECT_EQ(type_name(0x0200 | 0x0400, 9), "COMOBJ");
  EXPECT_EQ(type_name(0x0200, 8), "VARIANT_BSTR");
  EXPECT_EQ(type_name(0x0200 | 0x0800, 3), "VARIANT_I4/COMTEMP");
  EXPECT_EQ(type_name(0x1000, 0), "UNKNOWN");
}

TEST(TraceMarkers, ConditionsPickTheirWord) {
  EXPECT_EQ(event_marker(ev::kSingleIf, 1, false), "==>TRUE=>");
  EXPECT_EQ(event_marker(ev::kSingleIf, 0, false), "==>FALSE=> (skipped)");
  EXPECT_EQ(event_marker(ev::kIfBlock, 0, false), "IF DO==>FALSE");
  EXPECT_EQ(event_marker(ev::kElse, 1, false), "ELSE DO==>TRUE");
  EXPECT_EQ(event_marker(ev::kElseIf, 1, false), "ELSEIF DO==>TRUE");
  EXPECT_EQ(event_marker(ev::kWhile, 0, false), "WHILE==>FALSE");
  EXPECT_EQ(event_marker(ev::kFor, 1, false), "FOR TRUE==>");
  EXPECT_EQ(event_marker(ev::kCase, 0, false), "CASE FALSE==>");
  EXPECT_EQ(event_marker(ev::kBreak, 0, false), "BREAK IGNORED");
  EXPECT_EQ(event_marker(ev::kContinue, 1, false), "CONTINUING");
  EXPECT_EQ(event_marker(ev::kGosubOrReturn, 1, false), "GOSUB");
  EXPECT_EQ(event_marker(ev::kGosubOrReturn, 1, true), "RETURN VALUE");
  EXPECT_EQ(event_marker(ev::kSkipped, 0, false), "STATEMENT SKIPPED");
  EXPECT_EQ(event_marker(ev::kEnd, 0, false), "END OPERATOR");
}

TEST(TraceEntries, StatementEntryWithAndWithoutTime) {
  const std::string value = "VALUE" + value_part("INT", "5");
  EXPECT_EQ(statement_entry("a = 5", 12u, value), "\r\na = 5\r\n(12) VALUE INT => 5");
  EXPECT_EQ(statement_entry("a = 5", std::nullopt, value), "\r\na = 5\r\nVALUE INT => 5");
}

TEST(TraceEntries, ErrorWordsBySourceAndOutcome) {
  EXPECT_EQ(error_entry(ErrorSource::interpreter, true, 3058, "m"), "\r\nTERMINAL ORV ERROR=>3058 (m)");
  EXPECT_EQ(error_entry(ErrorSource::interpreter, false, 1, "m"), "\r\nORV ERROR SUPPRESSED =>1 (m)");
  EXPECT_EQ(error_entry(ErrorSource::udf, true, 2, "m"), "\r\nTERMINAL UDF ERROR OCCURRED -- JOB EXITING=>2 (m)");
  EXPECT_EQ(error_entry(ErrorSource::user, false, 1668, "m"), "\r\nUSER-DEFINED ERROR SUPPRESSED =>1668 (m)");
  EXPECT_EQ(error_entry(ErrorSource::extender, true, 3215, "m"), "\r\nTERMINAL EXTENDER ERROR=>3215 (m)");
}

TEST(TraceEntries, CaptionsBannersAndEnd) {
  EXPECT_EQ(caption_entry(3, "hi"), "\r\nhi\r\n");
  EXPECT_EQ(caption_entry(4, "hi"), "\r\n" + std::string(80, '$') + "\r\nhi\r\n" + std::string(80, '$') + "\r\n");
  EXPECT_EQ(udf_entered(7, "f"), "\r\n--- (7) In UDF (f) ---");
  EXPECT_EQ(udf_left("f"), "\r\n--- Leaving UDF (f) ---");
  EXPECT_EQ(error_mode_entry(0), "\r\n********** ErrorMode: @OFF **********");
  EXPECT_EQ(error_mode_entry(7), "\r\n********** ErrorMode: ??? **********");
  EXPECT_EQ(end_of_job(false, true), "\r\n--- Normal termination ---\r\n;;;END OF JOB;;;\r\n");
  EXPECT_EQ(end_of_job(true, false), "\r\n********** Warning: Structure level not 0 **********\r\n;;;END OF JOB;;;\r\n");
}

TEST(TraceHeader, FramedByRulesAndEndsWithTheBanner) {
  SystemFacts f;
  f.version = "1.0";
  f.platform = "NT";
  f.major = 10;
  f.build = 19045;
  f.errorMode = 2;
  f.counters = false;
  const std::string h = header(f, true);
  EXPECT_EQ(h.rfind(std::string(30, '=') + "\r\nORV DLL 1.0\r\nWindows platform: NT, version: 10.0, build: 19045\r\n"
                    "ErrorMode: @NOTIFY\r\nPerformance counters are disabled", 0), 0u);
  EXPECT_NE(h.find("UAC Elevation Level: <Unknown>\r\n" + std::string(30, '=') + "\r\n*** Error Dump Initialized ***"),
            std::string::npos);
  EXPECT_EQ(header(f, false).substr(header(f, false).size() - 25), "*** Debug Initialized ***");
}

TEST(TraceDumps, FramesAndLineFormats) {
  EXPECT_EQ(framed_dump(Dump::structures, {"row"}),
            "\r\n---------- Begin structure stack dump ----------\r\nrow\r\n-------- End structure stack dump --------"
            "\r\n\r\n" + std::string(60, '*') + "\r\n\r\n");
  EXPECT_EQ(variable_line("a", "5"), "a              5");
  EXPECT_EQ(variable_line("a_very_long_name", "5"), "a_very_long_name  5");
  api::KeywordRecord r{};
  r.id = 382;
  r.kind = 2;
  r.argTypes = 0x0000000100000010ULL;
  r.counts = 0x201;
  r.nameLength = 10;
  std::strcpy(r.name, "debugtrace");
  EXPECT_EQ(function_line(r), " 382,  2,  0000000100000010,       201,  10,  debugtrace");
}

TEST(TraceTarget, DebuggerNameKeptOtherNamesMadeFull) {
  EXPECT_EQ(target_path("*debugdata*"), "*DEBUGDATA*");
  EXPECT_TRUE(is_debugger_target("*DEBUGDATA*"));
  EXPECT_FALSE(is_debugger_target("*DEBUGDATA"));
  const std::string full = target_path("trace.txt");
  EXPECT_NE(full, "trace.txt");
  EXPECT_EQ(full.substr(full.size() - 9), "trace.txt");
}

}  // namespace
}  // namespace orv::trace
