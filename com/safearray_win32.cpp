// Script arrays to safe arrays and back. Script dimension k is dimension
// k + 1 of the safe array, so a(i, j) names the same element on both sides.
#include <array>

#include "com/com_win32.h"
#include "engine/arrays.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"

namespace orv::com {
namespace {

// Subscripts of element `index` of a row-major array (last subscript fastest).
void subscripts_of(const ArrayHeader& h, std::uint32_t index, LONG* subs) {
  for (int k = h.dims - 1; k >= 0; --k) {
    subs[k] = static_cast<LONG>(index % h.sizes[k]);
    index /= h.sizes[k];
  }
}

// Where SafeArrayPutElement finds the data of a variant of element type `type`.
void* element_data(VARIANT& var, VARTYPE type) {
  switch (type) {
    case VT_VARIANT: return &var;
    case VT_BSTR: return var.bstrVal;
    case VT_DISPATCH: case VT_UNKNOWN: return var.punkVal;
    case VT_DECIMAL: return &var.decVal;
    default: return &var.bVal;
  }
}

struct SafeArrayGuard {
  SAFEARRAY* sa;
  ~SafeArrayGuard() { if (sa) SafeArrayDestroy(sa); }
};

VARTYPE element_type_of(SAFEARRAY* sa) {
  VARTYPE type = VT_EMPTY;
  if (SUCCEEDED(SafeArrayGetVartype(sa, &type)) && type != VT_EMPTY) return type;
  if (sa->fFeatures & FADF_BSTR) return VT_BSTR;
  if (sa->fFeatures & FADF_DISPATCH) return VT_DISPATCH;
  if (sa->fFeatures & FADF_UNKNOWN) return VT_UNKNOWN;
  return VT_VARIANT;
}

// One element as a variant (the caller clears it).
HRESULT read_element(SAFEARRAY* sa, VARTYPE type, LONG* indices, VARIANT& out) {
  VariantInit(&out);
  if (type == VT_VARIANT) return SafeArrayGetElement(sa, indices, &out);
  if (type == VT_DECIMAL) {
    const HRESULT hr = SafeArrayGetElement(sa, indices, &out.decVal);
    out.vt = VT_DECIMAL;
    return hr;
  }
  const HRESULT hr = SafeArrayGetElement(sa, indices, &out.bVal);
  out.vt = SUCCEEDED(hr) ? type : VARTYPE{VT_EMPTY};
  return hr;
}

}  // namespace

bool array_to_safearray(Context& c, const Value& array, VARTYPE elementType, SAFEARRAY*& out) {
  out = nullptr;
  const ArrayHeader* h = c.arrays.header(array.str);
  if (!h) return fail(c, errs::kArrayAccessFailed);
  if (h->dims == 0 || h->count == 0) {
    out = SafeArrayCreateVector(elementType, 0, 0);
    return out ? true : fail(c, errs::kSafeArrayFailed);
  }
  std::array<SAFEARRAYBOUND, kMaxDimensions> bounds{};
  for (int k = 0; k < h->dims; ++k) bounds[static_cast<std::size_t>(k)] = {h->sizes[k], 0};
  SafeArrayGuard guard{SafeArrayCreate(elementType, h->dims, bounds.data())};
  if (!guard.sa) return fail(c, errs::kSafeArrayFailed);
  const std::uint32_t count = h->count;
  LONG subs[kMaxDimensions] = {};
  for (std::uint32_t index = 0; index < count; ++index) {
    const Value& element = c.arrays.elements(array.str)[index];
    if (!is_assigned(element)) continue;
    VARIANT var;
    const bool ok = elementType == VT_VARIANT ? value_to_variant(c, element, var)
                                              : value_to_typed_variant(c, element, elementType, var);
    if (!ok) return false;
    if (elementType != VT_VARIANT && var.vt != elementType) {
      VariantClear(&var);
      return fail(c, errs::kComTypeMismatch);
    }
    subscripts_of(*c.arrays.header(array.str), index, subs);
    const HRESULT hr = SafeArrayPutElement(guard.sa, subs, element_data(var, elementType));
    VariantClear(&var);
    if (FAILED(hr)) return fail(c, errs::kSafeArrayFailed);
  }
  out = guard.sa;
  guard.sa = nullptr;
  return true;
}

bool safearray_to_array(Context& c, SAFEARRAY* sa, Value& out) {
  const UINT dims = SafeArrayGetDim(sa);
  if (dims > kMaxDimensions) return fail(c, errs::kComTooManyDimensions);
  std::array<std::uint32_t, 5> sizes{};
  LONG lower[kMaxDimensions] = {};
  bool empty = dims == 0;
  for (UINT k = 0; k < dims; ++k) {
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(sa, k + 1, &lo);
    SafeArrayGetUBound(sa, k + 1, &hi);
    lower[k] = lo;
    if (hi < lo) empty = true;
    else sizes[k] = static_cast<std::uint32_t>(hi - lo + 1);
  }
  if (empty) sizes = {};
  std::uint16_t err = 0;
  const std::uint32_t handle = c.arrays.create(sizes, false, err);
  if (!handle) return fail(c, err);
  Value made{};
  made.flags = vf::kArray;
  made.str = handle;
  if (!empty) {
    const VARTYPE type = element_type_of(sa);
    const std::uint32_t count = c.arrays.header(handle)->count;
    LONG indices[kMaxDimensions] = {};
    for (std::uint32_t index = 0; index < count; ++index) {
      subscripts_of(*c.arrays.header(handle), index, indices);
      for (UINT k = 0; k < dims; ++k) indices[k] += lower[k];
      VARIANT var;
      HRESULT hr = read_element(sa, type, indices, var);
      if (FAILED(hr)) {
        release_value(c, made);
        return fail_status(c, hr, "SafeArrayGetElement");
      }
      Value element{};
      const bool ok = variant_to_value(c, var, element);
      VariantClear(&var);
      if (ok && (element.flags & vf::kArray)) {
        release_value(c, element);
        release_value(c, made);
        return fail(c, errs::kEmbeddedArray);
      }
      if (!ok) {
        release_value(c, made);
        return false;
      }
      c.arrays.elements(handle)[index] = element;
    }
  }
  out = made;
  return true;
}

}  // namespace orv::com
