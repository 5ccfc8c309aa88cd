// Arguments of the item-list functions, on top of the shared item-list text
// routines in builtins/text.
#pragma once
#include "builtins/strings/text.h"
#include "builtins/text/items.h"
#include "engine/error_numbers.h"

namespace orv::items {

using strings::Str;
using strings::Sv;

// The delimiter of argument k; false with 1705 when it is longer than one character.
template <class Ch>
bool read_delimiter(Call& call, int k, Sv<Ch>& delim) {
  if (!text::item_delimiter(strings::arg_text<Ch>(call, k), delim)) return fail(call.c, errs::kBadDelimiterChar);
  return true;
}

}  // namespace orv::items
