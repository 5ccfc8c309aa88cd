// BinaryCopy, BinaryAnd, BinaryOr, BinaryXor and BinaryCompare: byte ranges
// of two buffers (or two ranges of one). Every check precedes any change.
#include <cstring>

#include "builtins/binary/binary_args.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

struct Ranges {
  BinaryBuffer* target = nullptr;
  BinaryBuffer* source = nullptr;
  std::int64_t to = 0, from = 0, count = 0;
};

// Messages of the size checks: offset beyond a buffer, count beyond the
// target, count beyond the source.
struct SizeErrors { std::uint16_t offset, targetCount, sourceCount; };
constexpr SizeErrors kCopyErrors{errs::kCopyOffsetsBeyondEnd, errs::kCopyTargetTooSmall, errs::kCopySourceTooShort};
constexpr SizeErrors kCombineErrors{errs::kBinaryOffsetsBeyondEnd, errs::kBinaryCountBeyondEnd, errs::kBinaryCountBeyondEnd};

// False with the error set, or with no error when there is nothing to do.
bool read_ranges(Call& call, Ranges& r, const SizeErrors& e) {
  r.target = buffer_arg(call, 1);
  r.source = r.target ? buffer_arg(call, 3) : nullptr;
  if (!r.source) return false;
  r.to = arg_int(call, 2);
  r.from = arg_int(call, 4);
  r.count = arg_int(call, 5);
  if (!check_offset(call, r.to) || !check_offset(call, r.from) || !check_count(call, r.count)) return false;
  if (r.count == 0) return false;
  if (r.to >= r.target->size || r.from >= r.source->size) return fail(call.c, e.offset);
  if (r.to + r.count > r.target->size) return fail(call.c, e.targetCount);
  if (r.from + r.count > r.source->size) return fail(call.c, e.sourceCount);
  return true;
}

bool within_eod(const Ranges& r) { return r.to + r.count <= r.target->eod && r.from + r.count <= r.source->eod; }

void copy(Call& call) {
  Ranges r;
  if (!read_ranges(call, r, kCopyErrors)) return;
  std::memmove(r.target->data + r.to, r.source->data + r.from, static_cast<std::size_t>(r.count));
  r.target->raise_eod(r.to + r.count);
  make_int(call.result, static_cast<std::int32_t>(r.count));
}

template <class Op>
void combine(Call& call) {
  Ranges r;
  if (!read_ranges(call, r, kCombineErrors)) {
    if (!failed(call.c)) make_int(call.result, 1);
    return;
  }
  if (r.to >= r.target->eod || r.from >= r.source->eod) { fail(call.c, errs::kBinaryOffsetBeyondEod); return; }
  if (!within_eod(r)) { fail(call.c, errs::kBinaryCountBeyondEod); return; }
  // Ranges of one buffer may overlap: walk away from the side being written,
  // so that every source byte is read before it changes.
  std::uint8_t* t = r.target->data + r.to;
  const std::uint8_t* src = r.source->data + r.from;
  const auto n = static_cast<std::size_t>(r.count);
  if (t <= src) {
    for (std::size_t i = 0; i < n; ++i) t[i] = Op{}(t[i], src[i]);
  } else {
    for (std::size_t i = n; i-- > 0;) t[i] = Op{}(t[i], src[i]);
  }
  make_int(call.result, 1);
}

struct And { std::uint8_t operator()(std::uint8_t a, std::uint8_t b) const { return a & b; } };
struct Or { std::uint8_t operator()(std::uint8_t a, std::uint8_t b) const { return a | b; } };
struct Xor { std::uint8_t operator()(std::uint8_t a, std::uint8_t b) const { return a ^ b; } };

void compare(Call& call) {
  Ranges r;
  if (!read_ranges(call, r, kCombineErrors)) {
    if (!failed(call.c)) make_int(call.result, 1);
    return;
  }
  const bool same = within_eod(r) &&
                    std::memcmp(r.target->data + r.to, r.source->data + r.from, static_cast<std::size_t>(r.count)) == 0;
  make_int(call.result, same ? 1 : 0);
}

}  // namespace

void register_two_buffers(HandlerTable& t) {
  t.add(kw::fn_binarycopy, copy);
  t.add(kw::fn_binaryand, combine<And>);
  t.add(kw::fn_binaryor, combine<Or>);
  t.add(kw::fn_binaryxor, combine<Xor>);
  t.add(kw::fn_binarycompare, compare);
}

}  // namespace orv::binary
