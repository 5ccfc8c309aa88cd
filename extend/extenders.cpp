#include "extend/extenders.h"

#include <algorithm>
#include <cstring>

#include "engine/convert.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/messages.h"
#include "extend/dll_groups.h"
#include "extend/dll_state.h"
#include "extend/host_call.h"
#include "platform/platform.h"

namespace orv::ext {
namespace {

using QueryFunction = int(ORV_CALL*)(int request, char* buffer, int size);
constexpr std::size_t kInitTextUnits = 257;
constexpr std::size_t kQueryBuffer = 2049;

ExtenderTable& table_of(Context& c) { return dll::dll_state(c).extenders; }

const char* entry_name(int generation) {
  if (generation == kUnicodeGeneration) return "_ORVExtender2W@40";
  if (generation >= 4 && generation <= 5) return "_ORVExtender2@40";
  return nullptr;   // generations 1-3 use argument layouts this interpreter does not speak
}

// Frees a module when a load attempt ends early.
struct ModuleGuard {
  dll::ModuleHandle module;
  ~ModuleGuard() { if (module) dll::free_module(module); }
  dll::ModuleHandle release() { auto m = module; module = nullptr; return m; }
};

bool load_failure(Context& c, const std::string& file, std::uint32_t osError) {
  if (file.empty() || ((osError == 2 || osError == 126 || osError == 1157) && !platform::file_exists(file) &&
                        platform::search_path(file).empty()))
    return fail(c, 1394);
  std::string text;
  switch (osError) {
    case 2: case 126: case 1157: text = message_text(851); break;
    case 31: text = message_text(852); break;
    case 127: text = message_text(853); break;
    case 193: text = message_text(854); break;
    case 1114: text = message_text(855); break;
    default: text = message_text(881) + " " + std::to_string(osError); break;
  }
  dll::notify(c, text, message_text(850));
  return fail(c, 1437);
}

int simple_request(Context& c, Extender& e, int request, void* args, int count) {
  Operand result;
  clear_operand(result);
  InfoBlock block = make_info_block(c, &result);
  const int rc = e.entry(c.ownWindow, 0, api::kEntrySignature, request, &orv_answer_callback, &block, &e.privateWord,
                         static_cast<Operand*>(args), count, &result);
  release_value(c, result);
  return rc;
}

std::string record_name(const FunctionRecord& r, bool unicode) {
  std::string name;
  if (unicode) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < sizeof r.name; i += 2) {
      char16_t u;
      std::memcpy(&u, r.name + i, 2);
      if (!u) break;
      units.push_back(u);
    }
    platform::utf16_to_ansi(units, name);
  } else {
    name.assign(r.name, strnlen(r.name, sizeof r.name));
  }
  if (name.size() > 31) name.resize(31);
  for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return name;
}

// Copies the extender's function descriptions into the shared table.
bool enumerate_functions(Context& c, int slot, Extender& e) {
  for (int i = 0;; ++i) {
    FunctionRecord r{};
    Operand result;
    clear_operand(result);
    InfoBlock block = make_info_block(c, &result);
    const int rc = e.entry(c.ownWindow, 0, api::kEntrySignature, -2, &orv_answer_callback, &block, &e.privateWord,
                           nullptr, i, reinterpret_cast<api::Value*>(&r));
    if (rc < 0) return fail(c, 1399);
    if (rc != 1) return true;
    if (c.extRecords.size() >= kMaxExtenderFunctions) return fail(c, 1396);
    const std::string name = record_name(r, e.generation == kUnicodeGeneration);
    if (name.empty()) continue;
    api::KeywordRecord k{};
    k.id = static_cast<std::uint32_t>((slot + 1) * 10000) + r.number % 10000;
    k.kind = kk::kFunction;
    k.argTypes = r.paramTypes;
    k.counts = r.counts & 0xFFFF;
    k.nameLength = static_cast<std::uint16_t>(name.size());
    std::memcpy(k.name, name.c_str(), name.size());
    c.extRecords.push_back(k);
  }
}

void remove_functions(Context& c, int slot) {
  const std::uint32_t lo = static_cast<std::uint32_t>((slot + 1) * 10000), hi = lo + 9999;
  std::erase_if(c.extRecords, [&](const api::KeywordRecord& r) { return r.id >= lo && r.id <= hi; });
  ++c.keywordGeneration;   // cached lines must look the names up again
}

void shut_down(Context& c, ExtenderTable& t, int slot) {
  Extender& e = t.slots[static_cast<std::size_t>(slot)];
  if (!e.module) return;
  if (e.entry) simple_request(c, e, -3, nullptr, 0);
  dll::free_module(e.module);
  remove_functions(c, slot);
  e = Extender{};
  --t.count;
}

void add_extender(Call& call) {
  Context& c = call.c;
  ExtenderTable& t = table_of(c);
  if (!to_string(c, call.args[1])) return;
  const std::string file = str_of(c, call.args[1]);
  const std::int32_t required = call.count >= 2 ? call.args[2].i : 0;
  if (t.count >= kExtenderSlots) { fail(c, 1393); return; }
  if (c.extRecords.size() >= kMaxExtenderFunctions) { fail(c, 1396); return; }
  std::uint32_t osError = 0;
  ModuleGuard module{dll::load_module(file, osError)};
  if (!module.module) { load_failure(c, file, osError); return; }

  int generation = 1, version = 0;
  char buffer[kQueryBuffer] = {};
  if (auto qw = reinterpret_cast<QueryFunction>(dll::find_entry(module.module, "_ORVExtenderQueryW@12", 0))) {
    version = qw(1, buffer, static_cast<int>(sizeof buffer));
    generation = qw(2, buffer, 5) + 100000;
  } else if (auto q = reinterpret_cast<QueryFunction>(dll::find_entry(module.module, "_ORVExtenderQuery@12", 0))) {
    version = q(1, buffer, static_cast<int>(sizeof buffer));
    generation = q(2, buffer, 5);
  }
  if (version < required) { fail(c, 1654); return; }
  const char* entryName = entry_name(generation);
  if (!entryName) {
    const bool known = generation >= 1 && generation <= 3;
    if (!known || dll::find_entry(module.module, generation == 1 ? "_ORVExtender@48" : "_ORVExtender2@40", 0)) {
      fail(c, 1651);
      return;
    }
    fail(c, 1395);
    return;
  }
  auto entry = reinterpret_cast<api::HostEntry>(dll::find_entry(module.module, entryName, 0));
  if (!entry) { fail(c, 1395); return; }
  for (const Extender& e : t.slots)
    if (e.module == module.module) { make_int(call.result, 1); return; }   // the guard drops the extra reference
  std::size_t slot = 0;
  while (t.slots[slot].module) ++slot;

  Extender e;
  e.module = module.module;
  e.generation = generation;
  e.entry = entry;
  e.file = file;
  char16_t initText[kInitTextUnits] = {};
  if (simple_request(c, e, -1, initText, 0) < 0) {
    std::string text;
    if (generation == kUnicodeGeneration) platform::utf16_to_ansi(initText, text);
    else text.assign(reinterpret_cast<const char*>(initText), strnlen(reinterpret_cast<const char*>(initText), 256));
    if (!text.empty()) dll::notify(c, text, message_text(850));
    fail(c, 1399);
    return;
  }
  t.slots[slot] = e;
  module.release();
  ++t.count;
  ++c.keywordGeneration;
  if (!enumerate_functions(c, static_cast<int>(slot), t.slots[slot])) return;
  make_int(call.result, 1);
}

std::string base_name(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/:");
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return name;
}

}  // namespace

void call_extender_function(Call& call) {
  Context& c = call.c;
  const api::KeywordRecord* r = keyword_record(c, call.id);
  const int slot = r ? static_cast<int>(r->id / 10000) - 1 : -1;
  if (slot < 0 || slot >= kExtenderSlots) { fail(c, 3046); return; }
  ExtenderTable& t = table_of(c);
  Extender& e = t.slots[static_cast<std::size_t>(slot)];
  if (!e.module || !e.entry) {
    dll::notify(c, message_text(864), message_text(837));
    fail(c, 3046);
    return;
  }
  call_entry(call, e.entry, static_cast<int>(r->id % 10000), &e.privateWord, &t.lastText);
}

int unload_extender(Context& c, const std::string& file) {
  ExtenderTable& t = table_of(c);
  const std::string wanted = base_name(file);
  for (int k = 0; k < kExtenderSlots; ++k) {
    if (t.slots[static_cast<std::size_t>(k)].module && base_name(t.slots[static_cast<std::size_t>(k)].file) == wanted) {
      shut_down(c, t, k);
      return 1;
    }
  }
  return 0;
}

void unload_all(Context& c, ExtenderTable& table) {
  for (int k = 0; k < kExtenderSlots; ++k)
    if (table.slots[static_cast<std::size_t>(k)].module) shut_down(c, table, k);
}

void register_extenders(HandlerTable& t) { t.add(kw::fn_addextender, add_extender); }

}  // namespace orv::ext
