// The column and row range that ArraySort and ArraySearch work on.
#pragma once
#include <cstdint>

#include "builtins/arrays/array_args.h"

namespace orv::arrays {

struct RowRange {
  std::uint32_t columns = 1;   // elements per row
  std::uint32_t column = 0;
  std::uint32_t start = 0;
  std::uint32_t end = 0;       // inclusive
  std::uint32_t rows() const { return end - start + 1; }
  std::uint32_t index(std::uint32_t row) const { return row * columns + column; }
};

// Reads column, start and end from arguments k, k+1, k+2 of a one- or
// two-dimensional array: a negative column or start means 0, a negative end
// the last row. False with columnError or rangeError.
bool read_row_range(Call& call, const ArrayHeader& h, int k, std::uint16_t columnError, std::uint16_t rangeError,
                    RowRange& out);

}  // namespace orv::arrays
