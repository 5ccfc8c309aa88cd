// The site of one hosted ActiveX control: created with the control, it
// activates it in place in the host window, answers its questions about the
// container, and passes on the events the script subscribed to. On closing,
// the control is deactivated, closed and released; nothing calls it afterwards.
#include "com/control_site_win32.h"

#include "com/events_win32.h"
#include "com/sink_dispatch_win32.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"

namespace orv::com {

namespace {

// Device pixels and the control's HIMETRIC units (0.01 mm).
LONG to_himetric(LONG pixels, int dpi) { return MulDiv(pixels, 2540, dpi); }
LONG to_pixels(LONG himetric, int dpi) { return MulDiv(himetric, dpi, 2540); }

int screen_dpi(bool horizontal) {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, horizontal ? LOGPIXELSX : LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

template <class T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace

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

HRESULT ControlSite::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
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

HRESULT ControlSite::SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) {
  if (closed_) return S_OK;
  if (active) active->AddRef();
  release(active_);
  active_ = active;
  return S_OK;
}

void ControlSite::make_font(const LOGFONTW& lf) {
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
  unhook_keys();
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

}  // namespace orv::com
