// Test extenders of the older entry protocols, one DLL per generation
// (ORV_TEST_GENERATION 1, 2 or 3): generation 1 takes five 40-byte text
// slots and answers with (kind, integer, text); generations 2 and 3 take 20-byte value slots,
// may hand values back through them, and answer with one such slot.
// Their function names start with G1, G2 or G3 so that all can be loaded at once.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/orv_api.h"

#ifndef ORV_TEST_GENERATION
#error "ORV_TEST_GENERATION must be 1, 2 or 3"
#endif

namespace {

using orv::api::Word;

#pragma pack(push, 4)
struct Generation1Record {
  std::uint32_t number, kind, counts;
  std::uint16_t flags;
  char name[34];
};
struct FunctionRecord {
  std::uint32_t number, kind, paramTypes, reserved, counts;
  std::uint16_t flags;
  char name[34];
};
struct ValueSlot {
  double f;
  std::int32_t i;
  std::uint32_t type;   // 1 integer, 2 text, 32 float; 0x100 copy back
  const char* text;
};
struct TextSlot {       // generation 1: every argument is text
  double f;
  std::int32_t i;
  std::uint32_t type;   // 2
  const char* text;
  std::uint32_t length;
  std::uint8_t reserved[16];
};
#pragma pack(pop)
static_assert(sizeof(TextSlot) == 40);

using Answer1 = int(__stdcall*)(int rc, Word reserved, void* block, int kind, std::int32_t integer, const char* text);
using AnswerSlot = int(__stdcall*)(int rc, Word reserved, void* block, ValueSlot value);

struct Function {
  const char* name;
  std::uint32_t counts;       // required in the low byte, optional in the next
  std::uint32_t paramTypes;   // generations 2 and 3: four bits each, 0 integer, 1 text, 2 float, 15 any
};
// Numbers are the index + 1. Swap exists from generation 2 on (slots go back).
constexpr Function kFunctions[] = {
    {"Add", 2, 0x00},    {"Half", 1, 0x2},         {"Join", 2, 0x11}, {"Fail", 1, 0x1},
    {"Fault", 0, 0x0},   {"Count", 0x500, 0xFFFFF}, {"Swap", 2, 0xFF},
};
constexpr int kFunctionCount = ORV_TEST_GENERATION == 1 ? 6 : 7;
// Generation 1 also has Slots (number 8): what each of its five slots holds.
constexpr int kSlotsFunction = 8;

void fill_name(char* out, const char* name) { std::snprintf(out, 32, "G%d%s", ORV_TEST_GENERATION, name); }

void log_shutdown() {
  char path[MAX_PATH];
  if (GetEnvironmentVariableA("ORV_TEST_EXTENDER_LOG", path, MAX_PATH) == 0) return;
  HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  char line[32];
  const int n = std::snprintf(line, sizeof line, "shutdown G%d\r\n", ORV_TEST_GENERATION);
  DWORD done = 0;
  WriteFile(f, line, static_cast<DWORD>(n), &done, nullptr);
  CloseHandle(f);
}

void fault() {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}

char gText[512];

#if ORV_TEST_GENERATION == 1
// "type:length:text" for each slot, joined by "|"; a slot whose length does
// not match its text, or whose number fields are not 0, shows "bad".
const char* describe_slots(const TextSlot* slots) {
  std::size_t used = 0;
  for (int k = 0; k < 5; ++k) {
    const TextSlot& s = slots[k];
    const bool sound = s.text && s.f == 0 && s.i == 0 && std::strlen(s.text) == s.length;
    used += static_cast<std::size_t>(std::snprintf(gText + used, sizeof gText - used, "%s%lu:%s", k ? "|" : "",
                                                   static_cast<unsigned long>(s.type), sound ? s.text : "bad"));
    if (used >= sizeof gText) break;
  }
  return gText;
}

int call_function(int number, Answer1 answer, void* block, const TextSlot* slots, int count) {
  const char* args[5];
  for (int k = 0; k < 5; ++k) args[k] = slots[k].type == 2 && slots[k].text ? slots[k].text : "?";
  switch (number) {
    case 1: return answer(0, 0, block, 0, std::atoi(args[0]) + std::atoi(args[1]), nullptr);
    case 2:
      std::snprintf(gText, sizeof gText, "%.17g", std::atof(args[0]) / 2);
      return answer(0, 0, block, 2, 0, gText);
    case 3:
      std::snprintf(gText, sizeof gText, "%s+%s", args[0], args[1]);
      return answer(0, 0, block, 1, 0, gText);
    case 4: answer(-1, 0, block, 1, 0, args[0]); return -1;
    case 5: fault(); return 0;
    case 6: return answer(0, 0, block, 0, count, nullptr);
    case kSlotsFunction: return answer(0, 0, block, 1, 0, describe_slots(slots));
    default: return -3;
  }
}
#else
ValueSlot int_slot(std::int32_t i) { return ValueSlot{0, i, 1, nullptr}; }

int call_function(int number, AnswerSlot answer, void* block, ValueSlot* args, int count) {
  switch (number) {
    case 1: return answer(0, 0, block, int_slot(args[0].i + args[1].i));
    case 2: return answer(0, 0, block, ValueSlot{args[0].type == 1 ? args[0].i / 2.0 : args[0].f / 2, 0, 32, nullptr});
    case 3:
      std::snprintf(gText, sizeof gText, "%s+%s", args[0].type == 2 ? args[0].text : "?",
                    args[1].type == 2 ? args[1].text : "?");
      return answer(0, 0, block, ValueSlot{0, 0, 2, gText});
    case 4: answer(-1, 0, block, ValueSlot{0, 0, 2, args[0].text}); return -1;
    case 5: fault(); return 0;
    case 6: return answer(0, 0, block, int_slot(count));
    case 7: {
      // Both arguments go back swapped, by reference.
      const ValueSlot first = args[0];
      args[0] = args[1];
      args[1] = first;
      args[0].type |= 0x100;
      args[1].type |= 0x100;
      return answer(0, 0, block, int_slot(1));
    }
    default: return -3;
  }
}
#endif

}  // namespace

#if ORV_TEST_GENERATION == 1
// No query function: that is what makes an extender generation 1.
extern "C" int __stdcall ORVExtender(Word, Word, std::uint32_t signature, int request, Answer1 answer, void* block,
                                     Word* privateWord, void* data, int index, void*, Word, Word) {
  if (signature != orv::api::kEntrySignature) return -3;
  if (request == 98) {
    if (index < 0 || index > kFunctionCount) return 0;
    auto* r = static_cast<Generation1Record*>(data);
    std::memset(r, 0, sizeof *r);
    r->kind = 2;
    *privateWord = 0x6E01;
    if (index == kFunctionCount) {
      r->number = kSlotsFunction;
      r->counts = 0x500;
      fill_name(r->name, "Slots");
      return 1;
    }
    r->number = static_cast<std::uint32_t>(index) + 1;
    r->counts = kFunctions[index].counts;
    fill_name(r->name, kFunctions[index].name);
    return 1;
  }
  if (request == 99) { log_shutdown(); return 0; }
  if (*privateWord != 0x6E01) return -3;
  return call_function(request, answer, block, static_cast<const TextSlot*>(data), index);
}
#else
extern "C" int __stdcall ORVExtenderQuery(int request, char* buffer, int size) {
  if (request == 1) {
    if (buffer && size > 0) lstrcpynA(buffer, "ORV old-generation test extender", size);
    return 3;
  }
  return request == 2 ? ORV_TEST_GENERATION : 0;
}

extern "C" int __stdcall ORVExtender2(Word, Word, std::uint32_t signature, int request, AnswerSlot answer,
                                      void* block, Word* privateWord, void* data, int index, void* record) {
  if (signature != orv::api::kEntrySignature) return -3;
  switch (request) {
    case -1: *privateWord = 0x6E02; return 0;
    case -2: {
      if (index < 0 || index >= kFunctionCount) return 0;
      auto* r = static_cast<FunctionRecord*>(record);
      std::memset(r, 0, sizeof *r);
      r->number = static_cast<std::uint32_t>(index) + 1;
      r->kind = 2;
      r->counts = kFunctions[index].counts;
      r->paramTypes = kFunctions[index].paramTypes;
      fill_name(r->name, kFunctions[index].name);
      return 1;
    }
    case -3: log_shutdown(); return 0;
    default:
      if (*privateWord != 0x6E02) return -3;
      return call_function(request, answer, block, static_cast<ValueSlot*>(data), index);
  }
}
#endif
