#include "builtins/registry/reg_keys_win32.h"

#include "builtins/files/file_args.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace orv::registry {
namespace {

bool windows_is_64bit() {
  static const bool is64 = [] {
    BOOL wow = FALSE;
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
    return fn && fn(GetCurrentProcess(), &wow) && wow;
  }();
  return is64;
}


}  // namespace

HKEY key_arg(const Call& call, int k) {
  return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(call.args[static_cast<std::size_t>(k)].i)));
}

std::string text_arg(const Call& call, int k) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  if (v.flags & vf::kStr) return str_of(call.c, v);
  std::string out;
  if (v.flags & vf::kWide) platform::utf16_to_ansi(wstr_view(call.c, v), out);
  return out;
}

bool view_bits(Context& c, std::int32_t flag, const std::string& subkey, REGSAM& bits) {
  bits = 0;
  if (!valid_view_flag(flag)) return fail(c, errs::kBadFlags);
  if (flag != 0 && names_wow_branch(subkey)) return fail(c, errs::kRegSubkeyHasWowNode);
  if (!windows_is_64bit()) return true;
  // A flag of 0 takes the view chosen with RegOpenFlags, the 64-bit one unless changed.
  const bool view32 = flag == 32 || (flag == 0 && registry_view32(c) != 0);
  bits = view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  return true;
}

bool reg_fail(Context& c, std::uint16_t number, const char* call, LONG err) {
  return files::os_fail(c, number, call, static_cast<std::uint32_t>(err));
}

bool open_subkey(Context& c, HKEY root, const std::string& subkey, REGSAM access, bool create, std::uint16_t failure,
                 OpenedKey& out) {
  // An empty subkey is opened too: a fresh handle to root itself, so a closed
  // or invalid root fails here, before any value is touched.
  HKEY h = nullptr;
  const LONG r = create ? RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, access, nullptr, &h, nullptr)
                        : RegOpenKeyExA(root, subkey.c_str(), 0, access, &h);
  if (r != ERROR_SUCCESS) return reg_fail(c, failure, create ? "RegCreateKeyEx" : "RegOpenKeyEx", r);
  out.adopt(h);
  return true;
}

bool open_for_value(Call& call, int k, REGSAM access, bool create, KeyAndValue& kv, OpenedKey& key) {
  Context& c = call.c;
  if (const std::uint16_t e = split_key_and_value(text_arg(call, k), kv)) return fail(c, e);
  REGSAM view = 0;
  if (!view_bits(c, 0, kv.subkey, view)) return false;
  return open_subkey(c, key_arg(call, 1), kv.subkey, access | view, create, errs::kRegSubkeyOpenOrCreateFailed, key);
}

bool read_value(HKEY key, const std::string& name, ValueData& out) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &out.type, nullptr, &size) != ERROR_SUCCESS) return false;
    out.bytes.assign(size + 2, '\0');   // room for a missing terminator
    DWORD got = size;
    const LONG r = RegQueryValueExA(key, name.c_str(), nullptr, &out.type, reinterpret_cast<BYTE*>(out.bytes.data()), &got);
    if (r == ERROR_MORE_DATA) continue;   // it grew meanwhile
    if (r != ERROR_SUCCESS) return false;
    out.bytes.resize(got);
    return true;
  }
  return false;
}

}  // namespace orv::registry
