// Late-bound calls through IDispatch: names to identifiers (cached per
// object), arguments in reverse order, by-reference variables written back,
// failures mapped to their errors with the server's own description.
#include "com/invoke_win32.h"

#include <cstring>

#include "com/variant_rules.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "platform/platform.h"

namespace orv::com {
namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return out;
}

bool find_dispid(Context& c, ComObject& o, std::string_view name, DISPID& id) {
  if (!o.lastName.empty() && name == o.lastName) {
    id = o.lastId;
    return true;
  }
  std::string key = lower(name);
  auto it = o.dispids.find(key);
  if (it == o.dispids.end()) {
    std::wstring wide;
    if (!member_name_text(c, name, wide)) return false;
    LPOLESTR text = wide.data();
    const HRESULT hr = o.disp->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return fail_status(c, hr, "InvokeMember");
    it = o.dispids.emplace(std::move(key), id).first;
  }
  id = it->second;
  o.lastName.assign(name);
  o.lastId = id;
  return true;
}

ITypeInfo* type_info(ComObject& o) {
  if (!o.typeInfoTried) {
    o.typeInfoTried = true;
    UINT count = 0;
    if (SUCCEEDED(o.disp->GetTypeInfoCount(&count)) && count > 0)
      if (FAILED(o.disp->GetTypeInfo(0, LOCALE_USER_DEFAULT, &o.typeInfo))) o.typeInfo = nullptr;
  }
  return o.typeInfo;
}

// Which parameters the member writes back: its type description says so;
// without one every variable argument is passed by reference.
std::uint32_t out_parameters(ComObject& o, DISPID id) {
  if (auto it = o.outParams.find(id); it != o.outParams.end()) return it->second.mask;
  ComObject::OutParams found{false, 0xFFFFFFFFu};
  if (ITypeInfo* info = type_info(o)) {
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr))) {
      for (UINT f = 0; f < attr->cFuncs && !found.fromTypeInfo; ++f) {
        FUNCDESC* fd = nullptr;
        if (FAILED(info->GetFuncDesc(f, &fd))) continue;
        if (fd->memid == id) {
          found = {true, 0};
          for (SHORT k = 0; k < fd->cParams && k < 32; ++k)
            if (fd->lprgelemdescParam[k].paramdesc.wParamFlags & PARAMFLAG_FOUT) found.mask |= 1u << k;
        }
        info->ReleaseFuncDesc(fd);
      }
      info->ReleaseTypeAttr(attr);
    }
  }
  o.outParams.emplace(id, found);
  return found.mask;
}

// Variants of one call, cleared however the call ends.
struct CallVariants {
  static constexpr std::size_t kInline = 8;
  SmallList<VARIANT, kInline> argv, refs, before;
  SmallList<std::uint8_t, kInline> byRef;
  explicit CallVariants(std::size_t total, std::size_t scriptArgs)
      : argv(total), refs(scriptArgs), before(scriptArgs), byRef(scriptArgs) {
    for (std::size_t k = 0; k < total; ++k) VariantInit(&argv[k]);
    for (std::size_t k = 0; k < scriptArgs; ++k) VariantInit(&refs[k]);
  }
  ~CallVariants() {
    for (std::size_t k = 0; k < argv.size(); ++k)
      if (!(argv[k].vt & VT_BYREF)) VariantClear(&argv[k]);
    for (std::size_t k = 0; k < refs.size(); ++k) VariantClear(&refs[k]);
  }
};

std::string parameter_name(const ArgumentList& args, std::size_t k) {
  if (!args.variable(k).empty()) return args.variable(k);
  return "parameter " + std::to_string(k + 1);
}

bool report_failure(Context& c, HRESULT hr, EXCEPINFO& info, UINT argError, std::size_t total, bool put,
                    const ArgumentList& args, const char* step) {
  if (hr == DISP_E_EXCEPTION) return fail_exception(c, hr, info, step);
  std::string detail;
  if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && argError < total && !(put && argError == 0)) {
    const std::size_t k = total - 1 - argError;
    detail = "Method Parameter:\n\n    " + parameter_name(args, k);
  } else if (IErrorInfo* error = nullptr; GetErrorInfo(0, &error) == S_OK && error) {
    BSTR source = nullptr, description = nullptr;
    error->GetSource(&source);
    error->GetDescription(&description);
    detail = "COM/CLR Exception:\n" + narrow(source ? source : L"") + "\n" + narrow(description ? description : L"");
    SysFreeString(source);
    SysFreeString(description);
    error->Release();
  }
  return fail_status(c, hr, step, false, std::move(detail));
}

bool write_back(Context& c, const ArgumentList& args, CallVariants& vars) {
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (!vars.byRef[k] || std::memcmp(&vars.refs[k], &vars.before[k], sizeof(VARIANT)) == 0) continue;
    Value fresh{};
    if (!variant_to_value(c, vars.refs[k], fresh)) return false;
    const std::uint16_t slot = find_or_create_slot(c, args.variable(k));
    if (slot == kNotFound) {
      release_value(c, fresh);
      return false;
    }
    if (!store_in_slot(c, slot, fresh)) return false;
  }
  return true;
}

}  // namespace

ArgumentList::~ArgumentList() {
  for (std::size_t k = 0; k < values_.size(); ++k) release_value(c_, values_[k]);
}

Operand& ArgumentList::add(std::string variableName) {
  Operand& slot = values_.push_back(Operand{});
  clear_operand(slot);
  names_.push_back(std::move(variableName));
  return slot;
}

bool invoke_id(Context& c, ComObject& o, DISPID id, const char* what, ArgumentList& args, const Value* putValue,
               Value& result, VARIANT* raw) {
  if (!o.disp) return fail(c, errs::kNotAnObject);
  const bool put = putValue != nullptr;
  const std::size_t n = args.size(), total = n + (put ? 1 : 0);
  CallVariants vars(total, n);
  bool anyVariable = false;
  for (std::size_t k = 0; k < n; ++k) anyVariable |= !args.variable(k).empty();
  const std::uint32_t outMask = anyVariable ? out_parameters(o, id) : 0;
  for (std::size_t k = 0; k < n; ++k) {
    VARIANT& slot = vars.argv[total - 1 - k];
    VARIANT value;
    if (!value_to_variant(c, args.value(k), value)) return false;
    if (!args.variable(k).empty() && k < 32 && ((outMask >> k) & 1)) {
      vars.refs[k] = value;
      vars.before[k] = value;
      vars.byRef[k] = true;
      slot.vt = VT_BYREF | VT_VARIANT;
      slot.pvarVal = &vars.refs[k];
    } else {
      slot = value;
    }
  }
  if (put && !value_to_variant(c, *putValue, vars.argv[0])) return false;
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{vars.argv.data(), put ? &putId : nullptr, static_cast<UINT>(total), put ? 1u : 0u};
  WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  if (put) flags = vars.argv[0].vt == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  VARIANT answer;
  VariantInit(&answer);
  EXCEPINFO info{};
  UINT argError = 0;
  IDispatch* disp = o.disp;
  disp->AddRef();   // an event handler may close the object during the call
  HRESULT hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, put ? nullptr : &answer, &info, &argError);
  if (hr == DISP_E_MEMBERNOTFOUND && flags == DISPATCH_PROPERTYPUTREF) {
    flags = DISPATCH_PROPERTYPUT;
    hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, nullptr, &info, &argError);
  }
  disp->Release();
  struct AnswerGuard { VARIANT& v; ~AnswerGuard() { VariantClear(&v); } } answerGuard{answer};
  if (failed(c)) return false;   // an event handler failed during the call
  if (FAILED(hr)) return report_failure(c, hr, info, argError, total, put, args, what);
  if (!write_back(c, args, vars)) return false;
  if (raw) {
    *raw = answer;
    VariantInit(&answer);
    return true;
  }
  if (put) {
    make_int(result, 0);
    return true;
  }
  return take_variant(c, answer, result);
}

bool member_name_text(Context& c, std::string_view name, std::wstring& out) {
  if (name.empty()) return fail(c, errs::kIllegalSyntax);
  std::u16string units;
  if (!platform::ansi_to_utf16(name, units)) return fail(c, errs::kNotConvertibleToUnicode);
  out.assign(units.begin(), units.end());
  return true;
}

bool check_member_name(Context& c, const ComObject& o, std::string_view name) {
  if (!o.lastName.empty() && name == o.lastName) return true;   // read before
  std::wstring ignored;
  return member_name_text(c, name, ignored);
}

bool invoke_member(Context& c, ComObject& o, std::string_view name, CallKind kind, ArgumentList& args,
                   const Value* putValue, Value& result) {
  if (!o.disp) return fail(c, errs::kNotAnObject);
  DISPID id = 0;
  if (!find_dispid(c, o, name, id)) return false;
  return invoke_id(c, o, id, "InvokeMember", args, kind == CallKind::put ? putValue : nullptr, result);
}

}  // namespace orv::com
