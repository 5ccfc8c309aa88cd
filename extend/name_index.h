// The name index of the extender function table: positions in the table in
// name order, equal names in table order, so that a lookup finds the entry a
// front-to-back search would find, in logarithmic time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "api/orv_api.h"
#include "engine/extender_hooks.h"

namespace orv {
struct Context;
}

namespace orv::ext {

class NameIndex {
 public:
  // After entries were removed (or the table was changed some other way).
  void rebuild(const std::vector<api::KeywordRecord>& records);
  // After the entry at `position` was appended.
  void insert(const std::vector<api::KeywordRecord>& records, std::size_t position);
  // The table position of the (lower-case) name, or -1. An index that does not
  // match the table's size is rebuilt first, so a stale index is never trusted.
  int find(const std::vector<api::KeywordRecord>& records, const char* name, std::size_t length);

 private:
  std::vector<std::uint16_t> order_;
};

// find_extender_function, the tokenizer's lookup, is declared with the
// engine's extender hooks.

}  // namespace orv::ext
