#include "engine/active_runs.h"

#include <vector>

namespace orv {
namespace {

struct Entry {
  const Context* context;
  bool terminate;
};

// Few contexts run at once (one per nesting host), so a list does.
std::vector<Entry>& entries() {
  static std::vector<Entry> list;
  return list;
}

Entry* find(const Context& c) {
  for (Entry& e : entries())
    if (e.context == &c) return &e;
  return nullptr;
}

}  // namespace

ActiveRun::ActiveRun(const Context& c) : c_(c) { entries().push_back(Entry{&c, false}); }

ActiveRun::~ActiveRun() {
  auto& list = entries();
  for (auto it = list.begin(); it != list.end(); ++it)
    if (it->context == &c_) {
      list.erase(it);
      return;
    }
}

bool run_active(const Context& c) { return find(c) != nullptr; }

void request_termination(const Context& c) {
  if (Entry* e = find(c)) e->terminate = true;
}

bool termination_requested(const Context& c) {
  const Entry* e = find(c);
  return e && e->terminate;
}

}  // namespace orv
