// SysParamInfo, WinParmGet and WinParmSet: the system parameters whose value
// is one number or one text. Every action goes through the table of
// supported ones, so a script never hands the system a pointer of its own.
#include <windows.h>

#include "builtins/files/file_args.h"
#include "builtins/system/system_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::sysinfo {
namespace {

constexpr std::size_t kMaxParameterText = 32767;

bool refused(Call& call) {
  return files::os_fail(call.c, errs::kSysParamRefused, "SystemParametersInfo", GetLastError());
}

// Runs one supported action. `param` is the number or text the action takes
// (unused by the reading actions); the answer is what a read gave, or 1.
bool run_action(Call& call, const SpiAction& a, const std::u16string& param, std::int32_t update, Answer& out) {
  const UINT flags = static_cast<UINT>(update);
  switch (a.kind) {
    case SpiKind::get_number: {
      // Room for more than the one number, should a system write a wider one.
      DWORD value[4] = {};
      if (!SystemParametersInfoW(a.action, 0, value, 0)) return refused(call);
      out = Answer{false, static_cast<std::int32_t>(value[0]), {}};
      return true;
    }
    case SpiKind::get_text: {
      wchar_t text[MAX_PATH + 1] = {};
      if (!SystemParametersInfoW(a.action, MAX_PATH, text, 0)) return refused(call);
      std::string ansi;
      platform::utf16_to_ansi(std::u16string_view(reinterpret_cast<const char16_t*>(text)), ansi);
      out = Answer{true, 0, ansi};
      return true;
    }
    case SpiKind::set_text: {
      if (param.size() > kMaxParameterText) return fail(call.c, errs::kSysParamBadParameter);
      std::wstring text(param.begin(), param.end());
      if (!SystemParametersInfoW(a.action, 0, text.data(), flags)) return refused(call);
      break;
    }
    case SpiKind::set_by_count:
    case SpiKind::set_by_pointer: {
      std::int32_t n = 0;
      if (!parse_number(param, n)) return fail(call.c, errs::kSysParamBadParameter);
      const bool byCount = a.kind == SpiKind::set_by_count;
      void* pointerArg = byCount ? nullptr : reinterpret_cast<void*>(static_cast<std::intptr_t>(n));
      if (!SystemParametersInfoW(a.action, byCount ? static_cast<UINT>(n) : 0, pointerArg, flags))
        return refused(call);
      break;
    }
  }
  out = Answer{false, 1, {}};
  return true;
}

void sys_param_info(Call& call) {
  const SpiAction* a = find_spi_action(call.args[1].i);
  if (!a) {
    fail(call.c, errs::kSysParamUnsupported);
    return;
  }
  const std::int32_t update = call.args[3].i;
  if (!valid_update_flags(update)) {
    fail(call.c, errs::kBadUpdateFlags);
    return;
  }
  Answer out;
  if (run_action(call, *a, files::wide_arg(call, 2), update, out)) set_answer(call, out);
}

void win_parm_get(Call& call) {
  const WinParm* p = find_win_parm(call.args[1].i);
  if (!p) {
    fail(call.c, errs::kBadParmNumber);
    return;
  }
  Answer out;
  if (run_action(call, *find_spi_action(static_cast<std::int32_t>(p->getAction)), {}, 0, out)) set_answer(call, out);
}

// Sets the parameter and answers its previous value, so a script can put it back.
void win_parm_set(Call& call) {
  const WinParm* p = find_win_parm(call.args[1].i);
  if (!p) {
    fail(call.c, errs::kBadParmNumber);
    return;
  }
  const std::int32_t update = call.args[3].i;
  if (!valid_update_flags(update)) {
    fail(call.c, errs::kBadUpdateFlags);
    return;
  }
  Answer previous, done;
  if (!run_action(call, *find_spi_action(static_cast<std::int32_t>(p->getAction)), {}, 0, previous)) return;
  if (!run_action(call, *find_spi_action(static_cast<std::int32_t>(p->setAction)), files::wide_arg(call, 2), update,
                  done))
    return;
  set_answer(call, previous);
}

}  // namespace

void register_parameters(HandlerTable& t) {
  t.add(kw::fn_sysparaminfo, sys_param_info);
  t.add(kw::fn_winparmget, win_parm_get);
  t.add(kw::fn_winparmset, win_parm_set);
}

}  // namespace orv::sysinfo
