// Without automation services, member access and the object functions say
// so with a numbered error; ObjectTypeGet of plain values stays empty.
#include "com/com_hooks.h"
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

class ComNativeTest : public EngineTest {};

TEST_F(ComNativeTest, MemberAccessAndObjectFunctionsAreNotAvailable) {
  EXPECT_EQ(eval("x = 5"), "0");
  EXPECT_EQ(eval("y = x.name"), "error 3472");
  EXPECT_EQ(eval("x.name = 3"), "error 3472");
  EXPECT_EQ(eval("ObjectCreate(\"Scripting.Dictionary\")"), "error 3472");
  EXPECT_EQ(eval("ObjectType(\"I4\", 1)"), "error 3472");
  // The variable is left as it was.
  EXPECT_EQ(eval("x"), "5");
}

TEST_F(ComNativeTest, ObjectTypeGetOfPlainValuesIsEmpty) {
  EXPECT_EQ(eval("s = \"text\""), "0");
  EXPECT_EQ(eval("ObjectTypeGet(s)"), "");
  EXPECT_EQ(eval("ObjectTypeGet(nosuch)"), "");
}

TEST(ComTypeName, ReadsTheVariantTypeWordOfComValuesOnly) {
  Value v{};
  const std::uint16_t arrayOfBytes = 0x2011;
  std::memcpy(v.variant, &arrayOfBytes, sizeof arrayOfBytes);
  EXPECT_EQ(com_type_name(v), "");   // no COM flag: not a variant
  v.flags = vf::kCom;
  EXPECT_EQ(com_type_name(v), "VT_ARRAY|VT_UI1");
  v.flags = vf::kCom | vf::kComObject | vf::kInt;
  EXPECT_EQ(com_type_name(v), "VT_DISPATCH");
}

}  // namespace
}  // namespace orv::test
