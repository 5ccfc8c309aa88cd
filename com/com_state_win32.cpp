// The per-context automation state, object values and failure reports.
#include <cstdio>
#include <cstring>

#include "com/com_hooks.h"
#include "com/com_win32.h"
#include "com/events_win32.h"
#include "com/variant_rules.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "platform/codepage.h"
#include "platform/platform.h"

namespace orv::com {

ComState::~ComState() {
  for (auto& [at, e] : loops)
    if (e) e->Release();
  loops.clear();
  // Whatever a script still holds is let go at termination.
  for (auto& [raw, o] : objects_) {
    detach_sink(*o);
    if (o->typeInfo) o->typeInfo->Release();
    if (o->disp) o->disp->Release();
  }
  objects_.clear();
  if (uninitialize_) OleUninitialize();
}

bool ComState::ready(Context& c) {
  if (initialized_) return true;
  const HRESULT hr = OleInitialize(nullptr);
  if (FAILED(hr) && hr != RPC_E_CHANGED_MODE) return fail_status(c, hr, "OleInitialize", true);
  uninitialize_ = SUCCEEDED(hr);
  initialized_ = true;
  return true;
}

ComObject* ComState::adopt(IDispatch* disp, const CLSID* clsid) {
  auto owned = std::make_unique<ComObject>();
  ComObject* o = owned.get();
  o->disp = disp;
  if (clsid) {
    o->clsid = *clsid;
    o->hasClsid = true;
  }
  objects_.emplace(o, std::move(owned));
  return o;
}

void ComState::close(ComObject* o) {
  detach_sink(*o);
  if (o->typeInfo) o->typeInfo->Release();
  o->typeInfo = nullptr;
  if (o->disp) o->disp->Release();
  o->disp = nullptr;
}

void ComState::release(ComObject* o) {
  if (o->refs > 1) {
    --o->refs;
    return;
  }
  close(o);
  objects_.erase(o);
}

ComState& state_of(Context& c) {
  if (!c.comState) {
    auto s = std::make_shared<ComState>();
    s->context = &c;
    c.comState = s;
  }
  return *static_cast<ComState*>(c.comState.get());
}

VARIANT load_variant(const Value& v) {
  VARIANT var;
  static_assert(sizeof(VARIANT) == sizeof(v.variant));
  std::memcpy(&var, v.variant, sizeof var);
  return var;
}

void store_variant(Value& v, const VARIANT& var) { std::memcpy(v.variant, &var, sizeof var); }

void make_object_value(Context& c, Value& v, ComObject* o) {
  state_of(c).add_ref(o);
  clear_value(v);
  VARIANT var;
  VariantInit(&var);
  var.vt = VT_BYREF;
  var.byref = o;
  store_variant(v, var);
  v.i = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(o));
  v.flags = vf::kCom | vf::kComObject | vf::kInt;
}

ComObject* object_of(const Value& v) {
  if ((v.flags & (vf::kCom | vf::kComObject)) != (vf::kCom | vf::kComObject)) return nullptr;
  return static_cast<ComObject*>(load_variant(v).byref);
}

IDispatch* dispatch_of(Context& c, const Value& v) {
  ComObject* o = object_of(v);
  if (!o || !o->disp) {
    fail(c, errs::kNotAnObject);
    return nullptr;
  }
  return o->disp;
}

std::string narrow(const std::wstring& w) {
  std::string out;
  platform::utf16_to_ansi(std::u16string_view(reinterpret_cast<const char16_t*>(w.data()), w.size()), out);
  return out;
}

bool wide_text(Context& c, const Value& v, std::wstring& out) {
  // A text converts straight from the value (a call passes one per string
  // argument); other kinds go through a copy that the conversion may change.
  if (v.flags & vf::kWide) {
    auto units = wstr_view(c, v);
    out.assign(reinterpret_cast<const wchar_t*>(units.data()), units.size());
    return true;
  }
  if ((v.flags & vf::kStr) && !(v.flags & vf::kArray)) {
    std::u16string units;
    if (!platform::codepage_to_utf16(str_of(c, v), c.conversionCodePage, units)) return fail(c, errs::kNotConvertibleToUnicode);
    out.assign(units.begin(), units.end());
    return true;
  }
  Value copy{};
  if (!copy_value(c, v, copy)) return false;
  const bool ok = to_wide(c, copy);
  if (ok) {
    auto units = wstr_view(c, copy);
    out.assign(reinterpret_cast<const wchar_t*>(units.data()), units.size());
  }
  release_value(c, copy);
  return ok;
}

bool fail_status(Context& c, HRESULT hr, const char* step, bool creating, std::string detail) {
  if (hr == E_OUTOFMEMORY && creating) return fail(c, errs::kComNoMemory);
  // The failed step and its status go to the last-error trace (the debugger output).
  char trace[160];
  std::snprintf(trace, sizeof trace, "%s: 0x%08lX", step, static_cast<unsigned long>(hr));
  platform::debug_output(trace);
  return fail(c, error_for_status(static_cast<std::uint32_t>(hr), creating), std::move(detail));
}

bool fail_exception(Context& c, HRESULT hr, EXCEPINFO& info, const char* step) {
  if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  const std::wstring source = info.bstrSource ? info.bstrSource : L"";
  const std::wstring description = info.bstrDescription ? info.bstrDescription : L"";
  const long code = info.scode ? info.scode : info.wCode;
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  info = EXCEPINFO{};
  char codeText[32];
  std::snprintf(codeText, sizeof codeText, "0x%08lX", static_cast<unsigned long>(code));
  return fail_status(c, hr, step, false,
                     "COM/CLR Exception:\n" + narrow(source) + "\n" + narrow(description) + "\n" + codeText);
}

}  // namespace orv::com

namespace orv {
namespace {

// A number, date or flag variant owns no memory: copying it is copying its
// bytes and letting it go is nothing (a call's answer is mostly one).
bool com_owns_nothing(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2:
    case VT_UI4: case VT_UI8: case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DATE:
    case VT_BOOL: case VT_ERROR: case VT_DECIMAL:
      return true;
    default:
      return false;
  }
}

}  // namespace

void com_release_payload(Context& c, Value& v) {
  using namespace com;
  if (ComObject* o = object_of(v)) {
    if (c.comState && state_of(c).owns(o)) state_of(c).release(o);
    return;
  }
  VARIANT var = load_variant(v);
  if (!com_owns_nothing(var.vt)) VariantClear(&var);
}

bool com_answer_value(Context& c, const Value& answered, Value& out) {
  using namespace com;
  if (object_of(answered)) return copy_value(c, answered, out);
  return hold_variant(c, load_variant(answered), out);
}

bool com_copy_payload(Context& c, const Value& src, Value& dst) {
  using namespace com;
  if (ComObject* o = object_of(src)) {
    state_of(c).add_ref(o);
    return true;
  }
  VARIANT from = load_variant(src), to;
  if (com_owns_nothing(from.vt)) {
    store_variant(dst, from);
    return true;
  }
  VariantInit(&to);
  const HRESULT hr = VariantCopy(&to, &from);
  if (FAILED(hr)) {
    VariantInit(&to);
    store_variant(dst, to);
    return fail_status(c, hr, "VariantCopy");
  }
  store_variant(dst, to);
  return true;
}

}  // namespace orv
