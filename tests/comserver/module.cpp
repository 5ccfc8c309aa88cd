// The module: exports, class factory, registration, the live-object count,
// the shared dispatch plumbing and the type information of the events.
#include <cwchar>

#include "tests/comserver/comserver.h"

namespace testserver {
namespace {

HMODULE g_module = nullptr;
long g_locks = 0;
constexpr const wchar_t* kLiveVariable = L"ORVTEST_LIVE";

void set_live(long n) {
  wchar_t text[32];
  std::swprintf(text, 32, L"%ld", n);
  SetEnvironmentVariableW(kLiveVariable, text);
}

class Factory : public IClassFactory {
 public:
  using Make = IDispatch* (*)();
  explicit Factory(Make make) : make_(make) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IDispatch* server = make_();
    const HRESULT hr = server->QueryInterface(iid, out);
    server->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    module_lock(lock != FALSE);
    return S_OK;
  }

 private:
  Make make_;
};

Factory g_factory(new_server);
Factory g_controlFactory([] { return new_control(g_module, false); });
Factory g_viewControlFactory([] { return new_control(g_module, true); });

std::wstring clsid_text(const CLSID& clsid) {
  wchar_t text[64];
  StringFromGUID2(clsid, text, 64);
  return text;
}

LONG set_key(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  LONG r = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (r != ERROR_SUCCESS) return r;
  r = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return r;
}

}  // namespace

void object_born() { set_live(live_objects() + 1); }
void object_died() { set_live(live_objects() - 1); }
long live_objects() {
  wchar_t text[32] = {};
  if (!GetEnvironmentVariableW(kLiveVariable, text, 32)) return 0;
  return std::wcstol(text, nullptr, 10);
}
void module_lock(bool lock) { lock ? ++g_locks : --g_locks; }
long module_locks() { return g_locks; }

HRESULT DispatchBase::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
  } else if (void* other = other_interface(iid)) {
    *out = other;
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG DispatchBase::Release() {
  const ULONG n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT DispatchBase::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT DispatchBase::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchBase::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (count != 1) return DISP_E_UNKNOWNNAME;
  for (std::size_t i = 0; i < count_; ++i) {
    if (_wcsicmp(names[0], members_[i].name) == 0) {
      ids[0] = members_[i].id;
      return S_OK;
    }
  }
  ids[0] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

VARIANT* argument(DISPPARAMS* params, UINT k) {
  VARIANT* v = &params->rgvarg[params->cArgs - 1 - k];
  while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
  return v;
}

// Counts the positional arguments: a property put's value is the named one.
HRESULT expect_args(DISPPARAMS* params, UINT least, UINT most) {
  if (params->cNamedArgs > 0 && !(params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT))
    return DISP_E_NONAMEDARGS;
  const UINT n = params->cArgs - params->cNamedArgs;
  return n < least || n > most ? DISP_E_BADPARAMCOUNT : S_OK;
}

HRESULT raise(EXCEPINFO* info, const std::wstring& description) {
  if (info) {
    *info = EXCEPINFO{};
    info->bstrSource = SysAllocString(kProgId);
    info->bstrDescription = SysAllocString(description.c_str());
    info->scode = E_FAIL;
  }
  return DISP_E_EXCEPTION;
}

// A type library built in memory: the event interface and the coclass
// that names it as its default source.
namespace {

// An enumeration "Shades" of constant members.
void add_enumeration(ICreateTypeLib2* lib, const std::vector<ConstantDesc>& constants) {
  ICreateTypeInfo* shades = nullptr;
  if (constants.empty() || FAILED(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"Shades"), TKIND_ENUM, &shades))) return;
  for (UINT k = 0; k < constants.size(); ++k) {
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = constants[k].value;
    VARDESC v{};
    v.memid = static_cast<MEMBERID>(0x40000000 + k);
    v.lpvarValue = &value;
    v.elemdescVar.tdesc.vt = VT_I4;
    v.varkind = VAR_CONST;
    shades->AddVarDesc(k, &v);
    shades->SetVarName(k, const_cast<LPOLESTR>(constants[k].name));
  }
  shades->LayOut();
  shades->Release();
}

}  // namespace

ITypeInfo* coclass_with_events(const wchar_t* libName, const CLSID& clsid, const IID& eventsIid,
                               const std::vector<EventDesc>& list, const std::vector<ConstantDesc>& constants) {
  ICreateTypeLib2* lib = nullptr;
  if (FAILED(CreateTypeLib2(SYS_WIN32, (std::wstring(libName) + L".tlb").c_str(), &lib))) return nullptr;
  lib->SetGuid(kLibId);
  lib->SetName(const_cast<LPOLESTR>(libName));
  add_enumeration(lib, constants);
  ICreateTypeInfo* events = nullptr;
  ICreateTypeInfo* coclass = nullptr;
  ITypeInfo* eventsInfo = nullptr;
  ITypeInfo* result = nullptr;
  if (SUCCEEDED(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"Events"), TKIND_DISPATCH, &events))) {
    events->SetGuid(eventsIid);
    for (UINT k = 0; k < list.size(); ++k) {
      const EventDesc& e = list[k];
      std::vector<ELEMDESC> params(e.params.size());
      std::vector<LPOLESTR> names{const_cast<LPOLESTR>(e.name)};
      SHORT optional = 0;
      for (std::size_t p = 0; p < e.params.size(); ++p) {
        params[p] = ELEMDESC{};
        params[p].tdesc.vt = e.params[p].type;
        params[p].paramdesc.wParamFlags = static_cast<USHORT>(
            PARAMFLAG_FIN | (e.params[p].optional ? PARAMFLAG_FOPT : 0) | (e.params[p].byRef ? PARAMFLAG_FOUT : 0));
        optional += e.params[p].optional;
        names.push_back(const_cast<LPOLESTR>(e.params[p].name));
      }
      FUNCDESC f{};
      f.funckind = FUNC_DISPATCH;
      f.invkind = INVOKE_FUNC;
      f.callconv = CC_STDCALL;
      f.elemdescFunc.tdesc.vt = VT_VOID;
      f.memid = e.id;
      f.cParams = static_cast<SHORT>(params.size());
      f.cParamsOpt = optional;
      f.lprgelemdescParam = params.empty() ? nullptr : params.data();
      events->AddFuncDesc(k, &f);
      events->SetFuncAndParamNames(k, names.data(), static_cast<UINT>(names.size()));
    }
    events->LayOut();
    events->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&eventsInfo));
  }
  if (eventsInfo && SUCCEEDED(lib->CreateTypeInfo(const_cast<LPOLESTR>(libName), TKIND_COCLASS, &coclass))) {
    coclass->SetGuid(clsid);
    HREFTYPE ref = 0;
    if (SUCCEEDED(coclass->AddRefTypeInfo(eventsInfo, &ref)) && SUCCEEDED(coclass->AddImplType(0, ref)))
      coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    coclass->LayOut();
    coclass->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&result));
  }
  if (eventsInfo) eventsInfo->Release();
  if (coclass) coclass->Release();
  if (events) events->Release();
  lib->Release();
  return result;
}

// The server's events: Ping(message), Count(n [, extra]) and Adjust(value)
// whose argument is by reference; its library's constants: the Shades.
ITypeInfo* class_type_info() {
  return coclass_with_events(L"Server", kServerClsid, kEventsIid,
                             {{L"Ping", 1, {{L"message", VT_BSTR}}},
                              {L"Count", 2, {{L"n", VT_I4}, {L"extra", VT_VARIANT, true}}},
                              {L"Adjust", 3, {{L"value", VT_VARIANT, false, true}}}},
                             {{L"shRed", 1}, {L"shGreen", 2}, {L"shBlue", 4}, {L"shNone", -1}});
}

}  // namespace testserver

using namespace testserver;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  if (reason == DLL_PROCESS_DETACH) unregister_control_class(module);
  return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid == kServerClsid) return g_factory.QueryInterface(iid, out);
  if (clsid == kControlClsid) return g_controlFactory.QueryInterface(iid, out);
  if (clsid == kViewControlClsid) return g_viewControlFactory.QueryInterface(iid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return module_locks() == 0 && live_objects() == 0 ? S_OK : S_FALSE; }

namespace {

LONG register_class(const CLSID& clsid, const wchar_t* progId, const wchar_t* description, bool control) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(g_module, path, MAX_PATH);
  const std::wstring id = clsid_text(clsid);
  const std::wstring base = L"CLSID\\" + id;
  LONG r = set_key(progId, nullptr, description);
  if (!r) r = set_key(std::wstring(progId) + L"\\CLSID", nullptr, id);
  if (!r) r = set_key(base, nullptr, description);
  if (!r) r = set_key(base + L"\\ProgID", nullptr, progId);
  if (!r) r = set_key(base + L"\\InprocServer32", nullptr, path);
  if (!r) r = set_key(base + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  if (!r && control) r = set_key(base + L"\\Control", nullptr, L"");
  return r;
}

}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
  if (register_class(kServerClsid, kProgId, L"ORV test automation server", false) ||
      register_class(kControlClsid, kControlProgId, L"ORV test control", true) ||
      register_class(kViewControlClsid, kViewControlProgId, L"ORV test control without a window", true))
    return SELFREG_E_CLASS;
  return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  for (const CLSID* clsid : {&kServerClsid, &kControlClsid, &kViewControlClsid})
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid_text(*clsid)).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kControlProgId);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kViewControlProgId);
  return S_OK;
}
