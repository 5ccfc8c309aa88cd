// Fuzz target: script preparation (encodings, line ends, #include expansion,
// line-origin markers), then every line of the result read back.
#include "engine/script.h"
#include "fuzz/fuzz_support.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::EngineContext engine;   // one context for the whole run
  Context& c = engine.c;
  c.error = 0;
  c.errorText.clear();
  c.includeOption = size > 0 && (data[0] & 1);
  std::string raw(reinterpret_cast<const char*>(data), size);
  const std::string& dir = fuzz::scratch_folder();
  Script out;
  if (prepare_script(c, std::move(raw), dir + "main.orv", dir, out)) {
    std::uint32_t pos = 0, stmtPos = 0;
    while (read_line(c, out, pos, stmtPos)) (void)origin_of(out, stmtPos);
  }
  return 0;
}
