// An object without a default member, for chains of members: Name (a
// property to read and assign), Next (the following object of a chain,
// made on first use and kept) and Twice(n).
#include "tests/comserver/comserver.h"

namespace testserver {
namespace {

enum : DISPID { kName = 1, kNext, kTwice };
constexpr Member kMembers[] = {{L"Name", kName}, {L"Next", kNext}, {L"Twice", kTwice}};

class Plain : public DispatchBase {
 public:
  explicit Plain(int depth) : DispatchBase(kMembers, sizeof kMembers / sizeof kMembers[0]), depth_(depth) {
    name_ = SysAllocString((L"plain" + std::to_wstring(depth)).c_str());
  }
  ~Plain() override {
    SysFreeString(name_);
    if (next_) next_->Release();
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    VARIANT ignored;
    VariantInit(&ignored);
    if (!result) result = &ignored;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    HRESULT hr = S_OK;
    switch (id) {
      case kName: {
        if (FAILED(hr = expect_args(params, 0, 0))) return hr;
        if (!put) {
          result->vt = VT_BSTR;
          result->bstrVal = SysAllocString(name_);
          return S_OK;
        }
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
        SysFreeString(name_);
        name_ = text.bstrVal;
        return S_OK;
      }
      case kNext:
        if (put) return DISP_E_MEMBERNOTFOUND;
        if (FAILED(hr = expect_args(params, 0, 0))) return hr;
        if (!next_) next_ = new_plain(depth_ + 1);
        next_->AddRef();
        result->vt = VT_DISPATCH;
        result->pdispVal = next_;
        return S_OK;
      case kTwice: {
        if (FAILED(hr = expect_args(params, 1, 1))) return hr;
        VARIANT n;
        VariantInit(&n);
        if (FAILED(VariantChangeType(&n, argument(params, 0), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
        result->vt = VT_I4;
        result->lVal = n.lVal * 2;
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  int depth_;
  BSTR name_ = nullptr;
  IDispatch* next_ = nullptr;
};

}  // namespace

IDispatch* new_plain(int depth) { return new Plain(depth); }

}  // namespace testserver
