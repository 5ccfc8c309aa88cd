// Registry keys: opening, creating, closing and deleting them, listing their
// subkeys, their last write time, remote registries, hives and App Paths.
#include <cstdio>
#include <cstring>
#include <vector>

#include "builtins/files/file_args.h"
#include "builtins/registry/reg_groups.h"
#include "builtins/registry/reg_keys_win32.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/convert.h"
#include "engine/value_ops.h"

namespace orv::registry {
namespace {

constexpr std::uintptr_t kFirstRoot = 0x80000000u, kLastRoot = 0x80000006u;

bool is_root(HKEY h) {
  const auto v = reinterpret_cast<std::uintptr_t>(h);
  return v >= kFirstRoot && v <= kLastRoot;
}

void key_result(Call& call, HKEY h) {
  make_int(call.result, static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(h)));
}

// The access word of the Ex forms: a number, or READ, WRITE or ALL.
bool access_arg(Call& call, int k, REGSAM& out) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  if ((v.flags & vf::kInt) && !(v.flags & (vf::kStr | vf::kWide))) {
    out = static_cast<REGSAM>(v.i) & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    return true;
  }
  std::u16string word = files::upper_ascii(files::wide_arg(call, k));
  if (word == u"READ") out = KEY_READ;
  else if (word == u"WRITE") out = KEY_READ | KEY_WRITE;
  else if (word == u"ALL" || word.empty()) out = KEY_ALL_ACCESS;
  else return fail(call.c, errs::kBadFlags);
  return true;
}

template <bool Create>
void open_key(Call& call) {
  Context& c = call.c;
  const std::string subkey = text_arg(call, 2);
  REGSAM view = 0, access = KEY_ALL_ACCESS;
  if (!view_bits(c, 0, subkey, view)) return;
  HKEY h = nullptr;
  LONG r = Create ? RegCreateKeyExA(key_arg(call, 1), subkey.c_str(), 0, nullptr, 0, access | view, nullptr, &h, nullptr)
                  : RegOpenKeyExA(key_arg(call, 1), subkey.c_str(), 0, access | view, &h);
  if (!Create && r == ERROR_ACCESS_DENIED) r = RegOpenKeyExA(key_arg(call, 1), subkey.c_str(), 0, KEY_READ | view, &h);
  if (r != ERROR_SUCCESS) {
    reg_fail(c, Create ? errs::kRegCreateKeyFailed : errs::kRegOpenKeyFailed, Create ? "RegCreateKeyEx" : "RegOpenKeyEx", r);
    return;
  }
  key_result(call, h);
}

template <bool Create>
void open_key_ex(Call& call) {
  Context& c = call.c;
  const std::string subkey = text_arg(call, 2);
  REGSAM access = 0, view = 0;
  if (!access_arg(call, 3, access)) return;
  if (!view_bits(c, call.count >= 4 ? call.args[4].i : 0, subkey, view)) return;
  HKEY h = nullptr;
  const LONG r = Create ? RegCreateKeyExA(key_arg(call, 1), subkey.c_str(), 0, nullptr, 0, access | view, nullptr, &h, nullptr)
                        : RegOpenKeyExA(key_arg(call, 1), subkey.c_str(), 0, access | view, &h);
  if (r != ERROR_SUCCESS) {
    reg_fail(c, Create ? errs::kRegCreateKeyFailed : errs::kRegOpenKeyFailed, Create ? "RegCreateKeyEx" : "RegOpenKeyEx", r);
    return;
  }
  key_result(call, h);
}

void close_key(Call& call) {
  const HKEY h = key_arg(call, 1);
  if (!is_root(h)) {
    const LONG r = RegCloseKey(h);
    if (r != ERROR_SUCCESS) { reg_fail(call.c, errs::kRegCloseKeyFailed, "RegCloseKey", r); return; }
  }
  make_int(call.result, 1);
}

// Deletes a key with everything below it.
void delete_key(Call& call) {
  Context& c = call.c;
  const std::string subkey = text_arg(call, 2);
  if (subkey.empty()) { fail(c, errs::kRegDeleteKeyBlankSubkey); return; }
  REGSAM view = 0;
  if (!view_bits(c, call.count >= 3 ? call.args[3].i : 0, subkey, view)) return;
  const HKEY root = key_arg(call, 1);
  {
    HKEY h = nullptr;
    LONG r = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &h);
    if (r != ERROR_SUCCESS) { reg_fail(c, errs::kRegDeleteKeyFailed, "RegDeleteKey", r); return; }
    r = RegDeleteTreeA(h, nullptr);
    RegCloseKey(h);
    if (r != ERROR_SUCCESS) { reg_fail(c, errs::kRegDeleteKeyFailed, "RegDeleteKey", r); return; }
  }
  const LONG r = RegDeleteKeyExA(root, subkey.c_str(), view, 0);
  if (r != ERROR_SUCCESS) { reg_fail(c, errs::kRegDeleteKeyFailed, "RegDeleteKey", r); return; }
  make_int(call.result, 1);
}

// True when the open key is a registry link (its target in "SymbolicLinkValue").
bool is_link(HKEY h) {
  DWORD type = 0;
  return RegQueryValueExA(h, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS && type == REG_LINK;
}

// Deletes a registry link itself, not the key it leads to. A key that is no
// link is refused: RegDeleteKey is the call that removes real keys.
void delete_link(Call& call) {
  Context& c = call.c;
  const std::string subkey = text_arg(call, 2);
  if (subkey.empty()) { fail(c, errs::kRegDeleteKeyBlankSubkey); return; }
  REGSAM view = 0;
  if (!view_bits(c, call.count >= 3 ? call.args[3].i : 0, subkey, view)) return;
  HKEY h = nullptr;
  const LONG r = RegOpenKeyExA(key_arg(call, 1), subkey.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE | view, &h);
  if (r != ERROR_SUCCESS) { reg_fail(c, errs::kRegDeleteKeyFailed, "RegDeleteKey", r); return; }
  struct Closer { HKEY h; ~Closer() { RegCloseKey(h); } } closer{h};
  if (!is_link(h)) { reg_fail(c, errs::kRegDeleteKeyFailed, "RegDeleteKey", ERROR_BADKEY); return; }
  // Only the native call deletes the key a handle names without following the link.
  using DeleteKeyFn = LONG(NTAPI*)(HANDLE);
  static const auto deleteKey = reinterpret_cast<DeleteKeyFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
  if (!deleteKey) { reg_fail(c, errs::kRegDeleteKeyFailed, "RegDeleteKey", ERROR_PROC_NOT_FOUND); return; }
  if (deleteKey(h) != 0) { reg_fail(c, errs::kRegDeleteKeyFailed, "RegDeleteKey", ERROR_ACCESS_DENIED); return; }
  make_int(call.result, 1);
}

// RegOpenFlags([flag]): the view that a view flag of 0 stands for, 32 or 64
// (0 restores the 64-bit default). Returns the previous one; no argument only asks.
void open_flags(Call& call) {
  Context& c = call.c;
  const int previous = registry_view32(c) ? 32 : 64;
  if (call.count > 1) { fail(c, errs::kWrongArgumentCount); return; }
  if (call.count == 1) {
    Value v{};
    const bool ok = copy_value(c, call.args[1], v) && to_int32(c, v);
    const std::int32_t flag = v.i;
    release_value(c, v);
    if (!ok) return;
    if (!valid_view_flag(flag)) { fail(c, errs::kBadFlags); return; }
    registry_view32(c) = flag == 32 ? 1 : 0;
  }
  make_int(call.result, previous);
}

void exist_key(Call& call) {
  Context& c = call.c;
  const std::string subkey = text_arg(call, 2);
  REGSAM view = 0;
  if (!view_bits(c, 0, subkey, view)) return;
  HKEY h = nullptr;
  const bool ok = RegOpenKeyExA(key_arg(call, 1), subkey.c_str(), 0, KEY_READ | view, &h) == ERROR_SUCCESS;
  if (ok) RegCloseKey(h);
  make_int(call.result, ok ? 1 : 0);
}

// The names of the subkeys, in the registry's order.
bool subkey_names(Context& c, HKEY key, std::vector<std::string>& out) {
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    const LONG r = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) return true;
    if (r != ERROR_SUCCESS) return reg_fail(c, errs::kRegSubkeyOpenFailed, "RegEnumKeyEx", r);
    out.emplace_back(name, size);
  }
}

// RegQueryKey(key, index): the name of one subkey, "" past the last one.
void query_key(Call& call) {
  char name[256];
  DWORD size = sizeof name;
  const DWORD index = call.count >= 2 ? static_cast<DWORD>(call.args[2].i) : 0;
  const LONG r = RegEnumKeyExA(key_arg(call, 1), index, name, &size, nullptr, nullptr, nullptr, nullptr);
  if (r == ERROR_NO_MORE_ITEMS) { files::set_text(call, std::string_view()); return; }
  if (r != ERROR_SUCCESS) { reg_fail(call.c, errs::kRegSubkeyOpenFailed, "RegEnumKeyEx", r); return; }
  files::set_text(call, std::string_view(name, size));
}

// RegQueryKeys(key): all subkey names, TAB-separated.
void query_keys(Call& call) {
  std::vector<std::string> names;
  if (!subkey_names(call.c, key_arg(call, 1), names)) return;
  std::string list;
  for (const std::string& n : names) list += (list.empty() ? "" : "\t") + n;
  files::set_text(call, list);
}

void last_write_time(Call& call) {
  Context& c = call.c;
  const std::string subkey = text_arg(call, 2);
  REGSAM view = 0;
  if (!view_bits(c, 0, subkey, view)) return;
  OpenedKey key;
  if (!open_subkey(c, key_arg(call, 1), subkey, KEY_READ | view, false, errs::kRegSubkeyOpenFailed, key)) return;
  FILETIME utc, local;
  SYSTEMTIME st;
  const LONG r = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, &utc);
  if (r != ERROR_SUCCESS) { reg_fail(c, errs::kRegKeyTimeFailed, "RegQueryInfoKey", r); return; }
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) { fail(c, errs::kRegKeyTimeFailed); return; }
  char text[32];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d:%02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                st.wSecond);
  files::set_text(call, std::string_view(text));
}

void connect(Call& call) {
  HKEY h = nullptr;
  const std::string computer = text_arg(call, 1);
  const LONG r = RegConnectRegistryA(computer.empty() ? nullptr : computer.c_str(), key_arg(call, 2), &h);
  if (r == ERROR_SUCCESS) { key_result(call, h); return; }
  const std::uint16_t e = r == RPC_S_SERVER_UNAVAILABLE ? errs::kRegRemoteServiceMissing : r == ERROR_BAD_NETPATH ? errs::kRegBadComputerName : r == ERROR_INVALID_HANDLE ? errs::kRegConnectBadHandle : errs::kRegConnectFailed;
  reg_fail(call.c, e, "RegConnectRegistry", r);
}

bool enable_restore_privilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool ok = LookupPrivilegeValueA(nullptr, "SeRestorePrivilege", &tp.Privileges[0].Luid) &&
            AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return ok;
}

template <bool Load>
void hive(Call& call) {
  Context& c = call.c;
  if (!enable_restore_privilege()) { fail(c, errs::kHivePrivilegeFailed); return; }
  const std::string subkey = text_arg(call, 2);
  const LONG r = Load ? RegLoadKeyA(key_arg(call, 1), subkey.c_str(), text_arg(call, 3).c_str())
                      : RegUnLoadKeyA(key_arg(call, 1), subkey.c_str());
  if (r == ERROR_SUCCESS) { make_int(call.result, 1); return; }
  std::uint16_t e = errs::kHiveFailed;
  switch (r) {
    case ERROR_FILE_NOT_FOUND: e = Load ? errs::kHiveFileNotFound : errs::kHiveBadSubkey; break;
    case ERROR_INVALID_HANDLE: e = errs::kHiveBadKeyHandle; break;
    case ERROR_ACCESS_DENIED: e = errs::kHiveAccessDenied; break;
    case ERROR_SHARING_VIOLATION: e = Load ? errs::kHiveFileInUse : errs::kHiveFailed; break;
    case ERROR_BADDB: e = Load ? errs::kHiveFileInvalid : errs::kHiveFailed; break;
    case ERROR_BADKEY: case ERROR_INVALID_PARAMETER: e = Load ? errs::kHiveBadLoadKey : errs::kHiveBadUnloadKey; break;
    default: break;
  }
  reg_fail(c, e, Load ? "RegLoadKey" : "RegUnLoadKey", r);
}

void reg_app(Call& call) {
  Context& c = call.c;
  const std::string program = text_arg(call, 1), path = text_arg(call, 2);
  char full[MAX_PATH];
  char* namePart = nullptr;
  if (!GetFullPathNameA(program.c_str(), MAX_PATH, full, &namePart) || !namePart ||
      GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) {
    fail(c, errs::kRegAppFileNotFound);
    return;
  }
  const std::string key = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + namePart;
  HKEY h = nullptr;
  bool ok = RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) == ERROR_SUCCESS;
  if (ok) {
    ok = RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(full), static_cast<DWORD>(std::strlen(full) + 1)) == ERROR_SUCCESS &&
         RegSetValueExA(h, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), static_cast<DWORD>(path.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(h);
  }
  if (!ok) { fail(c, errs::kRegAppWriteFailed); return; }
  make_int(call.result, 1);
}

}  // namespace

void register_keys(HandlerTable& t) {
  t.add(kw::fn_regopenkey, open_key<false>);
  t.add(kw::fn_regcreatekey, open_key<true>);
  t.add(kw::fn_regopenkeyex, open_key_ex<false>);
  t.add(kw::fn_regcreatekeyex, open_key_ex<true>);
  t.add(kw::fn_regclosekey, close_key);
  t.add(kw::fn_regdeletekey, delete_key);
  t.add(kw::fn_regdeletelink, delete_link);
  t.add(kw::fn_regopenflags, open_flags);
  t.add(kw::fn_regexistkey, exist_key);
  t.add(kw::fn_regquerykey, query_key);
  t.add(kw::fn_regquerykeys, query_keys);
  t.add(kw::fn_regquerykeylastwritetime, last_write_time);
  t.add(kw::fn_regconnect, connect);
  t.add(kw::fn_regloadhive, hive<true>);
  t.add(kw::fn_regunloadhive, hive<false>);
  t.add(kw::fn_regapp, reg_app);
}

}  // namespace orv::registry
