// Searching bytes for a pattern, exactly or ignoring case by the 8-bit
// character rules. Offsets are byte offsets; npos when there is no match.
#pragma once
#include <cstddef>
#include <string_view>

namespace orv::binary {

inline constexpr std::size_t kNoMatch = std::string_view::npos;

// First match starting at or after `from`, wholly inside `data`.
std::size_t find_forward(std::string_view data, std::string_view pattern, std::size_t from, bool matchCase);
// Last match starting at or before `from`, wholly inside `data`.
std::size_t find_backward(std::string_view data, std::string_view pattern, std::size_t from, bool matchCase);

}  // namespace orv::binary
