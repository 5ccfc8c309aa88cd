// The named constants of an object's type library (its enumerations and
// modules) as an object of their own: members read the values, and
// ObjectConstToArray lists the names beside the values. The constants object
// is ours, so a private interface tells it apart from any server's object.
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "com/com_hooks.h"
#include "com/com_win32.h"
#include "engine/error_numbers.h"
#include "com/constants_win32.h"
#include "com/sink_dispatch_win32.h"
#include "engine/arrays.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::com {
namespace {

// {5B0E7C31-2A94-4F61-8D3C-0A7E6B5F4C21}: answered only by our constants objects.
constexpr IID kConstantsIid = {0x5b0e7c31, 0x2a94, 0x4f61, {0x8d, 0x3c, 0x0a, 0x7e, 0x6b, 0x5f, 0x4c, 0x21}};

struct NamedConstant {
  std::wstring name;
  VARIANT value;
};

class ConstantsObject final : public OwnDispatch {
 public:
  explicit ConstantsObject(std::vector<NamedConstant> list) : OwnDispatch(kConstantsIid), list_(std::move(list)) {}

  // Member k (from 1) is constant k - 1; names compare without regard to case.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    for (UINT k = 0; k < count; ++k) ids[k] = DISPID_UNKNOWN;
    if (count == 0) return S_OK;
    for (std::size_t i = 0; i < list_.size(); ++i) {
      if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, names[0], -1, list_[i].name.c_str(), -1) == CSTR_EQUAL) {
        ids[0] = static_cast<DISPID>(i + 1);
        return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (id < 1 || static_cast<std::size_t>(id) > list_.size()) return DISP_E_MEMBERNOTFOUND;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return DISP_E_MEMBERNOTFOUND;   // read-only
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return S_OK;
    return VariantCopy(result, &list_[static_cast<std::size_t>(id - 1)].value);
  }

  const std::vector<NamedConstant>& list() const { return list_; }

 private:
  // Only the last Release deletes it.
  ~ConstantsObject() override {
    for (auto& k : list_) VariantClear(&k.value);
  }
  std::vector<NamedConstant> list_;
};

ConstantsObject* as_constants(IDispatch* disp) {
  IUnknown* found = nullptr;
  if (!disp || FAILED(disp->QueryInterface(kConstantsIid, reinterpret_cast<void**>(&found))) || !found) return nullptr;
  found->Release();   // our own object: the caller's reference keeps it alive
  return static_cast<ConstantsObject*>(static_cast<IDispatch*>(found));
}

// The type library that describes the object: through its own type
// information, else through its class information.
ITypeLib* library_of(IDispatch* disp) {
  ITypeInfo* info = nullptr;
  UINT count = 0;
  if (SUCCEEDED(disp->GetTypeInfoCount(&count)) && count > 0) disp->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info);
  if (!info) {
    IProvideClassInfo* provide = nullptr;
    if (SUCCEEDED(disp->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide)))) {
      provide->GetClassInfo(&info);
      provide->Release();
    }
  }
  if (!info) return nullptr;
  ITypeLib* lib = nullptr;
  UINT index = 0;
  if (FAILED(info->GetContainingTypeLib(&lib, &index))) lib = nullptr;
  info->Release();
  return lib;
}

void add_constants_of(ITypeInfo* type, std::vector<NamedConstant>& out) {
  TYPEATTR* attr = nullptr;
  if (FAILED(type->GetTypeAttr(&attr))) return;
  if (attr->typekind == TKIND_ENUM || attr->typekind == TKIND_MODULE) {
    for (UINT v = 0; v < attr->cVars; ++v) {
      VARDESC* desc = nullptr;
      if (FAILED(type->GetVarDesc(v, &desc))) continue;
      BSTR name = nullptr;
      if (desc->varkind == VAR_CONST && desc->lpvarValue &&
          SUCCEEDED(type->GetDocumentation(desc->memid, &name, nullptr, nullptr, nullptr)) && name) {
        NamedConstant k{name, {}};
        VariantInit(&k.value);
        if (SUCCEEDED(VariantCopy(&k.value, desc->lpvarValue))) out.push_back(std::move(k));
      }
      SysFreeString(name);
      type->ReleaseVarDesc(desc);
    }
  }
  type->ReleaseTypeAttr(attr);
}

std::vector<NamedConstant> constants_of(ITypeLib* lib) {
  std::vector<NamedConstant> out;
  const UINT types = lib->GetTypeInfoCount();
  for (UINT t = 0; t < types; ++t) {
    ITypeInfo* type = nullptr;
    if (FAILED(lib->GetTypeInfo(t, &type)) || !type) continue;
    add_constants_of(type, out);
    type->Release();
  }
  return out;
}

// ObjectConstantsGet(object): the constants object of the object's type library.
void constants_get(Call& call) {
  Context& c = call.c;
  if (!state_of(c).ready(c)) return;
  IDispatch* disp = dispatch_of(c, call.args[1]);
  if (!disp) return;
  ITypeLib* lib = library_of(disp);
  if (!lib) { fail(c, errs::kComNoConstants); return; }
  std::vector<NamedConstant> list = constants_of(lib);
  lib->Release();
  if (list.empty()) { fail(c, errs::kComNoConstants); return; }
  auto* made = new ConstantsObject(std::move(list));   // counted: the wrapper adopts its one reference
  release_value(c, call.result);
  make_object_value(c, call.result, state_of(c).adopt(made, nullptr));
}

// ObjectConstToArray(constants): a two-column array, the name in column 0
// and the value in column 1 of each row, in the library's order.
void constants_to_array(Call& call) {
  Context& c = call.c;
  const ComObject* o = object_of(call.args[1]);
  const ConstantsObject* constants = o ? as_constants(o->disp) : nullptr;
  if (!constants) { fail(c, errs::kNotAConstantsObject); return; }
  const auto& list = constants->list();
  std::uint16_t err = 0;
  const std::uint32_t handle = c.arrays.create({static_cast<std::uint32_t>(list.size()), 2, 0, 0, 0}, false, err);
  if (!handle) { fail(c, err); return; }
  Value made{};
  made.flags = vf::kArray;
  made.str = handle;
  for (std::size_t row = 0; row < list.size(); ++row) {
    Value name{}, value{};
    const auto& k = list[row];
    const bool ok = make_wstring(c, name, std::u16string_view(reinterpret_cast<const char16_t*>(k.name.data()), k.name.size())) &&
                    variant_to_value(c, k.value, value);
    if (!ok) {
      release_value(c, name);
      release_value(c, made);
      return;
    }
    Value* elements = c.arrays.elements(handle);
    elements[row * 2] = name;
    elements[row * 2 + 1] = value;
  }
  release_value(c, call.result);
  static_cast<Value&>(call.result) = made;
}

}  // namespace

bool is_constants_object(IDispatch* disp) { return as_constants(disp) != nullptr; }

}  // namespace orv::com

namespace orv {

void register_com_constants(HandlerTable& t) {
  t.add(kw::fn_objectconstantsget, com::constants_get);
  t.add(kw::fn_objectconsttoarray, com::constants_to_array);
}

}  // namespace orv
