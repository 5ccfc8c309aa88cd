// StrIndex, StrIndexNc, StrCnt and StrScan: searching by character position.
// Case-insensitive forms search upper-cased copies, which keep every offset.
#include <algorithm>

#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::strings {
namespace {

// Argument text, upper-cased when the comparison ignores case.
template <class Ch>
struct Folded {
  Str<Ch> folded;
  Sv<Ch> view;
  Folded(Sv<Ch> s, bool fold) : folded(fold ? upper(s) : Str<Ch>()), view(fold ? Sv<Ch>(folded) : s) {}
};

// The last occurrence of sub that ends at or before unit offset `limit`.
template <class Ch>
std::size_t find_back(const Text<Ch>& t, Sv<Ch> sub, std::size_t limit) {
  if (limit < sub.size()) return Sv<Ch>::npos;
  std::size_t at = t.view().rfind(sub, limit - sub.size());
  while (at != Sv<Ch>::npos && !t.is_start(at)) at = at == 0 ? Sv<Ch>::npos : t.view().rfind(sub, at - 1);
  return at;
}

template <class Ch, bool IgnoreCase>
void index(Call& call) {
  const Folded<Ch> s(arg_text<Ch>(call, 1), IgnoreCase), sub(arg_text<Ch>(call, 2), IgnoreCase);
  const bool backward = arg_int(call, 4) != 0;
  const Text<Ch> t(s.view);
  const auto n = static_cast<std::int64_t>(t.chars());
  std::int64_t start = arg_int(call, 3);
  if (start == 0) start = backward ? n : 1;
  if (start < 1 || start > n) return;
  if (sub.view.empty()) { make_int(call.result, static_cast<std::int32_t>(start)); return; }
  const std::size_t at = backward ? find_back(t, sub.view, t.offset(static_cast<std::size_t>(start)))
                                  : find_from(t, sub.view, t.offset(static_cast<std::size_t>(start - 1)));
  if (at != Sv<Ch>::npos) make_int(call.result, static_cast<std::int32_t>(t.index_at(at) + 1));
}

// Start and end positions: 0 is 1 and -1 the length.
std::int64_t position(std::int32_t p, std::int64_t n) { return p == 0 ? 1 : p == -1 ? n : p; }

template <class Ch>
void count(Call& call) {
  const bool fold = (arg_int(call, 5) & 1) == 0;
  const Folded<Ch> s(arg_text<Ch>(call, 1), fold), sub(arg_text<Ch>(call, 2), fold);
  if (s.view.empty() || sub.view.empty()) return;
  const Text<Ch> t(s.view);
  const auto n = static_cast<std::int64_t>(t.chars());
  std::int64_t start = position(arg_int(call, 3), n), end = position(arg_int(call, 4), n);
  if (start < 1 || start > n) { fail(call.c, errs::kStrCntBadStart); return; }
  if (end < 1 || end > n) { fail(call.c, errs::kStrCntBadEnd); return; }
  if (start > end) std::swap(start, end);
  // Occurrences starting at positions start..end, without overlap.
  const std::size_t lastStart = t.offset(static_cast<std::size_t>(end - 1));
  std::size_t from = t.offset(static_cast<std::size_t>(start - 1));
  std::int32_t found = 0;
  for (;;) {
    const std::size_t at = find_from(t, sub.view, from);
    if (at == Sv<Ch>::npos || at > lastStart) break;
    ++found;
    from = at + sub.view.size();
  }
  make_int(call.result, found);
}

template <class Ch>
void scan(Call& call) {
  const Sv<Ch> s = arg_text<Ch>(call, 1), delims = arg_text<Ch>(call, 2);
  const bool backward = arg_int(call, 4) != 0;
  if (s.empty()) return;
  const std::u32string codes = char_codes(s);
  const auto n = static_cast<std::int64_t>(codes.size());
  std::int64_t start = arg_int(call, 3);
  if (start == 0) start = backward ? n : 1;
  if (start < 1 || start > n) return;
  if (delims.empty()) { make_int(call.result, static_cast<std::int32_t>(start)); return; }
  std::u32string set = char_codes(delims);
  std::sort(set.begin(), set.end());
  const auto hit = [&](std::int64_t k) { return std::binary_search(set.begin(), set.end(), codes[static_cast<std::size_t>(k)]); };
  if (backward) {
    for (std::int64_t k = start - 1; k >= 0; --k)
      if (hit(k)) { make_int(call.result, static_cast<std::int32_t>(k + 1)); return; }
  } else {
    for (std::int64_t k = start - 1; k < n; ++k)
      if (hit(k)) { make_int(call.result, static_cast<std::int32_t>(k + 1)); return; }
  }
}

}  // namespace

void register_search(HandlerTable& t) {
  t.add(kw::fn_strindex, by_width<index<char, false>, index<char16_t, false>>);
  t.add(kw::fn_strindexnc, by_width<index<char, true>, index<char16_t, true>>);
  t.add(kw::fn_strcnt, by_width<count<char>, count<char16_t>>);
  t.add(kw::fn_strscan, by_width<scan<char>, scan<char16_t>>);
}

}  // namespace orv::strings
