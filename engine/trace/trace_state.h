// The debug-trace settings of one interpreter context.
#pragma once
#include <cstdint>
#include <string>

namespace orv::trace {

inline constexpr int kOff = 0, kTracing = 1, kErrorDumpOnly = 2;

// Flag bits (DebugTrace 104, 102, 103).
inline constexpr std::uint32_t kNoTime = 0x1;       // leave out the elapsed-time prefix
inline constexpr std::uint32_t kErrorDump = 0x2;    // with state 1, dump on errors as state 2 does
inline constexpr std::uint32_t kIntoUdfs = 0x4;     // a called function keeps the caller's state

inline constexpr char kDebuggerTarget[] = "*DEBUGDATA*";
inline constexpr std::size_t kTargetMax = 259;

struct TraceState {
  int state = kOff;
  std::string target;               // full path, kDebuggerTarget, or ""
  std::uint32_t flags = 0;
  std::uint32_t startTick = 0;
  int savedState = kOff;            // in force when the running function or Call was entered
  bool nested = false;              // inside a function or a Call
  bool headerPending = true;        // the next write starts with the header
  bool warnedUnwritable = false;    // a lost entry was announced once on the debugger output
  std::uint32_t lostEntries = 0;    // entries that could not be written
};

}  // namespace orv::trace
