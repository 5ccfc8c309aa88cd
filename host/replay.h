// Replays fuzz inputs through the library: every file named in a list runs as
// a script in a fresh context, output discarded. Crashes end the process
// (the caller restarts after the input named in the progress file); an input
// that runs longer than the time limit (inputs may loop forever) is reported
// and ends the process with kReplayHung.
#pragma once
#include <string>

#include "host/engine_api.h"

namespace orv::host {

inline constexpr int kReplayHung = 4;

struct ReplayOptions {
  std::string listFile;       // one input path a line
  std::size_t from = 0;       // 0-based index of the first input to run
  std::string progressFile;   // receives the index of the input being run
  std::string stderrFile;     // the scripts' error reports go here
  int secondsPerInput = 30;
};

// Returns 0 when every input from `from` on ran to its end.
int run_replay(const EngineApi& api, const ReplayOptions& options);

}  // namespace orv::host
