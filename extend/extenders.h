// Extenders: add-on DLLs whose functions join the language. A slot per loaded
// extender, the shared function table (the context's extRecords, where the
// tokenizer finds the names) and the entry protocol.
#pragma once
#include <array>
#include <string>

#include "builtins/dispatch.h"
#include "extend/dll_platform.h"
#include "extend/name_index.h"

namespace orv::ext {

inline constexpr int kExtenderSlots = 32;
inline constexpr std::size_t kMaxExtenderFunctions = 751;
inline constexpr int kUnicodeGeneration = 100005;

// What the describe request fills in for one function (56 bytes).
#pragma pack(push, 4)
struct FunctionRecord {
  std::uint32_t number;
  std::uint32_t kind;
  std::uint32_t paramTypes;
  std::uint32_t reserved;
  std::uint32_t counts;      // required in the low byte, optional in the next
  std::uint16_t flags;
  char name[34];             // a Unicode extender writes UTF-16 here (16 units)
};
#pragma pack(pop)
static_assert(sizeof(FunctionRecord) == 56);

struct Extender {
  dll::ModuleHandle module = nullptr;
  int generation = 0;
  api::Word privateWord = 0;
  api::HostEntry entry = nullptr;
  std::string file;
};

struct ExtenderTable {
  std::array<Extender, kExtenderSlots> slots{};
  int count = 0;
  std::string lastText;   // the last error text an extender gave (256 characters)
  NameIndex names;        // over the context's extRecords
};

// Calls the extender function behind a token of 10000-10750.
void call_extender_function(Call& call);
// IntControl 99: unloads the extender whose file name matches; 1 when found.
int unload_extender(Context& c, const std::string& file);
// Shuts every extender down and frees it (the context ends).
void unload_all(Context& c, ExtenderTable& table);

void register_extenders(HandlerTable& t);

}  // namespace orv::ext
