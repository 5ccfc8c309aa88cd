// BinaryAlloc, BinaryFree, BinaryBufInfo, BinaryEodGet, BinaryEodSet and
// BinaryOleType: the life and the bookkeeping of a buffer.
#include <cstdint>

#include "builtins/binary/binary_args.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

void binary_alloc(Call& call) {
  std::uint16_t error = 0;
  const std::int32_t handle = call.c.binaries.allocate(arg_int(call, 1), error);
  if (!handle) { fail(call.c, error); return; }
  make_int(call.result, handle);
  call.result.flags |= vf::kBinary;
}

void binary_free(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  // A structure's data lives as long as the structure: DllStructFree releases it.
  if (!b->ownedByStruct) call.c.binaries.release(arg_int(call, 1));
  make_int(call.result, 0);
}

void buf_info(Call& call) {
  const std::int32_t request = arg_int(call, 2);
  if (request == -1) {
    make_int(call.result, call.c.binaries.find(arg_int(call, 1)) ? 1 : 0);
    return;
  }
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  switch (request) {
    case 0: make_int(call.result, b->size); return;
    case 1: make_int(call.result, static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(b->data))); return;
    case 2: make_int(call.result, b->eod); return;
    default: fail(call.c, errs::kBadRequest);
  }
}

void eod_get(Call& call) {
  if (BinaryBuffer* b = buffer_arg(call, 1)) make_int(call.result, b->eod);
}

void eod_set(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  const std::int32_t eod = arg_int(call, 2);
  if (!check_offset(call, eod)) return;
  if (eod > b->size) { fail(call.c, errs::kEodBeyondEnd); return; }
  make_int(call.result, b->eod);
  b->eod = eod;
}

// Code: hundreds digit the direction (1-3), remainder the variant type (1-11);
// 0 clears the typing.
void ole_type(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  const std::int32_t code = arg_int(call, 2);
  if (code == 0) {
    b->comType = b->comDirection = 0;
  } else {
    if (code < 0 || code >= 400 || code % 100 >= 12) { fail(call.c, errs::kOleTypeInvalid); return; }
    if (code % 100 == 0) { fail(call.c, errs::kOleTypeNoDataType); return; }
    if (code < 100) { fail(call.c, errs::kOleTypeNoDirection); return; }
    b->comType = code % 100;
    b->comDirection = code / 100;
  }
  make_int(call.result, 1);
}

}  // namespace

void register_alloc(HandlerTable& t) {
  t.add(kw::fn_binaryalloc, binary_alloc);
  t.add(kw::fn_binaryfree, binary_free);
  t.add(kw::fn_binarybufinfo, buf_info);
  t.add(kw::fn_binaryeodget, eod_get);
  t.add(kw::fn_binaryeodset, eod_set);
  t.add(kw::fn_binaryoletype, ole_type);
}

}  // namespace orv::binary
