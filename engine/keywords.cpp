#include "engine/keywords.h"

#include <array>
#include <cstring>
#include "engine/keyword_table.h"
#include "engine/value_ops.h"
#include "engine/extender_hooks.h"
#include "platform/platform.h"

namespace orv {
namespace {

bool is_word_char(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '@' ||
         ch == '_';
}
char lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

// For each ASCII code, the first record whose name starts with that code or a
// later one; the records of code ch are [index[ch], index[ch + 1]).
struct FirstCharIndex {
  std::array<int, 129> start{};
  FirstCharIndex() {
    int pos = 0;
    for (int ch = 0; ch < 128; ++ch) {
      while (pos < kKeywordCount && static_cast<unsigned char>(kKeywords[pos].name[0]) < ch) ++pos;
      start[static_cast<std::size_t>(ch)] = pos;
    }
    start[128] = pos;
    for (int i = 0; i < kKeywordCount; ++i) {
      if (i > 0 && static_cast<unsigned char>(kKeywords[i].name[0]) < static_cast<unsigned char>(kKeywords[i - 1].name[0]))
        platform::message_box(kKeywords[i].name, "FSOP782", platform::mb_ok);
      if (kKeywords[i].id != static_cast<std::uint32_t>(i))
        platform::message_box(kKeywords[i].name, "FNP983", platform::mb_ok);
    }
  }
};

const FirstCharIndex& first_char_index() {
  static const FirstCharIndex index;
  return index;
}

int compare_names(const char* a, std::size_t alen, const char* b, std::size_t blen) {
  int r = std::memcmp(a, b, std::min(alen, blen));
  if (r != 0) return r;
  return alen < blen ? -1 : alen > blen ? 1 : 0;
}

// Longest whole-word match of a linear table of records (user-defined, host).
int match_table(const std::vector<api::KeywordRecord>& table, const char* word, std::size_t len, int base) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    const auto& r = table[i];
    if (r.nameLength == len && std::memcmp(r.name, word, len) == 0) return base + static_cast<int>(i);
  }
  return kNotAKeyword;
}

}  // namespace

const api::KeywordRecord* keyword_record_beyond(const Context& c, int id) {
  if (id >= kParentStart && id <= kParentEnd && id - kParentStart < c.hostCount) return &c.hostTable[id - kParentStart];
  if (id >= kUdfStart && id <= kUdfEnd && static_cast<std::size_t>(id - kUdfStart) < c.udfRecords.size())
    return &c.udfRecords[static_cast<std::size_t>(id - kUdfStart)];
  if (id >= kAddonStart && id <= kAddonEnd && static_cast<std::size_t>(id - kAddonStart) < c.extRecords.size())
    return &c.extRecords[static_cast<std::size_t>(id - kAddonStart)];
  return nullptr;
}

bool is_function_id(const Context& c, int id) {
  if (id >= kParentStart) return keyword_record(c, id) != nullptr;
  std::uint32_t kind = keyword_kind(c, id);
  return kind == kk::kFunction || kind == kk::kSpecial;
}

int lookup_identifier(Context& c, const char* text, std::size_t& length) {
  char word[limits::kNameMax + 2];
  std::size_t len = 0;
  while (is_word_char(text[len])) {
    if (len <= limits::kNameMax) word[len] = lower(text[len]);
    ++len;
  }
  if (len > limits::kNameMax) return kNotAKeyword;
  word[len] = '\0';
  length = len;
  if (text[len] == '.') {
    std::size_t n = len;
    while (is_word_char(text[n]) || text[n] == '.') ++n;
    length = n;
    return id::kOleObject;
  }
  const auto& index = first_char_index();
  auto first = static_cast<unsigned char>(word[0]);
  if (first < 128) {
    int lo = index.start[first], hi = index.start[first + 1u] - 1;
    while (lo <= hi) {
      int mid = (lo + hi) / 2;
      const auto& r = kKeywords[mid];
      int cmp = compare_names(word, len, r.name, r.nameLength);
      if (cmp == 0) {
        if (mid == id::kMod && text[len] == '=') { length = len + 1; return id::kModEq; }
        return mid;
      }
      if (cmp < 0) hi = mid - 1;
      else lo = mid + 1;
    }
  }
  int found = match_table(c.udfRecords, word, len, kUdfStart);
  if (found != kNotAKeyword) return found;
  found = ext::find_extender_function(c, word, len);
  if (found >= 0) return kAddonStart + found;
  for (int i = 0; i < c.hostCount; ++i) {
    const auto& r = c.hostTable[i];
    if (r.nameLength == len && std::memcmp(r.name, word, len) == 0) return kParentStart + i;
  }
  return kNotAKeyword;
}

int lookup_operator(Context&, const char* text, std::size_t& length) {
  auto first = static_cast<unsigned char>(text[0]);
  if (first >= 128 || first == 0) return kNotAKeyword;
  const auto& index = first_char_index();
  int best = kNotAKeyword;
  std::size_t bestLen = 0;
  for (int i = index.start[first]; i < index.start[first + 1u]; ++i) {
    const auto& r = kKeywords[i];
    std::size_t n = r.nameLength;
    if (n > bestLen && std::strncmp(r.name, text, n) == 0) {
      best = i;
      bestLen = n;
    }
  }
  length = bestLen;
  return best;
}

bool constant_value(std::uint32_t word, Value& out, Context& c) {
  if (is_float_constant_word(word)) {
    int n = constant_number(word);
    make_float(out, n < kFloatConstantCount ? kFloatConstants[n] : 0.0);
    return true;
  }
  if (is_string_constant_word(word)) {
    int n = constant_number(word);
    return make_string(c, out, n < kStringConstantCount ? kStringConstants[n] : std::string_view());
  }
  make_int(out, static_cast<std::int32_t>(word));
  return true;
}

}  // namespace orv
