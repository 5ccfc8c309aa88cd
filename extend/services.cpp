#include "extend/services.h"

#include <array>
#include <cstring>
#include <string>

#include "builtins/binary/checksums.h"
#include "engine/convert.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
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

int boolean_switch(ServiceCall& s) { return exchange(settings(s).booleanSwitch, s.numA != 0); }

int option_bits(ServiceCall& s) {
  std::int32_t& word = settings(s).options;
  const std::int32_t old = word;
  word = s.numB ? (word | s.numA) : (word & ~s.numA);
  return old;
}

constexpr std::array<std::pair<int, Service>, 25> kServices{{
    {0, host_texts}, {1, set_variable}, {2, read_variable}, {3, host_options}, {7, stop_request},
    {20, context_switch}, {23, background_mode}, {29, variable_table}, {30, error_dialog_switch},
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
