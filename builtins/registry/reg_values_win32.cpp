// Reading and writing registry values: the typed query functions with their
// strict type checks, the set functions with their text conversions, and
// existence, type and deletion of values.
#include "builtins/files/file_args.h"
#include "builtins/registry/reg_groups.h"
#include "builtins/registry/reg_keys_win32.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::registry {
namespace {

constexpr std::int32_t kHexFlag = 2;

std::int32_t flags_arg(const Call& call, int k) { return call.count >= k ? call.args[static_cast<std::size_t>(k)].i : 0; }

// The delimiter argument: exactly one character (TAB when left out).
bool delimiter_arg(Call& call, int k, char& out) {
  out = '\t';
  if (call.count < k || !(call.args[static_cast<std::size_t>(k)].flags & (vf::kStr | vf::kWide))) return true;
  const std::string d = text_arg(call, k);
  if (d.size() != 1) return fail(call.c, errs::kRegBadMultiSzDelimiter);
  out = d[0];
  return true;
}

std::string as_text(const ValueData& v) {
  std::string s = v.bytes;
  const auto nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

std::string expanded(const std::string& s) {
  const DWORD n = ExpandEnvironmentStringsA(s.c_str(), nullptr, 0);
  if (n == 0) return s;
  std::string out(n, '\0');
  ExpandEnvironmentStringsA(s.c_str(), out.data(), n);
  out.resize(n - 1);
  return out;
}

std::uint32_t dword_of(const ValueData& v) {
  const auto* p = reinterpret_cast<const unsigned char*>(v.bytes.data());
  if (v.type == type::kDwordBigEndian) return big_endian_dword(p, v.bytes.size());
  std::uint32_t x = 0;
  for (std::size_t i = 0; i < 4 && i < v.bytes.size(); ++i) x |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return x;
}

std::string bytes_text(const ValueData& v) {
  return hex_pairs(reinterpret_cast<const unsigned char*>(v.bytes.data()), v.bytes.size());
}

// Opens the key and reads the value named by argument 2; false with the error set.
bool fetch(Call& call, ValueData& v) {
  KeyAndValue kv;
  OpenedKey key;
  if (!open_for_value(call, 2, KEY_QUERY_VALUE, false, kv, key)) return false;
  if (!read_value(key.get(), kv.value, v)) return fail(call.c, errs::kRegQueryValueFailed);
  return true;
}

// Which types a query function takes, and the error for the others.
using Check = std::uint16_t (*)(DWORD type);

std::uint16_t check_value(DWORD t) {
  switch (t) {
    case type::kSz: case type::kDword: case type::kDwordBigEndian: return 0;
    case type::kExpandSz: return errs::kRegValueIsExpandSz;
    case type::kBinary: return errs::kRegValueIsBinary;
    case type::kMultiSz: return errs::kRegValueIsMultiSz;
    case type::kQword: return errs::kRegValueIsQword;
    default: return errs::kRegValueNotText;
  }
}
std::uint16_t check_str(DWORD t) { return t == type::kSz || t == type::kExpandSz ? 0 : errs::kRegValueNotSz; }
std::uint16_t check_expsz(DWORD t) { return t == type::kExpandSz ? 0 : errs::kRegValueNotExpandSz; }
std::uint16_t check_bin(DWORD t) { return t == type::kBinary ? 0 : errs::kRegValueNotBinary; }
std::uint16_t check_dword(DWORD t) { return t == type::kDword || t == type::kDwordBigEndian ? 0 : errs::kRegValueNotDword; }
std::uint16_t check_qword(DWORD t) { return t == type::kQword ? 0 : errs::kRegValueNotQword; }
std::uint16_t check_multi(DWORD t) { return t == type::kMultiSz ? 0 : errs::kRegValueNotMultiSz; }
std::uint16_t check_any(DWORD) { return 0; }

// The text form of any value; REG_EXPAND_SZ expanded only when asked.
std::string value_text(const ValueData& v, bool hex, char delimiter, bool expand) {
  switch (v.type) {
    case type::kSz: return as_text(v);
    case type::kExpandSz: return expand ? expanded(as_text(v)) : as_text(v);
    case type::kDword: case type::kDwordBigEndian: return dword_text(dword_of(v), hex);
    case type::kMultiSz: return multi_to_text(v.bytes, delimiter);
    default: return bytes_text(v);
  }
}

template <Check C, bool Expand, bool Delimited>
void query(Call& call) {
  char delimiter = '\t';
  if (Delimited && !delimiter_arg(call, 3, delimiter)) return;
  ValueData v;
  if (!fetch(call, v)) return;
  if (const std::uint16_t e = C(v.type)) { fail(call.c, e); return; }
  files::set_text(call, value_text(v, !Delimited && (flags_arg(call, 3) & kHexFlag), delimiter, Expand));
}

void entry_type(Call& call) {
  KeyAndValue kv;
  OpenedKey key;
  if (!open_for_value(call, 2, KEY_QUERY_VALUE, false, kv, key)) return;
  DWORD t = 0;
  if (RegQueryValueExA(key.get(), kv.value.c_str(), nullptr, &t, nullptr, nullptr) != ERROR_SUCCESS) {
    fail(call.c, errs::kRegEntryTypeFailed);
    return;
  }
  make_int(call.result, static_cast<std::int32_t>(t));
}

void exist_value(Call& call) {
  KeyAndValue kv;
  OpenedKey key;
  const bool ok = open_for_value(call, 2, KEY_QUERY_VALUE, false, kv, key) &&
                  RegQueryValueExA(key.get(), kv.value.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  // A missing key is an answer here, not an error; a malformed name still is.
  if (!ok && call.c.error == errs::kRegSubkeyOpenOrCreateFailed) {
    call.c.error = 0;
    call.c.errorText.clear();
  }
  if (!failed(call.c)) make_int(call.result, ok ? 1 : 0);
}

void delete_value(Call& call) {
  KeyAndValue kv;
  OpenedKey key;
  if (!open_for_value(call, 2, KEY_SET_VALUE, false, kv, key)) return;
  const LONG r = RegDeleteValueA(key.get(), kv.value.c_str());
  if (r != ERROR_SUCCESS) { reg_fail(call.c, errs::kRegSetValueFailed, "RegDeleteValue", r); return; }
  make_int(call.result, 1);
}

// ---- Setting ----

bool store(Call& call, DWORD t, const std::string& data) {
  KeyAndValue kv;
  OpenedKey key;
  if (!open_for_value(call, 2, KEY_SET_VALUE, true, kv, key)) return false;
  const LONG r = RegSetValueExA(key.get(), kv.value.c_str(), 0, t, reinterpret_cast<const BYTE*>(data.data()),
                                static_cast<DWORD>(data.size()));
  if (r != ERROR_SUCCESS) return reg_fail(call.c, errs::kRegSetValueFailed, "RegSetValueEx", r);
  make_int(call.result, 1);
  return true;
}

std::string with_nul(std::string s) {
  s += '\0';
  return s;
}

std::string dword_bytes(std::uint32_t v, bool bigEndian) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(bigEndian ? 3 - i : i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}

// Converts the text for a type; 0 or the error number.
std::uint16_t convert(DWORD t, const std::string& text, bool hex, char delimiter, std::string& out) {
  switch (t) {
    case type::kSz: case type::kExpandSz: out = with_nul(text); return 0;
    case type::kDword: case type::kDwordBigEndian: {
      const auto v = parse_dword(text, hex);
      if (!v) return errs::kRegBadDwordValue;
      out = dword_bytes(*v, t == type::kDwordBigEndian);
      return 0;
    }
    case type::kMultiSz: out = text_to_multi(text, delimiter); return 0;
    case type::kBinary: case type::kQword: {
      const auto bytes = parse_hex_pairs(text);
      if (!bytes) return t == type::kQword ? errs::kRegBadQwordValue : errs::kRegBadBinaryValue;
      out.assign(bytes->begin(), bytes->end());
      return 0;
    }
    default: return errs::kBadFlags;
  }
}

template <DWORD T, bool Delimited>
void set(Call& call) {
  char delimiter = '\t';
  if (Delimited && !delimiter_arg(call, 4, delimiter)) return;
  std::string data;
  const bool hex = !Delimited && (flags_arg(call, 4) & kHexFlag);
  if (const std::uint16_t e = convert(T, text_arg(call, 3), hex, delimiter, data)) { fail(call.c, e); return; }
  store(call, T, data);
}

// RegSetEx: the fourth argument names the type (REG_SZ when left out);
// multi-strings take TAB between their parts, numbers are decimal.
void set_typed(Call& call) {
  const auto t = static_cast<DWORD>(call.count >= 4 ? call.args[4].i : type::kSz);
  std::string data;
  if (const std::uint16_t e = convert(t, text_arg(call, 3), false, '\t', data)) { fail(call.c, e); return; }
  store(call, t, data);
}

}  // namespace

void register_values(HandlerTable& t) {
  t.add(kw::fn_regqueryvalue, query<check_value, false, false>);
  t.add(kw::fn_regquerystr, query<check_str, true, false>);
  t.add(kw::fn_regqueryexpsz, query<check_expsz, false, false>);
  t.add(kw::fn_regquerybin, query<check_bin, false, false>);
  t.add(kw::fn_regquerydword, query<check_dword, false, false>);
  t.add(kw::fn_regqueryqword, query<check_qword, false, false>);
  t.add(kw::fn_regquerymulsz, query<check_multi, false, true>);
  t.add(kw::fn_regqueryitem, query<check_any, false, true>);
  t.add(kw::fn_regqueryex, query<check_any, false, true>);
  t.add(kw::fn_regentrytype, entry_type);
  t.add(kw::fn_regexistvalue, exist_value);
  t.add(kw::fn_regdelvalue, delete_value);
  t.add(kw::fn_regsetvalue, set<type::kSz, false>);
  t.add(kw::fn_regsetexpsz, set<type::kExpandSz, false>);
  t.add(kw::fn_regsetdword, set<type::kDword, false>);
  t.add(kw::fn_regsetbin, set<type::kBinary, false>);
  t.add(kw::fn_regsetqword, set<type::kQword, false>);
  t.add(kw::fn_regsetmulsz, set<type::kMultiSz, true>);
  t.add(kw::fn_regsetex, set_typed);
}

}  // namespace orv::registry
