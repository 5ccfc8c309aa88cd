// IntControl: numbered requests that read and change the interpreter's settings.
#include <array>
#include <cstring>
#include <string>

#include "builtins/families.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/udf.h"
#include "engine/variables.h"
#include "engine/value_ops.h"
#include "extend/extenders.h"
#include "extend/host_call.h"

namespace orv {
namespace {

struct Request {
  Context& c;
  int number;
  std::array<std::string, 5> text;     // p1..p4 at 1..4
  std::array<std::int32_t, 5> value{};
  std::string result = "1";
};

// Requests that store one setting: the previous value is the result, and a
// value outside the accepted range changes nothing. A rule that keeps p2
// stores it beside the setting whenever the setting is taken.
struct SettingRule { int request; std::int32_t min, max; bool keepsP2 = false; };
constexpr SettingRule kSettings[] = {
    {35, 0, INT32_MAX}, {41, 0, 1}, {43, 0, 1}, {45, 0, 1}, {46, 0, INT32_MAX}, {49, 0, INT32_MAX, true},
    {51, INT32_MIN, INT32_MAX}, {53, 0, 4}, {61, 0, 5},
    {74, 0, INT32_MAX}, {88, 0, 1},
};

// Request numbers the interpreter accepts without a specified effect.
bool accepted_without_effect(int n) {
  static constexpr int kAccepted[] = {1, 4, 5, 7, 8, 12, 20, 21, 22, 23, 24, 25, 26, 28, 29, 30, 31, 32, 33, 34,
                                      36, 37, 38, 39, 40, 42, 44, 47, 48, 50, 52, 54, 56, 57, 58, 59, 60, 63,
                                      66, 67, 68, 69, 71, 75, 76, 77, 79, 80, 84, 85, 86, 89, 90, 91, 92, 93,
                                      94, 96, 97, 98, 100, 99};
  for (int a : kAccepted)
    if (a == n) return true;
  return false;
}

// Answers the previous value; stores p1 only when it lies in [min, max].
bool exchange(Request& r, std::int32_t& setting, std::int32_t min, std::int32_t max) {
  r.result = std::to_string(setting);
  if (r.value[1] < min || r.value[1] > max) return false;
  setting = r.value[1];
  return true;
}

void exchange(Request& r, const SettingRule& rule) {
  const auto n = static_cast<std::size_t>(rule.request);
  if (exchange(r, r.c.intSettings[n], rule.min, rule.max) && rule.keepsP2) r.c.intSettingsP2[n] = r.value[2];
}

void handler_mode(Request& r, int& mode, std::string& fnName) {
  r.result = std::to_string(mode);
  if (r.value[1] >= 0 && r.value[1] <= 3) mode = r.value[1];
  if (r.value[2] == 1) r.c.errorText.clear();
  // Only installing mode 3 names the function: a query (-1) keeps the one installed.
  if (r.value[1] == 3) fnName = lower_name(r.text[3].substr(0, limits::kNameMax));
}

bool run_request(Request& r) {
  Context& c = r.c;
  for (const SettingRule& s : kSettings) {
    if (s.request == r.number) {
      exchange(r, s);
      return true;
    }
  }
  switch (r.number) {
    case 13:
      if (r.value[1] == 8888) {
        r.result.assign(1, c.commandEnable ? '1' : '0');
        c.commandEnable = r.value[2] != 0;
      } else if (r.value[1] >= 0 && r.value[1] <= 10) {
        r.result = std::to_string(c.diag[static_cast<std::size_t>(r.value[1])]);
        c.diag[static_cast<std::size_t>(r.value[1])] = r.value[2];
      }
      return true;
    case 72: handler_mode(r, c.cancelHandlerMode, c.cancelHandlerFn); return true;
    case 73: handler_mode(r, c.errorHandlerMode, c.errorHandlerFn); return true;
    case 78: {
      int n = 0;
      bool ok = r.value[1] == 1 ? remove_udf(c, r.text[2], n) : remove_all_udfs(c, n);
      r.result = std::to_string(n);
      return ok;
    }
    case 83: return fail(c, errs::kIntControl83Obsolete);
    case 99: r.result = std::to_string(ext::unload_extender(c, r.text[1])); return true;
    case 62:   // 0 to 5, or -2
      r.result = std::to_string(c.intSettings[62]);
      if (r.value[1] == -2 || (r.value[1] >= 0 && r.value[1] <= 5)) c.intSettings[62] = r.value[1];
      return true;
    case 64: r.result = std::to_string(c.lastExitCode); return true;
    case 70:
      if (r.value[2] == 1) { exchange(r, c.postMessageDelay, 0, INT32_MAX); return true; }
      exchange(r, c.intSettings[70], 0, INT32_MAX);
      return true;
    case 65:   // FileRead buffer: a size, 0 for none, or -2 for sized from the file
      r.result = std::to_string(c.intSettings[65]);
      if (r.value[1] >= 0 || r.value[1] == -2) c.intSettings[65] = r.value[1];
      return true;
    case 96:   // line echo: every executed line to the debugger output
      r.result.assign(1, c.debugOutput ? '1' : '0');
      if (r.value[1] == 0 || r.value[1] == 1) c.debugOutput = r.value[1] == 1;
      return true;
    case 87:
      r.result = std::to_string(c.executeReportMode);
      if (r.value[1] >= 0 && r.value[1] <= 2) c.executeReportMode = r.value[1];
      return true;
    default:
      if (accepted_without_effect(r.number)) return true;
      return false;
  }
}

// Offers an unknown request to the host's own "intcontrol" function.
bool offer_to_host(Call& call, Request& r) {
  Context& c = call.c;
  for (int i = 0; i < c.hostCount; ++i) {
    if (std::strcmp(c.hostTable[i].name, "intcontrol") != 0) continue;
    ArgSlots args{};
    for (auto& a : args) clear_operand(a);
    bool ok = make_string(c, args[1], std::to_string(r.number));
    for (int k = 1; ok && k <= 4; ++k) ok = make_string(c, args[static_cast<std::size_t>(k + 1)], r.text[static_cast<std::size_t>(k)]);
    if (ok) {
      Call hostCall{c, kParentStart + i, 5, args, call.result, false};
      call_host_function(hostCall);
    }
    for (auto& a : args) release_value(c, a);
    return true;
  }
  return false;
}

void intcontrol(Call& call) {
  Context& c = call.c;
  Request r{c, call.args[1].i, {}};
  for (int k = 1; k <= 4; ++k) {
    std::string text = str_of(c, call.args[static_cast<std::size_t>(k + 1)]);
    if (text.size() > 18) text.resize(18);
    IntText it = parse_integer_text(text, false);
    r.text[static_cast<std::size_t>(k)] = std::move(text);
    r.value[static_cast<std::size_t>(k)] = it.ok ? static_cast<std::int32_t>(it.value) : 0;
  }
  if (!run_request(r)) {
    if (failed(c)) return;
    if (offer_to_host(call, r)) return;
    make_string(c, call.result, "");
    fail(c, errs::kIntControlBadRequest);
    return;
  }
  if (failed(c)) return;
  make_string(c, call.result, r.result);
}

}  // namespace

void register_intcontrol(HandlerTable& t) { t.add(kw::fn_intcontrol, intcontrol); }

}  // namespace orv
