// The element order of ArraySort and ArraySearch, and sorting and binary
// searching through the built-ins.
#include <algorithm>
#include <random>

#include "builtins/arrays/element_order.h"
#include "engine/arrays.h"
#include "engine/keywords.h"
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

using arrays::Order;
using arrays::OrderKey;

class ArraySort : public EngineTest {
 protected:
  // Values of every kind that compares, with texts that read as numbers.
  std::vector<Value> samples() {
    std::vector<Value> v;
    auto add_int = [&](std::int32_t i) { Value x{}; make_int(x, i); v.push_back(x); };
    auto add_float = [&](double f) { Value x{}; make_float(x, f); v.push_back(x); };
    auto add_str = [&](const char* s) { Value x{}; make_string(c, x, s); v.push_back(x); };
    auto add_wide = [&](const char16_t* s) { Value x{}; make_wstring(c, x, s); v.push_back(x); };
    add_int(-3); add_int(0); add_int(7); add_int(10); add_int(123456789);
    Value big{};
    make_int64(big, 5000000000LL);
    v.push_back(big);
    add_float(1.5); add_float(-0.25); add_float(7.0);
    for (const char* s : {"", "7", " 7", "10", "9", "1.5", "abc", "ABC", "abd", "12345678901", "-12345678901",
                          "99999999999999999999999", "100000000000000000000000", "1e3", "7abc", "b", "--5"})
      add_str(s);
    for (const char16_t* s : {u"abc", u"Abd", u"8", u"\u00E9t\u00E9", u"2.5"}) add_wide(s);
    return v;
  }

  void release(std::vector<Value>& vs) {
    for (Value& x : vs) release_value(c, x);
  }

  // The "<" or ">" operator on copies of two values.
  bool op(int which, const Value& a, const Value& b) {
    Temp l(c), r(c);
    EXPECT_TRUE(copy_value(c, a, l.op()) && copy_value(c, b, r.op()));
    EXPECT_TRUE(combine_comparison(c, which, l.op(), r.op(), false)) << c.error;
    return l->i != 0;
  }

  // An array variable of n elements, filled by fill(k, element).
  template <class Fill>
  Value* make_array(const std::string& name, std::uint32_t n, Fill fill) {
    EXPECT_EQ(eval(name + " = ArrDimension(" + std::to_string(n) + ")"), "0");
    const std::uint16_t slot = find_var(c, name, false);
    Value* els = c.arrays.elements(c.slots[slot].v.str);
    for (std::uint32_t k = 0; k < n; ++k) fill(k, els[k]);
    return els;
  }
};

TEST_F(ArraySort, NaturalKeysAgreeWithTheComparisonOperators) {
  auto vs = samples();
  std::vector<OrderKey> keys(vs.size());
  for (std::size_t i = 0; i < vs.size(); ++i) {
    ASSERT_TRUE(arrays::make_key(c, vs[i], Order::natural, keys[i]));
    ASSERT_TRUE(arrays::add_wide(keys[i]));
  }
  for (std::size_t i = 0; i < vs.size(); ++i)
    for (std::size_t j = 0; j < vs.size(); ++j) {
      const int r = arrays::compare_keys(keys[i], keys[j], Order::natural, false);
      EXPECT_EQ(r < 0, op(id::kLt, vs[i], vs[j])) << i << " < " << j;
      EXPECT_EQ(r > 0, op(id::kGt, vs[i], vs[j])) << i << " > " << j;
    }
  release(vs);
}

TEST_F(ArraySort, TextOrders) {
  auto key = [&](const Value& v, Order o) {
    OrderKey k;
    EXPECT_TRUE(arrays::make_key(c, v, o, k));
    return k;
  };
  Value a{}, b{}, n{};
  make_string(c, a, "file10");
  make_wstring(c, b, u"File9");
  make_int(n, 100);
  // Plain unit order: upper case first, digits by character.
  EXPECT_GT(arrays::compare_keys(key(a, Order::ordinal), key(b, Order::ordinal), Order::ordinal, false), 0);
  EXPECT_LT(arrays::compare_keys(key(n, Order::ordinal), key(b, Order::ordinal), Order::ordinal, false), 0);
  // Logical order: digit runs by value, case ignored.
  EXPECT_GT(arrays::compare_keys(key(a, Order::logical), key(b, Order::logical), Order::logical, false), 0);
  release_value(c, a);
  release_value(c, b);
}

TEST_F(ArraySort, SortsLargeArraysStablyInBothDirections) {
  std::mt19937 rng(7);
  constexpr std::uint32_t kRows = 20000;
  std::vector<std::int32_t> values(kRows);
  for (auto& v : values) v = static_cast<std::int32_t>(rng() % 500);
  // Column 0 holds the key, column 1 the original row: stability shows there.
  ASSERT_EQ(eval("t = ArrDimension(" + std::to_string(kRows) + ", 2)"), "0");
  Value* els = c.arrays.elements(c.slots[find_var(c, "t", false)].v.str);
  for (std::uint32_t r = 0; r < kRows; ++r) {
    make_int(els[2 * r], values[r]);
    make_int(els[2 * r + 1], static_cast<std::int32_t>(r));
  }
  ASSERT_EQ(eval("ArraySort(t)"), "1");
  for (std::uint32_t r = 1; r < kRows; ++r) {
    ASSERT_LE(els[2 * (r - 1)].i, els[2 * r].i);
    if (els[2 * (r - 1)].i == els[2 * r].i) {
      ASSERT_LT(els[2 * (r - 1) + 1].i, els[2 * r + 1].i);
    }
  }
  ASSERT_EQ(eval("ArraySort(t, 16)"), "1");
  for (std::uint32_t r = 1; r < kRows; ++r) {
    ASSERT_GE(els[2 * (r - 1)].i, els[2 * r].i);
    if (els[2 * (r - 1)].i == els[2 * r].i) {
      ASSERT_LT(els[2 * (r - 1) + 1].i, els[2 * r + 1].i);
    }
  }
  std::vector<std::int32_t> got;
  for (std::uint32_t r = 0; r < kRows; ++r) got.push_back(els[2 * r].i);
  std::sort(values.begin(), values.end(), std::greater<>());
  EXPECT_EQ(got, values);
}

TEST_F(ArraySort, FailingComparisonLeavesTheArrayAlone) {
  Value* els = make_array("u", 6, [&](std::uint32_t k, Value& el) {
    if (k != 4) make_int(el, static_cast<std::int32_t>(10 - k));
  });
  EXPECT_EQ(eval("ArraySort(u)"), "error 1640");
  for (std::uint32_t k = 0; k < 6; ++k)
    if (k != 4) {
      EXPECT_EQ(els[k].i, static_cast<std::int32_t>(10 - k));
    }
  EXPECT_FALSE(is_assigned(els[4]));
  // Outside the sorted range the hole does not matter.
  EXPECT_EQ(eval("ArraySort(u, 0, 0, 0, 3)"), "1");
  EXPECT_EQ(els[0].i, 7);
  EXPECT_EQ(els[3].i, 10);
  // The text orders read it as an empty text.
  EXPECT_EQ(eval("ArraySort(u, 8)"), "1");
  EXPECT_FALSE(is_assigned(els[0]));
  c.arrays.header(c.slots[find_var(c, "u", false)].v.str)->flags |= kArrayFixedShape;
  EXPECT_EQ(eval("ArraySort(u, 8)"), "error 1637");
  EXPECT_EQ(eval("ArraySearch(u, 1)"), "error 1637");
}

TEST_F(ArraySort, BinarySearchFindsTheFirstOfEqualRows) {
  constexpr std::uint32_t kRows = 301;
  std::vector<std::int32_t> sorted(kRows);
  for (std::uint32_t k = 0; k < kRows; ++k) sorted[k] = static_cast<std::int32_t>(k / 3 * 2);   // 0 0 0 2 2 2 ...
  make_array("s", kRows, [&](std::uint32_t k, Value& el) { make_int(el, sorted[k]); });
  for (std::int32_t want = -1; want <= sorted.back() + 1; ++want) {
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), want);
    const std::int32_t expect = at != sorted.end() && *at == want ? static_cast<std::int32_t>(at - sorted.begin()) : -1;
    EXPECT_EQ(eval("ArraySearch(s, " + std::to_string(want) + ", 1)"), std::to_string(expect)) << want;
    EXPECT_EQ(eval("ArraySearch(s, " + std::to_string(want) + ")"), std::to_string(expect)) << want;
  }
  // Inside a sub-range only.
  EXPECT_EQ(eval("ArraySearch(s, 2, 1, 0, 0, 2)"), "-1");
  EXPECT_EQ(eval("ArraySearch(s, 0, 1, 0, 2)"), "2");
  EXPECT_EQ(eval("ArraySearch(s, 2, 1, 0, 4, 10)"), "4");
  // Numeric texts find numbers; an uninitialised probe fails.
  EXPECT_EQ(eval("ArraySearch(s, '10', 1)"), "15");
  release_value(c, c.arrays.elements(c.slots[find_var(c, "s", false)].v.str)[150]);
  EXPECT_EQ(eval("ArraySearch(s, 100, 1)"), "error 1640");
}

// Whole numbers beside floats and numeric texts in one sorted column, and
// probes of each kind: every search agrees with the comparison operators.
TEST_F(ArraySort, SearchesOfMixedNumbersAgreeWithTheOperators) {
  std::vector<Value> column;
  auto add = [&](auto make) { Value x{}; make(x); column.push_back(x); };
  add([](Value& x) { make_int(x, INT32_MIN); });
  add([](Value& x) { make_float(x, -2.5); });
  add([](Value& x) { make_int(x, -2); });
  add([&](Value& x) { make_string(c, x, "-2"); });
  add([](Value& x) { make_float(x, 0.0); });
  add([](Value& x) { make_int(x, 0); });
  add([](Value& x) { make_int(x, 3); });
  add([&](Value& x) { make_string(c, x, "3.5"); });
  add([](Value& x) { make_float(x, 4.0); });
  add([](Value& x) { make_int(x, 4); });
  add([](Value& x) { make_int(x, INT32_MAX); });
  const auto n = static_cast<std::uint32_t>(column.size());
  make_array("m", n, [&](std::uint32_t k, Value& el) { copy_value(c, column[k], el); });
  const std::vector<std::string> probes = {"-2147483648", "-3", "-2.5", "-2", "'-2'", "0", "0.0", "1", "3", "3.5",
                                           "'3.5'", "4", "4.0", "'4'", "5", "2147483647"};
  for (const std::string& probe : probes) {
    ASSERT_EQ(eval("p = " + probe), "0") << probe;
    const Value& want = c.slots[find_var(c, "p", false)].v;
    std::int32_t first = -1, sorted = -1;
    for (std::uint32_t k = 0; k < n && first < 0; ++k)
      if (op(id::kEq, column[k], want)) first = static_cast<std::int32_t>(k);
    std::uint32_t lo = 0;
    while (lo < n && op(id::kLt, column[lo], want)) ++lo;
    if (lo < n && !op(id::kGt, column[lo], want)) sorted = static_cast<std::int32_t>(lo);
    EXPECT_EQ(eval("ArraySearch(m, p)"), std::to_string(first)) << probe;
    EXPECT_EQ(eval("ArraySearch(m, p, 1)"), std::to_string(sorted)) << probe;
  }
  release(column);
}

TEST_F(ArraySort, BinarySearchInTextOrders) {
  const std::vector<std::u16string> words = {u"a1", u"A2", u"a10", u"b", u"B3", u"b20", u"c"};
  make_array("w", static_cast<std::uint32_t>(words.size()),
             [&](std::uint32_t k, Value& el) { make_wstring(c, el, words[k]); });
  EXPECT_EQ(eval("ArraySearch(w, 'A10', 4)"), "2");
  EXPECT_EQ(eval("ArraySearch(w, 'b3', 4)"), "4");
  EXPECT_EQ(eval("ArraySearch(w, 'b4', 4)"), "-1");
  EXPECT_EQ(eval("ArraySort(w, 8)"), "1");
  // Plain unit order: A2, B3, a1, a10, b, b20, c.
  EXPECT_EQ(eval("ArraySearch(w, 'a10', 8)"), "3");
  EXPECT_EQ(eval("ArraySearch(w, 'A10', 8)"), "-1");
  EXPECT_EQ(eval("ArraySearch(w, 'c', 8)"), "6");
  EXPECT_EQ(eval("ArraySearch(w, 'a10', 10)"), "error 1836");
}

}  // namespace
}  // namespace orv::test
