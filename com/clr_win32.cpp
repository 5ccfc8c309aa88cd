// .NET objects: the functions first make sure a runtime can be loaded at
// all, so that a machine without one gets a numbered error that says so
// rather than a failure somewhere inside the first call.
#include <cstdio>
#include <string>

#include "com/com_hooks.h"
#include "com/com_win32.h"
#include "engine/convert.h"
#include "engine/keyword_ids.h"
#include "engine/messages.h"
#include "engine/value_ops.h"

namespace orv::com {
namespace {

constexpr std::uint16_t kRuntimeLoadFailed = 1845;
constexpr std::uint16_t kUnknownOption = 1850;
constexpr std::uint16_t kNoRuntimeText = 4260;
constexpr std::uint16_t kNotHosted = 4261;

// {CB2F6723-AB3A-11D2-9C40-00C04FA30A3E} and {CB2F6722-...}: the runtime host class and its interface.
constexpr CLSID kCorRuntimeHost = {0xcb2f6723, 0xab3a, 0x11d2, {0x9c, 0x40, 0x00, 0xc0, 0x4f, 0xa3, 0x0a, 0x3e}};
constexpr IID kCorRuntimeHostIid = {0xcb2f6722, 0xab3a, 0x11d2, {0x9c, 0x40, 0x00, 0xc0, 0x4f, 0xa3, 0x0a, 0x3e}};
using BindToRuntime = HRESULT(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, REFCLSID, REFIID, void**);

struct ClrLoaderLibrary {
  HMODULE module = LoadLibraryW(L"mscoree.dll");
  ~ClrLoaderLibrary() {
    if (module) FreeLibrary(module);
  }
};

// Whether this process could load a runtime: its loader library is there and
// binds a runtime host. The host is let go again; nothing stays loaded.
bool runtime_loadable(Context& c) {
  ClrLoaderLibrary loader;
  auto bind = loader.module ? reinterpret_cast<BindToRuntime>(
                                  reinterpret_cast<void*>(GetProcAddress(loader.module, "CorBindToRuntimeEx")))
                            : nullptr;
  IUnknown* host = nullptr;
  const HRESULT hr = bind ? bind(nullptr, L"wks", 0, kCorRuntimeHost, kCorRuntimeHostIid, reinterpret_cast<void**>(&host))
                          : HRESULT_FROM_WIN32(GetLastError());
  if (host) host->Release();
  if (SUCCEEDED(hr)) return true;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  return fail(c, kRuntimeLoadFailed, message_text(kNoRuntimeText) + "\n" + code);
}

// Hosting types needs a loaded runtime; this build reports why none is there
// and, where one is, that hosting is not built in (see the reference).
void clr_new(Call& call) {
  if (!runtime_loadable(call.c)) return;
  fail(call.c, kRuntimeLoadFailed, message_text(kNotHosted));
}

void clr_type(Call& call) {
  if (!runtime_loadable(call.c)) return;
  fail(call.c, kRuntimeLoadFailed, message_text(kNotHosted));
}

void clr_option(Call& call) {
  Context& c = call.c;
  std::string option;
  if (!value_text(c, call.args[1], option)) return;
  for (char& ch : option) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  if (option != "version" && option != "appbase" && option != "use" && option != "useany") {
    fail(c, kUnknownOption, option);
    return;
  }
  if (!runtime_loadable(c)) return;
  fail(c, kRuntimeLoadFailed, message_text(kNotHosted));
}

}  // namespace
}  // namespace orv::com

namespace orv {

void register_com_clr(HandlerTable& t) {
  t.add(kw::fn_objectclrnew, com::clr_new);
  t.add(kw::fn_objectclrtype, com::clr_type);
  t.add(kw::fn_objectclroption, com::clr_option);
}

}  // namespace orv
