// StrInsert and StrOverlay: put a new text, fitted to a length, into a base
// at a character position. UTF-16 only.
//   StrInsert(base, new [, padding [, start [, length]]])  start defaults to 1
//   and length to the new text's length; a start beyond the end pads the base
//   with the padding character, and a length beyond the new text pads it too.
#include <algorithm>

#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/sizes.h"
#include "platform/platform.h"

namespace orv::strings {
namespace {

// The longest UTF-16 string the string heap accepts.
constexpr std::uint64_t kMaxWideChars = 0x3FFF0000u;

template <bool Overlay>
void put(Call& call) {
  if (!platform::is_nt_platform()) { fail(call.c, errs::kNotOnThisWindows); return; }
  const std::u16string_view base = arg_text<char16_t>(call, 1), text = arg_text<char16_t>(call, 2);
  const std::u16string_view padArg = has_arg(call, 3) ? arg_text<char16_t>(call, 3) : std::u16string_view();
  const char16_t pad = padArg.empty() ? u' ' : padArg.front();
  const std::int64_t start = has_arg(call, 4) ? arg_int(call, 4) : 1;
  const std::int64_t len = has_arg(call, 5) ? arg_int(call, 5) : static_cast<std::int64_t>(text.size());
  if (start < 1) { fail(call.c, errs::kBadStart); return; }
  if (len < 0) { fail(call.c, errs::kBadLength); return; }
  // Positions and lengths come from the script: a result no string could hold fails before allocating.
  const std::uint64_t needed = static_cast<std::uint64_t>(std::max<std::int64_t>(static_cast<std::int64_t>(base.size()), start - 1)) +
                               static_cast<std::uint64_t>(len);
  const std::size_t limit = platform::commit_limit();
  if (needed > kMaxWideChars || (limit != 0 && needed * 2 > limit)) { fail(call.c, errs::kOutOfMemory); return; }
  const auto at = static_cast<std::size_t>(start - 1), n = static_cast<std::size_t>(len);
  // Start and length come from the script: size the result (the text up to
  // start, the new text and what is left of the base) before building it.
  const std::uint64_t rest = Overlay ? std::uint64_t{at} + n : at;
  if (!string_room<char16_t>(call.c, std::uint64_t{at} + n + (rest < base.size() ? base.size() - rest : 0))) return;
  std::u16string out;
  out.reserve(std::max(base.size(), at) + n);
  out.append(base.substr(0, std::min(at, base.size())));
  out.append(at > base.size() ? at - base.size() : 0, pad);
  out.append(text.substr(0, n));
  out.append(n > text.size() ? n - text.size() : 0, pad);
  if (rest < base.size()) out.append(base.substr(static_cast<std::size_t>(rest)));
  set_result(call, std::u16string_view(out));
}

}  // namespace

void register_insert(HandlerTable& t) {
  t.add(kw::fn_strinsert, put<false>);
  t.add(kw::fn_stroverlay, put<true>);
}

}  // namespace orv::strings
