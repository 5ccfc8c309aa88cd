// Fuzz target: the title rule and the window-id parser on arbitrary text. The
// first byte splits the input into a title and a pattern.
#include <cstdint>
#include <string>
#include <string_view>

#include "winauto/title_pattern.h"

using namespace orv::winauto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = data[0] % (rest.size() + 1);
  std::string_view title = rest.substr(0, cut), pattern = rest.substr(cut);
  const bool hit = title_matches<char>(title, pattern);
  // An exact pattern can only match its own text.
  if (hit && pattern.size() >= 2 && pattern.back() == '~' && pattern.front() != '~' &&
      title != pattern.substr(0, pattern.size() - 1))
    __builtin_trap();
  if (auto id = parse_window_id<char>(pattern)) {
    if (parse_window_id<char>(make_window_id(*id)) != id) __builtin_trap();
  }
  return 0;
}
