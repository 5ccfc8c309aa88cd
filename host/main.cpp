// Console host: runs one script (orvhost [--dialogs] SCRIPT [ARGS...]) or the
// golden-script suite (orvhost --suite DIR [--stderr-file PATH]).
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/engine_api.h"
#include "host/host_functions.h"
#include "host/replay.h"
#include "host/session.h"
#include "host/suite.h"
#include "platform/platform.h"

namespace {

constexpr int kExitError = 1;      // the script ended with an error
constexpr int kExitNotRun = 2;     // the script could not be started

int usage() {
  orv::platform::write_stderr(
      "usage: orvhost [--dialogs] SCRIPT [ARGS...]\n"
      "       orvhost --suite DIR [--stderr-file PATH]\n"
      "       orvhost --replay LIST FROM PROGRESS-FILE STDERR-FILE [SECONDS]\n");
  return kExitNotRun;
}

int fail(const std::string& message) {
  orv::platform::write_stderr("orvhost: " + message + "\n");
  return kExitNotRun;
}

int run_one(const orv::host::EngineApi& api, const std::string& script, std::vector<std::string> args,
            bool dialogs) {
  using Status = orv::host::RunResult::Status;
  orv::host::Session session(api);
  if (!session.ok()) return fail(session.error());
  session.set_dialogs(dialogs);
  orv::host::HostFunctions functions(api);
  const auto result = session.run(script, args, functions);
  switch (result.status) {
    case Status::unreadable: return fail("cannot read " + script);
    case Status::no_memory: return fail("out of memory");
    case Status::not_prepared: return kExitNotRun;  // the library has reported why
    case Status::ran: break;
  }
  return (result.lastError != 0 && result.lastError < 9000) ? kExitError : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage();

  orv::host::EngineApi api;
  std::string error;
  if (!orv::host::load_engine(api, error)) return fail(error);

  if (args[0] == "--suite") {
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--stderr-file")) return usage();
    const std::string stderrFile = args.size() == 4
                                       ? args[3]
                                       : (std::filesystem::temp_directory_path() / "orv-suite-stderr.txt").string();
    return orv::host::run_suite(api, args[1], stderrFile);
  }
  // Fuzz inputs through the library (fuzz/replay_wine.sh drives it).
  if (args[0] == "--replay") {
    if (args.size() != 5 && args.size() != 6) return usage();
    orv::host::ReplayOptions options{args[1], std::strtoul(args[2].c_str(), nullptr, 10), args[3], args[4]};
    if (args.size() == 6) options.secondsPerInput = std::atoi(args[5].c_str());
    return orv::host::run_replay(api, options);
  }
  // --dialogs: errors show the error dialog (default: reported on standard error).
  const bool dialogs = args[0] == "--dialogs";
  if (dialogs) args.erase(args.begin());
  if (args.empty()) return usage();
  const std::string script = args[0];
  args.erase(args.begin());
  return run_one(api, script, std::move(args), dialogs);
}
