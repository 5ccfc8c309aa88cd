#include "host/replay.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "host/host_functions.h"
#include "host/session.h"
#include "host/stderr_capture.h"
#include "platform/platform.h"

namespace orv::host {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> read_list(const std::string& path) {
  std::vector<std::string> list;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) list.push_back(line);
  }
  return list;
}

void write_progress(const std::string& path, std::size_t index) {
  if (path.empty()) return;
  std::ofstream(path, std::ios::trunc) << index << "\n";
}

// Ends the process when one input runs past the limit; a script cannot be
// interrupted from outside, and the next process starts after it.
class Watchdog {
 public:
  explicit Watchdog(int seconds) : limit_(std::chrono::seconds(seconds)), thread_([this] { watch(); }) {}
  ~Watchdog() {
    stop_ = true;
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  void started(const std::string* input) {
    since_ = Clock::now().time_since_epoch().count();
    input_ = input;
  }

 private:
  void watch() {
    while (!stop_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const std::string* input = input_.load();
      const auto elapsed = Clock::now() - Clock::time_point(Clock::duration(since_.load()));
      if (input && elapsed > limit_) {
        platform::write_stdout("hung " + *input + "\n");
        std::_Exit(kReplayHung);
      }
    }
  }

  const Clock::duration limit_;
  std::atomic<bool> stop_{false};
  std::atomic<const std::string*> input_{nullptr};
  std::atomic<Clock::rep> since_{0};
  std::thread thread_;
};

}  // namespace

int run_replay(const EngineApi& api, const ReplayOptions& options) {
  const auto inputs = read_list(options.listFile);
  HostFunctions functions(api);
  std::string output;
  std::size_t ran = 0;
  Watchdog watchdog(options.secondsPerInput);
  for (std::size_t i = options.from; i < inputs.size(); ++i) {
    write_progress(options.progressFile, i);
    watchdog.started(&inputs[i]);
    {
      Session session(api);
      if (!session.ok()) {
        platform::write_stderr("orvhost: " + session.error() + "\n");
        return 2;
      }
      StderrCapture capture(options.stderrFile);
      output.clear();
      functions.capture_output(&output);
      session.run(inputs[i], {}, functions, false);
      functions.capture_output(nullptr);
    }
    ++ran;
  }
  watchdog.started(nullptr);
  write_progress(options.progressFile, inputs.size());
  platform::write_stdout("replayed " + std::to_string(ran) + " inputs\n");
  return 0;
}

}  // namespace orv::host
