// DllCallbackCreate and DllCallbackDestroy, and the C++ half of the callback
// dispatcher: a DLL calls a thunk, the thunk names the record, and the record
// says how to read the arguments, which function to run and how to return.
#include <cstring>

#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/outside_code.h"
#include "engine/keyword_ids.h"
#include "engine/no_throw.h"
#include "engine/trace/trace.h"
#include "engine/udf.h"
#include "extend/dll_groups.h"
#include "extend/dll_state.h"

namespace orv::dll {
namespace {

template <typename Ch>
std::basic_string_view<Ch> text_at(std::uint32_t address) {
  const auto* p = reinterpret_cast<const Ch*>(static_cast<std::uintptr_t>(address));
  return p ? std::basic_string_view<Ch>(p) : std::basic_string_view<Ch>();
}

// Reads the DLL's arguments into slots 1..n by the recorded types.
bool read_arguments(Context& c, const Callback& cb, const std::uint32_t* words, ArgSlots& args) {
  std::size_t w = 0;
  for (std::size_t k = 0; k < cb.signature.params.size(); ++k) {
    Operand& a = args[k + 1];
    bool ok = true;
    switch (cb.signature.params[k]) {
      case p_word: make_int(a, static_cast<std::int32_t>(words[w] & 0xFFFF)); break;
      case p_lpstr: ok = make_string(c, a, text_at<char>(words[w])); break;
      case p_lpwstr: ok = make_wstring(c, a, text_at<char16_t>(words[w])); break;
      case p_double: {
        double f;
        std::memcpy(&f, words + w, sizeof f);
        make_float(a, f);
        break;
      }
      case p_long64: {
        std::int64_t v;
        std::memcpy(&v, words + w, sizeof v);
        make_int64(a, v);
        break;
      }
      case p_lpnull: make_int(a, 0); break;
      default: make_int(a, static_cast<std::int32_t>(words[w])); break;
    }
    if (!ok) return false;
    w += static_cast<std::size_t>(stack_words(cb.signature.params[k]));
  }
  return true;
}

void store_return(Context& c, int type, Operand& result, CallbackReturn& ret) {
  switch (type) {
    case r_double:
      if (to_float(c, result)) ret.st0 = result.wide.f;
      break;
    case r_long64: {
      std::int64_t v = 0;
      if (result.flags & vf::kInt64) v = result.wide.i64;
      else if (to_int32(c, result)) v = result.i;
      ret.eax = static_cast<std::uint32_t>(v);
      ret.edx = static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) >> 32);
      break;
    }
    case r_void: break;
    default:
      if (to_int32(c, result)) ret.eax = static_cast<std::uint32_t>(type == r_word ? result.i & 0xFFFF : result.i);
      break;
  }
}

void run_callback(Callback& cb, const std::uint32_t* words, CallbackReturn& ret) {
  Context& c = *cb.context;
  after_outside_code(c);   // the caller may have written into texts
  if (failed(c)) return;   // an earlier call of this DLL call failed: run nothing more
  const int udf = find_udf(c, cb.udfName);
  if (udf < 0) { fail(c, errs::kUdfNotFound); return; }
  ArgSlots args;
  for (auto& a : args) clear_operand(a);
  ArgSlotGuard guard{c, args};
  if (!read_arguments(c, cb, words, args)) return;
  Temp result(c);
  make_int(result.op(), 0);
  trace::callback_triggered(c, trace::CallbackSource::common);
  if (!call_udf(c, udf, args.data(), static_cast<int>(cb.signature.params.size()), result.op())) return;
  store_return(c, cb.signature.returnType, result.op(), ret);
  if (failed(c)) return;
}

void callback_create(Call& call) {
  Context& c = call.c;
  const char* name = str_of(c, call.args[1]);
  const int udf = find_udf(c, name);
  if (udf < 0) { fail(c, errs::kUdfNotFound); return; }
  auto cb = std::make_unique<Callback>();
  if (int e = parse_callback_signature(str_of(c, call.args[2]), str_of(c, call.args[3]), cb->signature)) {
    fail(c, static_cast<std::uint16_t>(e));
    return;
  }
  if (cb->signature.params.size() != c.udfs[static_cast<std::size_t>(udf)].params.size()) { fail(c, errs::kCallbackParamCountMismatch); return; }
  DllState& s = dll_state(c);
  int slot = -1;
  for (int k = 0; k < kCallbackSlots && slot < 0; ++k)
    if (!s.callbacks[static_cast<std::size_t>(k)]) slot = k;
  if (slot < 0) { fail(c, errs::kTooManyCallbacks); return; }
  cb->udfName = c.udfs[static_cast<std::size_t>(udf)].name;
  cb->context = &c;
  cb->thread = current_thread();
  if (!cb->thunk.make(cb.get())) { fail(c, errs::kOutOfMemory); return; }
  s.callbacks[static_cast<std::size_t>(slot)] = std::move(cb);
  make_int(call.result, kCallbackHandleBase + slot);
}

void callback_destroy(Call& call) {
  DllState& s = dll_state(call.c);
  if (!s.find_callback(call.args[1].i)) { fail(call.c, errs::kNotACallback); return; }
  s.callbacks[static_cast<std::size_t>(call.args[1].i - kCallbackHandleBase)].reset();
  make_int(call.result, 1);
}

}  // namespace

void register_callbacks(HandlerTable& t) {
  t.add(kw::fn_dllcallbackcreate, callback_create);
  t.add(kw::fn_dllcallbackdestroy, callback_destroy);
}

}  // namespace orv::dll

// Called by the dispatcher's assembly with the record from the thunk. Never
// lets anything escape into the DLL's frames.
extern "C" void orv_callback_entry(void* record, const std::uint32_t* args, orv::dll::CallbackReturn* ret) {
  using namespace orv::dll;
  *ret = CallbackReturn{};
  auto& cb = *static_cast<Callback*>(record);
  ret->popBytes = cb.cdeclCaller ? 0 : static_cast<std::uint32_t>(cb.signature.stackBytes);
  ret->isFloat = cb.signature.returnType == r_double ? 1 : 0;
  if (current_thread() != cb.thread) {
    dll_state(*cb.context).refusedCallback = true;
    return;
  }
  try {
    run_callback(cb, args, *ret);
  } catch (...) {
    orv::fail(*cb.context, orv::error_for_current_exception());
  }
}
