// Fuzz target: the scanner over one line, token by token to its end.
#include "engine/tokenizer.h"
#include "fuzz/fuzz_support.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::EngineContext engine;   // one context for the whole run
  Context& c = engine.c;
  engine.load_line(data, size);
  // Every token consumes at least one character, so a line has fewer tokens than bytes.
  for (std::size_t n = 0; n <= sizeof c.line; ++n) {
    get_token(c);
    if (failed(c) || at_end(c)) break;
    if (n % 7 == 3) {   // look-back as the evaluator does it
      putback(c);
      get_token(c);
      if (failed(c)) break;
    }
  }
  return 0;
}
