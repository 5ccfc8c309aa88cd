// The container side of a hosted ActiveX control: the interfaces the
// control calls on its site (client site, in-place site and frame, control
// site, ambient properties) and what the host window asks of the site.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <map>
#include <string>

#include "com/com_win32.h"
#include "com/control_host_win32.h"

namespace orv::com {

// The site's event sink; it names the site, so it stays outside any unnamed namespace.
class ControlEvents;

class ControlSite : public IOleClientSite,
                    public IOleInPlaceSite,
                    public IOleInPlaceFrame,
                    public IOleControlSite,
                    public IDispatch {
 public:
  ControlSite(Context& c, const Ambient& ambient, EventHandler events)
      : c_(c), ambient_(ambient), events_(std::move(events)) {
    ambient_.font = nullptr;   // only the font object below is kept
    if (ambient.font) {
      LOGFONTW lf{};
      if (GetObjectW(ambient.font, sizeof lf, &lf)) make_font(lf);
    }
  }
  virtual ~ControlSite() = default;
  ControlSite(const ControlSite&) = delete;
  ControlSite& operator=(const ControlSite&) = delete;

  bool create(const CLSID& clsid, HWND window, const RECT& client);
  void close();
  void resized();
  void paint(HWND hwnd);
  // A key message for the control; true when the control used it.
  bool translate(MSG& m) {
    if (closed_) return false;
    IOleInPlaceActiveObject* active = active_;
    if (active) active->AddRef();
    else if (!object_ || FAILED(object_->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active))))
      return false;
    const bool used = active->TranslateAccelerator(&m) == S_OK;
    active->Release();
    return used;
  }
  // The thread's key filter (control_window_win32.cpp), held while any
  // control is hosted on it.
  void hook_keys();
  void unhook_keys();
  void focus() {
    HWND own = nullptr;
    if (inPlace_ && SUCCEEDED(inPlace_->GetWindow(&own)) && own) SetFocus(own);
  }
  HWND window() const { return window_; }
  bool subscribe(const std::wstring& event, bool on);
  bool object(Value& out);
  void set_colour(bool back, COLORREF colour) {
    (back ? ambient_.back : ambient_.fore) = colour;
    if (control_) control_->OnAmbientPropertyChange(back ? DISPID_AMBIENT_BACKCOLOR : DISPID_AMBIENT_FORECOLOR);
    if (window_) InvalidateRect(window_, nullptr, TRUE);
  }
  // From the sink: an event of the control.
  void fired(DISPID id, DISPPARAMS* params);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IOleControlSite) *out = static_cast<IOleControlSite*>(this);
    else if (iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (of the in-place site and of the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    *out = closed_ ? nullptr : window_;
    return *out ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return closed_ ? S_FALSE : S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    RECT client{};
    if (window_) GetClientRect(window_, &client);
    *position = client;
    *clip = client;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = window_ ? GetParent(window_) : nullptr;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  // The control wants another rectangle: it keeps the one the dialog gives.
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override {
    resized();
    return S_OK;
  }

  // IOleInPlaceUIWindow / IOleInPlaceFrame: no tool space, menus or status line.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override;
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IOleControlSite
  HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

  // IDispatch: the ambient properties.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override;

 private:
  void make_font(const LOGFONTW& lf);
  bool connect();

  Context& c_;
  Ambient ambient_;
  EventHandler events_;
  ULONG refs_ = 1;
  bool closed_ = false;
  HWND window_ = nullptr;
  CLSID clsid_{};
  IFontDisp* font_ = nullptr;
  IOleObject* object_ = nullptr;
  IOleInPlaceObject* inPlace_ = nullptr;
  IOleControl* control_ = nullptr;
  IViewObject* view_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  IOleInPlaceActiveObject* active_ = nullptr;
  bool hooked_ = false;
  ComObject* handed_ = nullptr;          // the wrapper scripts get; closed with the dialog
  // Events: the sink on the default source interface and the subscribed ones.
  ITypeInfo* source_ = nullptr;
  ControlEvents* sink_ = nullptr;
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
  std::map<DISPID, std::wstring> subscribed_;
};

}  // namespace orv::com
