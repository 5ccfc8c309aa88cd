// Events: a sink on the object's default source interface that calls the
// script's user-defined functions.
#pragma once
#include "com/com_win32.h"

namespace orv::com {

// The object's default source interface (from its class information or
// its type library); none when it has no events. A new reference.
ITypeInfo* default_source(IDispatch* disp, const CLSID* clsid);
// The connection point of the object's default source interface, with that
// interface's type information (`events`, a new reference) and id; null
// with 1752 set when the object has no events to connect to.
IConnectionPoint* event_connection(Context& c, IUnknown* object, IDispatch* disp, const CLSID* clsid,
                                   ITypeInfo*& events, IID& iid);
// An event of a source interface by name; 1753 when there is none.
bool find_event(Context& c, ITypeInfo* events, const std::wstring& name, DISPID& id, int& required, int& total);

// Disconnects and drops the object's sink, if any.
void detach_sink(ComObject& o);

}  // namespace orv::com
