#include "extend/extenders.h"

#include <algorithm>
#include <cstring>

#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/messages.h"
#include "extend/dll_groups.h"
#include "extend/dll_state.h"
#include "extend/host_call.h"
#include "extend/old_generations.h"
#include "platform/platform.h"

namespace orv::ext {
namespace {

constexpr std::size_t kInitTextUnits = 257;
constexpr std::size_t kQueryBuffer = 2049;

ExtenderTable& table_of(Context& c) { return dll::dll_state(c).extenders; }

const char* entry_name(int generation) {
  if (generation == kUnicodeGeneration) return "_ORVExtender2W@40";
  if (generation >= 2 && generation <= 5) return "_ORVExtender2@40";
  if (generation == 1) return "_ORVExtender@48";
  return nullptr;
}

std::uintptr_t word_of(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// One request to an extender's entry point under the fault guard: `data` and
// `index` are arguments 8 and 9, `record` argument 10 (a scratch result when null).
int request_words(Context& c, Extender& e, int request, void* data, int index, void* record, std::string& faultText) {
  Operand answer;
  clear_operand(answer);
  InfoBlock block = make_info_block(c, &answer);
  const std::uintptr_t words[12] = {c.ownWindow, 0, api::kEntrySignature, static_cast<std::uintptr_t>(request),
                                    word_of(answer_callback_for(e.generation)), word_of(&block),
                                    word_of(&e.privateWord), word_of(data), static_cast<std::uintptr_t>(index),
                                    word_of(record ? record : &answer), 0, 0};
  const int rc = guarded_entry(reinterpret_cast<void*>(e.entry), words, e.generation == 1 ? 12 : 10, faultText);
  release_value(c, answer);
  return rc;
}

// The query function's answer, -1 with `faultText` set when it faulted.
int query(void* fn, int request, char* buffer, int size, std::string& faultText) {
  const std::uintptr_t words[3] = {static_cast<std::uintptr_t>(request), word_of(buffer),
                                   static_cast<std::uintptr_t>(size)};
  const int rc = guarded_entry(fn, words, 3, faultText);
  return faultText.empty() ? rc : -1;
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
    return fail(c, errs::kExtenderNotFound);
  std::string text;
  switch (osError) {
    case 2: case 126: case 1157: text = message_text(errs::kExtenderNeedsDll); break;
    case 31: text = message_text(errs::kExtenderDeviceFailed); break;
    case 127: text = message_text(errs::kExtenderNeedsEntry); break;
    case 193: text = message_text(errs::kExtenderNotADll); break;
    case 1114: text = message_text(errs::kExtenderStartFailed); break;
    default: text = message_text(errs::kWindowsApiErrorCode) + " " + std::to_string(osError); break;
  }
  dll::notify(c, text, message_text(errs::kExtenderLoadTitle));
  return fail(c, errs::kExtenderLoadFailed);
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

// Asks for the description of function i; the generation-1 record is widened
// to the common one (its functions take five plain arguments).
int describe(Context& c, Extender& e, int i, FunctionRecord& r, std::string& faultText) {
  if (e.generation != 1) return request_words(c, e, -2, nullptr, i, &r, faultText);
  Generation1Record old{};
  const int rc = request_words(c, e, 98, &old, i, nullptr, faultText);
  r.number = old.number;
  r.kind = old.kind;
  r.paramTypes = 0x11111;
  r.reserved = 0;
  r.counts = old.counts;
  r.flags = old.flags;
  std::memcpy(r.name, old.name, sizeof r.name);
  return rc;
}

// Copies the extender's function descriptions into the shared table.
bool enumerate_functions(Context& c, int slot, Extender& e) {
  for (int i = 0;; ++i) {
    FunctionRecord r{};
    std::string faultText;
    const int rc = describe(c, e, i, r, faultText);
    if (rc < 0) return fail(c, errs::kExtenderRefusedLoad, faultText);
    if (rc != 1) return true;
    if (c.extRecords.size() >= kMaxExtenderFunctions) return fail(c, errs::kExtenderTableFull);
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
    table_of(c).names.insert(c.extRecords, c.extRecords.size() - 1);
  }
}

void remove_functions(Context& c, int slot) {
  const std::uint32_t lo = static_cast<std::uint32_t>((slot + 1) * 10000), hi = lo + 9999;
  std::erase_if(c.extRecords, [&](const api::KeywordRecord& r) { return r.id >= lo && r.id <= hi; });
  table_of(c).names.rebuild(c.extRecords);
  ++c.keywordGeneration;   // cached lines must look the names up again
}

void shut_down(Context& c, ExtenderTable& t, int slot) {
  Extender& e = t.slots[static_cast<std::size_t>(slot)];
  if (!e.module) return;
  std::string faultText;   // a fault while shutting down still frees the extender
  if (e.entry) request_words(c, e, e.generation == 1 ? 99 : -3, nullptr, 0, nullptr, faultText);
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
  if (t.count >= kExtenderSlots) { fail(c, errs::kTooManyExtenders); return; }
  if (c.extRecords.size() >= kMaxExtenderFunctions) { fail(c, errs::kExtenderTableFull); return; }
  std::uint32_t osError = 0;
  ModuleGuard module{dll::load_module(file, osError)};
  if (!module.module) { load_failure(c, file, osError); return; }

  int generation = 1, version = 0;
  char buffer[kQueryBuffer] = {};
  std::string faultText;
  if (void* qw = dll::find_entry(module.module, "_ORVExtenderQueryW@12", 0)) {
    version = query(qw, 1, buffer, static_cast<int>(sizeof buffer), faultText);
    generation = query(qw, 2, buffer, 5, faultText) + 100000;
  } else if (void* q = dll::find_entry(module.module, "_ORVExtenderQuery@12", 0)) {
    version = query(q, 1, buffer, static_cast<int>(sizeof buffer), faultText);
    generation = query(q, 2, buffer, 5, faultText);
  }
  if (!faultText.empty()) { fail(c, errs::kExtenderRefusedLoad, faultText); return; }
  if (version < required) { fail(c, errs::kExtenderVersionTooLow); return; }
  const char* entryName = entry_name(generation);
  if (!entryName) { fail(c, errs::kExtenderVersionUnsupported); return; }
  auto entry = reinterpret_cast<api::HostEntry>(dll::find_entry(module.module, entryName, 0));
  if (!entry) { fail(c, errs::kNotAnExtender); return; }
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
  if (generation >= 2 && request_words(c, e, -1, initText, 0, nullptr, faultText) < 0) {
    std::string text = faultText;   // a fault says more than whatever was written
    if (faultText.empty() && generation == kUnicodeGeneration) platform::utf16_to_ansi(initText, text);
    else if (faultText.empty()) text.assign(reinterpret_cast<const char*>(initText), strnlen(reinterpret_cast<const char*>(initText), 256));
    if (!text.empty()) dll::notify(c, text, message_text(errs::kExtenderLoadTitle));
    fail(c, errs::kExtenderRefusedLoad, text);
    return;
  }
  t.slots[slot] = e;
  module.release();
  ++t.count;
  ++c.keywordGeneration;
  if (!enumerate_functions(c, static_cast<int>(slot), t.slots[slot])) {
    // A failed load leaves nothing behind: the names it got so far go too.
    shut_down(c, t, static_cast<int>(slot));
    return;
  }
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
  if (slot < 0 || slot >= kExtenderSlots) { fail(c, errs::kFunctionNotDefined); return; }
  ExtenderTable& t = table_of(c);
  Extender& e = t.slots[static_cast<std::size_t>(slot)];
  if (!e.module || !e.entry) {
    dll::notify(c, message_text(errs::kExtenderEntry3Unreachable), message_text(errs::kInternalError));
    fail(c, errs::kFunctionNotDefined);
    return;
  }
  const int function = static_cast<int>(r->id % 10000);
  if (e.generation <= 3) call_old_generation(call, e, function, &t.lastText);
  else call_entry(call, e.entry, function, &e.privateWord, &t.lastText);
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
