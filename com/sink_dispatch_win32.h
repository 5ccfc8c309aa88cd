// Our own IDispatch objects: the shared counting and interface answers, and
// the outgoing-interface sinks on top of them. A sink answers to the source
// interface it was advised on; the object only ever calls Invoke, which
// hands the event to the sink's `fired` and never lets an exception unwind
// into the object that fired it.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace orv::com {

// An IDispatch of our own: answers to IUnknown, IDispatch and one interface
// id of its kind, counts its references (the last Release deletes it,
// whoever holds it) and offers no type information.
class OwnDispatch : public IDispatch {
 public:
  explicit OwnDispatch(const IID& iid) : iid_(iid) {}
  virtual ~OwnDispatch() = default;
  OwnDispatch(const OwnDispatch&) = delete;
  OwnDispatch& operator=(const OwnDispatch&) = delete;

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
    return DISP_E_BADINDEX;
  }

 private:
  IID iid_;
  ULONG refs_ = 1;
};

class SinkDispatch : public OwnDispatch {
 public:
  explicit SinkDispatch(const IID& iid) : OwnDispatch(iid) {}

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
};

}  // namespace orv::com
