#include "engine/variables.h"

#include <cstdio>
#include <cstring>

#include "engine/error_numbers.h"
#include "engine/messages.h"
#include "engine/value_ops.h"

namespace orv {

std::string lower_name(std::string_view name) {
  std::string out(name);
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return out;
}

bool init_variable_table(Context& c, platform::MemHandle mem, std::uint16_t capacity) {
  auto* slots = static_cast<VarSlot*>(platform::mem_lock(mem));
  if (!slots || capacity < 2) return false;
  if (platform::mem_size(mem) < std::size_t{capacity} * sizeof(VarSlot)) {
    platform::mem_unlock(mem);
    return false;
  }
  std::memset(static_cast<void*>(slots), 0, std::size_t{capacity} * sizeof(VarSlot));
  c.slots = slots;
  c.slotMem = mem;
  c.capacity = capacity;
  c.hwm = 1;
  c.slots[0].v.flags = vf::kDeclared;   // slot 0 is reserved
  c.level = 0;
  c.curSeq = c.frameCounter++;
  c.curTick = platform::tick_count();
  new_slot_layout(c);
  FrameEntry& f = c.frames[0];
  f = FrameEntry{};
  f.stamp = c.slotStamp;
  f.mem = mem;
  f.seq = c.curSeq;
  f.tick = c.curTick;
  f.capacity = capacity;
  f.hwm = c.hwm;
  f.marker = 0xFFFF;
  return true;
}

void release_all_variables(Context& c) {
  if (!c.slots) return;
  for (std::uint16_t i = 0; i < c.hwm; ++i) release_value(c, c.slots[i].v);
  c.hwm = 1;
  new_slot_layout(c);
}

std::uint16_t refresh_hint(const Context& c, SlotHint& hint, std::string_view lowerName) {
  const std::uint16_t slot = find_slot(c, lowerName);
  if (slot != kNotFound) hint = SlotHint{slot, c.slotStamp};
  return slot;
}

std::uint16_t find_slot(const Context& c, std::string_view lowerName) {
  if (!c.slots) return kNotFound;
  for (std::uint16_t i = 0; i < c.hwm; ++i) {
    const VarSlot& s = c.slots[i];
    if (s.v.flags != 0 && std::strlen(s.name) == lowerName.size() &&
        std::memcmp(s.name, lowerName.data(), lowerName.size()) == 0)
      return i;
  }
  return kNotFound;
}

std::uint16_t find_var(Context& c, std::string_view name, bool report) {
  std::string lower = lower_name(name);
  std::uint16_t slot = find_slot(c, lower);
  if (slot == kNotFound) {
    fail(c, errs::kUndefinedName);
    return kNotFound;
  }
  if (!is_assigned(c.slots[slot].v)) {
    if (report && !(c.depth > 0 && c.stack[c.depth].skip != 0)) {
      platform::write_settings_file("TARNQUIL.INI", "Error Reporting", "3052", lower);
      fail(c, errs::kUninitializedVariable, message_text(errs::kUninitializedPrefix) + "\n\n    " + lower);
    } else {
      fail(c, errs::kUninitializedVariable);
    }
    return kNotFound;
  }
  return slot;
}

namespace {

// The stamp after `name` is made in `slot`: shared when the table grew from
// a fresh frame (the same step from the same layout always gives the same
// stamp), else a new one.
std::uint64_t layout_after(Context& c, std::uint16_t slot, std::string_view name) {
  const std::uint64_t from = c.slotStamp;
  if (!(from & kSharedLayout)) return ++c.stampCounter;
  const std::uint64_t key = (from * 0x9E3779B97F4A7C15ull) ^ (std::uint64_t{slot} << 48) ^
                            std::hash<std::string_view>{}(name);
  auto found = c.layoutSteps.find(key);
  if (found != c.layoutSteps.end()) {
    const Context::LayoutStep& step = found->second;
    if (step.from == from && step.slot == slot && step.name == name) return step.stamp;
    return ++c.stampCounter;   // another step with the same hash: not shared
  }
  if (c.layoutSteps.size() >= kMaxLayoutSteps) return ++c.stampCounter;
  const std::uint64_t stamp = kSharedLayout | ++c.stampCounter;
  c.layoutSteps.emplace(key, Context::LayoutStep{from, slot, std::string(name), stamp});
  return stamp;
}

void name_new_slot(VarSlot& s, std::string_view lowerName) {
  std::memset(static_cast<void*>(&s), 0, sizeof s);
  std::memcpy(s.name, lowerName.data(), std::min<std::size_t>(lowerName.size(), limits::kNameMax));
  s.v.i = -1;
  s.v.flags = vf::kDeclared;
}

// Whether the table can take one more slot above its used part.
bool room_above(const Context& c) { return c.hwm + 1 < c.capacity; }

// A new slot for `lowerName`, which no slot holds: the highest free one, or
// one more; kNotFound (no error set) when the table is full. `made` (when
// given) learns a step that added a slot to a shared layout.
std::uint16_t create_slot(Context& c, std::string_view lowerName, MadeSlot* made = nullptr) {
  if (!c.slots) return kNotFound;
  std::uint16_t chosen = kNotFound;
  for (int i = c.hwm - 1; i >= 1; --i) {
    if (c.slots[i].v.flags == 0) { chosen = static_cast<std::uint16_t>(i); break; }
  }
  if (chosen == kNotFound) {
    if (!room_above(c)) return kNotFound;
    chosen = c.hwm++;
  }
  const std::uint64_t from = c.slotStamp;
  c.slotStamp = layout_after(c, chosen, lowerName.substr(0, limits::kNameMax));
  if (made) {
    *made = MadeSlot{};
    if ((from & kSharedLayout) && (c.slotStamp & kSharedLayout) && chosen + 1 == c.hwm) *made = {from, c.slotStamp, chosen};
  }
  name_new_slot(c.slots[chosen], lowerName);
  return chosen;
}

}  // namespace

std::uint16_t find_or_create_slot(Context& c, std::string_view lowerName) {
  const std::uint16_t slot = find_slot(c, lowerName);
  if (slot != kNotFound) return slot;
  const std::uint16_t made = create_slot(c, lowerName);
  if (made == kNotFound) fail(c, errs::kVariablesOutOfMemory);
  return made;
}

std::uint16_t create_new_slot(Context& c, std::string_view lowerName, MadeSlot& made) {
  return create_slot(c, lowerName, &made);
}

std::uint16_t remake_slot(Context& c, std::string_view lowerName, const MadeSlot& made) {
  if (made.from != c.slotStamp || made.slot != c.hwm || !room_above(c) || !c.slots) return kNotFound;
  ++c.hwm;
  c.slotStamp = made.to;
  name_new_slot(c.slots[made.slot], lowerName);
  return made.slot;
}

bool store_in_slot(Context& c, std::uint16_t slot, Value& v) {
  if (!own_array(c, v)) {
    release_value(c, v);
    return false;
  }
  VarSlot& s = c.slots[slot];
  Value old = s.v;
  s.v = v;
  release_value(c, old);
  clear_value(v);
  return true;
}

bool set_string_variable(Context& c, std::string_view name, std::string_view text) {
  std::uint16_t slot = find_or_create_slot(c, lower_name(name));
  if (slot == kNotFound) return false;
  Value v{};
  if (!make_string(c, v, text)) return false;
  return store_in_slot(c, slot, v);
}

bool set_int_variable(Context& c, std::string_view name, std::int32_t value) {
  std::uint16_t slot = find_or_create_slot(c, lower_name(name));
  if (slot == kNotFound) return false;
  Value v{};
  make_int(v, value);
  return store_in_slot(c, slot, v);
}

void drop_slot(Context& c, std::uint16_t slot) {
  if (slot == 0 || slot >= c.hwm) return;
  VarSlot& s = c.slots[slot];
  if (s.v.flags == 0) return;
  release_value(c, s.v);
  std::memset(static_cast<void*>(&s), 0, sizeof s);
  if (slot == c.hwm - 1) --c.hwm;
  new_slot_layout(c);
}

bool switch_frame(Context& c, std::uint16_t level) {
  if (level >= limits::kFrames) return false;
  if (level == c.level) return true;
  FrameEntry& target = c.frames[level];
  if (!target.mem) return false;
  auto* slots = static_cast<VarSlot*>(platform::mem_lock(target.mem));
  if (!slots) return false;
  FrameEntry& cur = c.frames[c.level];
  cur.hwm = c.hwm;
  cur.stamp = c.slotStamp;
  if (c.slotMem) platform::mem_unlock(c.slotMem);
  make_frame_current(c, target, slots, level);
  return true;
}

std::string make_pointer(const Context& c, std::uint16_t level, std::string_view name) {
  const FrameEntry& f = c.frames[level];
  char head[64];
  std::snprintf(head, sizeof head, "#VAR$PTR#%04X%08lX%08lX%08lX", static_cast<unsigned>(level),
                static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(f.mem) & 0xFFFFFFFFu),
                static_cast<unsigned long>(f.seq), static_cast<unsigned long>(f.tick));
  return std::string(head) + std::string(name);
}

bool parse_pointer(Context& c, std::string_view text, PointerTarget& out) {
  if (text.size() < 38 || text.size() > 67 || text.substr(0, 9) != "#VAR$PTR#") return fail(c, errs::kNotAPointer);
  auto hex = [&](std::size_t at, std::size_t n, std::uint32_t& v) {
    v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      char ch = text[i];
      int d = (ch >= '0' && ch <= '9') ? ch - '0' : (ch >= 'A' && ch <= 'F') ? ch - 'A' + 10 : -1;
      if (d < 0) return false;
      v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
  };
  std::uint32_t level = 0, mem = 0, seq = 0, tick = 0;
  if (!hex(9, 4, level) || !hex(13, 8, mem) || !hex(21, 8, seq) || !hex(29, 8, tick)) return fail(c, errs::kBadPointer);
  if (level >= limits::kFrames) return fail(c, errs::kBadPointer);
  const FrameEntry& f = c.frames[level];
  if (!f.mem || (reinterpret_cast<std::uintptr_t>(f.mem) & 0xFFFFFFFFu) != mem || f.seq != seq || f.tick != tick)
    return fail(c, errs::kBadPointer);
  std::string_view name = text.substr(37);
  if (name.empty() || name.size() > limits::kNameMax) return fail(c, errs::kBadPointer);
  out.level = static_cast<std::uint16_t>(level);
  out.name = lower_name(name);
  return true;
}

}  // namespace orv
