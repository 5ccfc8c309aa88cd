// "Logical" text order: runs of digits compare by their numeric value,
// everything else without regard to case, so that "file2" sorts before
// "file10".
#pragma once
#include <string_view>

namespace orv::arrays {

// The order computed here, without the system: used when the system's
// logical comparison cannot be loaded. Returns <0, 0 or >0.
int logical_compare_fallback(std::u16string_view a, std::u16string_view b);

// The system's logical comparison when it can be loaded, else the fallback.
int logical_compare(std::u16string_view a, std::u16string_view b);

}  // namespace orv::arrays
