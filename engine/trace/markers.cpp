// Trace texts. Lines end in "\r\n" whatever the platform: the trace file is
// read with the same tools on every machine.
#include "engine/trace/markers.h"

#include <cstdio>
#include <cstring>

#include "engine/object_hooks.h"

namespace orv::trace {
namespace {

constexpr std::uint32_t kInt = 0x0001, kStr = 0x0002, kFile = 0x0004, kDeclared = 0x0008, kFloat = 0x0020,
                        kBinary = 0x0040, kWide = 0x0080, kArray = 0x0100, kCom = 0x0200, kComObject = 0x0400,
                        kAttached = 0x0800, kInt64 = 0x2000;

std::string error_mode_name(std::uint32_t mode) {
  switch (mode) {
    case 0: return "@OFF";
    case 1: return "@CANCEL";
    case 2: return "@NOTIFY";
    default: return "???";
  }
}

}  // namespace

std::string type_name(std::uint32_t flags, std::uint16_t variantType) {
  if (flags == 0) return "UNDEFINED";
  if (flags == kDeclared) return "UNINITIALIZED";
  std::string name;
  if ((flags & kInt) && !(flags & (kFile | kBinary))) name += "INT/";
  if (flags & kInt64) name += "INT64/";
  if (flags & kStr) name += "STRING/";
  if (flags & kFile) name += "FILE/";
  if (flags & kFloat) name += "FLOAT/";
  if (flags & kBinary) name += "BINBUF/";
  if (flags & kArray) name += "ARRAY/";
  if (flags & kComObject) name += "COMOBJ/";
  else if (flags & kCom) name += "VARIANT_" + com::vartype_text(variantType, false) + "/";
  if (flags & kWide) name += "UNICODE/";
  if (flags & kAttached) name += "COMTEMP/";
  if (name.empty()) return "UNKNOWN";
  name.pop_back();
  return name;
}

std::string event_marker(int event, int condition, bool isReturn) {
  const bool yes = condition != 0;
  switch (event) {
    case ev::kValue: return "VALUE";
    case ev::kSingleIf: return yes ? "==>TRUE=>" : "==>FALSE=> (skipped)";
    case ev::kSkipped: return "STATEMENT SKIPPED";
    case ev::kWhile: return yes ? "WHILE==>TRUE" : "WHILE==>FALSE";
    case ev::kEnd: return "END OPERATOR";
    case ev::kSwitch: return "SWITCH==>";
    case ev::kBreak: return yes ? "BREAKING" : "BREAK IGNORED";
    case ev::kContinue: return yes ? "CONTINUING" : "CONTINUE IGNORED";
    case ev::kFor: return yes ? "FOR TRUE==>" : "FOR FALSE==>";
    case ev::kGosubOrReturn: return isReturn ? "RETURN VALUE" : "GOSUB";
    case ev::kIfBlock: return yes ? "IF DO==>TRUE" : "IF DO==>FALSE";
    case ev::kElse: return yes ? "ELSE DO==>TRUE" : "ELSE DO==>FALSE";
    case ev::kCase: return yes ? "CASE TRUE==>" : "CASE FALSE==>";
    case ev::kCall: return "CALLING SCRIPT";
    case ev::kElseIf: return yes ? "ELSEIF DO==>TRUE" : "ELSEIF DO==>FALSE";
    default: return "VALUE";
  }
}

std::string value_part(std::string_view typeName, std::string_view valueText) {
  std::string s = " ";
  s += typeName;
  s += " => ";
  s += valueText;
  return s;
}

std::string time_prefix(std::optional<std::uint32_t> elapsedMs) {
  if (!elapsedMs) return {};
  return "(" + std::to_string(*elapsedMs) + ") ";
}

std::string statement_entry(std::string_view statement, std::optional<std::uint32_t> elapsedMs,
                            std::string_view marker) {
  std::string s = "\r\n";
  s += statement;
  s += "\r\n";
  s += time_prefix(elapsedMs);
  s += marker;
  return s;
}

std::string error_entry(ErrorSource source, bool terminal, std::uint32_t number, std::string_view message) {
  const char* word = "";
  switch (source) {
    case ErrorSource::interpreter: word = terminal ? "TERMINAL ORV ERROR=>" : "ORV ERROR SUPPRESSED =>"; break;
    case ErrorSource::extender: word = terminal ? "TERMINAL EXTENDER ERROR=>" : "EXTENDER ERROR SUPPRESSED =>"; break;
    case ErrorSource::udf:
      word = terminal ? "TERMINAL UDF ERROR OCCURRED -- JOB EXITING=>" : "UDF ERROR SUPPRESSED =>";
      break;
    case ErrorSource::user:
      word = terminal ? "TERMINAL USER-DEFINED ERROR=>" : "USER-DEFINED ERROR SUPPRESSED =>";
      break;
  }
  std::string s = "\r\n";
  s += word;
  s += std::to_string(number);
  s += " (";
  s += message;
  s += ")";
  return s;
}

std::string caption_entry(int kind, std::string_view text) {
  std::string s = "\r\n";
  if (kind == 4) s += std::string(80, '$') + "\r\n";
  s += text;
  s += "\r\n";
  if (kind == 4) s += std::string(80, '$') + "\r\n";
  return s;
}

std::string udf_entered(std::uint32_t line, std::string_view name) {
  return "\r\n--- (" + std::to_string(line) + ") In UDF (" + std::string(name) + ") ---";
}

std::string udf_left(std::string_view name) { return "\r\n--- Leaving UDF (" + std::string(name) + ") ---"; }

std::string banner(std::optional<std::uint32_t> elapsedMs, std::string_view word, std::string_view name) {
  std::string s = "\r\n" + time_prefix(elapsedMs);
  s += word;
  if (!name.empty()) {
    s += " ";
    s += name;
  }
  return s;
}

std::string error_mode_entry(std::uint32_t mode) {
  return "\r\n********** ErrorMode: " + error_mode_name(mode) + " **********";
}

std::string end_of_job(bool structuresOpen, bool normal) {
  std::string s;
  if (structuresOpen) s += "\r\n********** Warning: Structure level not 0 **********";
  if (normal) s += "\r\n--- Normal termination ---";
  s += "\r\n;;;END OF JOB;;;\r\n";
  return s;
}

std::string header(const SystemFacts& f, bool errorDump) {
  const std::string rule(30, '=');
  std::string s = rule + "\r\n";
  s += "ORV DLL " + f.version + "\r\n";
  char line[160];
  std::snprintf(line, sizeof line, "Windows platform: %s, version: %lu.%lu, build: %lu", f.platform.c_str(), f.major,
                f.minor, f.build);
  s += line;
  s += "\r\nErrorMode: " + error_mode_name(f.errorMode) + "\r\n";
  if (!f.counters)
    s += "Performance counters are disabled (HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\PerfProc\\"
         "Performance[Disable Performance Counters])\r\n";
  s += "Valid Code Signature: " + f.signature + "\r\n";
  s += "UAC Manifest Settings: level=" + f.manifestLevel + " uiAccess=" + f.manifestUiAccess + "\r\n";
  s += "UAC Elevation Level: " + f.elevation + "\r\n";
  s += rule + "\r\n";
  s += errorDump ? "*** Error Dump Initialized ***" : "*** Debug Initialized ***";
  return s;
}

std::string framed_dump(Dump which, const std::vector<std::string>& lines) {
  static constexpr const char* kFrames[][2] = {
      {"---------- Begin variable table dump ----------", "----------- End variable table dump -----------"},
      {"---------- Begin function table dump ----------", "----------- End function table dump -----------"},
      {"---------- Begin structure stack dump ----------", "-------- End structure stack dump --------"},
      {"---------- Begin TARNQUIL.INI dump ----------", "----------- End TARNQUIL.INI dump -----------"},
      {"---------- Begin internal info dump -----------", "----------- End internal info dump ------------"},
  };
  const auto& frame = kFrames[static_cast<int>(which)];
  std::string s = "\r\n";
  s += frame[0];
  s += "\r\n";
  for (const std::string& l : lines) s += l + "\r\n";
  s += frame[1];
  s += "\r\n\r\n" + std::string(60, '*') + "\r\n\r\n";
  return s;
}

std::string variable_line(std::string_view name, std::string_view text) {
  std::string s(name);
  if (s.size() < 13) s.resize(13, ' ');
  s += "  ";
  s += text;
  return s;
}

std::string function_line(const api::KeywordRecord& r) {
  char line[128];
  std::snprintf(line, sizeof line, "%4d,  %d,  %08lX%08lX,  %8lX,  %2d,  ", static_cast<int>(r.id),
                static_cast<int>(r.kind), static_cast<unsigned long>(r.argTypes >> 32),
                static_cast<unsigned long>(r.argTypes & 0xFFFFFFFFu), static_cast<unsigned long>(r.counts),
                static_cast<int>(r.nameLength));
  std::string s = line;
  s.append(r.name, strnlen(r.name, sizeof r.name));
  return s;
}

}  // namespace orv::trace
