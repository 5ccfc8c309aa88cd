// DllCall and DllCallCdecl: marshal the typed arguments into stack words,
// call the entry point, convert what it returns.
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/outside_code.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "extend/dll_args.h"
#include "extend/dll_groups.h"
#include "extend/dll_state.h"
#include "extend/foreign_text.h"

namespace orv::dll {
namespace {

constexpr std::size_t kMaxDllName = 260;
constexpr std::size_t kMaxEntryName = 128;

std::uint32_t address_word(const void* p) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

// A conversion that fails reports the DllCall's own number, not the generic one.
bool int_or(Context& c, Operand& v, std::uint16_t error, std::int32_t& out) {
  if (!to_int32(c, v)) { c.error = 0; return fail(c, error); }
  out = v.i;
  return true;
}

bool int64_or(Context& c, Operand& v, std::uint16_t error, std::int64_t& out) {
  if (v.flags & vf::kInt64) { out = v.wide.i64; return true; }
  if (v.flags & vf::kInt) { out = v.i; return true; }
  if (!to_numeric(c, v, true)) { c.error = 0; return fail(c, error); }
  if (v.flags & vf::kInt64) out = v.wide.i64;
  else if (v.flags & vf::kInt) out = v.i;
  else if (!float_to_int64(v.wide.f, out)) return fail(c, error);
  return true;
}

void push64(std::vector<std::uint32_t>& words, std::uint64_t bits) {
  words.push_back(static_cast<std::uint32_t>(bits));          // low word at the lower address
  words.push_back(static_cast<std::uint32_t>(bits >> 32));
}

struct Marshalled {
  std::vector<std::uint32_t> words;
  std::vector<std::int32_t> buffers;     // lpbinary handles, checked again after the call
  std::vector<Callback*> callbacks;
};

bool marshal(Context& c, ParsedCall& p, bool cdeclCall, Marshalled& m) {
  DllState& s = dll_state(c);
  for (int k = 0; k < p.count; ++k) {
    Operand& v = p.values[static_cast<std::size_t>(k)];
    std::int32_t i = 0;
    switch (p.types[static_cast<std::size_t>(k)]) {
      case p_word:
        if (!int_or(c, v, errs::kDllCallNotShort, i)) return false;
        m.words.push_back(static_cast<std::uint32_t>(i) & 0xFFFF);
        break;
      case p_long: case p_long_ptr:
        if (!int_or(c, v, errs::kDllCallNotLong, i)) return false;
        m.words.push_back(static_cast<std::uint32_t>(i));
        break;
      case p_lpstr:
        if ((v.flags & vf::kStr) && v.str == 0) { m.words.push_back(0); break; }
        if (!to_string(c, v)) { c.error = 0; return fail(c, errs::kDllCallNotString); }
        m.words.push_back(address_word(str_of(c, v)));
        break;
      case p_lpwstr:
        if (!to_wide(c, v)) { c.error = 0; return fail(c, errs::kNotConvertibleToUnicode); }
        m.words.push_back(address_word(wstr_of(c, v)));
        break;
      case p_lpbinary: {
        if (!int_or(c, v, errs::kBadBinaryHandle, i)) return false;
        BinaryBuffer* b = c.binaries.find(i);
        if (!b) return fail(c, errs::kBadBinaryHandle);
        m.buffers.push_back(i);
        m.words.push_back(address_word(b->data));
        break;
      }
      case p_lpnull: m.words.push_back(0); break;
      case p_double: {
        if (!to_float(c, v)) { c.error = 0; return fail(c, errs::kDllCallNotDouble); }
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v.wide.f, sizeof bits);
        push64(m.words, bits);
        break;
      }
      case p_long64: {
        std::int64_t value = 0;
        if (!int64_or(c, v, errs::kDllCallNotLong, value)) return false;
        push64(m.words, static_cast<std::uint64_t>(value));
        break;
      }
      case p_callback: {
        Callback* cb = nullptr;
        if (to_int32(c, v)) cb = s.find_callback(v.i);
        c.error = 0;
        if (!cb) return fail(c, errs::kNotACallback);
        cb->cdeclCaller = cdeclCall;
        m.callbacks.push_back(cb);
        m.words.push_back(address_word(cb->thunk.address()));
        break;
      }
      case p_lpstruct: {
        DllStruct* st = nullptr;
        if (to_int32(c, v)) st = s.find_struct(v.i);
        c.error = 0;
        BinaryBuffer* b = st ? c.binaries.find(st->buffer) : nullptr;
        if (!b) return fail(c, errs::kNotAStructHandle);
        m.words.push_back(address_word(b->data));
        break;
      }
    }
  }
  return true;
}

bool convert_result(Call& call, int returnType, const CallResult& r) {
  Context& c = call.c;
  const std::uint64_t pair = (std::uint64_t{r.edx} << 32) | r.eax;
  switch (returnType) {
    case r_word: make_int(call.result, static_cast<std::int32_t>(r.eax & 0xFFFF)); return true;
    case r_long: case r_long_ptr: make_int(call.result, static_cast<std::int32_t>(r.eax)); return true;
    case r_long64: make_int64(call.result, static_cast<std::int64_t>(pair)); return true;
    case r_double: make_float(call.result, r.st0); return true;
    // A wrong return type makes any number a "pointer": unreadable is 1843, not a crash.
    case r_lpstr: {
      std::string text;
      if (!foreign_text(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(r.eax)), text)) return fail(c, errs::kMemoryUnreadable);
      return make_string(c, call.result, text);
    }
    case r_lpwstr: {
      std::u16string text;
      if (!foreign_text(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(r.eax)), text)) return fail(c, errs::kMemoryUnreadable);
      return make_wstring(c, call.result, text);
    }
    default: return true;   // void
  }
}

// The module to call: a "?" handle as it stands, or a file loaded for this call.
struct Target {
  ModuleHandle module = nullptr;
  bool owned = false;
  ~Target() { if (owned) free_module(module); }
};

bool open_target(Context& c, Operand& dll, Target& t) {
  if (!(dll.flags & (vf::kStr | vf::kWide | vf::kInt)) || !to_string(c, dll)) { c.error = 0; return fail(c, errs::kDllCallBadDllName); }
  const std::string name = str_of(c, dll);
  if (name.empty() || name.size() > kMaxDllName) return fail(c, errs::kDllCallBadDllName);
  if (name[0] == '?') {
    char* end = nullptr;
    const unsigned long value = std::strtoul(name.c_str() + 1, &end, 10);
    if (!end || *end) return fail(c, errs::kDllFileNotLoadable);
    t.module = reinterpret_cast<ModuleHandle>(static_cast<std::uintptr_t>(value));
    return true;
  }
  t.module = load_dll(c, name);
  t.owned = t.module != nullptr;
  return t.owned;
}

void* resolve_entry(Context& c, Operand& entry, ModuleHandle module) {
  std::string name;
  std::uint16_t ordinal = 0;
  if ((entry.flags & vf::kInt) && !(entry.flags & vf::kStr)) {
    ordinal = static_cast<std::uint16_t>(entry.i & 0xFFFF);
  } else {
    if (!(entry.flags & (vf::kStr | vf::kWide)) || !to_string(c, entry)) { c.error = 0; fail(c, errs::kDllCallBadEntryPointName); return nullptr; }
    name = str_of(c, entry);
    if (name.empty() || name.size() > kMaxEntryName) { fail(c, errs::kDllCallBadEntryPointName); return nullptr; }
  }
  void* address = find_entry(module, name, ordinal);
  if (!address) fail(c, errs::kDllCallBadEntryPoint);
  return address;
}

void report_stack_mismatch(Context& c, const CallResult& r) {
  char text[160];
  std::snprintf(text, sizeof text, "%s: %ld <%lx> %s: %ld <%lx>", "Old SP", static_cast<long>(r.spBefore),
                static_cast<unsigned long>(r.spBefore), "New SP", static_cast<long>(r.spAfter),
                static_cast<unsigned long>(r.spAfter));
  notify(c, text, "NT DLLCall: Bad Parameter List");
  fail(c, errs::kDllCallStackMismatch);
}

void dll_call(Call& call, bool cdeclCall) {
  Context& c = call.c;
  ParsedCall p(c);
  if (!parse_dll_call(c, p)) return;
  Marshalled m;
  if (!marshal(c, p, cdeclCall, m)) return;
  Target target;
  if (!open_target(c, p.dll, target)) return;
  void* entry = resolve_entry(c, p.entry, target.module);
  if (!entry) return;
  DllState& s = dll_state(c);
  s.callbacksInFlight += static_cast<int>(m.callbacks.size());
  CallResult r;
  invoke(entry, m.words.data(), static_cast<int>(m.words.size()), cdeclCall, p.returnType == r_double, r);
  after_outside_code(c);   // the DLL may have written into the texts it was given
  s.callbacksInFlight -= static_cast<int>(m.callbacks.size());
  s.lastError = r.lastError;
  // A refusal from a foreign thread is reported by the call during which it
  // happened, or by the next one when the thread called between two calls
  // (the flag is only taken, never cleared beforehand, so none is lost).
  const bool refused = s.refusedCallback.exchange(false);
  if (r.fault.code) {
    // The guard put the stack back; the callee's fault is the script's error.
    if (!failed(c)) fail(c, errs::kDllCallStackMismatch, fault_text(r.fault));
    return;
  }
  if (failed(c)) return;   // a callback's function failed: its error stands
  if (r.spAfter != r.spBefore) { report_stack_mismatch(c, r); return; }
  if (refused) { fail(c, errs::kCallbackWrongThread); return; }
  for (std::int32_t handle : m.buffers)
    if (!c.binaries.find(handle)) { fail(c, errs::kBadBinaryHandle); return; }
  convert_result(call, p.returnType, r);
}

void dll_call_stdcall(Call& call) { dll_call(call, false); }
void dll_call_cdecl(Call& call) { dll_call(call, true); }

}  // namespace

void register_calls(HandlerTable& t) {
  t.add(kw::fn_dllcall, dll_call_stdcall);
  t.add(kw::fn_dllcallcdecl, dll_call_cdecl);
}

}  // namespace orv::dll
