// The entry protocols of extender generations 1 to 3: their argument layouts,
// their answer callbacks and their function records.
#pragma once
#include <string>

#include "builtins/dispatch.h"

namespace orv::ext {

struct Extender;

// Generation-1 function record (describe request 98).
#pragma pack(push, 4)
struct Generation1Record {
  std::uint32_t number;
  std::uint32_t kind;
  std::uint32_t counts;     // required in the low byte, optional in the next
  std::uint16_t flags;
  char name[34];
};
// A value of generations 2 and 3: arguments, copied-back results and answers.
struct ValueSlot {
  double f;
  std::int32_t i;
  std::uint32_t type;       // 1 integer, 2 text, 32 float; 0x100: copy back into the variable
  std::uint32_t text;       // address of NUL-terminated 8-bit text
};
// An argument of generation 1: always text. A call passes five of them
// whatever its argument count, the missing ones (all five for a call without
// arguments) empty.
struct Generation1Slot {
  double f;                 // 0: generation 1 sees texts only
  std::int32_t i;           // 0
  std::uint32_t type;       // 2: text
  std::uint32_t text;       // address of NUL-terminated 8-bit text
  std::uint32_t length;     // its length in bytes
  std::uint8_t reserved[16];
};
#pragma pack(pop)
static_assert(sizeof(Generation1Record) == 48);
static_assert(sizeof(ValueSlot) == 20);
static_assert(sizeof(Generation1Slot) == 40);

inline constexpr std::uint32_t kByReference = 0x100;
inline constexpr int kGeneration1Args = 5;
inline constexpr int kSlotArgs = 16;

// Calls function `function` of a generation 1, 2 or 3 extender.
void call_old_generation(Call& call, Extender& e, int function, std::string* lastText);

// The answer callback an extender of `generation` is given.
void* answer_callback_for(int generation);

}  // namespace orv::ext
