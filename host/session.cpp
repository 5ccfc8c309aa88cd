#include "host/session.h"

#include <algorithm>

#include "host/host_functions.h"

namespace orv::host {

namespace {
// The two host strings of request 2 are unused by this host.
const char kNoHostText[] = "";
}  // namespace

Session::Session(const EngineApi& api) : api_(api) {
  const int size = api_.init(0, nullptr, api::kVersionWord, api::kHandshake, 0, 0, 0);
  if (size <= 0) {
    error_ = "the library refused interface version 0x1300";
    return;
  }
  context_ = MemBlock(static_cast<std::size_t>(size));
  if (!context_) {
    error_ = "cannot allocate the interpreter context";
    return;
  }
  if (api_.init(0, context_.get(), api::kVersionWord, api::kInstanceInit, 0, 0, 0) == 0) {
    error_ = "instance initialisation failed";
    return;
  }
  initialised_ = true;
  reset_heap();
}

Session::~Session() {
  if (!initialised_) return;
  std::uint32_t keepClasses = 0;  // a zero word: unregister the window classes too
  api_.init(0, context_.get(), api::kVersionWord, api::kTerminate,
            reinterpret_cast<api::Word>(&keepClasses), 0, 0);
}

bool Session::reset_heap() {
  VmArea area(kHeapReserve);
  if (!area.base() || platform::vm_commit(area.base(), kHeapInitialCommit) != 0) {
    error_ = "cannot reserve the string heap";
    return false;
  }
  api::HeapBookkeeping record{static_cast<std::uint32_t>(kHeapInitialCommit), area.base()};
  bookkeeping_ = record;
  if (api_.init(0, context_.get(), reinterpret_cast<api::Word>(area.base()), api::kHeapInit,
                kHeapReserve, 0, reinterpret_cast<api::Word>(&bookkeeping_)) == 0) {
    error_ = "string heap initialisation failed";
    return false;
  }
  heap_ = std::move(area);  // the old area (if any) goes now that nothing points into it
  return true;
}

bool Session::begin_run(const std::vector<std::string>& args, bool freshHeap) {
  MemBlock table(kVariableCapacity * kVariableSlotBytes);
  if (!table) return false;
  if (api_.init(0, context_.get(), reinterpret_cast<api::Word>(table.get()), api::kRunInit,
                kVariableCapacity, reinterpret_cast<api::Word>(kNoHostText),
                reinterpret_cast<api::Word>(kNoHostText)) == 0)
    return false;
  variables_ = std::move(table);
  // After request 2: it releases the old variables into the old heap.
  if (freshHeap && !reset_heap()) return false;
  // Param0 and param1..paramN: the library splits nothing, the list is passed whole.
  if (api_.services) {
    std::vector<char*> list;
    for (const auto& arg : args) list.push_back(const_cast<char*>(arg.c_str()));
    list.push_back(nullptr);
    api_.services(context_.get(), kServiceSetParams, nullptr, list.data(), 0, 0);
  } else if (!args.empty()) {
    platform::write_stderr("orvhost: this library cannot take script parameters; ignored\n");
  }
  return true;
}

RunResult Session::run(const std::string& scriptPath, const std::vector<std::string>& args,
                       HostFunctions& functions, bool freshHeap) {
  RunResult result;
  std::string text;
  if (platform::read_whole_file(scriptPath, text) != platform::FileStatus::ok) {
    result.status = RunResult::Status::unreadable;
    return result;
  }
  // A "#!" line lets the script run as a program; it stays a (comment) line
  // so that the line numbers of reports do not move.
  if (text.compare(0, 2, "#!") == 0) text[0] = ';';
  // The library takes the script's file name from a first line of its own,
  // which it removes before counting lines.
  text.insert(0, std::string(";\x0C@") + scriptPath + "\n");
  // Two zero bytes end the text in either width.
  MemBlock script(text.size() + 2);
  if (!script || !begin_run(args, freshHeap)) {
    result.status = RunResult::Status::no_memory;
    return result;
  }
  {
    MemLock lock(script.get());
    if (!lock.data()) {
      result.status = RunResult::Status::no_memory;
      return result;
    }
    std::copy(text.begin(), text.end(), static_cast<char*>(lock.data()));
  }
  functions.bind(context_.get(), heap_base());
  const std::uint32_t flags = api::kRunIncludeOption | (dialogs_ ? 0u : std::uint32_t{api::kRunReportToHost});
  const int ran = api_.run(0, context_.get(), script.get(), flags, functions.table());
  functions.unbind();
  result.status = ran ? RunResult::Status::ran : RunResult::Status::not_prepared;
  result.lastError = last_error();
  result.exitStatus = functions.exit_status();
  return result;
}

std::uint32_t Session::last_error() const {
  MemLock lock(context_.get());
  if (!lock.data()) return 0;
  return static_cast<const api::ContextBlockHead*>(lock.data())->lastError;
}

}  // namespace orv::host
