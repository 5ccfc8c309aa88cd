// ComputerNameGet/Set, NetInfo, WinSysInfo, WinMetrics and WinResources: the
// machine's names, its network providers and user, processor and memory
// facts and the system metrics, as the system reports them.
#include <windows.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "builtins/arrays/array_args.h"
#include "builtins/files/file_args.h"
#include "builtins/system/system_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::sysinfo {
namespace {

const wchar_t* wide_z(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
std::u16string_view u16(const wchar_t* s, std::size_t n) { return {reinterpret_cast<const char16_t*>(s), n}; }

// Counts and addresses: a plain integer while it fits, else a 64-bit one.
void set_count(Value& v, std::uint64_t n) {
  if (n <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
    make_int(v, static_cast<std::int32_t>(n));
  else
    make_int64(v, static_cast<std::int64_t>(n));
}

void computer_name_get(Call& call) {
  const std::int32_t which = call.args[1].i;
  if (!is_name_type(which)) {
    fail(call.c, errs::kBadComputerNameType);
    return;
  }
  const auto format = static_cast<COMPUTER_NAME_FORMAT>(which);
  DWORD size = 0;
  GetComputerNameExW(format, nullptr, &size);
  std::vector<wchar_t> name(size + 1);
  size = static_cast<DWORD>(name.size());
  if (!GetComputerNameExW(format, name.data(), &size)) {
    files::os_fail(call.c, errs::kSystemRefusedRequest, "GetComputerNameEx", GetLastError());
    return;
  }
  files::set_text(call, u16(name.data(), size));
}

void computer_name_set(Call& call) {
  const std::u16string name = files::wide_arg(call, 1);
  const std::int32_t which = call.args[2].i;
  if (!is_settable_name_type(which)) {
    fail(call.c, errs::kBadComputerNameType);
    return;
  }
  if (!valid_computer_name(name, which)) {
    fail(call.c, errs::kBadComputerName);
    return;
  }
  if (!SetComputerNameExW(static_cast<COMPUTER_NAME_FORMAT>(which), wide_z(name))) {
    files::os_fail(call.c, errs::kSystemRefusedRequest, "SetComputerNameEx", GetLastError());
    return;
  }
  make_int(call.result, 1);
}

// A text value under HKEY_LOCAL_MACHINE; "" when it is missing.
std::u16string machine_text(const std::u16string& key, const wchar_t* value) {
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, wide_z(key), value, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
    return {};
  std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1);
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_LOCAL_MACHINE, wide_z(key), value, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
      ERROR_SUCCESS)
    return {};
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()));
}

// The installed network providers in the system's order, as a tab-delimited
// list of their display names.
std::u16string network_providers() {
  const std::u16string order =
      machine_text(u"SYSTEM\\CurrentControlSet\\Control\\NetworkProvider\\Order", L"ProviderOrder");
  std::u16string list;
  std::size_t start = 0;
  while (start <= order.size()) {
    const std::size_t comma = std::min(order.find(u',', start), order.size());
    const std::u16string service = order.substr(start, comma - start);
    start = comma + 1;
    if (service.empty()) continue;
    std::u16string name =
        machine_text(u"SYSTEM\\CurrentControlSet\\Services\\" + service + u"\\NetworkProvider", L"Name");
    if (name.empty()) name = service;
    if (!list.empty()) list += u'\t';
    list += name;
  }
  return list;
}

void net_info(Call& call) {
  switch (call.args[1].i) {
    case 0: files::set_text(call, std::u16string_view(network_providers())); return;
    case 1: {
      wchar_t user[257];
      DWORD size = 257;
      if (!GetUserNameW(user, &size)) {
        files::os_fail(call.c, errs::kSystemRefusedRequest, "GetUserName", GetLastError());
        return;
      }
      files::set_text(call, u16(user, size > 0 ? size - 1 : 0));
      return;
    }
    default: fail(call.c, errs::kNetInfoBadRequest);
  }
}

void win_sys_info(Call& call) {
  SYSTEM_INFO si{};
  GetSystemInfo(&si);
  SYSTEM_INFO native{};
  GetNativeSystemInfo(&native);
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  const std::uint64_t facts[] = {
      si.dwPageSize,
      reinterpret_cast<std::uintptr_t>(si.lpMinimumApplicationAddress),
      reinterpret_cast<std::uintptr_t>(si.lpMaximumApplicationAddress),
      static_cast<std::uint64_t>(si.dwActiveProcessorMask),
      si.dwNumberOfProcessors,
      si.dwProcessorType,
      si.dwAllocationGranularity,
      si.wProcessorLevel,
      si.wProcessorRevision,
      native.wProcessorArchitecture,
      wow64 ? 1u : 0u,
  };
  constexpr std::uint32_t kCount = sizeof facts / sizeof facts[0];
  arrays::NewArray out(call.c);
  if (!out.create({kCount, 0, 0, 0, 0})) return;
  Value* els = out.elements();
  for (std::uint32_t i = 0; i < kCount; ++i) set_count(els[i], facts[i]);
  out.to_result(call);
}

struct ScreenDc {
  HDC dc = GetDC(nullptr);
  ~ScreenDc() {
    if (dc) ReleaseDC(nullptr, dc);
  }
};

void win_metrics(Call& call) {
  const std::int32_t n = call.args[1].i;
  if (!valid_metric(n)) {
    fail(call.c, errs::kBadMetric);
    return;
  }
  if (n >= 0) {
    make_int(call.result, GetSystemMetrics(n));
    return;
  }
  const ScreenDc screen;
  int cap = BITSPIXEL;
  if (n == kMetricRefresh) cap = VREFRESH;
  else if (n == kMetricDpiX) cap = LOGPIXELSX;
  else if (n == kMetricDpiY) cap = LOGPIXELSY;
  make_int(call.result, screen.dc ? GetDeviceCaps(screen.dc, cap) : 0);
}

void win_resources(Call& call) {
  const std::int32_t request = call.args[1].i;
  if (request < 0 || request > 6) {
    fail(call.c, errs::kWinResourcesBadRequest);
    return;
  }
  MEMORYSTATUSEX m{};
  m.dwLength = sizeof m;
  if (!GlobalMemoryStatusEx(&m)) {
    files::os_fail(call.c, errs::kSystemRefusedRequest, "GlobalMemoryStatusEx", GetLastError());
    return;
  }
  const std::uint64_t facts[] = {m.dwMemoryLoad,     m.ullTotalPhys,    m.ullAvailPhys,    m.ullTotalPageFile,
                                 m.ullAvailPageFile, m.ullTotalVirtual, m.ullAvailVirtual};
  set_count(call.result, facts[request]);
}

}  // namespace

void register_machine(HandlerTable& t) {
  t.add(kw::fn_computernameget, computer_name_get);
  t.add(kw::fn_computernameset, computer_name_set);
  t.add(kw::fn_netinfo, net_info);
  t.add(kw::fn_winsysinfo, win_sys_info);
  t.add(kw::fn_winmetrics, win_metrics);
  t.add(kw::fn_winresources, win_resources);
}

}  // namespace orv::sysinfo
