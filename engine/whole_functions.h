// Whole-number functions: a function whose body only computes whole numbers
// from its parameters and locals (Return, If ... Then Return, assignments,
// calls of other such functions) runs as a small register program, with no
// frame, no structure entry and no statements, when nothing could observe
// its statements. It has no effects, so whenever it meets anything the
// general call would do differently (a zero divisor, the depth limits, a
// cancel) it gives up and the call is made the general way from the start.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/context.h"
#include "engine/whole_steps.h"

namespace orv {

struct WholeProgram {
  std::vector<WholeStep> steps;
  std::uint32_t generation = 0;   // the keyword generation it was made under
  std::uint16_t params = 0;
  std::uint16_t nesting = 0;      // the deepest nesting any of its expressions needs
};

enum class WholeRun { done, missed, declined };

// The part of run_whole_function out of line.
WholeRun start_whole_function(Context& c, int index, const std::int32_t* args, int count, std::int32_t& out);

// Calls function `index` on whole-number arguments as a frameless program.
// done: `out` holds its value; missed: it gave up (nothing changed), the call
// must be made the general way inside a WholeRedo; declined: it could not
// start (nothing changed). A function found not whole is passed over here
// with a few comparisons: calls of other functions come this way too.
inline WholeRun run_whole_function(Context& c, int index, const std::int32_t* args, int count, std::int32_t& out) {
  if (static_cast<std::size_t>(index) < c.udfs.size()) {
    const Udf& u = c.udfs[static_cast<std::size_t>(index)];
    const WholeDecision& d = u.whole;
    if (d.state == WholeDecision::kNotWhole && d.generation == c.keywordGeneration && u.body &&
        d.textVersion == u.body->textVersion)
      return WholeRun::declined;
  }
  return start_whole_function(c, index, args, count, out);
}

// While it lives (once armed), frameless runs are off: a call redone after a
// miss would miss again the same way in each of its nested calls.
class WholeRedo {
 public:
  explicit WholeRedo(Context& c) : c_(c) {}
  ~WholeRedo() {
    if (armed_) --c_.wholeBlocked;
  }
  WholeRedo(const WholeRedo&) = delete;
  WholeRedo& operator=(const WholeRedo&) = delete;
  void arm() {
    if (!armed_) ++c_.wholeBlocked;
    armed_ = true;
  }

 private:
  Context& c_;
  bool armed_ = false;
};

}  // namespace orv
