// Enumerating collections: ForEach and the ObjectCollection functions both
// ask the object for its enumerator (the new-enum member) and walk it.
#include "com/com_hooks.h"
#include "com/invoke_win32.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::com {
namespace {

bool open_enumerator(Context& c, const Value& collection, IEnumVARIANT*& out) {
  out = nullptr;
  ComObject* o = object_of(collection);
  if (!o || !o->disp) return fail(c, errs::kNotAnObject);
  ArgumentList none(c);
  VARIANT answer;
  VariantInit(&answer);
  Value unused{};
  if (!invoke_id(c, *o, DISPID_NEWENUM, "CComAdapter::ForEach", none, nullptr, unused, &answer)) return false;
  HRESULT hr = E_NOINTERFACE;
  if ((answer.vt == VT_UNKNOWN || answer.vt == VT_DISPATCH) && answer.punkVal)
    hr = answer.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&out));
  VariantClear(&answer);
  if (FAILED(hr)) return fail(c, errs::kComNotCollection);
  return true;
}

// Next element into `element` (empty); got = false at the end.
bool next_of(Context& c, IEnumVARIANT* e, Value& element, bool& got) {
  VARIANT item;
  VariantInit(&item);
  ULONG fetched = 0;
  const HRESULT hr = e->Next(1, &item, &fetched);
  got = hr == S_OK && fetched == 1;
  if (FAILED(hr)) return fail_status(c, hr, "CComAdapter::ForEach");
  if (!got) return true;
  const bool ok = variant_to_value(c, item, element);
  VariantClear(&item);
  return ok;
}

// ObjectCollectionOpen(collection): an enumerator value for ObjectCollectionNext.
void collection_open(Call& call) {
  Context& c = call.c;
  IEnumVARIANT* e = nullptr;
  if (!open_enumerator(c, call.args[1], e)) return;
  VARIANT held;
  held.vt = VT_UNKNOWN;
  held.punkVal = e;
  release_value(c, call.result);
  const bool ok = hold_variant(c, held, call.result);
  e->Release();
  if (!ok) return;
}

IEnumVARIANT* enumerator_of(Context& c, const Value& v) {
  if ((v.flags & vf::kCom) && !(v.flags & vf::kComObject)) {
    VARIANT var = load_variant(v);
    if (var.vt == VT_UNKNOWN && var.punkVal) {
      IEnumVARIANT* e = nullptr;
      if (SUCCEEDED(var.punkVal->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e)))) return e;
    }
  }
  fail(c, errs::kNotAnObject);
  return nullptr;
}

// ObjectCollectionNext(enumerator): the next element, or "" after the last one.
void collection_next(Call& call) {
  Context& c = call.c;
  IEnumVARIANT* e = enumerator_of(c, call.args[1]);
  if (!e) return;
  Value element{};
  bool got = false;
  const bool ok = next_of(c, e, element, got);
  e->Release();
  if (!ok) return;
  release_value(c, call.result);
  if (got) static_cast<Value&>(call.result) = element;
  else make_string(c, call.result, "");
}

// ObjectCollectionClose(enumerator): starts the enumeration over; the value
// lets go of it when released.
void collection_close(Call& call) {
  Context& c = call.c;
  IEnumVARIANT* e = enumerator_of(c, call.args[1]);
  if (!e) return;
  e->Reset();
  e->Release();
  make_int(call.result, 1);
}

}  // namespace
}  // namespace orv::com

namespace orv {

bool com_next_element(Context& c, const Value& collection, std::uint32_t& position, Value& element, bool& got) {
  using namespace com;
  got = false;
  ComState& state = state_of(c);
  auto it = state.loops.find(&position);
  if (position == 0) {
    if (it != state.loops.end()) {
      if (it->second) it->second->Release();
      state.loops.erase(it);
    }
    IEnumVARIANT* e = nullptr;
    if (!open_enumerator(c, collection, e)) return false;
    it = state.loops.emplace(&position, e).first;
  } else if (it == state.loops.end()) {
    return true;
  }
  if (!next_of(c, it->second, element, got)) return false;
  if (got) {
    ++position;
  } else {
    it->second->Release();
    state.loops.erase(it);
  }
  return true;
}

void com_loop_ended(Context& c, const std::uint32_t& position) {
  if (!c.comState) return;
  auto& loops = com::state_of(c).loops;
  if (auto it = loops.find(&position); it != loops.end()) {
    if (it->second) it->second->Release();
    loops.erase(it);
  }
}

void register_com_collections(HandlerTable& t) {
  using namespace com;
  t.add(kw::fn_objectcollectionopen, collection_open);
  t.add(kw::fn_objectcollectionnext, collection_next);
  t.add(kw::fn_objectcollectionclose, collection_close);
}

}  // namespace orv
