// Console host: runs one script (orvhost [--dialogs] [--trace FILE] [--] SCRIPT [ARGS...]) or
// the golden-script suite (orvhost --suite DIR [--stderr-file PATH]).
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/engine_api.h"
#include "host/host_functions.h"
#include "host/menu_host.h"
#include "host/replay.h"
#include "host/session.h"
#include "host/suite.h"
#include "platform/platform.h"

namespace {

constexpr int kExitError = 1;      // the script ended with an error
constexpr int kExitNotRun = 2;     // the script could not be started

constexpr const char kUsage[] =
    "usage: orvhost [--dialogs] [--trace FILE] [--] SCRIPT [ARGS...]\n"
    "       orvhost --suite DIR [--stderr-file PATH]\n"
    "       orvhost --replay LIST FROM PROGRESS-FILE STDERR-FILE [SECONDS]\n"
    "       orvhost --menu MENU-FILE [--once]\n";

int usage() {
  orv::platform::write_stderr(kUsage);
  return kExitNotRun;
}

int fail(const std::string& message) {
  orv::platform::write_stderr("orvhost: " + message + "\n");
  return kExitNotRun;
}

int run_one(const orv::host::EngineApi& api, const std::string& script, const std::vector<std::string>& args,
            bool dialogs) {
  using Status = orv::host::RunResult::Status;
  orv::host::Session session(api);
  if (!session.ok()) return fail(session.error());
  session.set_dialogs(dialogs);
  orv::host::HostFunctions functions(api);
  const auto result = session.run(script, args, functions);
  switch (result.status) {
    case Status::unreadable: return fail("cannot read " + orv::platform::display_path(script));
    case Status::no_memory: return fail("out of memory");
    case Status::not_prepared: return kExitNotRun;  // the library has reported why
    case Status::ran: break;
  }
  if (result.lastError != 0 && result.lastError < 9000) return kExitError;
  return result.exitStatus;
}

// The command line, read before the library is loaded so that a mistake costs nothing.
struct Command {
  enum class Kind { run, suite, help, bad } kind = Kind::bad;
  bool dialogs = false;
  std::string traceFile;   // --trace: the library traces the run to this file
  std::string target;      // the script, or the suite's folder
  std::string stderrFile;  // --suite only; "" = a temporary file
  std::vector<std::string> args;
  std::string unknownOption;
};

Command parse(const std::vector<std::string>& words) {
  Command cmd;
  if (words.empty()) return cmd;
  if (words[0] == "--help" || words[0] == "-h") {
    cmd.kind = Command::Kind::help;
    return cmd;
  }
  if (words[0] == "--suite") {
    if (words.size() == 2 || (words.size() == 4 && words[2] == "--stderr-file")) {
      cmd.kind = Command::Kind::suite;
      cmd.target = words[1];
      if (words.size() == 4) cmd.stderrFile = words[3];
    }
    return cmd;
  }
  std::size_t i = 0;
  for (; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w == "--dialogs") {
      cmd.dialogs = true;  // errors show the error dialog (default: reported on standard error)
    } else if (w == "--trace") {
      if (i + 1 >= words.size()) return cmd;
      cmd.traceFile = words[++i];
    } else if (w == "--") {
      ++i;
      break;
    } else if (w.size() > 1 && w[0] == '-') {
      cmd.unknownOption = w;
      return cmd;
    } else {
      break;
    }
  }
  if (i >= words.size()) return cmd;
  cmd.kind = Command::Kind::run;
  cmd.target = words[i];
  cmd.args.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
  return cmd;
}

}  // namespace

// Fuzz inputs through the library (fuzz/replay_wine.sh drives it).
int replay(const std::vector<std::string>& args) {
  if (args.size() != 5 && args.size() != 6) return usage();
  orv::host::EngineApi api;
  std::string error;
  if (!orv::host::load_engine(api, error)) return fail(error);
  orv::host::ReplayOptions options{args[1], std::strtoul(args[2].c_str(), nullptr, 10), args[3], args[4]};
  if (args.size() == 6) options.secondsPerInput = std::atoi(args[5].c_str());
  return orv::host::run_replay(api, options);
}

// A menu file's menus in a window; --once ends after the first chosen item.
int menu(const std::vector<std::string>& args) {
  if (args.size() != 2 && !(args.size() == 3 && args[2] == "--once")) return usage();
  orv::host::EngineApi api;
  std::string error;
  if (!orv::host::load_engine(api, error)) return fail(error);
  return orv::host::run_menu_host(api, args[1], args.size() == 3);
}

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--replay") return replay(std::vector<std::string>(argv + 1, argv + argc));
  if (argc > 1 && std::string(argv[1]) == "--menu") return menu(std::vector<std::string>(argv + 1, argv + argc));
  const Command cmd = parse(std::vector<std::string>(argv + 1, argv + argc));
  switch (cmd.kind) {
    case Command::Kind::help:
      orv::platform::write_stdout(kUsage);
      return 0;
    case Command::Kind::bad:
      if (!cmd.unknownOption.empty()) orv::platform::write_stderr("orvhost: unknown option " + cmd.unknownOption + "\n");
      return usage();
    default:
      break;
  }

  // The library starts each run with this trace file (a new one) when it is set.
  if (!cmd.traceFile.empty()) orv::platform::set_environment("ORV_TRACE_FILE", cmd.traceFile);
  orv::host::EngineApi api;
  std::string error;
  if (!orv::host::load_engine(api, error)) return fail(error);

  if (cmd.kind == Command::Kind::suite) {
    const std::string stderrFile = !cmd.stderrFile.empty()
                                       ? cmd.stderrFile
                                       : (std::filesystem::temp_directory_path() / "orv-suite-stderr.txt").string();
    return orv::host::run_suite(api, cmd.target, stderrFile);
  }
  return run_one(api, cmd.target, cmd.args, cmd.dialogs);
}
