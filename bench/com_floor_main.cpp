// The least any program does for the COM workloads, with no interpreter:
//   bench_com_floor.exe N        start automation, create the dictionary, make
//                                one late-bound call, print its count (the floor
//                                of com_start and com_calls for every interpreter)
//   bench_com_floor.exe N calls  the whole com_calls workload in C: N late-bound
//                                calls (half adds, half lookups, text keys), each
//                                member's identifier looked up once; prints the sum
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

DISPID member_id(IDispatch* d, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR n = const_cast<LPOLESTR>(name);
  return SUCCEEDED(d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id)) ? id : DISPID_UNKNOWN;
}

// One late-bound call; the answer is left in `out` (cleared first).
bool call(IDispatch* d, DISPID id, WORD kind, VARIANT* args, UINT count, VARIANT& out) {
  if (id == DISPID_UNKNOWN) return false;
  DISPPARAMS params{args, nullptr, count, 0};
  VariantClear(&out);
  return SUCCEEDED(d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, &out, nullptr, nullptr));
}

// A text key "k<i>", as the workload scripts build it.
BSTR key(int i) {
  wchar_t text[16];
  std::swprintf(text, 16, L"k%d", i);
  return SysAllocString(text);
}

bool one_call(IDispatch* d, int item) {
  VARIANT args[2];   // reversed order: item, then key
  args[0].vt = VT_I4;
  args[0].lVal = item;
  args[1].vt = VT_BSTR;
  args[1].bstrVal = SysAllocString(L"k");
  VARIANT out;
  VariantInit(&out);
  bool ok = call(d, member_id(d, L"Add"), DISPATCH_METHOD, args, 2, out) &&
            call(d, member_id(d, L"Count"), DISPATCH_PROPERTYGET, nullptr, 0, out) &&
            SUCCEEDED(VariantChangeType(&out, &out, 0, VT_I4));
  if (ok) std::printf("%ld\n", out.lVal);
  VariantClear(&out);
  SysFreeString(args[1].bstrVal);
  return ok;
}

bool all_calls(IDispatch* d, int n) {
  const DISPID add = member_id(d, L"Add"), item = member_id(d, L"Item");
  VARIANT out;
  VariantInit(&out);
  bool ok = true;
  for (int i = 1; ok && i <= n / 2; ++i) {
    VARIANT args[2];
    args[0].vt = VT_I4;
    args[0].lVal = i % 1000;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = key(i);
    ok = call(d, add, DISPATCH_METHOD, args, 2, out);
    SysFreeString(args[1].bstrVal);
  }
  long total = 0;
  for (int i = 1; ok && i <= n / 2; ++i) {
    VARIANT arg;
    arg.vt = VT_BSTR;
    arg.bstrVal = key(i);
    ok = call(d, item, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &arg, 1, out) &&
         SUCCEEDED(VariantChangeType(&out, &out, 0, VT_I4));
    if (ok) total += out.lVal;
    SysFreeString(arg.bstrVal);
  }
  VariantClear(&out);
  if (ok) std::printf("%ld\n", total);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 0;
  const bool calls = argc > 2 && std::strcmp(argv[2], "calls") == 0;
  if (FAILED(OleInitialize(nullptr))) return 1;
  int status = 1;
  CLSID clsid;
  IDispatch* d = nullptr;
  if (SUCCEEDED(CLSIDFromProgID(L"Scripting.Dictionary", &clsid)) &&
      SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(&d)))) {
    status = (calls ? all_calls(d, n) : one_call(d, n)) ? 0 : 1;
    d->Release();
  }
  OleUninitialize();
  return status;
}
