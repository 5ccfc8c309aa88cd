#include "extend/old_generations.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/convert.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "extend/extenders.h"
#include "extend/host_call.h"

namespace orv::ext {
namespace {

std::uintptr_t word_of(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }
std::uint32_t text_word(const char* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }
const char* text_at(std::uint32_t word) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(word)); }

// Hands a value made from an old-style answer to the generation-4 callback,
// which stores it (or the error text) the same way for every generation.
int forward(int rc, void* info, Value& v) {
  auto* block = static_cast<InfoBlock*>(info);
  if (!block || !block->owner) return -4;
  const int result = orv_answer_callback(rc, 0, info, &v);
  release_value(*block->owner, v);
  return result;
}

// Generation 1: (return code, reserved, block, kind, integer, text); kind 0 is
// the integer, 2 a float written as text, anything else the text itself.
int ORV_CALL answer_generation1(int rc, api::Word, void* info, int kind, std::int32_t integer, const char* text) {
  auto* block = static_cast<InfoBlock*>(info);
  if (!block || !block->owner) return -4;
  Context& c = *block->owner;
  Value v{};
  if (kind == 0 && rc >= 0) make_int(v, integer);
  else if (kind == 2 && rc >= 0) make_float(v, text ? std::strtod(text, nullptr) : 0.0);
  else if (!make_string(c, v, text ? text : "")) return -4;
  return forward(rc, info, v);
}

// A slot's value as an interpreter value; false when the type is unknown.
bool slot_value(Context& c, const ValueSlot& s, Value& v) {
  switch (s.type & 0xFF) {
    case 1: make_int(v, s.i); return true;
    case 32: make_float(v, s.f); return true;
    case 2: return make_string(c, v, s.text ? text_at(s.text) : "");
    default: return false;
  }
}

// Generations 2 and 3: the answer is one 20-byte value passed by value.
int ORV_CALL answer_slot(int rc, api::Word, void* info, ValueSlot value) {
  auto* block = static_cast<InfoBlock*>(info);
  if (!block || !block->owner) return -4;
  Value v{};
  if (!slot_value(*block->owner, value, v)) return -4;
  return forward(rc, info, v);
}

// Builds the words of one entry call: ten for generations 2 and 3, twelve for 1.
int call_words(Context& c, Extender& e, int request, InfoBlock& block, std::uintptr_t data, int index,
               std::uintptr_t result, std::string& faultText) {
  std::uintptr_t w[12] = {c.ownWindow, 0, api::kEntrySignature, static_cast<std::uintptr_t>(request),
                          word_of(answer_callback_for(e.generation)), word_of(&block), word_of(&e.privateWord), data,
                          static_cast<std::uintptr_t>(index), result, 0, 0};
  return guarded_entry(reinterpret_cast<void*>(e.entry), w, e.generation == 1 ? 12 : 10, faultText);
}

// After a call, a slot the extender marked writes its value back into the
// argument's variable (arguments that are not variables have nowhere to go).
bool copy_back(Context& c, const ValueSlot& s, const Operand& arg) {
  if (!(s.type & kByReference) || arg.slot == limits::kNoSlot || arg.frame != c.level || arg.slot >= c.hwm) return true;
  Value v{};
  if (!slot_value(c, s, v)) return true;
  return store_in_slot(c, arg.slot, v);
}

}  // namespace

void* answer_callback_for(int generation) {
  if (generation == 1) return reinterpret_cast<void*>(&answer_generation1);
  if (generation <= 3) return reinterpret_cast<void*>(&answer_slot);
  return reinterpret_cast<void*>(&orv_answer_callback);
}

void call_old_generation(Call& call, Extender& e, int function, std::string* lastText) {
  Context& c = call.c;
  std::string text, faultText;
  InfoBlock block = make_info_block(c, &call.result);
  block.errorText = &text;
  int rc = 0;
  if (e.generation == 1) {
    Generation1Slot slots[kGeneration1Args] = {};
    const int count = call.count < kGeneration1Args ? call.count : kGeneration1Args;
    // Every text is made before any address is taken: a conversion may move the heap.
    for (int k = 0; k < count; ++k)
      if (!to_string(c, call.args[static_cast<std::size_t>(k) + 1])) return;
    for (int k = 0; k < kGeneration1Args; ++k) {
      const char* text = k < count ? str_of(c, call.args[static_cast<std::size_t>(k) + 1]) : "";
      slots[k].type = 2;
      slots[k].text = text_word(text);
      slots[k].length = static_cast<std::uint32_t>(std::strlen(text));
    }
    rc = call_words(c, e, function, block, word_of(slots), count, word_of(&call.result), faultText);
  } else {
    ValueSlot slots[kSlotArgs] = {};
    const int count = call.count < kSlotArgs ? call.count : kSlotArgs;
    for (int k = 0; k < count; ++k) {
      Operand& a = call.args[static_cast<std::size_t>(k) + 1];
      ValueSlot& s = slots[k];
      if (a.flags & vf::kInt) { s.type = 1; s.i = a.i; }
      else if (a.flags & vf::kFloat) { s.type = 32; s.f = a.wide.f; }
      else if (!to_string(c, a)) return;
      else s.type = 2;
    }
    for (int k = 0; k < count; ++k)   // addresses last: a conversion may move the heap
      if (slots[k].type == 2) slots[k].text = text_word(str_of(c, call.args[static_cast<std::size_t>(k) + 1]));
    rc = call_words(c, e, function, block, word_of(slots), count, word_of(&call.result), faultText);
    if (faultText.empty())
      for (int k = 0; k < count; ++k)
        if (!copy_back(c, slots[k], call.args[static_cast<std::size_t>(k) + 1])) return;
  }
  finish_call(call, rc, faultText.empty() ? text : faultText, lastText);
}

}  // namespace orv::ext
