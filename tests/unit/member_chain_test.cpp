// Members of array elements, map values and variables reached through a
// pointer: the grammar hands "a[i].m", "m[k].m" and "*p.m" to the member
// chain (which the native build refuses with 3472) after the element or
// the pointer has been checked, and leaves every other use alone.
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

constexpr const char* kRefused = "error 3472";

class MemberChainTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_EQ(eval("a = ArrDimension(3)"), "0");
    ASSERT_EQ(eval("a[0] = 5"), "0");
  }
};

TEST_F(MemberChainTest, ElementMembersReachTheChainInEveryForm) {
  EXPECT_EQ(eval("a[0].name"), kRefused);
  EXPECT_EQ(eval("a[0].first.second"), kRefused);
  EXPECT_EQ(eval("a[0].call(1, 2).more"), kRefused);
  EXPECT_EQ(eval("x = a[0].name"), kRefused);
  EXPECT_EQ(eval("a[0].name = 3"), kRefused);
  EXPECT_EQ(eval("a[1 + 1 - 2].name : \"!\""), kRefused);
  EXPECT_EQ(eval("a[0]"), "5");   // a refused assignment leaves the element alone
}

TEST_F(MemberChainTest, TheElementIsCheckedBeforeTheChain) {
  EXPECT_EQ(eval("a[3].name"), "error 1636");
  EXPECT_EQ(eval("a[1].name"), "error 1640");
  EXPECT_EQ(eval("a[0, 0].name"), "error 1635");
  EXPECT_EQ(eval("a[0].name = nosuch"), kRefused);
}

TEST_F(MemberChainTest, ElementsWithoutMembersReadAsBefore) {
  EXPECT_EQ(eval("a[0] + 1"), "6");
  EXPECT_EQ(eval("a[0]*2"), "10");
  EXPECT_EQ(eval("a[0] : \".x\""), "5.x");
  EXPECT_EQ(eval("a[0] .name"), "error 3054");   // a period apart from "]" is no member
  EXPECT_EQ(eval("a[0].5"), "leftover");   // a number after the element, not a member
  EXPECT_EQ(eval("a[0] = a[0] + 1"), "0");
  EXPECT_EQ(eval("a[0]"), "6");
}

TEST_F(MemberChainTest, MapValueMembersReachTheChain) {
  ASSERT_EQ(eval("m = MapCreate()"), "0");
  ASSERT_EQ(eval("m[\"k\"] = 1"), "0");
  EXPECT_EQ(eval("m[\"k\"].name"), kRefused);
  EXPECT_EQ(eval("m[\"K\"].name.other(1)"), kRefused);
  const std::string missing = eval("m[\"none\"]");
  EXPECT_NE(missing.rfind("error ", 0), std::string::npos);
  EXPECT_EQ(eval("m[\"none\"].name"), missing);   // the missing key is reported, not the chain
  EXPECT_EQ(eval("m[\"k\"]"), "1");
}

TEST_F(MemberChainTest, PointerMembersReachTheChainAfterThePointerIsChecked) {
  ASSERT_EQ(eval("v = 7"), "0");
  ASSERT_EQ(eval("p = &v"), "0");
  EXPECT_EQ(eval("*p"), "7");
  EXPECT_EQ(eval("*p.name"), kRefused);
  EXPECT_EQ(eval("*p.first.second(1)"), kRefused);
  EXPECT_EQ(eval("x = *p.name"), kRefused);
  EXPECT_EQ(eval("*p.name = 1"), kRefused);
  EXPECT_EQ(eval("*p"), "7");
  ASSERT_EQ(eval("q = 5"), "0");
  EXPECT_EQ(eval("*q.name"), "error 3813");
  EXPECT_EQ(eval("*r.name"), "error 3051");   // the dotted word declares no variable r
  ASSERT_EQ(eval("w = 1"), "0");
  ASSERT_EQ(eval("pw = &w"), "0");
  ASSERT_EQ(eval("Drop(w)"), "1");
  EXPECT_EQ(eval("*pw.name"), "error 3813");
}

}  // namespace
}  // namespace orv::test
