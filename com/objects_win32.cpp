// Obtaining objects: by class name (here or on another machine), the running
// instance, a moniker, or a file with its class; closing them; typed variants.
#include <string>

#include "com/com_hooks.h"
#include "com/com_win32.h"
#include "com/variant_rules.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"
#include "engine/variables.h"

namespace orv::com {
namespace {

Operand& arg(Call& call, int k) { return call.args[static_cast<std::size_t>(k)]; }

bool class_id(Context& c, const std::wstring& name, CLSID& clsid) {
  HRESULT hr = name.size() > 0 && name[0] == L'{' ? CLSIDFromString(name.c_str(), &clsid)
                                                   : CLSIDFromProgID(name.c_str(), &clsid);
  return SUCCEEDED(hr) ? true : fail_status(c, hr, "CComObjectAg::MakeObject", true);
}

bool give_object(Call& call, IDispatch* disp, const CLSID* clsid) {
  release_value(call.c, call.result);
  make_object_value(call.c, call.result, state_of(call.c).adopt(disp, clsid));
  return true;
}

bool create_instance(Call& call, const std::wstring& progId, const std::wstring& location) {
  Context& c = call.c;
  CLSID clsid;
  if (!class_id(c, progId, clsid)) return false;
  IDispatch* disp = nullptr;
  HRESULT hr;
  if (location.empty()) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, reinterpret_cast<void**>(&disp));
  } else {
    COSERVERINFO server{};
    server.pwszName = const_cast<LPWSTR>(location.c_str());
    MULTI_QI query{&IID_IDispatch, nullptr, S_OK};
    hr = CoCreateInstanceEx(clsid, nullptr, CLSCTX_REMOTE_SERVER | CLSCTX_LOCAL_SERVER, &server, 1, &query);
    if (SUCCEEDED(hr)) hr = query.hr;
    disp = static_cast<IDispatch*>(query.pItf);
  }
  if (FAILED(hr) || !disp) return fail_status(c, FAILED(hr) ? hr : E_NOINTERFACE, "CComObjectAg::MakeObject", true);
  return give_object(call, disp, &clsid);
}

bool bind_moniker(Call& call, const std::wstring& name) {
  Context& c = call.c;
  IBindCtx* bind = nullptr;
  HRESULT hr = CreateBindCtx(0, &bind);
  if (FAILED(hr)) return fail_status(c, hr, "CreateBindCtx", true);
  IMoniker* moniker = nullptr;
  ULONG eaten = 0;
  hr = MkParseDisplayName(bind, name.c_str(), &eaten, &moniker);
  IDispatch* disp = nullptr;
  if (SUCCEEDED(hr)) hr = moniker->BindToObject(bind, nullptr, IID_IDispatch, reinterpret_cast<void**>(&disp));
  if (moniker) moniker->Release();
  bind->Release();
  if (FAILED(hr) || !disp) return fail_status(c, FAILED(hr) ? hr : E_NOINTERFACE, "CComObjectAg::MakeObject", true);
  return give_object(call, disp, nullptr);
}

bool running_instance(Call& call, const std::wstring& progId, bool quiet) {
  Context& c = call.c;
  CLSID clsid;
  if (!class_id(c, progId, clsid)) return false;
  IUnknown* unknown = nullptr;
  HRESULT hr = GetActiveObject(clsid, nullptr, &unknown);
  IDispatch* disp = nullptr;
  if (SUCCEEDED(hr)) {
    hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
    unknown->Release();
  }
  if (SUCCEEDED(hr)) return give_object(call, disp, &clsid);
  return quiet ? false : fail_status(c, hr, "CComObjectAg::MakeObject", true);
}

bool file_with_class(Call& call, const std::wstring& file, const std::wstring& progId) {
  Context& c = call.c;
  CLSID clsid;
  if (!class_id(c, progId, clsid)) return false;
  IPersistFile* persist = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IPersistFile, reinterpret_cast<void**>(&persist));
  IDispatch* disp = nullptr;
  if (SUCCEEDED(hr)) hr = persist->Load(file.c_str(), STGM_READ);
  if (SUCCEEDED(hr)) hr = persist->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
  if (persist) persist->Release();
  if (FAILED(hr)) return fail_status(c, hr, "CComObjectAg::MakeObject", true);
  return give_object(call, disp, &clsid);
}

bool text_arg(Call& call, int k, std::wstring& out) { return wide_text(call.c, arg(call, k), out); }

// Variadic built-ins read their own list: up to `most` expressions, the
// closing parenthesis left current.
bool read_own_arguments(Context& c, std::vector<Operand>& out, std::size_t least, std::size_t most) {
  get_token(c);
  if (failed(c)) return false;
  while (!is_keyword(c, id::kRParen)) {
    if (out.size() == most) return fail(c, errs::kWrongArgumentCount);
    out.emplace_back();
    clear_operand(out.back());
    if (!process_sub_expression(c, out.back(), false, false)) return false;
    if (is_keyword(c, id::kRParen)) break;
    if (!is_keyword(c, id::kComma)) return fail(c, errs::kIllegalDelimiter);
    get_token(c);
    if (failed(c)) return false;
  }
  return out.size() >= least ? true : fail(c, errs::kWrongArgumentCount);
}

struct OwnArguments {
  Context& c;
  std::vector<Operand> values;
  ~OwnArguments() {
    for (auto& v : values) release_value(c, v);
  }
};

void object_create(Call& call) {
  if (!state_of(call.c).ready(call.c)) return;
  std::wstring progId, location;
  if (!text_arg(call, 1, progId)) return;
  if (call.count >= 2 && !text_arg(call, 2, location)) return;
  create_instance(call, progId, location);
}

void object_get(Call& call) {
  Context& c = call.c;
  OwnArguments own{c, {}};
  if (!read_own_arguments(c, own.values, 1, 2)) return;
  if (!state_of(c).ready(c)) return;
  std::wstring name, progId;
  if (!wide_text(c, own.values[0], name)) return;
  if (own.values.size() == 2 && !wide_text(c, own.values[1], progId)) return;
  if (progId.empty()) {
    bind_moniker(call, name);
  } else if (name.empty()) {
    create_instance(call, progId, {});
  } else {
    file_with_class(call, name, progId);
  }
}

void object_open(Call& call) {
  if (!state_of(call.c).ready(call.c)) return;
  std::wstring name;
  if (!text_arg(call, 1, name)) return;
  if (is_moniker_name(narrow(name))) bind_moniker(call, name);
  else create_instance(call, name, {});
}

void object_access(Call& call) {
  Context& c = call.c;
  if (!state_of(c).ready(c)) return;
  std::wstring name;
  if (!text_arg(call, 1, name)) return;
  if (is_moniker_name(narrow(name))) {
    bind_moniker(call, name);
    return;
  }
  const bool create = call.count >= 2 && arg(call, 2).i != 0;
  if (running_instance(call, name, create) || failed(c)) return;
  create_instance(call, name, {});
}

// The closed object is also taken out of every variable of this scope that holds it.
void object_close(Call& call) {
  Context& c = call.c;
  ComObject* o = object_of(arg(call, 1));
  if (!o || !state_of(c).owns(o)) { fail(c, errs::kOleTerminateNotObject); return; }
  state_of(c).close(o);
  for (std::uint16_t s = 0; s < c.hwm; ++s) {
    if (object_of(c.slots[s].v) != o) continue;
    Value zero{};
    make_int(zero, 0);
    store_in_slot(c, s, zero);
  }
}

void object_type(Call& call) {
  Context& c = call.c;
  OwnArguments own{c, {}};
  if (!read_own_arguments(c, own.values, 2, 2)) return;
  if (!state_of(c).ready(c)) return;
  std::string typeName;
  if (!value_text(c, own.values[0], typeName)) return;
  auto type = parse_vartype(typeName);
  if (!type) { fail(c, errs::kComBadVariableType); return; }
  VARIANT var;
  if (!value_to_typed_variant(c, own.values[1], *type, var)) return;
  Value made{};
  const bool ok = hold_variant(c, var, made);
  VariantClear(&var);
  if (!ok) return;
  release_value(c, call.result);
  static_cast<Value&>(call.result) = made;
}

}  // namespace
}  // namespace orv::com

namespace orv {

void register_com_events(HandlerTable& t);
void register_com_collections(HandlerTable& t);
void register_com_constants(HandlerTable& t);
void register_com_clr(HandlerTable& t);

void register_com_functions(HandlerTable& t) {
  using namespace com;
  t.add(kw::fn_objectcreate, object_create);
  t.add(kw::fn_objectget, object_get);
  t.add(kw::fn_objectopen, object_open);
  t.add(kw::fn_objectaccess, object_access);
  t.add(kw::fn_objectclose, object_close);
  t.add(kw::fn_objecttype, object_type);
  t.add(kw::fn_createobject, object_create);
  t.add(kw::fn_getobject, object_get);
  register_com_collections(t);
  register_com_constants(t);
  register_com_clr(t);
  register_com_events(t);
}

}  // namespace orv
