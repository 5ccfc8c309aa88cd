// Script values to variants and back. A variant read from a call keeps its
// own type in the value record and carries its plain form (text or number)
// beside it, so the rest of the interpreter reads it like any other value.
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "com/com_win32.h"
#include "com/variant_rules.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"

namespace orv::com {
namespace {

constexpr const char* kNoDate = "0000:00:00:00:00:00";

bool plain_text(Context& c, Value& out, const std::string& text) {
  out.str = heap_string(c, text);
  if (!out.str) return false;
  out.flags |= vf::kStr;
  return true;
}

bool plain_wide(Context& c, Value& out, const wchar_t* text, std::size_t length) {
  out.wstr = heap_wstring(c, std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
  if (!out.wstr) return false;
  out.flags |= vf::kWide;
  return true;
}

bool plain_bstr(Context& c, Value& out, BSTR b) { return plain_wide(c, out, b ? b : L"", b ? SysStringLen(b) : 0); }

void plain_int(Value& out, std::int64_t n) {
  if (n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max()) {
    out.i = static_cast<std::int32_t>(n);
    out.flags |= vf::kInt;
  } else {
    out.wide.i64 = n;
    out.flags |= vf::kInt64;
  }
}

void plain_float(Value& out, double f) {
  out.wide.f = f;
  out.flags |= vf::kFloat;
}

// The system's conversion to a string variant, for the types without a
// reading of their own.
bool plain_system_text(Context& c, const VARIANT& var, Value& out) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(&var), LOCALE_USER_DEFAULT, 0, VT_BSTR)))
    return fail(c, errs::kComTypeMismatch);
  const bool ok = plain_bstr(c, out, text.bstrVal);
  VariantClear(&text);
  return ok;
}

std::optional<std::int64_t> integer_of(const VARIANT& var) {
  switch (var.vt) {
    case VT_I1: return var.cVal;
    case VT_I2: return var.iVal;
    case VT_I4: return var.lVal;
    case VT_INT: return var.intVal;
    case VT_UI1: return var.bVal;
    case VT_UI2: return var.uiVal;
    case VT_UI4: return var.ulVal;
    case VT_UI8: return unsigned_as_integer(var.ullVal);
    case VT_UINT: return var.uintVal;
    case VT_BOOL: return var.boolVal;
    case VT_ERROR: return var.scode;
    default: return std::nullopt;
  }
}

// The plain reading of a held variant (not an array, not an object).
bool add_plain_form(Context& c, const VARIANT& var, Value& out) {
  switch (reading_of(var.vt)) {
    case Reading::kEmpty: return plain_text(c, out, "");
    case Reading::kInteger:
      if (var.vt == VT_I8) {   // a 64-bit value stays one, however small
        out.wide.i64 = var.llVal;
        out.flags |= vf::kInt64;
        return true;
      }
      if (const auto n = integer_of(var)) {
        plain_int(out, *n);
        return true;
      }
      return plain_system_text(c, var, out);
    case Reading::kSingle: plain_float(out, single_to_double(var.fltVal)); return true;
    case Reading::kDouble: plain_float(out, var.dblVal); return true;
    case Reading::kDate: return plain_text(c, out, date_to_ymdhms(var.date).value_or(kNoDate));
    case Reading::kString: return plain_bstr(c, out, var.bstrVal);
    case Reading::kCurrency: {
      BSTR text = nullptr;
      const HRESULT hr = VarBstrFromCy(var.cyVal, LOCALE_USER_DEFAULT, 0, &text);
      if (FAILED(hr)) return fail(c, errs::kComTypeMismatch);
      const bool ok = plain_bstr(c, out, text);
      SysFreeString(text);
      return ok;
    }
    case Reading::kSystemText: break;
  }
  return plain_system_text(c, var, out);
}

bool object_from_unknown(Context& c, IUnknown* unknown, Value& out) {
  IDispatch* disp = nullptr;
  if (!unknown || FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)))) return false;
  make_object_value(c, out, state_of(c).adopt(disp, nullptr));
  return true;
}

bool is_plain_string(const Value& v) {
  return (v.flags & (vf::kStr | vf::kWide)) && !(v.flags & (vf::kNumeric | vf::kCom | vf::kArray));
}

bool bstr_variant(Context& c, const std::wstring& text, VARIANT& out) {
  out.vt = VT_BSTR;
  out.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!out.bstrVal) {
    out.vt = VT_EMPTY;
    return fail(c, errs::kComNoMemory);
  }
  return true;
}

// Byte array of the UTF-16 form of a text (at least one element).
bool byte_array(Context& c, const std::wstring& text, VARIANT& out) {
  const ULONG bytes = static_cast<ULONG>(text.size() * sizeof(wchar_t));
  SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, bytes ? bytes : 1);
  if (!sa) return fail(c, errs::kSafeArrayFailed);
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(sa, &data))) {
    SafeArrayDestroy(sa);
    return fail(c, errs::kSafeArrayFailed);
  }
  std::memset(data, 0, bytes ? bytes : 1);
  if (bytes) std::memcpy(data, text.data(), bytes);
  SafeArrayUnaccessData(sa);
  out.vt = VT_ARRAY | VT_UI1;
  out.parray = sa;
  return true;
}

// A text converted to a requested type by the rules for typed strings.
bool typed_string(Context& c, std::wstring text, VARTYPE type, VARIANT& out) {
  std::string narrowText = narrow(text);
  if (type == VT_DECIMAL || type == VT_CY) {
    const bool prefixed = strip_prefix(narrowText, type == VT_DECIMAL ? "#DECIMAL:" : "#CURRENCY:");
    if (prefixed) text.erase(0, type == VT_DECIMAL ? 9 : 10);
    HRESULT hr = type == VT_DECIMAL ? VarDecFromStr(text.data(), LOCALE_USER_DEFAULT, 0, &out.decVal)
                                    : VarCyFromStr(text.data(), LOCALE_USER_DEFAULT, 0, &out.cyVal);
    if (SUCCEEDED(hr)) {
      out.vt = type;   // after the decimal's bytes, which overlay the type word
      return true;
    }
    VariantInit(&out);
    if (prefixed) return fail(c, type == VT_DECIMAL ? errs::kBadDecimalFormat : errs::kBadCurrencyFormat);
    return bstr_variant(c, text, out);
  }
  if (type == VT_DATE) {
    if (auto date = ymdhms_to_date(narrowText)) {
      out.vt = VT_DATE;
      out.date = *date;
      return true;
    }
    DATE parsed = 0;
    if (SUCCEEDED(VarDateFromStr(text.data(), LOCALE_USER_DEFAULT, 0, &parsed))) {
      out.vt = VT_DATE;
      out.date = parsed;
      return true;
    }
    return bstr_variant(c, text, out);
  }
  if (!bstr_variant(c, text, out)) return false;
  if (type == VT_BSTR || type == VT_VARIANT) return true;
  const HRESULT hr = VariantChangeTypeEx(&out, &out, LOCALE_USER_DEFAULT, 0, type);
  if (FAILED(hr)) {
    VariantClear(&out);
    return fail_status(c, hr, "VariantChangeType");
  }
  return true;
}

}  // namespace

bool value_to_variant(Context& c, const Value& v, VARIANT& out) {
  VariantInit(&out);
  if (v.flags & vf::kComObject) {
    IDispatch* disp = dispatch_of(c, v);
    if (!disp) return false;
    disp->AddRef();
    out.vt = VT_DISPATCH;
    out.pdispVal = disp;
    return true;
  }
  if (v.flags & vf::kCom) {
    VARIANT held = load_variant(v);
    const HRESULT hr = VariantCopy(&out, &held);
    return SUCCEEDED(hr) ? true : fail_status(c, hr, "VariantCopy");
  }
  if (v.flags & vf::kArray) {
    SAFEARRAY* sa = nullptr;
    if (!array_to_safearray(c, v, VT_VARIANT, sa)) return false;
    out.vt = VT_ARRAY | VT_VARIANT;
    out.parray = sa;
    return true;
  }
  if (v.flags & vf::kInt) {
    out.vt = VT_I4;
    out.lVal = v.i;
    return true;
  }
  if (v.flags & vf::kInt64) {
    out.vt = VT_I8;
    out.llVal = v.wide.i64;
    return true;
  }
  if (v.flags & vf::kFloat) {
    out.vt = VT_R8;
    out.dblVal = v.wide.f;
    return true;
  }
  if (v.flags & (vf::kStr | vf::kWide)) {
    std::wstring text;
    return wide_text(c, v, text) && bstr_variant(c, text, out);
  }
  return true;   // nothing assigned: an empty variant
}

bool value_to_typed_variant(Context& c, const Value& v, VARTYPE type, VARIANT& out) {
  VariantInit(&out);
  const VARTYPE base = type & VT_TYPEMASK;
  if (type & VT_ARRAY) {
    if (v.flags & vf::kArray) {
      SAFEARRAY* sa = nullptr;
      const VARTYPE element = base == VT_EMPTY ? VARTYPE{VT_VARIANT} : base;
      if (!array_to_safearray(c, v, element, sa)) return false;
      out.vt = VT_ARRAY | element;
      out.parray = sa;
      return true;
    }
    if (base == VT_UI1 && (v.flags & (vf::kStr | vf::kWide))) {
      std::wstring text;
      return wide_text(c, v, text) && byte_array(c, text, out);
    }
    return fail(c, errs::kComTypeMismatch);
  }
  if (type == VT_EMPTY || type == VT_NULL) {
    out.vt = type;
    return true;
  }
  if (is_plain_string(v)) {
    std::wstring text;
    return wide_text(c, v, text) && typed_string(c, std::move(text), type, out);
  }
  if (!value_to_variant(c, v, out)) return false;
  if (type == VT_VARIANT || out.vt == type) return true;
  const HRESULT hr = VariantChangeTypeEx(&out, &out, LOCALE_USER_DEFAULT, 0, type);
  if (FAILED(hr)) {
    VariantClear(&out);
    return fail_status(c, hr, "VariantChangeType");
  }
  return true;
}

bool hold_variant(Context& c, const VARIANT& in, Value& out) {
  clear_value(out);
  if ((in.vt == VT_DISPATCH || in.vt == VT_UNKNOWN) && in.punkVal && object_from_unknown(c, in.punkVal, out))
    return true;
  VARIANT copy;
  VariantInit(&copy);
  const HRESULT hr = VariantCopy(&copy, const_cast<VARIANT*>(&in));
  if (FAILED(hr)) return fail_status(c, hr, "VariantCopy");
  store_variant(out, copy);
  out.flags = vf::kCom;
  if ((in.vt & VT_ARRAY) || in.vt == VT_DISPATCH || in.vt == VT_UNKNOWN) {
    out.flags |= vf::kInt;   // an array or a null object reads as 0
    return true;
  }
  if (!add_plain_form(c, copy, out)) {
    release_value(c, out);
    return false;
  }
  return true;
}

bool take_variant(Context& c, VARIANT& in, Value& out) {
  if ((in.vt & (VT_BYREF | VT_ARRAY)) || in.vt == VT_DISPATCH || in.vt == VT_UNKNOWN)
    return variant_to_value(c, in, out);
  // Kept as it came: a text answer is not copied once more.
  clear_value(out);
  const VARIANT held = in;
  VariantInit(&in);
  store_variant(out, held);
  out.flags = vf::kCom;
  if (!add_plain_form(c, held, out)) {
    release_value(c, out);
    return false;
  }
  return true;
}

bool variant_to_value(Context& c, const VARIANT& in, Value& out) {
  clear_value(out);
  if (in.vt & VT_BYREF) {
    VARIANT direct;
    VariantInit(&direct);
    const HRESULT hr = VariantCopyInd(&direct, const_cast<VARIANT*>(&in));
    if (FAILED(hr)) return fail_status(c, hr, "VariantCopyInd");
    const bool ok = variant_to_value(c, direct, out);
    VariantClear(&direct);
    return ok;
  }
  if (in.vt & VT_ARRAY) return in.parray ? safearray_to_array(c, in.parray, out) : hold_variant(c, in, out);
  return hold_variant(c, in, out);
}

}  // namespace orv::com
