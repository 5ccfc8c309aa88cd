#include "builtins/arrays/row_range.h"

namespace orv::arrays {

bool read_row_range(Call& call, const ArrayHeader& h, int k, std::uint16_t columnError, std::uint16_t rangeError,
                    RowRange& out) {
  out.columns = h.dims == 2 ? h.sizes[1] : 1;
  const std::int32_t column = int_arg(call, k, 0);
  const std::int32_t start = int_arg(call, k + 1, 0);
  const std::int32_t end = int_arg(call, k + 2, -1);
  out.column = column < 0 ? 0 : static_cast<std::uint32_t>(column);
  if (out.column >= out.columns) return fail(call.c, columnError);
  const std::uint32_t last = h.sizes[0] - 1;
  out.start = start < 0 ? 0 : static_cast<std::uint32_t>(start);
  out.end = end < 0 ? last : static_cast<std::uint32_t>(end);
  if (out.start > last || out.end > last || out.start > out.end) return fail(call.c, rangeError);
  return true;
}

}  // namespace orv::arrays
