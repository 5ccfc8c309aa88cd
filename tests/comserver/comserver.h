// A small in-process automation server for the tests: hand-made IDispatch
// objects, a collection, exceptions and events, and a count of live objects.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <string>
#include <vector>

namespace testserver {

// {6C1F3A52-8E0D-4B7A-9C21-5D3E4F6A7B01}
inline constexpr CLSID kServerClsid = {0x6c1f3a52, 0x8e0d, 0x4b7a, {0x9c, 0x21, 0x5d, 0x3e, 0x4f, 0x6a, 0x7b, 0x01}};
// {6C1F3A52-8E0D-4B7A-9C21-5D3E4F6A7B02}
inline constexpr IID kEventsIid = {0x6c1f3a52, 0x8e0d, 0x4b7a, {0x9c, 0x21, 0x5d, 0x3e, 0x4f, 0x6a, 0x7b, 0x02}};
// {6C1F3A52-8E0D-4B7A-9C21-5D3E4F6A7B03}
inline constexpr GUID kLibId = {0x6c1f3a52, 0x8e0d, 0x4b7a, {0x9c, 0x21, 0x5d, 0x3e, 0x4f, 0x6a, 0x7b, 0x03}};
inline constexpr const wchar_t* kProgId = L"OrvTest.Server";
// The test control: {6C1F3A52-8E0D-4B7A-9C21-5D3E4F6A7B04}, its events ...05.
inline constexpr CLSID kControlClsid = {0x6c1f3a52, 0x8e0d, 0x4b7a, {0x9c, 0x21, 0x5d, 0x3e, 0x4f, 0x6a, 0x7b, 0x04}};
inline constexpr IID kControlEventsIid = {0x6c1f3a52, 0x8e0d, 0x4b7a, {0x9c, 0x21, 0x5d, 0x3e, 0x4f, 0x6a, 0x7b, 0x05}};
inline constexpr const wchar_t* kControlProgId = L"OrvTest.Control";
// The same control without a window of its own: {6C1F3A52-8E0D-4B7A-9C21-5D3E4F6A7B06}.
inline constexpr CLSID kViewControlClsid = {0x6c1f3a52, 0x8e0d, 0x4b7a, {0x9c, 0x21, 0x5d, 0x3e, 0x4f, 0x6a, 0x7b, 0x06}};
inline constexpr const wchar_t* kViewControlProgId = L"OrvTest.ViewControl";

// Live objects of this server, kept in the process environment so that the
// count survives the module being unloaded between scripts.
void object_born();
void object_died();
long live_objects();
void module_lock(bool lock);
long module_locks();

// Member table of a hand-made dispatch object.
struct Member {
  const wchar_t* name;
  DISPID id;
};

// IDispatch without type information; Invoke is each object's own.
class DispatchBase : public IDispatch {
 public:
  DispatchBase(const Member* members, std::size_t count) : members_(members), count_(count) { object_born(); }
  virtual ~DispatchBase() { object_died(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;

 protected:
  // Extra interfaces of the object; nullptr when none matches.
  virtual void* other_interface(REFIID) { return nullptr; }

 private:
  const Member* members_;
  std::size_t count_;
  ULONG refs_ = 1;
};

// Arguments in script order (the call passes them reversed), references resolved.
VARIANT* argument(DISPPARAMS* params, UINT k);
HRESULT expect_args(DISPPARAMS* params, UINT least, UINT most);
HRESULT raise(EXCEPINFO* info, const std::wstring& description);

IDispatch* new_server();
IDispatch* new_control(HMODULE module, bool windowless);
void unregister_control_class(HMODULE module);
IDispatch* new_collection(std::vector<std::wstring> items);
IDispatch* new_plain(int depth);   // no default member; named "plain<depth>"
IEnumVARIANT* new_enumerator(std::vector<std::wstring> items);
ITypeInfo* class_type_info();   // the coclass with its event interface (a new reference)

// One event of a hand-made event interface: its id and parameters (name, type, optional).
struct EventParam {
  const wchar_t* name;
  VARTYPE type;
  bool optional = false;
  bool byRef = false;
};
struct EventDesc {
  const wchar_t* name;
  DISPID id;
  std::vector<EventParam> params;
};
// A named constant of a type library's enumeration.
struct ConstantDesc {
  const wchar_t* name;
  LONG value;
};
// A coclass `clsid` whose default source is the dispatch interface `events`
// (a new reference); its library also holds the enumeration `constants`.
ITypeInfo* coclass_with_events(const wchar_t* libName, const CLSID& clsid, const IID& events,
                               const std::vector<EventDesc>& list, const std::vector<ConstantDesc>& constants = {});

}  // namespace testserver
