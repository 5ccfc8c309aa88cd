// Fuzz target: one expression or assignment through the evaluator. Every
// input must leave the string heap as it found it once its variables are gone.
#include <cstdio>

#include "engine/convert.h"
#include "engine/evaluator.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"
#include "fuzz/fuzz_support.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::EngineContext engine;   // one context for the whole run
  static const std::uint32_t baseline = engine.c.heap.bytes_in_use();
  if (!fuzz::harmless(std::string_view(reinterpret_cast<const char*>(data), size))) return -1;
  Context& c = engine.c;
  engine.load_line(data, size);
  get_token(c);
  if (!failed(c)) {
    Temp out(c);
    if (process_sub_expression(c, out.op(), true, false) && at_end(c) && out->flags != 0) {
      std::string text;
      (void)value_text(c, out.op(), text);
    }
  }
  release_all_variables(c);
  c.error = 0;
  c.errorText.clear();
  if (c.heap.bytes_in_use() != baseline || !c.heap.verify()) {
    std::fprintf(stderr, "string heap: %u bytes in use after the input, %u before\n",
                 c.heap.bytes_in_use(), baseline);
    std::abort();
  }
  return 0;
}
