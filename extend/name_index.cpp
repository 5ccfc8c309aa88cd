#include "extend/name_index.h"

#include <algorithm>
#include <cstring>

#include "extend/dll_state.h"

namespace orv::ext {
namespace {

int compare(const api::KeywordRecord& r, const char* name, std::size_t length) {
  const int c = std::memcmp(r.name, name, std::min<std::size_t>(r.nameLength, length));
  if (c != 0) return c;
  return r.nameLength < length ? -1 : r.nameLength > length ? 1 : 0;
}

// Name order, then table order among equal names.
struct Before {
  const std::vector<api::KeywordRecord>& records;
  bool operator()(std::uint16_t a, std::uint16_t b) const {
    const api::KeywordRecord& x = records[a];
    const int c = compare(x, records[b].name, records[b].nameLength);
    return c < 0 || (c == 0 && a < b);
  }
};

}  // namespace

void NameIndex::rebuild(const std::vector<api::KeywordRecord>& records) {
  order_.resize(records.size());
  for (std::size_t k = 0; k < records.size(); ++k) order_[k] = static_cast<std::uint16_t>(k);
  std::sort(order_.begin(), order_.end(), Before{records});
}

void NameIndex::insert(const std::vector<api::KeywordRecord>& records, std::size_t position) {
  if (order_.size() + 1 != records.size()) { rebuild(records); return; }
  const auto at = static_cast<std::uint16_t>(position);
  order_.insert(std::upper_bound(order_.begin(), order_.end(), at, Before{records}), at);
}

int NameIndex::find(const std::vector<api::KeywordRecord>& records, const char* name, std::size_t length) {
  if (order_.size() != records.size()) rebuild(records);
  const auto it = std::partition_point(order_.begin(), order_.end(), [&](std::uint16_t k) {
    return compare(records[k], name, length) < 0;
  });
  if (it == order_.end() || compare(records[*it], name, length) != 0) return -1;
  return *it;
}

int find_extender_function(Context& c, const char* name, std::size_t length) {
  if (c.extRecords.empty()) return -1;
  return dll::dll_state(c).extenders.names.find(c.extRecords, name, length);
}

}  // namespace orv::ext
