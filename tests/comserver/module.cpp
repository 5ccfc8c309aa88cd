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
    IDispatch* server = new_server();
    const HRESULT hr = server->QueryInterface(iid, out);
    server->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    module_lock(lock != FALSE);
    return S_OK;
  }
};

Factory g_factory;

std::wstring clsid_text() {
  wchar_t text[64];
  StringFromGUID2(kServerClsid, text, 64);
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

// The coclass and its event interface, built in memory: Ping(message),
// Count(n [, extra]) and Adjust(value) whose argument is by reference.
ITypeInfo* class_type_info() {
  ICreateTypeLib2* lib = nullptr;
  if (FAILED(CreateTypeLib2(SYS_WIN32, L"orvtestserver.tlb", &lib))) return nullptr;
  lib->SetGuid(kLibId);
  lib->SetName(const_cast<LPOLESTR>(L"OrvTestServer"));
  ICreateTypeInfo* events = nullptr;
  ICreateTypeInfo* coclass = nullptr;
  ITypeInfo* eventsInfo = nullptr;
  ITypeInfo* result = nullptr;
  if (SUCCEEDED(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"ServerEvents"), TKIND_DISPATCH, &events))) {
    events->SetGuid(kEventsIid);
    ELEMDESC ping[1] = {};
    ping[0].tdesc.vt = VT_BSTR;
    ping[0].paramdesc.wParamFlags = PARAMFLAG_FIN;
    ELEMDESC count[2] = {};
    count[0].tdesc.vt = VT_I4;
    count[0].paramdesc.wParamFlags = PARAMFLAG_FIN;
    count[1].tdesc.vt = VT_VARIANT;
    count[1].paramdesc.wParamFlags = PARAMFLAG_FIN | PARAMFLAG_FOPT;
    FUNCDESC f{};
    f.funckind = FUNC_DISPATCH;
    f.invkind = INVOKE_FUNC;
    f.callconv = CC_STDCALL;
    f.elemdescFunc.tdesc.vt = VT_VOID;
    f.memid = 1;
    f.cParams = 1;
    f.lprgelemdescParam = ping;
    events->AddFuncDesc(0, &f);
    f.memid = 2;
    f.cParams = 2;
    f.cParamsOpt = 1;
    f.lprgelemdescParam = count;
    events->AddFuncDesc(1, &f);
    ELEMDESC adjust[1] = {};
    adjust[0].tdesc.vt = VT_VARIANT;
    adjust[0].paramdesc.wParamFlags = PARAMFLAG_FIN | PARAMFLAG_FOUT;
    f.memid = 3;
    f.cParams = 1;
    f.cParamsOpt = 0;
    f.lprgelemdescParam = adjust;
    events->AddFuncDesc(2, &f);
    LPOLESTR pingNames[] = {const_cast<LPOLESTR>(L"Ping"), const_cast<LPOLESTR>(L"message")};
    LPOLESTR countNames[] = {const_cast<LPOLESTR>(L"Count"), const_cast<LPOLESTR>(L"n"), const_cast<LPOLESTR>(L"extra")};
    events->SetFuncAndParamNames(0, pingNames, 2);
    events->SetFuncAndParamNames(1, countNames, 3);
    LPOLESTR adjustNames[] = {const_cast<LPOLESTR>(L"Adjust"), const_cast<LPOLESTR>(L"value")};
    events->SetFuncAndParamNames(2, adjustNames, 2);
    events->LayOut();
    events->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&eventsInfo));
  }
  if (eventsInfo && SUCCEEDED(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"Server"), TKIND_COCLASS, &coclass))) {
    coclass->SetGuid(kServerClsid);
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

}  // namespace testserver

using namespace testserver;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid != kServerClsid) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return module_locks() == 0 && live_objects() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT __stdcall DllRegisterServer() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(g_module, path, MAX_PATH);
  const std::wstring id = clsid_text();
  const std::wstring base = L"CLSID\\" + id;
  if (set_key(kProgId, nullptr, L"ORV test automation server") || set_key(std::wstring(kProgId) + L"\\CLSID", nullptr, id) ||
      set_key(base, nullptr, L"ORV test automation server") || set_key(base + L"\\ProgID", nullptr, kProgId) ||
      set_key(base + L"\\InprocServer32", nullptr, path) ||
      set_key(base + L"\\InprocServer32", L"ThreadingModel", L"Apartment"))
    return SELFREG_E_CLASS;
  return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid_text()).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  return S_OK;
}
