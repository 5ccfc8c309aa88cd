// The shared part of our outgoing-interface sinks: an IDispatch that answers
// to IUnknown, IDispatch and the one source interface it was advised on,
// counts its own references and offers no type information. The object only
// ever calls Invoke, which hands the event to the sink's `fired` and never
// lets an exception unwind into the object that fired it.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace orv::com {

class SinkDispatch : public IDispatch {
 public:
  explicit SinkDispatch(const IID& iid) : iid_(iid) {}
  virtual ~SinkDispatch() = default;
  SinkDispatch(const SinkDispatch&) = delete;
  SinkDispatch& operator=(const SinkDispatch&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == iid_) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  // COM lifetime: the last Release frees the sink, whoever holds it.
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) final {
    if (!params) return S_OK;
    AddRef();   // the event's handler may let go of this sink
    try {
      fired(id, *params);
    } catch (...) {
    }
    Release();
    return S_OK;
  }

 protected:
  virtual void fired(DISPID id, DISPPARAMS& params) = 0;

 private:
  IID iid_;
  ULONG refs_ = 1;
};

}  // namespace orv::com
