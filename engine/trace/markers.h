// Text of the debug trace: value-type names, the vocabulary of statement
// entries, error entries, captions and the framing of dumps. Pure formatting,
// so every shape can be checked without running a script.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "api/orv_api.h"

namespace orv::trace {

// "INT/STRING", "UNDEFINED", "VARIANT_BSTR"... from a value record's kind bits.
std::string type_name(std::uint32_t flags, std::uint16_t variantType);

// Trace event codes the statement executor records.
namespace ev {
inline constexpr int kValue = 0, kSingleIf = 1, kSkipped = 2, kWhile = 3, kEnd = 4, kSwitch = 5, kBreak = 6,
                     kContinue = 7, kFor = 8, kGosubOrReturn = 9, kIfBlock = 10, kElse = 11, kCase = 12,
                     kCall = 14, kElseIf = 15;
}

// The vocabulary word of an event; `isReturn` picks "RETURN VALUE" over "GOSUB".
std::string event_marker(int event, int condition, bool isReturn);
// " TYPE => value", appended to markers that carry a value.
std::string value_part(std::string_view typeName, std::string_view valueText);
// "(ms) ", or nothing when the elapsed time is left out.
std::string time_prefix(std::optional<std::uint32_t> elapsedMs);
// "\r\n" statement "\r\n" then the prefixed marker.
std::string statement_entry(std::string_view statement, std::optional<std::uint32_t> elapsedMs,
                            std::string_view marker);

enum class ErrorSource { interpreter, extender, udf, user };
std::string error_entry(ErrorSource source, bool terminal, std::uint32_t number, std::string_view message);

// DebugTrace 3 and 4 (and 203, 204): free text in the trace.
std::string caption_entry(int kind, std::string_view text);

std::string udf_entered(std::uint32_t line, std::string_view name);   // "--- (12) In UDF (name) ---"
std::string udf_left(std::string_view name);                          // "--- Leaving UDF (name) ---"
std::string banner(std::optional<std::uint32_t> elapsedMs, std::string_view word, std::string_view name);
std::string error_mode_entry(std::uint32_t mode);
std::string end_of_job(bool structuresOpen, bool normal);

struct SystemFacts {
  std::string version;           // the interpreter's version string
  std::string platform;          // "NT", ...
  unsigned long major = 0, minor = 0, build = 0;
  std::uint32_t errorMode = 1;
  bool counters = true;          // performance counters enabled
  std::string signature = "<Unknown>";
  std::string manifestLevel = "<Unknown>", manifestUiAccess = "<Unknown>";
  std::string elevation = "<Unknown>";
};
std::string header(const SystemFacts& facts, bool errorDump);

enum class Dump { variables, functions, structures, settings, internal };
std::string framed_dump(Dump which, const std::vector<std::string>& lines);
std::string variable_line(std::string_view name, std::string_view text);
std::string function_line(const api::KeywordRecord& r);
inline constexpr char kExtenderDivider[] = "------------------ Extenders ------------------";

}  // namespace orv::trace
