// The automation layer's shared pieces on Windows: the object wrapper, the
// per-context state, variant storage in value records and the conversions.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <oleauto.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "engine/context.h"

namespace orv::com {

class EventSink;

// What a COM object value points at. Value records share it by count.
struct ComObject {
  IDispatch* disp = nullptr;            // null once closed
  CLSID clsid{};
  bool hasClsid = false;
  std::uint32_t refs = 0;
  ITypeInfo* typeInfo = nullptr;        // when the object offers one
  bool typeInfoTried = false;
  // Member identifiers by lower-case name as the script writes it (ANSI), and
  // the last one asked for by its exact text: a loop calls one member again and again.
  std::unordered_map<std::string, DISPID> dispids;
  std::string lastName;
  DISPID lastId = DISPID_UNKNOWN;
  // Parameters the server writes back, by member (bit k = parameter k).
  struct OutParams { bool fromTypeInfo = false; std::uint32_t mask = 0; };
  std::unordered_map<DISPID, OutParams> outParams;
  EventSink* sink = nullptr;            // once events are attached
};

class ComState {
 public:
  ComState() = default;
  ~ComState();
  ComState(const ComState&) = delete;
  ComState& operator=(const ComState&) = delete;

  // COM must be initialised on the interpreter's thread before any object is used.
  bool ready(Context& c);
  // Wraps an interface pointer, taking over the reference it carries.
  ComObject* adopt(IDispatch* disp, const CLSID* clsid);
  void add_ref(ComObject* o) { ++o->refs; }
  void release(ComObject* o);
  // Lets go of the server now; values that still name the wrapper see a closed object.
  void close(ComObject* o);
  bool owns(const ComObject* o) const { return objects_.count(const_cast<ComObject*>(o)) != 0; }
  std::size_t live_objects() const { return objects_.size(); }

  // Enumerations of running ForEach loops, by the loop's position counter.
  std::unordered_map<const std::uint32_t*, IEnumVARIANT*> loops;
  Context* context = nullptr;

 private:
  bool initialized_ = false;
  bool uninitialize_ = false;
  std::unordered_map<ComObject*, std::unique_ptr<ComObject>> objects_;
};

ComState& state_of(Context& c);

// Variant storage inside a value record (the record is packed; copy bytes).
VARIANT load_variant(const Value& v);
void store_variant(Value& v, const VARIANT& var);

// Object values: flags 0x601, by-reference type word, wrapper as payload.
void make_object_value(Context& c, Value& v, ComObject* o);
ComObject* object_of(const Value& v);
// The live IDispatch of an object value; 3131 when the value holds none.
IDispatch* dispatch_of(Context& c, const Value& v);

// Script value to variant: each value as its own kind (out is initialised).
bool value_to_variant(Context& c, const Value& v, VARIANT& out);
// The same with a requested type (ObjectType and typed arrays).
bool value_to_typed_variant(Context& c, const Value& v, VARTYPE type, VARIANT& out);
// Variant to script value (out empty): objects become object values,
// arrays script arrays, other types keep the variant beside their plain form.
bool variant_to_value(Context& c, const VARIANT& in, Value& out);
// The same for a variant that is ours to let go (a call's answer): it moves
// into the value where it can (`in` is then empty), else it is copied.
bool take_variant(Context& c, VARIANT& in, Value& out);
// Keeps a variant as it is (arrays stay arrays of the variant) with its plain form.
bool hold_variant(Context& c, const VARIANT& in, Value& out);

// Failure reporting: the status mapped to its error, the step kept for the trace.
bool fail_status(Context& c, HRESULT hr, const char* step, bool creating = false, std::string detail = {});
// The server's own exception text as the error's additional text.
bool fail_exception(Context& c, HRESULT hr, EXCEPINFO& info, const char* step);

// Text of a string argument as UTF-16 (wide or ANSI value).
bool wide_text(Context& c, const Value& v, std::wstring& out);
std::string narrow(const std::wstring& w);

// Safe arrays.
bool array_to_safearray(Context& c, const Value& array, VARTYPE elementType, SAFEARRAY*& out);
bool safearray_to_array(Context& c, SAFEARRAY* sa, Value& out);

}  // namespace orv::com
