// Runs in progress, by context. A host may call the entry points back from
// inside a run (from a host function, or a window procedure reached through
// the message pump). The run owns its scripts, their compiled statements and
// the context until it ends: a second run of the same context is refused,
// and a termination is carried out once the run is over.
#pragma once

namespace orv {

struct Context;

// Marks a context as running for the life of the object.
class ActiveRun {
 public:
  explicit ActiveRun(const Context& c);
  ~ActiveRun();
  ActiveRun(const ActiveRun&) = delete;
  ActiveRun& operator=(const ActiveRun&) = delete;

 private:
  const Context& c_;
};

bool run_active(const Context& c);

// The host ended the context during its run: the run stops at the next
// statement boundary and the context goes when the run returns.
void request_termination(const Context& c);
bool termination_requested(const Context& c);

}  // namespace orv
