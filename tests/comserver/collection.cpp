// A read-only collection of strings: Count, Item(index) as the default
// member, and an enumerator for ForEach.
#include "tests/comserver/comserver.h"

namespace testserver {
namespace {

constexpr Member kMembers[] = {{L"Count", 1}, {L"Item", DISPID_VALUE}, {L"_NewEnum", DISPID_NEWENUM}};

VARIANT text_variant(const std::wstring& s) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s.c_str());
  return v;
}

class Collection : public DispatchBase {
 public:
  explicit Collection(std::vector<std::wstring> items)
      : DispatchBase(kMembers, sizeof kMembers / sizeof kMembers[0]), items_(std::move(items)) {}

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    VARIANT ignored;
    VariantInit(&ignored);
    if (!result) result = &ignored;
    HRESULT hr = S_OK;
    switch (id) {
      case 1:
        if (FAILED(hr = expect_args(params, 0, 0))) return hr;
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(items_.size());
        return S_OK;
      case DISPID_VALUE: {
        if (FAILED(hr = expect_args(params, 1, 1))) return hr;
        VARIANT index;
        VariantInit(&index);
        if (FAILED(VariantChangeType(&index, argument(params, 0), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
        if (index.lVal < 0 || static_cast<std::size_t>(index.lVal) >= items_.size()) return DISP_E_BADINDEX;
        *result = text_variant(items_[static_cast<std::size_t>(index.lVal)]);
        return S_OK;
      }
      case DISPID_NEWENUM:
        if (FAILED(hr = expect_args(params, 0, 0))) return hr;
        result->vt = VT_UNKNOWN;
        result->punkVal = new_enumerator(items_);
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  std::vector<std::wstring> items_;
};

class Enumerator : public IEnumVARIANT {
 public:
  explicit Enumerator(std::vector<std::wstring> items) : items_(std::move(items)) { object_born(); }
  virtual ~Enumerator() { object_died(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
    ULONG n = 0;
    for (; n < wanted && next_ < items_.size(); ++n) out[n] = text_variant(items_[next_++]);
    if (fetched) *fetched = n;
    return n == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    next_ += count;
    return next_ <= items_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    auto* copy = new Enumerator(items_);
    copy->next_ = next_;
    *out = copy;
    return S_OK;
  }

 private:
  std::vector<std::wstring> items_;
  std::size_t next_ = 0;
  ULONG refs_ = 1;
};

}  // namespace

IDispatch* new_collection(std::vector<std::wstring> items) { return new Collection(std::move(items)); }
IEnumVARIANT* new_enumerator(std::vector<std::wstring> items) { return new Enumerator(std::move(items)); }

}  // namespace testserver
