// Prints the name of every function a script can call by name, one per line:
// built-ins that have a handler and the evaluator's special functions, or with
// --host the console host's own functions, or with --missing the built-ins of
// the keyword table that have no handler in this build. The reference check compares these
// lists with the "## " headings of docs/reference, so they must come from the
// tables the interpreter really dispatches through, not from a list kept by hand.
#include <cstdio>
#include <string>

#include "builtins/dispatch.h"
#include "engine/keyword_table.h"
#include "engine/keywords.h"
#include "host/host_functions.h"

namespace {

std::string name_of(const orv::api::KeywordRecord& r) { return std::string(r.name, r.nameLength); }

// Names starting with "?" are made by the scanner, never written in a script.
bool callable_by_name(const std::string& name) { return !name.empty() && name[0] != '?'; }

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--host") {
    orv::host::EngineApi noEngine;
    orv::host::HostFunctions host(noEngine);
    for (const auto* r = host.table(); r->nameLength != 0; ++r) std::printf("%s\n", name_of(*r).c_str());
    return 0;
  }
  const auto& handlers = orv::handler_table().byId;
  // --missing: the functions of the keyword table that have no handler in this build.
  const bool missing = argc > 1 && std::string(argv[1]) == "--missing";
  for (int id = 0; id < orv::kKeywordCount; ++id) {
    const auto& r = orv::kKeywords[id];
    const std::string name = name_of(r);
    if (!callable_by_name(name)) continue;
    const bool handled = r.kind == orv::kk::kFunction && handlers[static_cast<std::size_t>(id)] != nullptr;
    if (missing) {
      if (r.kind == orv::kk::kFunction && !handled) std::printf("%s\n", name.c_str());
    } else if (handled || r.kind == orv::kk::kSpecial) {
      std::printf("%s\n", name.c_str());
    }
  }
  return 0;
}
