// Fuzz target: the map store against a plain model. Bytes become inserts,
// removals, lookups and loop walks with keys of mixed case (and some
// non-ASCII units); after every step the store must agree with the model on
// the keys, their values and their order, and a walk by insertion position
// must see exactly the live keys once each. Keys are also made from 8-bit
// text the quick way, which must agree, and serve as often as the others.
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/map_store.h"

using namespace orv;

namespace {

struct ModelEntry {
  std::u16string folded;
  std::u16string spelling;   // as first inserted
  std::int32_t value;
};

[[noreturn]] void disagree() { std::abort(); }

std::int32_t* model_find(std::vector<ModelEntry>& model, const std::u16string& folded) {
  for (ModelEntry& e : model)
    if (e.folded == folded) return &e.value;
  return nullptr;
}

void check_order(const MapStore& store, const std::vector<ModelEntry>& model) {
  if (store.size() != model.size()) disagree();
  std::size_t k = 0;
  store.for_each([&](const MapStore::Entry& e) {
    if (k >= model.size() || store.folded_of(e) != model[k].folded || store.spelling_of(e) != model[k].spelling ||
        e.value.i != model[k].value)
      disagree();
    ++k;
  });
  std::uint32_t position = 0;
  k = 0;
  while (const MapStore::Entry* e = store.at_or_after(position)) {
    if (k >= model.size() || store.folded_of(*e) != model[k].folded) disagree();
    position = e->seq + 1;
    ++k;
  }
  if (k != model.size()) disagree();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char16_t kUnits[] = u"aAbBcC\u00e9\u00c9\u0416\u0436 _";
  MapStore store;
  std::vector<ModelEntry> model;
  std::int32_t counter = 0;
  std::size_t at = 0;
  while (at < size) {
    const std::uint8_t op = data[at++];
    MapKey key;
    const std::size_t length = (op >> 2) & 7;
    for (std::size_t k = 0; k < length && at < size; ++k) key.spelling += kUnits[data[at++] % 12];
    prepare_map_key(key);
    // A key given as 8-bit text comes out the same in one pass, or is
    // refused when any unit is past ASCII.
    std::string narrow;
    bool ascii = true;
    for (char16_t u : key.spelling) {
      ascii = ascii && u < 0x80;
      narrow += static_cast<char>(u < 0x80 ? u : 0x80 | (u & 0x7F));   // a unit past ASCII stays past it
    }
    MapKey quick;
    const bool made = prepare_ascii_map_key(narrow, quick);
    if (made != ascii || (made && (quick.spelling_text() != key.spelling || quick.folded_text() != key.folded ||
                                   quick.hash != key.hash)))
      disagree();
    // Either form of a key must find what the other stored.
    const MapKey& used = made && (op & 0x20) ? quick : key;
    switch (op & 3) {
      case 0: {
        bool inserted = false;
        Value& v = store.insert(used, inserted);
        if (inserted != (model_find(model, key.folded) == nullptr)) disagree();
        v.flags = vf::kInt;
        v.i = ++counter;
        if (std::int32_t* m = model_find(model, key.folded)) *m = counter;
        else model.push_back({key.folded, key.spelling, counter});
        break;
      }
      case 1: {
        Value removed{};
        const bool gone = store.erase(used, removed);
        std::size_t k = 0;
        while (k < model.size() && model[k].folded != key.folded) ++k;
        if (gone != (k < model.size())) disagree();
        if (gone) {
          if (removed.i != model[k].value) disagree();
          model.erase(model.begin() + static_cast<std::ptrdiff_t>(k));
        }
        break;
      }
      case 2: {
        const Value* v = store.find(used);
        const std::int32_t* m = model_find(model, key.folded);
        if ((v == nullptr) != (m == nullptr) || (v && v->i != *m)) disagree();
        break;
      }
      default:
        check_order(store, model);
        break;
    }
  }
  check_order(store, model);
  return 0;
}
