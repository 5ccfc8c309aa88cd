#include "host/suite.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "host/host_functions.h"
#include "host/session.h"
#include "host/stderr_capture.h"
#include "platform/platform.h"

namespace orv::host {
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kFirstControlCode = 9000;

bool read_text(const fs::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  out = buffer.str();
  // Expected files may have been checked out with CR LF.
  out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
  return true;
}

// NAME.skip leaves a script out everywhere; NAME.win32 leaves it out of
// native runs (it needs Windows services such as the registry), NAME.native
// out of Windows runs (it checks what the native build leaves out).
bool skipped(const fs::path& script) {
  std::error_code ec;
  fs::path marker = script;
  if (fs::exists(marker.replace_extension(".skip"), ec) || script.stem().extension() == ".skip") return true;
#ifndef _WIN32
  if (fs::exists(marker.replace_extension(".win32"), ec)) return true;
#else
  if (fs::exists(marker.replace_extension(".native"), ec)) return true;
#endif
  return false;
}

std::vector<fs::path> find_scripts(const std::string& directory) {
  std::vector<fs::path> scripts;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(directory, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    if (it->is_regular_file() && it->path().extension() == ".orv" && !skipped(it->path()))
      scripts.push_back(it->path());
  std::sort(scripts.begin(), scripts.end());
  return scripts;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string shown(const std::string& line) {
  std::string out = "\"";
  for (char c : line.substr(0, 60)) {
    if (static_cast<unsigned char>(c) < 32) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
      out += hex;
    } else {
      out += c;
    }
  }
  return out + (line.size() > 60 ? "...\"" : "\"");
}

// A one-line description of the first difference, or "" when equal.
std::string first_difference(const std::string& expected, const std::string& actual) {
  if (expected == actual) return {};
  const auto want = split_lines(expected), got = split_lines(actual);
  for (std::size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
    const std::string w = i < want.size() ? shown(want[i]) : "(end)";
    const std::string g = i < got.size() ? shown(got[i]) : "(end)";
    if (w != g) return "output line " + std::to_string(i + 1) + ": expected " + w + ", got " + g;
  }
  return "output differs in line ends";
}

std::string first_line_of_file(const std::string& path) {
  std::string text;
  if (!read_text(path, text)) return {};
  const auto lines = split_lines(text);
  for (const auto& line : lines)
    if (!line.empty()) return line;
  return {};
}

struct Expectation {
  std::string output;
  bool hasError = false;
  std::uint32_t error = 0;
  int status = 0;  // the exit status the script sets with ExitCode
};

Expectation expectation_for(const fs::path& script) {
  Expectation e;
  fs::path side = script;
  read_text(side.replace_extension(".out"), e.output);
  std::string err;
  if (read_text(side.replace_extension(".err"), err)) {
    e.hasError = true;
    e.error = static_cast<std::uint32_t>(std::strtoul(err.c_str(), nullptr, 10));
  }
  std::string status;
  if (read_text(side.replace_extension(".status"), status)) e.status = std::atoi(status.c_str());
  return e;
}

// "" when the run matches the expectation, else what went wrong.
std::string judge(const Expectation& e, const RunResult& r, const std::string& output) {
  switch (r.status) {
    case RunResult::Status::unreadable: return "cannot read the script";
    case RunResult::Status::no_memory: return "host could not allocate the run's blocks";
    default: break;
  }
  const std::uint32_t error = r.lastError >= kFirstControlCode ? 0 : r.lastError;
  if (e.hasError ? r.lastError != e.error : error != 0)
    return "expected error " + std::to_string(e.hasError ? e.error : 0) + ", got " + std::to_string(r.lastError);
  if (r.status == RunResult::Status::not_prepared && !e.hasError) return "script could not be prepared";
  if (r.exitStatus != e.status)
    return "expected exit status " + std::to_string(e.status) + ", got " + std::to_string(r.exitStatus);
  return first_difference(e.output, output);
}

}  // namespace

int run_suite(const EngineApi& api, const std::string& directory, const std::string& stderrFile) {
  const auto scripts = find_scripts(directory);
  HostFunctions functions(api);
  int passed = 0, failed = 0;
  for (const auto& script : scripts) {
    std::string output;
    functions.capture_output(&output);
    RunResult result;
    {
      // A context of its own per script: definitions and settings live as long as a context.
      Session session(api);
      if (!session.ok()) {
        platform::write_stderr("orvhost: " + session.error() + "\n");
        return 2;
      }
      StderrCapture capture(stderrFile);
      result = session.run(script.string(), {}, functions, false);
    }
    functions.capture_output(nullptr);
    const std::string problem = judge(expectation_for(script), result, output);
    if (problem.empty()) {
      ++passed;
      continue;
    }
    ++failed;
    std::string line = "FAIL " + script.generic_string() + ": " + problem;
    if (const auto report = first_line_of_file(stderrFile); !report.empty()) line += " [stderr: " + report + "]";
    platform::write_stdout(line + "\n");
  }
  platform::write_stdout(std::to_string(passed) + " passed, " + std::to_string(failed) + " failed\n");
  return failed ? 1 : 0;
}

}  // namespace orv::host
