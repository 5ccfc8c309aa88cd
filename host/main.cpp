// Console host: runs one script (orvhost [--dialogs] SCRIPT [ARGS...]) or the
// golden-script suite (orvhost --suite DIR [--stderr-file PATH]).
#include <filesystem>
#include <string>
#include <vector>

#include "host/engine_api.h"
#include "host/host_functions.h"
#include "host/session.h"
#include "host/suite.h"
#include "platform/platform.h"

namespace {

constexpr int kExitError = 1;      // the script ended with an error
constexpr int kExitNotRun = 2;     // the script could not be started

int usage() {
  orv::platform::write_stderr(
      "usage: orvhost [--dialogs] SCRIPT [ARGS...]\n"
      "       orvhost --suite DIR [--stderr-file PATH]\n");
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
  // --dialogs: errors show the error dialog (default: reported on standard error).
  const bool dialogs = args[0] == "--dialogs";
  if (dialogs) args.erase(args.begin());
  if (args.empty()) return usage();
  const std::string script = args[0];
  args.erase(args.begin());
  return run_one(api, script, std::move(args), dialogs);
}
