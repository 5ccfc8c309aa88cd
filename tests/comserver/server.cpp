// The server object: every variant type in and out, by-reference arguments,
// safe arrays, an exception, a collection, a default and an indexed
// property, and events fired on request.
#include <climits>
#include <cwchar>
#include <map>
#include <string>

#include "tests/comserver/comserver.h"

namespace testserver {
namespace {

enum : DISPID {
  kEcho = 1, kTypeOf, kMake, kIncrement, kSwap, kMakeArray, kDescribe, kFail, kItems, kLive, kFire, kItem, kSinks,
  kChild, kTicks, kAdjust, kExtreme, kPlain, kChildren, kJoin,
};

constexpr Member kMembers[] = {
    {L"Echo", kEcho},   {L"TypeOf", kTypeOf},       {L"Make", kMake},         {L"Increment", kIncrement},
    {L"Swap", kSwap},   {L"MakeArray", kMakeArray}, {L"Describe", kDescribe}, {L"Fail", kFail},
    {L"Items", kItems}, {L"Live", kLive},           {L"Fire", kFire},         {L"Item", kItem},
    {L"Sinks", kSinks}, {L"Child", kChild},         {L"Value", DISPID_VALUE}, {L"Ticks", kTicks}, {L"Adjust", kAdjust},
    {L"Extreme", kExtreme}, {L"Plain", kPlain}, {L"Children", kChildren}, {L"Join", kJoin},
};

std::wstring text_of(const VARIANT& v) {
  VARIANT t;
  VariantInit(&t);
  if (FAILED(VariantChangeTypeEx(&t, const_cast<VARIANT*>(&v), LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR)))
    return L"?";
  std::wstring s = t.bstrVal ? t.bstrVal : L"";
  VariantClear(&t);
  return s;
}

HRESULT make_value(const std::wstring& type, VARIANT& out) {
  VariantInit(&out);
  if (type == L"I1") { out.vt = VT_I1; out.cVal = -5; }
  else if (type == L"I2") { out.vt = VT_I2; out.iVal = -300; }
  else if (type == L"I4") { out.vt = VT_I4; out.lVal = 70000; }
  else if (type == L"I8") { out.vt = VT_I8; out.llVal = 5000000000LL; }
  else if (type == L"UI1") { out.vt = VT_UI1; out.bVal = 200; }
  else if (type == L"UI2") { out.vt = VT_UI2; out.uiVal = 60000; }
  else if (type == L"UI4") { out.vt = VT_UI4; out.ulVal = 4000000000UL; }
  else if (type == L"UI8") { out.vt = VT_UI8; out.ullVal = 9000000000ULL; }
  else if (type == L"INT") { out.vt = VT_INT; out.intVal = -7; }
  else if (type == L"UINT") { out.vt = VT_UINT; out.uintVal = 7; }
  else if (type == L"R4") { out.vt = VT_R4; out.fltVal = 0.1f; }
  else if (type == L"R8") { out.vt = VT_R8; out.dblVal = 2.5; }
  else if (type == L"CY") { out.vt = VT_CY; out.cyVal.int64 = 123456; }   // 12.3456
  else if (type == L"DATE") { out.vt = VT_DATE; out.date = 44777.62420138889; }   // 2022-08-04 14:58:51
  else if (type == L"BSTR") { out.vt = VT_BSTR; out.bstrVal = SysAllocString(L"text"); }
  else if (type == L"BOOL") { out.vt = VT_BOOL; out.boolVal = VARIANT_TRUE; }
  else if (type == L"ERROR") { out.vt = VT_ERROR; out.scode = DISP_E_PARAMNOTFOUND; }
  else if (type == L"NULL") { out.vt = VT_NULL; }
  else if (type == L"EMPTY") { out.vt = VT_EMPTY; }
  else if (type == L"DECIMAL") {
    if (FAILED(VarDecFromStr(const_cast<LPOLESTR>(L"12345678901234567890.5"), 0x409, 0, &out.decVal))) return E_FAIL;
    out.vt = VT_DECIMAL;
  } else if (type == L"DISPATCH") { out.vt = VT_DISPATCH; out.pdispVal = new_server(); }
  else if (type == L"BYTES") {
    out.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
    unsigned char* data = nullptr;
    SafeArrayAccessData(out.parray, reinterpret_cast<void**>(&data));
    data[0] = 'a'; data[1] = 'b'; data[2] = 'c';
    SafeArrayUnaccessData(out.parray);
    out.vt = VT_ARRAY | VT_UI1;
  } else return DISP_E_TYPEMISMATCH;
  return S_OK;
}

// The largest (or smallest) value of an integer or decimal type: the values
// whose every digit must survive being read as text.
HRESULT make_extreme(const std::wstring& type, bool largest, VARIANT& out) {
  VariantInit(&out);
  if (type == L"I4") { out.vt = VT_I4; out.lVal = largest ? LONG_MAX : LONG_MIN; }
  else if (type == L"UI4") { out.vt = VT_UI4; out.ulVal = largest ? ULONG_MAX : 0; }
  else if (type == L"I8") { out.vt = VT_I8; out.llVal = largest ? LLONG_MAX : LLONG_MIN; }
  else if (type == L"UI8") { out.vt = VT_UI8; out.ullVal = largest ? ULLONG_MAX : 0; }
  else if (type == L"DECIMAL") {   // 96 bits of ones, either sign
    out.decVal.Hi32 = 0xFFFFFFFFUL;
    out.decVal.Lo64 = ~0ULL;
    out.decVal.sign = largest ? 0 : DECIMAL_NEG;
    out.vt = VT_DECIMAL;
  } else return DISP_E_TYPEMISMATCH;
  return S_OK;
}

// dims dimensions of sizes 2, 3, 2, 2, 2, 2; element "i,j,..." (its subscripts).
SAFEARRAY* make_array(int dims) {
  static constexpr ULONG kSizes[] = {2, 3, 2, 2, 2, 2};
  SAFEARRAYBOUND bounds[6] = {};
  ULONG total = 1;
  for (int k = 0; k < dims; ++k) {
    bounds[k] = {kSizes[k], 0};
    total *= kSizes[k];
  }
  SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, static_cast<UINT>(dims), bounds);
  for (ULONG n = 0; n < total; ++n) {
    LONG idx[6] = {};
    ULONG rest = n;
    std::wstring text;
    for (int k = 0; k < dims; ++k) {
      idx[k] = static_cast<LONG>(rest % kSizes[k]);
      rest /= kSizes[k];
      text += (k ? L"," : L"") + std::to_wstring(idx[k]);
    }
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text.c_str());
    SafeArrayPutElement(sa, idx, &v);
    VariantClear(&v);
  }
  return sa;
}

// "vt=12 dims=2 sizes=2x3 (0,0)=a;(1,0)=b;..." with the first subscript fastest.
std::wstring describe(SAFEARRAY* sa) {
  VARTYPE vt = VT_EMPTY;
  SafeArrayGetVartype(sa, &vt);
  const UINT dims = SafeArrayGetDim(sa);
  std::wstring out = L"vt=" + std::to_wstring(vt) + L" dims=" + std::to_wstring(dims) + L" sizes=";
  LONG lo[8] = {}, hi[8] = {};
  ULONG total = 1;
  for (UINT k = 0; k < dims && k < 8; ++k) {
    SafeArrayGetLBound(sa, k + 1, &lo[k]);
    SafeArrayGetUBound(sa, k + 1, &hi[k]);
    out += (k ? L"x" : L"") + std::to_wstring(hi[k] - lo[k] + 1);
    total *= static_cast<ULONG>(hi[k] - lo[k] + 1);
  }
  if (dims == 0 || dims > 8) return out;
  for (ULONG n = 0; n < total; ++n) {
    LONG idx[8] = {};
    ULONG rest = n;
    std::wstring where;
    for (UINT k = 0; k < dims; ++k) {
      const ULONG size = static_cast<ULONG>(hi[k] - lo[k] + 1);
      idx[k] = lo[k] + static_cast<LONG>(rest % size);
      rest /= size;
      where += (k ? L"," : L"") + std::to_wstring(idx[k]);
    }
    VARIANT v;
    VariantInit(&v);
    if (vt == VT_VARIANT) SafeArrayGetElement(sa, idx, &v);
    else if (SUCCEEDED(SafeArrayGetElement(sa, idx, &v.bVal))) v.vt = vt;
    out += L" (" + where + L")=" + (v.vt == VT_EMPTY ? L"<empty>" : text_of(v));
    VariantClear(&v);
  }
  return out;
}

class Server : public DispatchBase, public IConnectionPointContainer, public IConnectionPoint, public IProvideClassInfo {
 public:
  Server() : DispatchBase(kMembers, sizeof kMembers / sizeof kMembers[0]) { VariantInit(&value_); }
  ~Server() override {
    VariantClear(&value_);
    for (auto& [k, v] : items_) VariantClear(&v);
    for (IDispatch* s : sinks_)
      if (s) s->Release();
  }

  // IUnknown of the other interfaces.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return DispatchBase::QueryInterface(iid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return DispatchBase::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DispatchBase::Release(); }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT* argError) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    *out = nullptr;
    if (iid != kEventsIid) return CONNECT_E_NOCONNECTION;
    *out = this;
    AddRef();
    return S_OK;
  }
  // IConnectionPoint
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    *iid = kEventsIid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    *out = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    IDispatch* d = nullptr;
    if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)))) return CONNECT_E_CANNOTCONNECT;
    if (sinks_.size() >= 4) {
      d->Release();
      return CONNECT_E_ADVISELIMIT;
    }
    sinks_.push_back(d);
    *cookie = static_cast<DWORD>(sinks_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
    sinks_[cookie - 1]->Release();
    sinks_[cookie - 1] = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override {
    *out = class_type_info();
    return *out ? S_OK : E_FAIL;
  }

 protected:
  void* other_interface(REFIID iid) override {
    if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
    if (iid == IID_IProvideClassInfo) return static_cast<IProvideClassInfo*>(this);
    return nullptr;
  }

 private:
  void fire(DISPID id, VARIANT* args, UINT count) {
    DISPPARAMS params{args, nullptr, count, 0};
    for (std::size_t i = 0; i < sinks_.size(); ++i)
      if (IDispatch* s = sinks_[i]) s->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
  long connected() const {
    long n = 0;
    for (IDispatch* s : sinks_) n += s != nullptr;
    return n;
  }

  VARIANT value_;
  std::map<std::wstring, VARIANT> items_;
  std::vector<IDispatch*> sinks_;
};

HRESULT Server::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                       UINT* argError) {
  VARIANT ignored;
  VariantInit(&ignored);
  if (!result) result = &ignored;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  HRESULT hr = S_OK;
  auto need = [&](UINT least, UINT most) { return SUCCEEDED(hr = expect_args(params, least, most)); };
  switch (id) {
    case kEcho:
      if (!need(1, 1)) return hr;
      return VariantCopyInd(result, argument(params, 0));
    case kTypeOf:
      if (!need(1, 1)) return hr;
      result->vt = VT_I4;
      result->lVal = argument(params, 0)->vt;
      return S_OK;
    case kMake:
      if (!need(1, 1)) return hr;
      if (argument(params, 0)->vt != VT_BSTR) {
        if (argError) *argError = params->cArgs - 1;
        return DISP_E_TYPEMISMATCH;
      }
      return make_value(argument(params, 0)->bstrVal, *result);
    case kExtreme: {
      if (!need(2, 2)) return hr;
      VARIANT largest;
      VariantInit(&largest);
      if (argument(params, 0)->vt != VT_BSTR || FAILED(VariantChangeType(&largest, argument(params, 1), 0, VT_BOOL)))
        return DISP_E_TYPEMISMATCH;
      return make_extreme(argument(params, 0)->bstrVal, largest.boolVal != VARIANT_FALSE, *result);
    }
    case kIncrement: {
      if (!need(1, 1)) return hr;
      VARIANT& ref = params->rgvarg[params->cArgs - 1];
      if (ref.vt != (VT_BYREF | VT_VARIANT)) return DISP_E_TYPEMISMATCH;
      VARIANT* target = ref.pvarVal;
      if (FAILED(VariantChangeType(target, target, 0, VT_I4))) {
        if (argError) *argError = params->cArgs - 1;
        return DISP_E_TYPEMISMATCH;
      }
      ++target->lVal;
      return S_OK;
    }
    case kSwap: {
      if (!need(2, 2)) return hr;
      VARIANT& a = params->rgvarg[1];
      VARIANT& b = params->rgvarg[0];
      if (a.vt != (VT_BYREF | VT_VARIANT) || b.vt != (VT_BYREF | VT_VARIANT)) return DISP_E_TYPEMISMATCH;
      VARIANT t = *a.pvarVal;
      *a.pvarVal = *b.pvarVal;
      *b.pvarVal = t;
      return S_OK;
    }
    case kMakeArray: {
      if (!need(1, 1)) return hr;
      VARIANT n;
      VariantInit(&n);
      if (FAILED(VariantChangeType(&n, argument(params, 0), 0, VT_I4)) || n.lVal < 1 || n.lVal > 6)
        return DISP_E_OVERFLOW;
      result->vt = VT_ARRAY | VT_VARIANT;
      result->parray = make_array(n.lVal);
      return S_OK;
    }
    case kDescribe: {
      if (!need(1, 1)) return hr;
      VARIANT* a = argument(params, 0);
      if (!(a->vt & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(describe((a->vt & VT_BYREF) ? *a->pparray : a->parray).c_str());
      return S_OK;
    }
    case kJoin: {   // any number of arguments: their texts in script order, "*" after those passed by
                    // reference, which then hold their position
      std::wstring out;
      for (UINT k = 0; k < params->cArgs; ++k) {
        VARIANT& raw = params->rgvarg[params->cArgs - 1 - k];
        out += (k ? L"|" : L"") + text_of(*argument(params, k));
        if (raw.vt == (VT_BYREF | VT_VARIANT)) {
          out += L"*";
          VariantClear(raw.pvarVal);
          raw.pvarVal->vt = VT_I4;
          raw.pvarVal->lVal = static_cast<LONG>(k + 1);
        }
      }
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(out.c_str());
      return S_OK;
    }
    case kFail:
      if (!need(1, 1)) return hr;
      return raise(info, text_of(*argument(params, 0)));
    case kItems:
      if (!need(0, 0)) return hr;
      result->vt = VT_DISPATCH;
      result->pdispVal = new_collection({L"one", L"two", L"three"});
      return S_OK;
    case kLive:
      if (!need(0, 0)) return hr;
      result->vt = VT_I4;
      result->lVal = live_objects();
      return S_OK;
    case kSinks:
      if (!need(0, 0)) return hr;
      result->vt = VT_I4;
      result->lVal = connected();
      return S_OK;
    case kChild:
      if (!need(0, 0)) return hr;
      result->vt = VT_DISPATCH;
      result->pdispVal = new_server();
      return S_OK;
    case kPlain:
      if (!need(0, 0)) return hr;
      result->vt = VT_DISPATCH;
      result->pdispVal = new_plain(1);
      return S_OK;
    case kChildren: {   // an array of n plain objects, for members of elements
      if (!need(1, 1)) return hr;
      VARIANT n;
      VariantInit(&n);
      if (FAILED(VariantChangeType(&n, argument(params, 0), 0, VT_I4)) || n.lVal < 1 || n.lVal > 16)
        return DISP_E_OVERFLOW;
      result->vt = VT_ARRAY | VT_VARIANT;
      result->parray = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(n.lVal));
      for (LONG i = 0; i < n.lVal; ++i) {
        VARIANT child;
        child.vt = VT_DISPATCH;
        child.pdispVal = new_plain(static_cast<int>(i + 1));
        SafeArrayPutElement(result->parray, &i, &child);
        VariantClear(&child);
      }
      return S_OK;
    }
    case kTicks:   // milliseconds, for timing inside a script
      if (!need(0, 0)) return hr;
      result->vt = VT_I4;
      result->lVal = static_cast<LONG>(GetTickCount());
      return S_OK;
    case kAdjust: {   // fires Adjust(value) by reference and answers what the handler left
      if (!need(1, 1)) return hr;
      VARIANT value;
      VariantInit(&value);
      VariantCopyInd(&value, argument(params, 0));
      VARIANT ref;
      ref.vt = VT_BYREF | VT_VARIANT;
      ref.pvarVal = &value;
      AddRef();
      fire(3, &ref, 1);
      Release();
      *result = value;
      return S_OK;
    }
    case kFire: {
      if (!need(1, 1)) return hr;
      VARIANT n;
      VariantInit(&n);
      if (FAILED(VariantChangeType(&n, argument(params, 0), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
      AddRef();   // a handler may let go of this object
      for (LONG i = 1; i <= n.lVal; ++i) {
        VARIANT count;
        count.vt = VT_I4;
        count.lVal = i;
        fire(2, &count, 1);
      }
      VARIANT message;
      message.vt = VT_BSTR;
      message.bstrVal = SysAllocString((L"fired " + std::to_wstring(n.lVal)).c_str());
      fire(1, &message, 1);
      VariantClear(&message);
      Release();
      return S_OK;
    }
    case DISPID_VALUE:
      if (put) {
        if (!need(0, 0)) return hr;
        return VariantCopyInd(&value_, &params->rgvarg[0]);
      }
      if (!need(0, 0)) return hr;
      return VariantCopy(result, &value_);
    case kItem: {
      if (!need(1, 1)) return hr;
      VARIANT key;
      VariantInit(&key);
      if (FAILED(VariantChangeType(&key, argument(params, 0), 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
      std::wstring k = key.bstrVal;
      VariantClear(&key);
      if (put) {
        VARIANT& slot = items_[k];
        VariantClear(&slot);
        return VariantCopyInd(&slot, &params->rgvarg[0]);
      }
      auto it = items_.find(k);
      if (it == items_.end()) return DISP_E_BADINDEX;
      return VariantCopy(result, &it->second);
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace

IDispatch* new_server() { return new Server(); }

}  // namespace testserver
