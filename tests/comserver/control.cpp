// The test control: a windowed control that paints its caption in the
// container's ambient colours and font (or, as OrvTest.ViewControl, one
// without a window that the container draws through its view), fires Clicked at once (Fire) or from
// its own window's message handling (Post), reports the ambient properties
// and the last ambient change it was told of, and holds a picture.
#include <deque>
#include <string>

#include "tests/comserver/comserver.h"

namespace testserver {
namespace {

enum : DISPID {
  kCaption = 1, kFire, kPost, kClicks, kAmbientBack, kAmbientFore, kAmbientUserMode, kAmbientFont, kAmbientName,
  kAmbientChange, kPicture, kPictureType, kWidth, kHeight, kActive, kDraws, kWindow,
};

constexpr Member kMembers[] = {
    {L"Caption", kCaption},           {L"Fire", kFire},
    {L"Post", kPost},                 {L"Clicks", kClicks},
    {L"AmbientBackColor", kAmbientBack}, {L"AmbientForeColor", kAmbientFore},
    {L"AmbientUserMode", kAmbientUserMode}, {L"AmbientFontName", kAmbientFont},
    {L"AmbientDisplayName", kAmbientName}, {L"AmbientChange", kAmbientChange},
    {L"Picture", kPicture},           {L"PictureType", kPictureType},
    {L"Width", kWidth},               {L"Height", kHeight},
    {L"Active", kActive},             {L"Draws", kDraws},
    {L"Window", kWindow},
};

enum : DISPID { kClickedEvent = 1, kChangedEvent = 2, kKeyEvent = 3 };

constexpr UINT kMsgPosted = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"OrvTestControlWindow";

ITypeInfo* control_type_info() {
  return coclass_with_events(L"Control", kControlClsid, kControlEventsIid,
                             {{L"Clicked", kClickedEvent, {{L"text", VT_BSTR}, {L"count", VT_I4}}},
                              {L"Changed", kChangedEvent, {{L"caption", VT_BSTR}}},
                              {L"Key", kKeyEvent, {{L"code", VT_I4}}}});
}

class Control : public DispatchBase,
                public IOleObject,
                public IOleInPlaceObject,
                public IOleInPlaceActiveObject,
                public IOleControl,
                public IViewObject2,
                public IProvideClassInfo,
                public IConnectionPointContainer,
                public IConnectionPoint {
 public:
  Control(HMODULE module, bool windowless)
      : DispatchBase(kMembers, sizeof kMembers / sizeof kMembers[0]), module_(module), windowless_(windowless) {}
  ~Control() override {
    destroy_window();
    if (inPlaceSite_) inPlaceSite_->Release();
    if (site_) site_->Release();
    if (picture_) picture_->Release();
    for (IDispatch* s : sinks_)
      if (s) s->Release();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return DispatchBase::QueryInterface(iid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return DispatchBase::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DispatchBase::Release(); }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT*) override;

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** out) override {
    *out = site_;
    if (site_) site_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override {
    InPlaceDeactivate();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) override {
    if (site && !site_) SetClientSite(site);
    switch (verb) {
      case OLEIVERB_PRIMARY: case OLEIVERB_SHOW: case OLEIVERB_INPLACEACTIVATE: case OLEIVERB_UIACTIVATE:
        return activate();
      case OLEIVERB_HIDE:
        if (window_) ShowWindow(window_, SW_HIDE);
        return S_OK;
      default:
        return OLEOBJ_S_INVALIDVERB;
    }
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** out) override {
    *out = nullptr;
    return OLEOBJ_E_NOVERBS;
  }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* out) override {
    *out = windowless_ ? kViewControlClsid : kControlClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR* out) override {
    *out = nullptr;
    return OLE_S_USEREG;
  }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL* size) override {
    extent_ = *size;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL* size) override {
    *size = extent_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* cookie) override {
    *cookie = 0;
    return OLE_E_ADVISENOTSUPPORTED;
  }
  // Unadvise(DWORD) is shared with the connection point below: no OLE advise is ever made.
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** out) override {
    *out = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
    *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST |
              OLEMISC_CANTLINKINSIDE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow / IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    *out = window_;
    return window_ ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    if (!inPlaceSite_) return S_OK;
    destroy_window();
    IOleInPlaceSite* site = inPlaceSite_;
    inPlaceSite_ = nullptr;
    site->OnInPlaceDeactivate();
    site->Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT) override {
    place_ = *position;
    if (window_)
      MoveWindow(window_, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, TRUE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

  // IOleInPlaceActiveObject: the arrow keys are the control's own, as in a
  // list; each one it takes fires Key(code).
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG m) override {
    if (!m || m->message != WM_KEYDOWN || (m->wParam != VK_UP && m->wParam != VK_DOWN)) return S_FALSE;
    VARIANT code;
    code.vt = VT_I4;
    code.lVal = static_cast<LONG>(m->wParam);
    fire(kKeyEvent, &code, 1);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override {
    lastAmbientChange_ = id;
    if (window_) InvalidateRect(window_, nullptr, TRUE);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override {
    frozen_ += freeze ? 1 : -1;
    return S_OK;
  }

  // IViewObject2: the same picture as the window, into any device context.
  HRESULT STDMETHODCALLTYPE Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                 BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
    if (!bounds) return E_INVALIDARG;
    const RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
    ++draws_;
    paint(dc, r);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) override {
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD, DWORD, IAdviseSink*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD*, DWORD*, IAdviseSink** out) override {
    *out = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
    *size = extent_;
    return S_OK;
  }

  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override {
    *out = control_type_info();
    return *out ? S_OK : E_FAIL;
  }

  // IConnectionPointContainer / IConnectionPoint
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    *out = nullptr;
    if (iid != kControlEventsIid) return CONNECT_E_NOCONNECTION;
    *out = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    *iid = kControlEventsIid;
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

  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
      SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == WM_PAINT) {
      PAINTSTRUCT ps;
      const HDC dc = BeginPaint(hwnd, &ps);
      RECT r{};
      GetClientRect(hwnd, &r);
      self->paint(dc, r);
      EndPaint(hwnd, &ps);
      return 0;
    }
    if (self && message == WM_ERASEBKGND) return 1;
    if (self && message == kMsgPosted) {
      self->fire_posted();
      return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }

 protected:
  void* other_interface(REFIID iid) override {
    if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
    if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
    if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
    if (iid == IID_IViewObject || iid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
    if (iid == IID_IProvideClassInfo) return static_cast<IProvideClassInfo*>(this);
    if (iid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
    return nullptr;
  }

 private:
  HRESULT activate() {
    if (window_) return S_OK;
    if (!site_) return E_UNEXPECTED;
    IOleInPlaceSite* site = nullptr;
    if (FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site)))) return E_NOINTERFACE;
    if (site->CanInPlaceActivate() != S_OK) {
      site->Release();
      return E_FAIL;
    }
    site->OnInPlaceActivate();
    HWND parent = nullptr;
    site->GetWindow(&parent);
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    site->GetWindowContext(&frame, &document, &position, &clip, &frameInfo);
    if (frame) frame->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), L"");
    if (frame) frame->Release();
    if (document) document->Release();
    place_ = position;
    if (windowless_) {   // drawn by the container through IViewObject
      inPlaceSite_ = site;
      return S_OK;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = module_;
    wc.lpszClassName = kWindowClass;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    if (!::GetClassInfoW(module_, kWindowClass, &wc)) RegisterClassW(&wc);
    window_ = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE, position.left, position.top,
                              position.right - position.left, position.bottom - position.top, parent, nullptr, module_,
                              this);
    inPlaceSite_ = site;
    return window_ ? S_OK : E_FAIL;
  }

  void destroy_window() {
    if (!window_) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
  }

  HRESULT ambient(DISPID id, VARIANT& out) {
    VariantInit(&out);
    if (!site_) return E_UNEXPECTED;
    IDispatch* d = nullptr;
    HRESULT hr = site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    if (FAILED(hr)) return hr;
    DISPPARAMS none{};
    hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr);
    d->Release();
    return hr;
  }

  COLORREF ambient_colour(DISPID id, COLORREF fallback) {
    VARIANT v;
    if (FAILED(ambient(id, v))) return fallback;
    COLORREF colour = fallback;
    if (SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4))) OleTranslateColor(static_cast<OLE_COLOR>(v.lVal), nullptr, &colour);
    VariantClear(&v);
    return colour;
  }

  // The container's font as an interface (a new reference), or none.
  IFont* ambient_font() {
    VARIANT v;
    if (FAILED(ambient(DISPID_AMBIENT_FONT, v))) return nullptr;
    IFont* font = nullptr;
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal)
      v.punkVal->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font));
    VariantClear(&v);
    return font;
  }

  void paint(HDC dc, const RECT& r) {
    const HBRUSH brush = CreateSolidBrush(ambient_colour(DISPID_AMBIENT_BACKCOLOR, RGB(255, 255, 255)));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ambient_colour(DISPID_AMBIENT_FORECOLOR, RGB(0, 0, 0)));
    HGDIOBJ old = nullptr;
    IFont* font = ambient_font();
    HFONT hfont = nullptr;
    if (font && SUCCEEDED(font->get_hFont(&hfont)) && hfont) old = SelectObject(dc, hfont);
    RECT text = r;
    DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (old) SelectObject(dc, old);
    if (font) font->Release();
  }

  void fire(DISPID id, VARIANT* args, UINT count) {
    if (frozen_ > 0) return;
    DISPPARAMS params{args, nullptr, count, 0};
    AddRef();   // a handler may let go of this control
    for (std::size_t i = 0; i < sinks_.size(); ++i)
      if (IDispatch* s = sinks_[i]) s->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    Release();
  }

  void fire_clicked(const std::wstring& text) {
    VARIANT args[2];   // reversed: count, text
    args[0].vt = VT_I4;
    args[0].lVal = ++clicks_;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocString(text.c_str());
    fire(kClickedEvent, args, 2);
    VariantClear(&args[1]);
  }

  void fire_posted() {
    if (pending_.empty()) return;
    const std::wstring text = pending_.front();
    pending_.pop_front();
    fire_clicked(text);
  }

  HRESULT text_argument(DISPPARAMS* params, std::wstring& out) {
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, argument(params, 0), 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
    out = t.bstrVal ? t.bstrVal : L"";
    VariantClear(&t);
    return S_OK;
  }

  HMODULE module_;
  bool windowless_;
  RECT place_{};
  LONG draws_ = 0;
  IOleClientSite* site_ = nullptr;
  IOleInPlaceSite* inPlaceSite_ = nullptr;
  HWND window_ = nullptr;
  SIZEL extent_{2000, 1000};
  std::wstring caption_ = L"Test control";
  LONG clicks_ = 0;
  DISPID lastAmbientChange_ = 0;
  int frozen_ = 0;
  IPicture* picture_ = nullptr;
  std::deque<std::wstring> pending_;
  std::vector<IDispatch*> sinks_;
};

HRESULT Control::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                        UINT*) {
  VARIANT ignored;
  VariantInit(&ignored);
  if (!result) result = &ignored;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  HRESULT hr = S_OK;
  auto need = [&](UINT least, UINT most) { return SUCCEEDED(hr = expect_args(params, least, most)); };
  auto give_int = [&](LONG n) {
    result->vt = VT_I4;
    result->lVal = n;
    return S_OK;
  };
  switch (id) {
    case kCaption:
      if (put) {
        if (!need(0, 0)) return hr;
        std::wstring text;
        VARIANT t;
        VariantInit(&t);
        if (FAILED(VariantChangeType(&t, &params->rgvarg[0], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
        caption_ = t.bstrVal ? t.bstrVal : L"";
        VariantClear(&t);
        if (window_) InvalidateRect(window_, nullptr, TRUE);
        VARIANT arg;
        arg.vt = VT_BSTR;
        arg.bstrVal = SysAllocString(caption_.c_str());
        fire(kChangedEvent, &arg, 1);
        VariantClear(&arg);
        return S_OK;
      }
      if (!need(0, 0)) return hr;
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(caption_.c_str());
      return S_OK;
    case kFire: {
      if (!need(1, 1)) return hr;
      std::wstring text;
      if (FAILED(hr = text_argument(params, text))) return hr;
      fire_clicked(text);
      return S_OK;
    }
    case kPost: {   // the event comes from the window's message handling, after this call
      if (!need(1, 1)) return hr;
      std::wstring text;
      if (FAILED(hr = text_argument(params, text))) return hr;
      if (!window_) return raise(info, L"the control is not active");
      pending_.push_back(text);
      return give_int(PostMessageW(window_, kMsgPosted, 0, 0) ? 1 : 0);
    }
    case kClicks:
      if (!need(0, 0)) return hr;
      return give_int(clicks_);
    case kAmbientBack: case kAmbientFore: case kAmbientUserMode: case kAmbientName: {
      if (!need(0, 0)) return hr;
      const DISPID which = id == kAmbientBack ? DISPID_AMBIENT_BACKCOLOR
                           : id == kAmbientFore ? DISPID_AMBIENT_FORECOLOR
                           : id == kAmbientName ? DISPID_AMBIENT_DISPLAYNAME
                                                : DISPID_AMBIENT_USERMODE;
      VARIANT v;
      if (FAILED(ambient(which, v))) return raise(info, L"no such ambient property");
      *result = v;
      return S_OK;
    }
    case kAmbientFont: {
      if (!need(0, 0)) return hr;
      IFont* font = ambient_font();
      if (!font) return raise(info, L"no ambient font");
      BSTR name = nullptr;
      font->get_Name(&name);
      font->Release();
      result->vt = VT_BSTR;
      result->bstrVal = name;
      return S_OK;
    }
    case kAmbientChange:
      if (!need(0, 0)) return hr;
      return give_int(lastAmbientChange_);
    case kPicture:
      if (put) {
        if (!need(0, 0)) return hr;
        const VARIANT& v = params->rgvarg[0];
        IPicture* picture = nullptr;
        if ((v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) || !v.punkVal ||
            FAILED(v.punkVal->QueryInterface(IID_IPicture, reinterpret_cast<void**>(&picture))))
          return DISP_E_TYPEMISMATCH;
        if (picture_) picture_->Release();
        picture_ = picture;
        return S_OK;
      }
      if (!need(0, 0)) return hr;
      result->vt = VT_DISPATCH;
      result->pdispVal = nullptr;
      if (picture_) picture_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&result->pdispVal));
      return S_OK;
    case kPictureType: {
      if (!need(0, 0)) return hr;
      SHORT type = 0;   // none
      if (picture_) picture_->get_Type(&type);
      return give_int(type);
    }
    case kWidth: case kHeight: {
      if (!need(0, 0)) return hr;
      RECT r{};
      if (window_) GetClientRect(window_, &r);
      else if (inPlaceSite_) r = {0, 0, place_.right - place_.left, place_.bottom - place_.top};
      return give_int(id == kWidth ? r.right : r.bottom);
    }
    case kActive:
      if (!need(0, 0)) return hr;
      return give_int(inPlaceSite_ ? 1 : 0);
    case kDraws:
      if (!need(0, 0)) return hr;
      return give_int(draws_);
    case kWindow:
      if (!need(0, 0)) return hr;
      return give_int(static_cast<LONG>(reinterpret_cast<INT_PTR>(window_)));
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace

IDispatch* new_control(HMODULE module, bool windowless) { return new Control(module, windowless); }

// A class left registered would point into the unloaded module when it is loaded again.
void unregister_control_class(HMODULE module) { UnregisterClassW(kWindowClass, module); }

}  // namespace testserver
