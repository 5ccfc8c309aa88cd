// The variable table: slots of the current frame, frames, and variable pointers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include "engine/context.h"

namespace orv {

inline constexpr std::uint16_t kNotFound = limits::kNoSlot;

// Sets up frame 0 over the host's slot block (capacity slots of 76 bytes).
bool init_variable_table(Context& c, platform::MemHandle mem, std::uint16_t capacity);
void release_all_variables(Context& c);

// Takes a new slot stamp: remembered slot numbers must be found again.
inline void new_slot_layout(Context& c) { c.slotStamp = ++c.stampCounter; }

// Stamps shared by tables that grew alike from a fresh frame carry this bit.
inline constexpr std::uint64_t kSharedLayout = std::uint64_t{1} << 63;
// The stamp of every fresh function frame (only its reserved slot 0).
inline constexpr std::uint64_t kFreshFrameLayout = kSharedLayout;
// Layout steps a context remembers (each some 80 bytes).
inline constexpr std::size_t kMaxLayoutSteps = 4096;

// Does a remembered slot still hold its variable in the current table?
inline bool hint_holds(const Context& c, const SlotHint& hint) {
  return hint.stamp == c.slotStamp && c.slots[hint.slot].v.flags != 0;
}

// Finds a lower-case name afresh and remembers it in `hint`; kNotFound when missing.
std::uint16_t refresh_hint(const Context& c, SlotHint& hint, std::string_view lowerName);

// The slot of a lower-case name through its hint (found and remembered when
// the hint is stale), or kNotFound. Inline: the run loop's common case.
inline std::uint16_t hinted_slot(const Context& c, SlotHint& hint, std::string_view lowerName) {
  return hint_holds(c, hint) ? hint.slot : refresh_hint(c, hint, lowerName);
}

std::uint16_t find_slot(const Context& c, std::string_view lowerName);
// find_var: slot, or kNotFound with 3051/3052 set. `report` names the variable in 3052.
std::uint16_t find_var(Context& c, std::string_view name, bool report);
// Finds or creates the slot of a lower-case name (3097 when full).
std::uint16_t find_or_create_slot(Context& c, std::string_view lowerName);
// A name made in a shared layout by adding a slot: the layouts before and
// after, and the slot. From the same layout the same name is missing again
// (a shared stamp names the same names in the same slots) and the same step
// gives the same slot and stamp, so a line that makes a function's local on
// every call need neither look for it nor look the step up.
struct MadeSlot {
  std::uint64_t from = 0, to = 0;
  std::uint16_t slot = limits::kNoSlot;
};
// Creates the slot of a name no slot holds: kNotFound, and no error, when
// full. `made` learns the step when it can be made again (see MadeSlot).
std::uint16_t create_new_slot(Context& c, std::string_view lowerName, MadeSlot& made);
// The step `made` remembers, when the table is in its layout before: the
// slot; else kNotFound (nothing changed).
std::uint16_t remake_slot(Context& c, std::string_view lowerName, const MadeSlot& made);
// Assigns a value (taken over) to a slot, releasing the old value. An array
// that others share is copied first; false (value released) when that fails.
bool store_in_slot(Context& c, std::uint16_t slot, Value& v);
// Creates or reuses the slot of `name` and stores an 8-bit string in it.
bool set_string_variable(Context& c, std::string_view name, std::string_view text);
bool set_int_variable(Context& c, std::string_view name, std::int32_t value);
void drop_slot(Context& c, std::uint16_t slot);

std::string lower_name(std::string_view name);

// Frames. switch_frame saves the current frame and loads `level`.
bool switch_frame(Context& c, std::uint16_t level);
// Makes frame `level` (its entry `f`, its table locked at `slots`) the current one.
inline void make_frame_current(Context& c, const FrameEntry& f, VarSlot* slots, std::uint16_t level) {
  c.slots = slots;
  c.slotMem = f.mem;
  c.curSeq = f.seq;
  c.curTick = f.tick;
  c.capacity = f.capacity;
  c.hwm = f.hwm;
  c.slotStamp = f.stamp;
  c.level = level;
}
// Variable pointers ("#VAR$PTR#..." strings).
std::string make_pointer(const Context& c, std::uint16_t level, std::string_view name);
struct PointerTarget { std::uint16_t level = 0; std::string name; };
// Parses and validates a pointer text (3813 / 3814 on failure).
bool parse_pointer(Context& c, std::string_view text, PointerTarget& out);

}  // namespace orv
