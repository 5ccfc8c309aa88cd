// The orders in which ArraySort and ArraySearch compare elements. The natural
// order is the one of the "<" operator; keys hold each element's readings
// once, so that a sort compares without converting again.
#pragma once
#include <cstdint>
#include <string>

#include "engine/context.h"

namespace orv::arrays {

enum class Order { natural, logical, ordinal };

// The option bits that choose the text order, the same for sorting and searching.
constexpr std::int32_t kLogical = 4, kOrdinal = 8;

struct OrderKey {
  enum class Kind : std::uint8_t { number, text } kind = Kind::number;
  // Numbers: the value as the arithmetic sees it.
  bool isFloat = false;
  std::int64_t i = 0;
  double f = 0.0;
  // Texts: the numeric reading that comparisons give a string.
  bool textInt = false, textFloat = false, longText = false;
  std::int64_t ti = 0;
  double tf = 0.0;
  bool hasWide = false;   // the value carries a UTF-16 form
  std::string text;       // the value's text (natural order)
  std::u16string wide;    // its UTF-16 form (logical and ordinal orders; natural when needed)
};

// Prepares an assigned element or value for comparison in the given order;
// false with the error set (3057 for a kind that does not compare, 3056,
// 3820, 1599). Natural keys get their UTF-16 form only from add_wide.
// `numberText`: a number's key also gets its text, which only a comparison
// with a text needs (callers that know none comes may leave it out).
bool make_key(Context& c, const Value& v, Order order, OrderKey& key, bool numberText = true);
// Gives a number's key its text afterwards.
bool add_number_text(Context& c, const Value& v, OrderKey& key);
// Adds the UTF-16 form to a natural key (needed once any compared key is wide).
bool add_wide(OrderKey& key);

// <0, 0 or >0 as the order ranks a against b.
int compare_keys(const OrderKey& a, const OrderKey& b, Order order, bool ignoreCase);

}  // namespace orv::arrays
