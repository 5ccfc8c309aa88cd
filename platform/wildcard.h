// The wildcard matcher: "*" matches any run of characters (also none), "?"
// exactly one character, anything else itself. Text and pattern are
// sequences of characters compared unit for unit; callers fold case first.
// Every search simulates all pattern positions at once, so the cost is
// text length times pattern length, never exponential.
// Platform-free; it lives here because the native stand-in of the find
// service matches names with it as the string family matches text.
#pragma once
#include <cstddef>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace orv::strings::wild {

template <class Ch>
bool is_star(Ch c) { return c == static_cast<Ch>('*'); }
template <class Ch>
bool is_any(Ch c) { return c == static_cast<Ch>('?'); }

// Characters a match needs at least: every pattern character but "*".
template <class Ch>
std::size_t min_length(std::basic_string_view<Ch> p) {
  std::size_t n = 0;
  for (Ch c : p) n += is_star(c) ? 0 : 1;
  return n;
}

namespace detail {
// Adds the states reachable by letting "*" match nothing.
template <class Ch>
void close(std::basic_string_view<Ch> p, std::vector<char>& on) {
  for (std::size_t j = 0; j < p.size(); ++j)
    if (on[j] && is_star(p[j])) on[j + 1] = 1;
}
}  // namespace detail

// Lengths of text prefixes the pattern matches: calls `hit(len)` for each,
// shortest first. Stops early when `hit` returns false.
template <class Ch, class Hit>
void prefix_matches(std::basic_string_view<Ch> text, std::basic_string_view<Ch> p, Hit&& hit) {
  const std::size_t m = p.size();
  std::vector<char> on(m + 1, 0), next(m + 1, 0);
  on[0] = 1;
  detail::close(p, on);
  for (std::size_t i = 0;; ++i) {
    if (on[m] && !hit(i)) return;
    if (i == text.size()) return;
    bool alive = false;
    std::fill(next.begin(), next.end(), 0);
    for (std::size_t j = 0; j < m; ++j) {
      if (!on[j]) continue;
      if (is_star(p[j])) next[j] = 1;
      else if (is_any(p[j]) || p[j] == text[i]) next[j + 1] = 1;
      else continue;
      alive = true;
    }
    if (!alive) return;
    on.swap(next);
    detail::close(p, on);
  }
}

// Length of the longest text prefix the pattern matches; nullopt when none.
template <class Ch>
std::optional<std::size_t> longest_prefix(std::basic_string_view<Ch> text, std::basic_string_view<Ch> p) {
  std::optional<std::size_t> best;
  prefix_matches(text, p, [&](std::size_t len) { best = len; return true; });
  return best;
}

// True when the pattern matches the whole text.
template <class Ch>
bool matches(std::basic_string_view<Ch> text, std::basic_string_view<Ch> p) {
  return longest_prefix(text, p) == text.size();
}

// The first start at or after `from` (below the text length) where the
// pattern matches some prefix of the rest; nullopt when none. Each pattern
// position carries the smallest start that reaches it.
template <class Ch>
std::optional<std::size_t> find_first(std::basic_string_view<Ch> text, std::basic_string_view<Ch> p, std::size_t from) {
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  const std::size_t m = p.size(), n = text.size();
  std::vector<std::size_t> cur(m + 1, kNone), next(m + 1, kNone);
  std::size_t best = kNone;
  const std::size_t need = min_length(p);
  for (std::size_t i = from; i <= n; ++i) {
    if (i < n && best == kNone && n - i >= need) cur[0] = std::min(cur[0], i);
    for (std::size_t j = 0; j < m; ++j)
      if (is_star(p[j])) cur[j + 1] = std::min(cur[j + 1], cur[j]);
    best = std::min(best, cur[m]);
    if (i == n) break;
    bool alive = false;
    std::fill(next.begin(), next.end(), kNone);
    for (std::size_t j = 0; j < m; ++j) {
      if (cur[j] >= best) continue;   // cannot beat the match already found
      if (is_star(p[j])) next[j] = std::min(next[j], cur[j]);
      else if (is_any(p[j]) || p[j] == text[i]) next[j + 1] = std::min(next[j + 1], cur[j]);
      else continue;
      alive = true;
    }
    cur.swap(next);
    if (!alive && best != kNone) break;
  }
  if (best == kNone) return std::nullopt;
  return best;
}

}  // namespace orv::strings::wild
