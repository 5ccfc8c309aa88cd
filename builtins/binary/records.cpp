// BinaryHashRec, BinarySort and BinaryXlate: the buffer as an array of
// fixed-size records, and table-driven translation of its units.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "builtins/binary/binary_args.h"
#include "builtins/binary/work_block.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

struct RecordLayout {
  std::int64_t recordSize = 0, keyOffset = 0, keySize = 0, count = 0;
};

// Checks shared by hashing and sorting (1474-1478); nullptr with the error set.
BinaryBuffer* record_site(Call& call, RecordLayout& l, std::int64_t keySizeOverride = 0) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return nullptr;
  l.recordSize = arg_int(call, 2);
  l.keyOffset = arg_int(call, 3);
  l.keySize = keySizeOverride ? keySizeOverride : arg_int(call, 4);
  std::uint16_t error = 0;
  if (l.recordSize < 1) error = errs::kBinaryBadRecordSize;
  else if (l.keyOffset < 0) error = errs::kBinaryBadKeyOffset;
  else if (l.keySize < 1) error = errs::kBinaryBadKeySize;
  else if (l.keyOffset + l.keySize > l.recordSize) error = errs::kBinaryKeyBeyondRecord;
  else if (l.recordSize > b->size) error = errs::kBinaryRecordTooLarge;
  if (error) { fail(call.c, error); return nullptr; }
  l.count = b->size / l.recordSize;
  return b;
}

// The key field as a string: up to its first NUL, at most keySize bytes.
std::string_view key_field(const std::uint8_t* record, const RecordLayout& l) {
  const auto* p = reinterpret_cast<const char*>(record + l.keyOffset);
  const void* nul = std::memchr(p, 0, static_cast<std::size_t>(l.keySize));
  return {p, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - p) : static_cast<std::size_t>(l.keySize)};
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const std::uint8_t* up = upper_table();
  for (std::size_t i = 0; i < a.size(); ++i)
    if (up[static_cast<std::uint8_t>(a[i])] != up[static_cast<std::uint8_t>(b[i])]) return false;
  return true;
}

void hash_record(Call& call) {
  RecordLayout l;
  BinaryBuffer* b = record_site(call, l);
  if (!b) return;
  const std::string_view key = arg_str(call, 5);
  if (key.empty()) { fail(call.c, errs::kBinaryHashKeyMissing); return; }
  if (static_cast<std::int64_t>(key.size()) > l.keySize) { fail(call.c, errs::kBinaryHashKeyTooLarge); return; }
  std::uint32_t h = 0;
  for (char ch : key) h = 2 * h + static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(ch)));
  const std::int64_t start = l.count == 1 ? 0 : static_cast<std::int64_t>(h % static_cast<std::uint64_t>(l.count - 1));
  for (std::int64_t k = 0; k < l.count; ++k) {
    const std::int64_t index = (start + k) % l.count;
    std::uint8_t* record = b->data + index * l.recordSize;
    std::uint8_t* field = record + l.keyOffset;
    if (field[0] == 0) {
      std::memcpy(field, key.data(), key.size());
      if (static_cast<std::int64_t>(key.size()) < l.keySize) field[key.size()] = 0;
    } else if (!equal_ignoring_case(key_field(record, l), key)) {
      continue;
    }
    b->eod = b->size;
    make_int(call.result, static_cast<std::int32_t>(index * l.recordSize));
    return;
  }
  fail(call.c, errs::kBinaryHashFull);
}

// Key types of BinarySort by flag, the first present winning.
enum class KeyType { u8, u16, u32, dbl, text };
KeyType key_type(std::int32_t flags) {
  if (flags & 1) return KeyType::u8;
  if (flags & 2) return KeyType::u16;
  if (flags & 4) return KeyType::u32;
  if (flags & 8) return KeyType::dbl;
  return KeyType::text;
}
std::int64_t key_width(KeyType t) {
  switch (t) {
    case KeyType::u8: return 1;
    case KeyType::u16: return 2;
    case KeyType::u32: return 4;
    case KeyType::dbl: return 8;
    default: return 0;
  }
}

int compare_keys(const std::uint8_t* a, const std::uint8_t* b, KeyType t, std::size_t size) {
  auto cmp = [](auto x, auto y) { return x < y ? -1 : x > y ? 1 : 0; };
  switch (t) {
    case KeyType::u8: return cmp(a[0], b[0]);
    case KeyType::u16: return cmp(a[0] | a[1] << 8, b[0] | b[1] << 8);
    case KeyType::u32: {
      std::uint32_t x = 0, y = 0;
      std::memcpy(&x, a, 4);
      std::memcpy(&y, b, 4);
      return cmp(x, y);
    }
    case KeyType::dbl: {
      double x = 0, y = 0;
      std::memcpy(&x, a, 8);
      std::memcpy(&y, b, 8);
      // NaNs sort after every number, so that the order stays total.
      if (x != x || y != y) return cmp(x != x, y != y);
      return cmp(x, y);
    }
    default: break;
  }
  const std::uint8_t* up = upper_table();
  int exact = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (int d = cmp(up[a[i]], up[b[i]])) return d;
    if (!exact) exact = cmp(a[i], b[i]);
    if (a[i] == 0) break;
  }
  return exact;
}

void sort_records(Call& call) {
  const std::int32_t flags = arg_int(call, 5);
  const KeyType type = key_type(flags);
  RecordLayout l;
  BinaryBuffer* b = record_site(call, l, key_width(type));
  if (!b) return;
  const bool descending = (flags & 16) != 0;
  const std::size_t total = static_cast<std::size_t>(l.count * l.recordSize);
  WorkBlock work(total);
  std::vector<std::uint32_t> order;
  try {
    order.resize(static_cast<std::size_t>(l.count));
  } catch (const std::bad_alloc&) {
    order.clear();
  }
  if (!work || order.size() != static_cast<std::size_t>(l.count)) { fail(call.c, errs::kBinaryHashNoMemory); return; }
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  const std::uint8_t* keys = b->data + l.keyOffset;
  std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
    const int d = compare_keys(keys + x * l.recordSize, keys + y * l.recordSize, type, static_cast<std::size_t>(l.keySize));
    return descending ? d > 0 : d < 0;
  });
  for (std::size_t i = 0; i < order.size(); ++i)
    std::memcpy(work.data() + i * static_cast<std::size_t>(l.recordSize), b->data + order[i] * l.recordSize,
                static_cast<std::size_t>(l.recordSize));
  if (total) std::memcpy(b->data, work.data(), total);
  b->raise_eod(static_cast<std::int64_t>(total));
  make_int(call.result, 1);
}

void translate(Call& call) {
  BinaryBuffer* data = buffer_arg(call, 1);
  BinaryBuffer* table = data ? buffer_arg(call, 2) : nullptr;
  if (!table) return;
  if (data->eod == 0) return;
  const std::int32_t mode = arg_int(call, 3);
  if (mode < 0 || mode > 3) { fail(call.c, errs::kBinaryXlateBadMode); return; }
  static constexpr std::int32_t kTableSizes[] = {256, 512, 65536, 131072};
  if (table->eod != kTableSizes[mode]) { fail(call.c, static_cast<std::uint16_t>(errs::kXlateTable0Size + mode)); return; }
  const int inWidth = mode >= 2 ? 2 : 1, outWidth = (mode & 1) ? 2 : 1;
  if (inWidth == 2 && data->eod % 2 != 0) { fail(call.c, errs::kXlateOddData); return; }
  const std::int64_t units = data->eod / inWidth, outBytes = units * outWidth;
  if (outBytes > data->size) { fail(call.c, errs::kXlateNoSpace); return; }
  WorkBlock work(static_cast<std::size_t>(outBytes));
  if (!work) { fail(call.c, errs::kXlateNoMemory); return; }
  for (std::int64_t i = 0; i < units; ++i) {
    const std::uint32_t unit = inWidth == 1 ? data->data[i] : data->data[2 * i] | data->data[2 * i + 1] << 8;
    std::memcpy(work.data() + i * outWidth, table->data + unit * static_cast<std::uint32_t>(outWidth),
                static_cast<std::size_t>(outWidth));
  }
  std::memcpy(data->data, work.data(), static_cast<std::size_t>(outBytes));
  data->eod = static_cast<std::int32_t>(outBytes);
  make_int(call.result, data->eod);
}

}  // namespace

void register_records(HandlerTable& t) {
  t.add(kw::fn_binaryhashrec, hash_record);
  t.add(kw::fn_binarysort, sort_records);
  t.add(kw::fn_binaryxlate, translate);
}

}  // namespace orv::binary
