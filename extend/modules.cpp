// DllLoad, DllFree, DllLastError, DllHinst: DLLs kept loaded across calls,
// named by "?" and the decimal module handle.
#include <cstdio>

#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "extend/dll_groups.h"
#include "extend/dll_state.h"
#include "platform/platform.h"

namespace orv::dll {
namespace {

std::string handle_text(ModuleHandle m) {
  char text[24];
  std::snprintf(text, sizeof text, "?%lu", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(m)));
  return text;
}

bool set_text(Call& call, const std::string& text) {
  release_value(call.c, call.result);
  return make_string(call.c, call.result, text);
}

void dll_load(Call& call) {
  DllState& s = dll_state(call.c);
  if (!to_string(call.c, call.args[1])) return;
  const std::string file = str_of(call.c, call.args[1]);
  ModuleHandle* free = nullptr;
  for (ModuleHandle& m : s.modules)
    if (!m) { free = &m; break; }
  if (!free) { fail(call.c, errs::kTooManyDllLoads); return; }
  ModuleHandle m = load_dll(call.c, file);
  if (!m) return;
  *free = m;
  set_text(call, handle_text(m));
}

void dll_free(Call& call) {
  DllState& s = dll_state(call.c);
  if (!to_string(call.c, call.args[1])) return;
  const char* text = str_of(call.c, call.args[1]);
  if (text[0] != '?') { fail(call.c, errs::kDllFreeBadHandle); return; }
  for (ModuleHandle& m : s.modules) {
    if (m && handle_text(m) == text) {
      free_module(m);
      m = nullptr;
      return;
    }
  }
  fail(call.c, errs::kDllFreeBadHandle);
}

void dll_last_error(Call& call) {
  make_int(call.result, static_cast<std::int32_t>(dll_state(call.c).lastError));
}

// The instance handle of a module: a DllLoad handle as it stands, a module
// the process has loaded by name, "" for the interpreter itself; 0 when the
// module is not loaded (it is never loaded for the question).
void dll_hinst(Call& call) {
  if (!to_string(call.c, call.args[1])) return;
  const std::string name = str_of(call.c, call.args[1]);
  std::uintptr_t value = 0;
  if (!name.empty() && name[0] == '?') {
    for (ModuleHandle m : dll_state(call.c).modules)
      if (m && handle_text(m) == name) value = reinterpret_cast<std::uintptr_t>(m);
    if (!value) { fail(call.c, errs::kDllFreeBadHandle); return; }
  } else {
    value = reinterpret_cast<std::uintptr_t>(loaded_module(name));
  }
  make_int(call.result, static_cast<std::int32_t>(value));
}

}  // namespace

void* load_dll(Context& c, const std::string& file) {
  std::uint32_t osError = 0;
  ModuleHandle m = load_module(file, osError);
  if (m) return m;
  // 126 also means a missing dependency: only a missing file itself is 1299.
  const bool missing = osError == 2 || osError == 1157 ||
                       (osError == 126 && !platform::file_exists(file) && platform::search_path(file).empty());
  fail(c, missing ? errs::kDllFileNotFound : errs::kDllFileNotLoadable);
  return nullptr;
}

void notify(Context& c, const std::string& text, const std::string& caption) {
  if (c.runFlags & api::kRunReportToHost) platform::write_stderr(caption + ": " + text + "\n");
  else platform::message_box(text, caption, platform::mb_ok | platform::mb_icon_exclamation);
}

void register_modules(HandlerTable& t) {
  t.add(kw::fn_dllload, dll_load);
  t.add(kw::fn_dllfree, dll_free);
  t.add(kw::fn_dlllasterror, dll_last_error);
  t.add(kw::fn_dllhinst, dll_hinst);
}

}  // namespace orv::dll
