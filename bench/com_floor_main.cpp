// The least any program does for the com_start workload: start automation,
// create the dictionary, make one late-bound call, print its count. Under
// Wine this is the floor of com_start and com_calls for every interpreter.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>

namespace {

// One late-bound call by name; S_OK or the failure.
HRESULT call(IDispatch* d, const wchar_t* name, WORD kind, DISPPARAMS& params, VARIANT& out) {
  DISPID id = 0;
  LPOLESTR n = const_cast<LPOLESTR>(name);
  HRESULT hr = d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, &out, nullptr, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (FAILED(OleInitialize(nullptr))) return 1;
  int status = 1;
  CLSID clsid;
  IDispatch* d = nullptr;
  if (SUCCEEDED(CLSIDFromProgID(L"Scripting.Dictionary", &clsid)) &&
      SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(&d)))) {
    VARIANT args[2];  // reversed order: item, then key
    args[0].vt = VT_I4;
    args[0].lVal = argc > 1 ? std::atoi(argv[1]) : 0;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocString(L"k");
    DISPPARAMS addParams{args, nullptr, 2, 0};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT out;
    VariantInit(&out);
    if (SUCCEEDED(call(d, L"Add", DISPATCH_METHOD, addParams, out)) &&
        SUCCEEDED(call(d, L"Count", DISPATCH_PROPERTYGET, none, out)) && SUCCEEDED(VariantChangeType(&out, &out, 0, VT_I4))) {
      std::printf("%ld\n", out.lVal);
      status = 0;
    }
    VariantClear(&out);
    SysFreeString(args[1].bstrVal);
    d->Release();
  }
  OleUninitialize();
  return status;
}
