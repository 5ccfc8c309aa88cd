// Events: one sink per object on its default source interface. Each handler
// binds an event (by its identifier in that interface) to a user-defined
// function, which the sink calls through the ordinary function call.
#include "com/events_win32.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "engine/outside_code.h"
#include "builtins/dispatch.h"
#include "com/com_hooks.h"
#include "com/sink_dispatch_win32.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/trace/trace.h"
#include "engine/udf.h"
#include "engine/value_ops.h"

namespace orv::com {

class EventSink : public SinkDispatch {
 public:
  struct Handler {
    std::string function;
  };

  EventSink(Context* c, const IID& iid, ITypeInfo* events) : SinkDispatch(iid), c_(c), events_(events) {}
  ~EventSink() override {
    if (events_) events_->Release();
  }

  void fired(DISPID id, DISPPARAMS& params) override;

  ITypeInfo* events() const { return events_; }
  std::unordered_map<DISPID, Handler> handlers;
  IConnectionPoint* point = nullptr;
  DWORD cookie = 0;
  // Cut when the object lets go of the sink; late events are then ignored.
  void disconnect() { c_ = nullptr; }

 private:
  Context* c_;
  ITypeInfo* events_;
};

namespace {

// Releases the argument slots of an event call.
struct EventArgs {
  Context& c;
  ArgSlots slots{};
  EventArgs(Context& context) : c(context) {
    for (auto& s : slots) clear_operand(s);
  }
  ~EventArgs() {
    for (auto& s : slots) release_value(c, s);
  }
};

}  // namespace

namespace {

// Stores a parameter's final value where a by-reference event argument points.
void write_back(Context& c, const Value& value, VARIANT& target) {
  if (!(target.vt & VT_BYREF) || !target.byref) return;
  const VARTYPE type = target.vt & ~VT_BYREF;
  VARIANT fresh;
  const bool ok = type == VT_VARIANT ? value_to_variant(c, value, fresh) : value_to_typed_variant(c, value, type, fresh);
  if (!ok) {
    c.error = 0;   // the event source keeps its own value
    return;
  }
  switch (type) {
    case VT_VARIANT: VariantClear(target.pvarVal); *target.pvarVal = fresh; return;
    case VT_BSTR: SysFreeString(*target.pbstrVal); *target.pbstrVal = fresh.bstrVal; return;
    case VT_DECIMAL: *target.pdecVal = fresh.decVal; return;
    case VT_I1: case VT_UI1: std::memcpy(target.byref, &fresh.bVal, 1); return;
    case VT_I2: case VT_UI2: case VT_BOOL: std::memcpy(target.byref, &fresh.iVal, 2); return;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR:
      std::memcpy(target.byref, &fresh.lVal, 4);
      return;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: std::memcpy(target.byref, &fresh.llVal, 8); return;
    default: VariantClear(&fresh); return;
  }
}

}  // namespace

void EventSink::fired(DISPID id, DISPPARAMS& params) {
  if (!c_) return;
  Context& c = *c_;
  after_outside_code(c);   // the caller may have written into texts
  auto it = handlers.find(id);
  if (it == handlers.end() || c.error != 0) return;
  const int index = find_udf(c, it->second.function);
  if (index < 0) return;
  const int wanted = static_cast<int>(c.udfs[static_cast<std::size_t>(index)].params.size());
  EventArgs args(c);
  bool ok = true;
  for (int k = 0; k < wanted && ok; ++k) {
    Operand& slot = args.slots[static_cast<std::size_t>(k + 1)];
    if (static_cast<UINT>(k) < params.cArgs) ok = variant_to_value(c, params.rgvarg[params.cArgs - 1 - k], slot);
    else ok = make_string(c, slot, "");
  }
  if (!ok) return;
  trace::callback_triggered(c, trace::CallbackSource::comEvent);
  Operand result;
  clear_operand(result);
  if (call_udf_copy_back(c, index, args.slots.data(), wanted, result)) {
    for (int k = 0; k < wanted && static_cast<UINT>(k) < params.cArgs; ++k)
      write_back(c, args.slots[static_cast<std::size_t>(k + 1)], params.rgvarg[params.cArgs - 1 - k]);
  }
  release_value(c, result);
}

namespace {

// The default source interface named by a class description.
ITypeInfo* default_source_of_class(ITypeInfo* coclass) {
  TYPEATTR* attr = nullptr;
  if (!coclass || FAILED(coclass->GetTypeAttr(&attr))) return nullptr;
  ITypeInfo* found = nullptr;
  for (UINT i = 0; i < attr->cImplTypes && !found; ++i) {
    INT flags = 0;
    HREFTYPE ref = 0;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
    if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
      continue;
    if (SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref))) coclass->GetRefTypeInfo(ref, &found);
  }
  coclass->ReleaseTypeAttr(attr);
  return found;
}

// The class description: from the object itself, else from its type library.
ITypeInfo* class_info(IDispatch* disp, const CLSID* clsid) {
  ITypeInfo* info = nullptr;
  IProvideClassInfo* provide = nullptr;
  if (SUCCEEDED(disp->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide)))) {
    provide->GetClassInfo(&info);
    provide->Release();
    if (info) return info;
  }
  ITypeInfo* own = nullptr;
  ITypeLib* lib = nullptr;
  UINT index = 0;
  if (clsid && SUCCEEDED(disp->GetTypeInfo(0, LOCALE_USER_DEFAULT, &own)) && own &&
      SUCCEEDED(own->GetContainingTypeLib(&lib, &index))) {
    lib->GetTypeInfoOfGuid(*clsid, &info);
    lib->Release();
  }
  if (own) own->Release();
  return info;
}

}  // namespace

ITypeInfo* default_source(IDispatch* disp, const CLSID* clsid) {
  ITypeInfo* coclass = class_info(disp, clsid);
  ITypeInfo* events = default_source_of_class(coclass);
  if (coclass) coclass->Release();
  return events;
}

IConnectionPoint* event_connection(Context& c, IUnknown* object, IDispatch* disp, const CLSID* clsid,
                                   ITypeInfo*& events, IID& iid) {
  events = default_source(disp, clsid);
  if (!events) return fail(c, errs::kComNoEvents), nullptr;
  TYPEATTR* attr = nullptr;
  IConnectionPointContainer* container = nullptr;
  IConnectionPoint* point = nullptr;
  if (SUCCEEDED(events->GetTypeAttr(&attr))) {
    iid = attr->guid;
    events->ReleaseTypeAttr(attr);
    if (SUCCEEDED(object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
      if (FAILED(container->FindConnectionPoint(iid, &point))) point = nullptr;
      container->Release();
    }
  }
  if (!point) {
    events->Release();
    events = nullptr;
    fail(c, errs::kComNoEvents);
  }
  return point;
}

namespace {

bool connect(Context& c, ComObject& o) {
  if (o.sink) return true;
  ITypeInfo* events = nullptr;
  IID iid{};
  IConnectionPoint* point = event_connection(c, o.disp, o.disp, o.hasClsid ? &o.clsid : nullptr, events, iid);
  if (!point) return false;
  auto* sink = new EventSink(&c, iid, events);
  const HRESULT hr = point->Advise(static_cast<IDispatch*>(sink), &sink->cookie);
  if (FAILED(hr)) {
    point->Release();
    sink->disconnect();
    sink->Release();
    return fail_status(c, hr, "CComSink::AddEvent");
  }
  sink->point = point;
  o.sink = sink;
  return true;
}

void event_add(Call& call) {
  Context& c = call.c;
  ComObject* o = object_of(call.args[1]);
  if (!o || !o->disp) { fail(c, errs::kNotAnObject); return; }
  std::wstring event, function;
  if (!wide_text(c, call.args[2], event) || !wide_text(c, call.args[3], function)) return;
  if (event.empty()) { fail(c, errs::kComEventNotFound); return; }
  if (function.empty()) { fail(c, errs::kUdfNotFound); return; }
  if (!connect(c, *o)) return;
  DISPID id = 0;
  int required = 0, total = 0;
  if (!find_event(c, o->sink->events(), event, id, required, total)) return;
  const std::string name = narrow(function);
  const int index = find_udf(c, name);
  if (index < 0) { fail(c, errs::kUdfNotFound); return; }
  const int given = static_cast<int>(c.udfs[static_cast<std::size_t>(index)].params.size());
  if (given < required || given > total) { fail(c, errs::kComHandlerWrongParams); return; }
  o->sink->handlers[id] = {name};
  make_int(call.result, 1);
}

void event_remove(Call& call) {
  Context& c = call.c;
  std::wstring event;
  if (!wide_text(c, call.args[2], event)) return;
  if (event.empty()) { fail(c, errs::kComEventNotFound); return; }
  ComObject* o = object_of(call.args[1]);
  if (!o || !o->disp) { fail(c, errs::kNotAnObject); return; }
  DISPID id = 0;
  int required = 0, total = 0;
  if (!o->sink || !find_event(c, o->sink->events(), event, id, required, total)) {
    if (!failed(c)) fail(c, errs::kComEventNotFound);
    return;
  }
  o->sink->handlers.erase(id);
  if (o->sink->handlers.empty()) detach_sink(*o);
  make_int(call.result, 1);
}

}  // namespace

// The event's identifier (1753 when none) and how many parameters it must and may have.
bool find_event(Context& c, ITypeInfo* events, const std::wstring& name, DISPID& id, int& required, int& total) {
  LPOLESTR text = const_cast<LPOLESTR>(name.c_str());
  if (FAILED(events->GetIDsOfNames(&text, 1, &id))) return fail(c, errs::kComEventNotFound);
  TYPEATTR* attr = nullptr;
  if (FAILED(events->GetTypeAttr(&attr))) return fail(c, errs::kComEventNotFound);
  bool found = false;
  for (UINT f = 0; f < attr->cFuncs && !found; ++f) {
    FUNCDESC* fd = nullptr;
    if (FAILED(events->GetFuncDesc(f, &fd))) continue;
    if (fd->memid == id) {
      found = true;
      total = fd->cParams;
      int optional = 0;
      for (SHORT k = 0; k < fd->cParams; ++k)
        optional += (fd->lprgelemdescParam[k].paramdesc.wParamFlags & PARAMFLAG_FOPT) != 0;
      required = fd->cParamsOpt == -1 ? total - 1 : total - std::max<int>(optional, fd->cParamsOpt);
    }
    events->ReleaseFuncDesc(fd);
  }
  events->ReleaseTypeAttr(attr);
  return found ? true : fail(c, errs::kComEventNotFound);
}

void detach_sink(ComObject& o) {
  EventSink* sink = o.sink;
  if (!sink) return;
  o.sink = nullptr;
  sink->disconnect();
  if (sink->point) {
    sink->point->Unadvise(sink->cookie);
    sink->point->Release();
    sink->point = nullptr;
  }
  sink->Release();
}

}  // namespace orv::com

namespace orv {

void register_com_events(HandlerTable& t) {
  t.add(kw::fn_objecteventadd, com::event_add);
  t.add(kw::fn_objecteventremove, com::event_remove);
}

}  // namespace orv
