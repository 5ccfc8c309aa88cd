#include "engine/extender_hooks.h"
#include "engine/context.h"

#include <array>
#include <initializer_list>
#include <cstring>
#include <string>
#include <string_view>

#include "builtins/binary/checksums.h"
#include "builtins/files/file_table.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/convert.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "extend/disabled_builtins.h"
#include "extend/dll_groups.h"
#include "extend/dll_state.h"
#include "platform/platform.h"

namespace orv::ext {
namespace {

using Service = int (*)(ServiceCall&);

constexpr std::size_t kSwitchTextMax = 256;
constexpr std::size_t kSlotTextMax = 40;
constexpr std::size_t kPathMax = 260;

dll::HostSettings& settings(ServiceCall& s) { return dll::dll_state(s.c).host; }
const char* text_a(ServiceCall& s) { return static_cast<const char*>(s.ptrA); }

std::string cut(const char* text, std::size_t max) {
  std::string t = text ? text : "";
  if (t.size() > max) t.resize(max);
  return t;
}

// A setting exchanged for a new value: the previous one is the result.
int exchange(std::int32_t& setting, std::int32_t value) {
  const std::int32_t old = setting;
  setting = value;
  return old;
}

int host_texts(ServiceCall& s) {
  dll::HostSettings& h = settings(s);
  h.texts[0] = cut(text_a(s), kSwitchTextMax);
  h.texts[1] = cut(static_cast<const char*>(s.ptrB), kSwitchTextMax);
  if (s.numA == 9876) h.hostFlag = false;
  return 1;
}

int set_variable(ServiceCall& s) {
  if (!s.ptrA || !s.ptrB) return 0;
  return set_string_variable(s.c, text_a(s), static_cast<const char*>(s.ptrB)) ? 1 : 0;
}

// The value of a variable as the services show it; false with the error set.
bool variable_text(ServiceCall& s, std::string& text) {
  if (!s.ptrA) return false;
  const std::uint16_t slot = find_var(s.c, text_a(s), false);
  if (slot == kNotFound) return false;
  const Value& v = s.c.slots[slot].v;
  if (v.flags & vf::kArray) text = "<array>";
  else if (v.flags & (vf::kCom | vf::kComObject)) text = "<complex data type>";
  else if (!(v.flags & (vf::kInt | vf::kInt64 | vf::kFloat | vf::kStr | vf::kWide))) text = "Error - unknown type";
  else if (!value_text(s.c, v, text)) return false;
  return true;
}

int read_variable(ServiceCall& s) {
  std::string text;
  if (!s.ptrB || s.numA <= 0 || !variable_text(s, text)) return 0;
  if (text.size() >= static_cast<std::size_t>(s.numA)) text = "<Value too large>";
  if (text.size() >= static_cast<std::size_t>(s.numA)) return 0;
  std::memcpy(s.ptrB, text.c_str(), text.size() + 1);
  return 1;
}

int variable_length(ServiceCall& s) {
  std::string text;
  return variable_text(s, text) ? static_cast<int>(text.size()) + 1 : 0;
}

int reassign_variable(ServiceCall& s) {
  if (!s.ptrA) return 0;
  const std::uint16_t slot = find_var(s.c, text_a(s), false);
  if (slot == kNotFound) return 0;
  const Value& v = s.c.slots[slot].v;
  if (v.flags & (vf::kArray | vf::kCom)) {
    dll::notify(s.c, (v.flags & vf::kArray) ? "Cannot reassign an array type" : "Cannot reassign a variant type",
                "DllServices Error");
    return 0;
  }
  const char* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(s.numB)));
  return text && set_string_variable(s.c, text_a(s), text) ? 1 : 0;
}

int host_options(ServiceCall& s) { return exchange(settings(s).options, s.numA); }

int stop_request(ServiceCall& s) {
  settings(s).stopCode = s.numA;
  s.c.cancelRequested = true;
  return 1;
}

int stop_pending(ServiceCall& s) { return s.c.cancelRequested ? 1 : 0; }
int context_switch(ServiceCall& s) { return exchange(settings(s).contextSwitch, s.numA != 0); }

int background_mode(ServiceCall& s) {
  settings(s).backgroundPath = cut(text_a(s), kPathMax);
  return exchange(settings(s).background, s.numA != 0);
}

int variable_table(ServiceCall& s) {
  if (s.numA == 1) return s.c.hwm;
  if (s.numA == 2 && s.numB >= 0 && s.numB < s.c.capacity && s.c.slots)
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(&s.c.slots[s.numB]));
  return 0;
}

int error_dialog_switch(ServiceCall& s) {
  settings(s).errorDialogText = cut(text_a(s), kSwitchTextMax);
  return exchange(settings(s).errorDialogSwitch, s.numA != 0);
}

int host_switch(ServiceCall& s) {
  settings(s).hostSwitchText = cut(text_a(s), kSwitchTextMax);
  return exchange(settings(s).hostSwitch, s.numA != 0);
}

int always_one(ServiceCall&) { return 1; }

int uncompress(ServiceCall& s) {
  if (!s.ptrA || s.numA < 0 || s.numB < s.numA) return -1;
  auto* p = static_cast<std::uint8_t*>(s.ptrA);
  return static_cast<int>(binary::uncompress_bytes(p, static_cast<std::size_t>(s.numA), p,
                                                   static_cast<std::size_t>(s.numB)));
}

int text_slot(ServiceCall& s) {
  auto& slots = settings(s).textSlots;
  if (s.numA == 0) {
    for (auto& t : slots) t.clear();
    return 1;
  }
  if (s.numA < 1 || s.numA > static_cast<int>(slots.size())) return 0;
  slots[static_cast<std::size_t>(s.numA - 1)] = cut(text_a(s), kSlotTextMax);
  return 1;
}

int four_valued(ServiceCall& s) {
  if (s.numA < 0 || s.numA > 3) return settings(s).fourValued;
  return exchange(settings(s).fourValued, s.numA);
}

int heap_address(ServiceCall& s) {
  if (s.numB <= 0) return 0;
  return static_cast<int>(reinterpret_cast<std::uintptr_t>(s.c.heap.ptr(static_cast<std::uint32_t>(s.numB))));
}

int heap_copy(ServiceCall& s) { return s.ptrA ? static_cast<int>(heap_string(s.c, text_a(s))) : 0; }

// The buffer a request names: by variable name (ptrA) or by handle (ptrB).
BinaryBuffer* named_buffer(ServiceCall& s) {
  std::int32_t handle = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(s.ptrB));
  if (s.ptrA) {
    const std::uint16_t slot = find_var(s.c, text_a(s), false);
    if (slot == kNotFound) return nullptr;
    handle = s.c.slots[slot].v.i;
  }
  return s.c.binaries.find(handle);
}

int buffer_info(ServiceCall& s) {
  BinaryBuffer* b = named_buffer(s);
  if (!b) return 0;
  switch (s.numA) {
    case 1: return static_cast<int>(reinterpret_cast<std::uintptr_t>(b->mem));
    case 2: return b->size;
    case 3: return b->eod;
    default: return 0;
  }
}

int buffer_store(ServiceCall& s) {
  BinaryBuffer* b = named_buffer(s);
  if (!b || s.numB < 0 || s.numB > b->size) return 0;
  if (s.numA == -1) {
    b->eod = s.numB;
    return b->eod;
  }
  if (s.numB >= b->size) return 0;
  b->data[s.numB] = static_cast<std::uint8_t>(s.numA);
  b->raise_eod(std::int64_t{s.numB} + 1);
  return b->eod;
}

int main_window(ServiceCall& s) { return static_cast<int>(s.c.ownWindow); }

int latch(ServiceCall& s) {
  std::int32_t& owner = settings(s).latchOwner;
  if (s.numA != 0) {
    if (owner != 0) return 0;
    owner = s.numB;
    return 1;
  }
  if (owner == s.numB) owner = 0;
  return 1;
}

// Runs a built-in function on ready arguments, as a script line would; its
// integer result, 0 when it failed (the frame then restores the error state).
int run_builtin(ServiceCall& s, int id, std::initializer_list<Value> values) {
  const api::KeywordRecord* r = keyword_record(s.c, id);
  if (!r) return 0;
  ArgSlots args;
  for (auto& a : args) clear_operand(a);
  ArgSlotGuard guard{s.c, args};
  int count = 0;
  for (const Value& v : values) static_cast<Value&>(args[static_cast<std::size_t>(++count)]) = v;
  Operand result;
  clear_operand(result);
  const bool ok = dispatch_call(s.c, id, *r, args, count, result);
  const int answer = ok && !failed(s.c) && (result.flags & vf::kInt) ? result.i : 0;
  release_value(s.c, result);
  return answer;
}

Value text_value(ServiceCall& s, const char* text) {
  Value v{};
  if (!make_string(s.c, v, text ? text : "")) clear_value(v);
  return v;
}

Value int_value(std::int32_t i) {
  Value v{};
  make_int(v, i);
  return v;
}

// Starts a program or opens a document like RunShell: numA is the window
// state, numB the wait flag. The result is what RunShell gives (1, or with
// the wait flags a process id or exit code).
int start_program(ServiceCall& s) {
  if (!s.ptrA) return 0;
  return run_builtin(s, kw::fn_runshell, {text_value(s, text_a(s)), text_value(s, ""), text_value(s, ""),
                                          int_value(s.numA), int_value(s.numB)});
}

int activate_window(ServiceCall& s) {
  if (!s.ptrA) return 0;
  return run_builtin(s, kw::fn_winactivate, {text_value(s, text_a(s))});
}

// A handle the script's FileOpen gave and that is still open.
int open_file_handle(ServiceCall& s) {
  if (s.numA == 0 || !s.c.files) return 0;
  return s.c.files->find(s.numA) ? s.numA : 0;
}

// numB = a window-station handle to attach (the process's own station is
// remembered); numB = 0 puts the remembered station back and closes the
// attached one. 1 on success.
int window_station(ServiceCall& s) {
  dll::HostSettings& h = settings(s);
  if (s.numB != 0) {
    if (h.attachedStation) return 0;   // one at a time: the remembered station must stay the process's own
    std::uintptr_t previous = 0;
    if (!dll::attach_window_station(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(s.numB)), previous))
      return 0;
    h.attachedStation = static_cast<std::uintptr_t>(static_cast<std::uint32_t>(s.numB));
    h.ownStation = previous;
    return 1;
  }
  if (!h.attachedStation) return 0;
  dll::restore_window_station(h.ownStation, h.attachedStation);
  h.attachedStation = h.ownStation = 0;
  return 1;
}

// Disables (numA = 1) or re-enables (numA = 0) built-in functions named in
// ptrA, separated by the first character of ptrB. 1 when every name was a
// built-in function; the others are still switched.
int switch_builtins(ServiceCall& s) {
  constexpr std::size_t kNameMax = 30;
  const char* delimiters = static_cast<const char*>(s.ptrB);
  if (!s.ptrA || !delimiters || !delimiters[0]) return 0;
  const std::string_view list = text_a(s);
  bool all = true;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(delimiters[0], start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view name = list.substr(start, end - start);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (!name.empty() && (name.size() > kNameMax || !set_builtin_disabled(s.c, name, s.numA != 0))) all = false;
    start = end + 1;
  }
  return all ? 1 : 0;
}

int boolean_switch(ServiceCall& s) { return exchange(settings(s).booleanSwitch, s.numA != 0); }

int option_bits(ServiceCall& s) {
  std::int32_t& word = settings(s).options;
  const std::int32_t old = word;
  word = s.numB ? (word | s.numA) : (word & ~s.numA);
  return old;
}

constexpr std::array<std::pair<int, Service>, 30> kServices{{
    {0, host_texts}, {1, set_variable}, {2, read_variable}, {3, host_options}, {7, stop_request},
    {16, start_program}, {19, activate_window}, {20, context_switch}, {23, background_mode}, {24, switch_builtins},
    {29, variable_table}, {30, error_dialog_switch}, {32, window_station}, {53, open_file_handle},
    {31, always_one}, {33, uncompress}, {34, host_switch}, {36, text_slot}, {37, stop_pending},
    {39, four_valued}, {41, heap_address}, {42, heap_copy}, {43, buffer_info}, {44, buffer_store},
    {45, variable_length}, {46, reassign_variable}, {48, main_window}, {51, latch}, {59, boolean_switch},
    {60, option_bits}}};

}  // namespace

int run_service(int request, ServiceCall& s) {
  for (const auto& [number, service] : kServices)
    if (number == request) return service(s);
  return 0;
}

}  // namespace orv::ext
