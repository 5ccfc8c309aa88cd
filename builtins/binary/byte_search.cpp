#include "builtins/binary/byte_search.h"

#include "builtins/binary/binary_args.h"

namespace orv::binary {
namespace {

bool equal_folded(const char* a, std::string_view b, const std::uint8_t* up) {
  for (std::size_t i = 0; i < b.size(); ++i)
    if (up[static_cast<std::uint8_t>(a[i])] != up[static_cast<std::uint8_t>(b[i])]) return false;
  return true;
}

}  // namespace

std::size_t find_forward(std::string_view data, std::string_view pattern, std::size_t from, bool matchCase) {
  if (pattern.size() > data.size() || from > data.size() - pattern.size()) return kNoMatch;
  if (matchCase) return data.find(pattern, from);
  const std::uint8_t* up = upper_table();
  const std::uint8_t first = up[static_cast<std::uint8_t>(pattern[0])];
  const std::size_t last = data.size() - pattern.size();
  for (std::size_t p = from; p <= last; ++p)
    if (up[static_cast<std::uint8_t>(data[p])] == first && equal_folded(data.data() + p, pattern, up)) return p;
  return kNoMatch;
}

std::size_t find_backward(std::string_view data, std::string_view pattern, std::size_t from, bool matchCase) {
  if (pattern.size() > data.size()) return kNoMatch;
  std::size_t p = data.size() - pattern.size();
  if (from < p) p = from;
  if (matchCase) return data.rfind(pattern, p);
  const std::uint8_t* up = upper_table();
  for (;; --p) {
    if (equal_folded(data.data() + p, pattern, up)) return p;
    if (p == 0) return kNoMatch;
  }
}

}  // namespace orv::binary
