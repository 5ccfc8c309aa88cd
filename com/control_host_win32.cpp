// The ActiveX container of script dialogs. One ControlSite per COMCONTROL:
// it owns the "OrvComWin" window, creates the control, activates it in
// place in that window, answers its questions about the container, and
// passes on the events the script subscribed to. When the window goes, the
// control is deactivated, closed and released; nothing calls it afterwards.
#include "com/control_host_win32.h"

#include <olectl.h>

#include <map>

#include "com/com_win32.h"
#include "com/events_win32.h"
#include "com/sink_dispatch_win32.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/no_throw.h"
#include "engine/value_ops.h"
#include "ui/module_win32.h"

namespace orv::com {

namespace {

constexpr wchar_t kHostClass[] = L"OrvComWin";

// Device pixels and the control's HIMETRIC units (0.01 mm).
LONG to_himetric(LONG pixels, int dpi) { return MulDiv(pixels, 2540, dpi); }
LONG to_pixels(LONG himetric, int dpi) { return MulDiv(himetric, dpi, 2540); }

int screen_dpi(bool horizontal) {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, horizontal ? LOGPIXELSX : LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// Keys reach an in-place active control before the dialog manager takes
// arrows, tabs and Enter for itself: one message filter per thread while
// any control is hosted on it.
thread_local HHOOK t_filter = nullptr;
thread_local int t_hosted = 0;

template <class T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

LRESULT CALLBACK host_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool register_host_class() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(ui::this_module(), kHostClass, &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = host_proc;
  wc.hInstance = ui::this_module();
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kHostClass;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

// ControlSite (named in the header) holds one, so it too stays outside the unnamed namespace.
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
  void hook_keys();
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
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override {
    if (closed_) return S_OK;
    if (active) active->AddRef();
    release(active_);
    active_ = active;
    return S_OK;
  }
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
  HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override {
    if (!himetric || !container) return E_POINTER;
    const int dx = screen_dpi(true), dy = screen_dpi(false);
    if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
      container->x = static_cast<float>(to_pixels(himetric->x, dx));
      container->y = static_cast<float>(to_pixels(himetric->y, dy));
    } else {
      himetric->x = to_himetric(static_cast<LONG>(container->x), dx);
      himetric->y = to_himetric(static_cast<LONG>(container->y), dy);
    }
    return S_OK;
  }
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
  void make_font(const LOGFONTW& lf) {
    FONTDESC fd{};
    fd.cbSizeofstruct = sizeof fd;
    fd.lpstrName = const_cast<LPOLESTR>(lf.lfFaceName);
    // Character height in pixels to points, in ten-thousandths.
    const LONG height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    fd.cySize.int64 = static_cast<LONGLONG>(MulDiv(height ? height : 13, 72 * 10000, screen_dpi(false)));
    fd.sWeight = static_cast<SHORT>(lf.lfWeight ? lf.lfWeight : FW_NORMAL);
    fd.sCharset = lf.lfCharSet;
    fd.fItalic = lf.lfItalic != 0;
    fd.fUnderline = lf.lfUnderline != 0;
    fd.fStrikethrough = lf.lfStrikeOut != 0;
    OleCreateFontIndirect(&fd, IID_IFontDisp, reinterpret_cast<void**>(&font_));
  }
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

// The control's outgoing interface, answered on the site's behalf.
class ControlEvents : public SinkDispatch {
 public:
  ControlEvents(ControlSite* site, const IID& iid) : SinkDispatch(iid), site_(site) {}
  void cut() { site_ = nullptr; }

 private:
  void fired(DISPID id, DISPPARAMS& params) override {
    if (site_) site_->fired(id, &params);
  }
  ControlSite* site_;
};

namespace {

ControlSite* site_of(HWND hwnd) { return reinterpret_cast<ControlSite*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

// The host window that `w` is or lies in, if any.
ControlSite* host_of(HWND w) {
  for (; w; w = GetAncestor(w, GA_PARENT)) {
    wchar_t name[16] = {};
    if (GetClassNameW(w, name, 16) && lstrcmpW(name, kHostClass) == 0) return site_of(w);
  }
  return nullptr;
}

LRESULT CALLBACK key_filter(int code, WPARAM wParam, LPARAM lParam) {
  auto* m = reinterpret_cast<MSG*>(lParam);
  if (code >= 0 && m && m->message >= WM_KEYFIRST && m->message <= WM_KEYLAST) {
    ControlSite* site = host_of(m->hwnd);
    if (site && site->translate(*m)) return 1;
  }
  return CallNextHookEx(t_filter, code, wParam, lParam);
}

LRESULT handle_host_message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ControlSite* site = site_of(hwnd);
  switch (message) {
    case WM_SIZE:
      if (site) site->resized();
      return 0;
    case WM_PAINT:
      if (site) {
        site->paint(hwnd);
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (site) site->focus();
      return 0;
    case WM_DESTROY:
      if (site) site->close();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Nothing may unwind through the window manager.
LRESULT CALLBACK host_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return export_guard<LRESULT>(0, [&] { return handle_host_message(hwnd, message, wParam, lParam); });
}

}  // namespace

HRESULT ControlSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
  VariantInit(result);
  auto flag = [&](bool on) {
    result->vt = VT_BOOL;
    result->boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  };
  auto colour = [&](COLORREF given, int system) {
    result->vt = VT_I4;
    result->lVal = static_cast<LONG>(given != CLR_INVALID ? given : 0x80000000u | static_cast<unsigned>(system));
    return S_OK;
  };
  switch (id) {
    case DISPID_AMBIENT_BACKCOLOR: return colour(ambient_.back, COLOR_BTNFACE);
    case DISPID_AMBIENT_FORECOLOR: return colour(ambient_.fore, COLOR_BTNTEXT);
    case DISPID_AMBIENT_FONT:
      if (!font_) return DISP_E_MEMBERNOTFOUND;
      result->vt = VT_DISPATCH;
      result->pdispVal = font_;
      font_->AddRef();
      return S_OK;
    case DISPID_AMBIENT_DISPLAYNAME:
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(ambient_.name.c_str());
      return S_OK;
    case DISPID_AMBIENT_LOCALEID:
      result->vt = VT_I4;
      result->lVal = static_cast<LONG>(GetUserDefaultLCID());
      return S_OK;
    case DISPID_AMBIENT_USERMODE: return flag(true);
    case DISPID_AMBIENT_AUTOCLIP: return flag(true);
    case DISPID_AMBIENT_UIDEAD: case DISPID_AMBIENT_SHOWGRABHANDLES: case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_DISPLAYASDEFAULT: case DISPID_AMBIENT_SUPPORTSMNEMONICS: case DISPID_AMBIENT_MESSAGEREFLECT:
      return flag(false);
    case DISPID_AMBIENT_APPEARANCE:   // three-dimensional, as the dialog's own controls
      result->vt = VT_I2;
      result->iVal = 1;
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

bool ControlSite::create(const CLSID& clsid, HWND window, const RECT& client) {
  clsid_ = clsid;
  window_ = window;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&object_));
  if (FAILED(hr) || !object_) return fail_status(c_, FAILED(hr) ? hr : E_NOINTERFACE, "CComControl::Create", true);
  DWORD misc = 0;
  object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
  const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
  if (siteFirst) object_->SetClientSite(this);
  IPersistStreamInit* persist = nullptr;
  if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
    persist->InitNew();
    persist->Release();
  }
  if (!siteFirst) object_->SetClientSite(this);
  object_->SetHostNames(L"ORV", nullptr);
  SIZEL extent{to_himetric(client.right - client.left, screen_dpi(true)),
               to_himetric(client.bottom - client.top, screen_dpi(false))};
  object_->SetExtent(DVASPECT_CONTENT, &extent);
  object_->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control_));
  object_->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view_));
  object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_));
  hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, window_, &client);
  if (FAILED(hr)) return fail_status(c_, hr, "CComControl::Activate", true);
  object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace_));
  resized();
  return true;
}

// The order matters: events stop first, then the control leaves its window,
// closes and forgets this site; the scripts' wrapper is closed last.
void ControlSite::close() {
  if (closed_) return;
  closed_ = true;
  AddRef();   // the control may release its references to this site meanwhile
  if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  if (sink_) sink_->cut();
  if (point_) point_->Unadvise(cookie_);
  release(point_);
  release(sink_);
  release(source_);
  subscribed_.clear();
  if (hooked_ && --t_hosted == 0 && t_filter) {
    UnhookWindowsHookEx(t_filter);
    t_filter = nullptr;
  }
  hooked_ = false;
  release(active_);
  if (inPlace_) inPlace_->InPlaceDeactivate();
  release(inPlace_);
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  release(control_);
  release(view_);
  release(dispatch_);
  release(object_);
  release(font_);
  if (handed_) {
    ComState& state = state_of(c_);
    state.close(handed_);
    state.release(handed_);
    handed_ = nullptr;
  }
  window_ = nullptr;
  events_ = nullptr;
  Release();
}

void ControlSite::hook_keys() {
  if (hooked_) return;
  if (t_hosted == 0) t_filter = SetWindowsHookExW(WH_MSGFILTER, key_filter, nullptr, GetCurrentThreadId());
  ++t_hosted;
  hooked_ = true;
}

void ControlSite::resized() {
  if (closed_ || !window_ || !inPlace_) return;
  RECT client{};
  GetClientRect(window_, &client);
  if (object_) {
    SIZEL extent{to_himetric(client.right, screen_dpi(true)), to_himetric(client.bottom, screen_dpi(false))};
    object_->SetExtent(DVASPECT_CONTENT, &extent);
  }
  inPlace_->SetObjectRects(&client, &client);
}

// A control without a window of its own is drawn through its view.
void ControlSite::paint(HWND hwnd) {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(hwnd, &ps);
  HWND own = nullptr;
  const bool windowed = inPlace_ && SUCCEEDED(inPlace_->GetWindow(&own)) && own;
  if (!closed_ && view_ && !windowed) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const RECTL bounds{client.left, client.top, client.right, client.bottom};
    view_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
  }
  EndPaint(hwnd, &ps);
}

bool ControlSite::connect() {
  if (sink_) return true;
  if (!dispatch_) return fail(c_, errs::kComNoEvents);
  ITypeInfo* events = nullptr;
  IID iid{};
  IConnectionPoint* point = event_connection(c_, object_, dispatch_, &clsid_, events, iid);
  if (!point) return false;
  auto* sink = new ControlEvents(this, iid);
  const HRESULT hr = point->Advise(static_cast<IDispatch*>(sink), &cookie_);
  if (FAILED(hr)) {
    point->Release();
    sink->cut();
    sink->Release();
    events->Release();
    return fail_status(c_, hr, "CComSink::AddEvent");
  }
  source_ = events;
  sink_ = sink;
  point_ = point;
  return true;
}

bool ControlSite::subscribe(const std::wstring& event, bool on) {
  if (closed_) return fail(c_, errs::kComNoEvents);
  if (event.empty()) return fail(c_, errs::kComEventNotFound);
  if (!on && !sink_) return fail(c_, errs::kComEventNotFound);
  if (on && !connect()) return false;
  DISPID id = 0;
  int required = 0, total = 0;
  if (!find_event(c_, source_, event, id, required, total)) return false;
  if (!on) return subscribed_.erase(id) ? true : fail(c_, errs::kComEventNotFound);
  // The name as the control spells it, for the callback's event data.
  BSTR name = nullptr;
  std::wstring spelled = event;
  if (SUCCEEDED(source_->GetDocumentation(id, &name, nullptr, nullptr, nullptr)) && name) spelled = name;
  SysFreeString(name);
  subscribed_[id] = spelled;
  return true;
}

bool ControlSite::object(Value& out) {
  if (closed_ || !dispatch_) return fail(c_, errs::kDialogRequestUnsupported);
  ComState& state = state_of(c_);
  if (handed_ && !handed_->disp) {   // the script closed it (ObjectClose): a new one
    state.release(handed_);
    handed_ = nullptr;
  }
  if (!handed_) {
    handed_ = state.adopt(dispatch_, &clsid_);   // (adopts a reference taken once it holds)
    dispatch_->AddRef();
    state.add_ref(handed_);   // the site's own share, let go when the dialog ends
  }
  make_object_value(c_, out, handed_);
  return true;
}

// Parameters as the script reads variants (dates as YmdHms, ...); one that
// has no text form (an object) is empty.
void ControlSite::fired(DISPID id, DISPPARAMS* params) {
  if (closed_ || !events_) return;
  const auto it = subscribed_.find(id);
  if (it == subscribed_.end()) return;
  const std::wstring name = it->second;
  std::vector<std::string> texts;
  const std::uint16_t before = c_.error;
  const UINT positional = params->cArgs > params->cNamedArgs ? params->cArgs - params->cNamedArgs : 0;
  for (UINT k = 0; k < positional; ++k) {
    VARIANT& v = params->rgvarg[params->cArgs - 1 - k];
    Value value{};
    std::string text;
    if (variant_to_value(c_, v, value) && !(value.flags & vf::kComObject)) value_text(c_, value, text);
    release_value(c_, value);
    c_.error = before;
    texts.push_back(text);
  }
  // The callback may end the dialog and close this site: a reference held
  // across it, let go however the callback ends.
  struct Held {
    ControlSite* site;
    ~Held() { site->Release(); }
  } held{this};
  AddRef();
  const EventHandler handler = events_;
  handler(name, texts);
}

void HostCloser::operator()(ControlSite* site) const {
  if (!site) return;
  site->close();
  site->Release();
}

ControlHost create_control_host(Context& c, HWND parent, int id, const RECT& r, DWORD style,
                                const std::wstring& progId, const Ambient& ambient, EventHandler events) {
  if (!state_of(c).ready(c)) return nullptr;
  CLSID clsid{};
  const HRESULT hr = !progId.empty() && progId[0] == L'{' ? CLSIDFromString(progId.c_str(), &clsid)
                                                          : CLSIDFromProgID(progId.c_str(), &clsid);
  if (FAILED(hr)) {
    fail_status(c, hr, "CComControl::Create", true, narrow(progId));
    return nullptr;
  }
  if (!register_host_class()) {
    fail(c, errs::kWindowCreateFailed);
    return nullptr;
  }
  const HWND window = CreateWindowExW(0, kHostClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_TABSTOP | style, r.left,
                                      r.top, r.right - r.left, r.bottom - r.top, parent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ui::this_module(), nullptr);
  if (!window) {
    fail(c, errs::kWindowCreateFailed);
    return nullptr;
  }
  ControlHost site(new ControlSite(c, ambient, std::move(events)));
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(site.get()));
  const RECT client{0, 0, r.right - r.left, r.bottom - r.top};
  if (!site->create(clsid, window, client)) {
    const std::uint16_t error = c.error;
    site.reset();
    DestroyWindow(window);
    c.error = error;
    return nullptr;
  }
  site->hook_keys();
  return site;
}

HWND host_window(const ControlSite& site) { return site.window(); }
bool host_subscribe(Context&, ControlSite& site, const std::wstring& event, bool subscribe) {
  return site.subscribe(event, subscribe);
}
bool host_object(Context&, ControlSite& site, Value& out) { return site.object(out); }
void host_set_back(ControlSite& site, COLORREF colour) { site.set_colour(true, colour); }
void host_set_fore(ControlSite& site, COLORREF colour) { site.set_colour(false, colour); }

}  // namespace orv::com
