// The text rules of DLL calls: type words, callback type lists and the
// layout of structure descriptors.
#include <gtest/gtest.h>

#include "extend/type_words.h"

using namespace orv::dll;

namespace {

StructLayout layout_of(std::string_view text, int expectedError = 0, std::string* detailOut = nullptr) {
  StructLayout l;
  std::string detail;
  EXPECT_EQ(parse_struct_descriptor(text, l, detail), expectedError) << text;
  if (detailOut) *detailOut = detail;
  return l;
}

}  // namespace

TEST(TypeWords, ParameterAndReturnWordsIgnoreCaseAndRejectTheUnknown) {
  EXPECT_EQ(param_type("LONG"), p_long);
  EXPECT_EQ(param_type("Long64"), p_long64);
  EXPECT_EQ(param_type("lpnull"), p_lpnull);
  EXPECT_EQ(param_type("callback"), p_callback);
  EXPECT_EQ(param_type("void"), -1);      // a return word only
  EXPECT_EQ(param_type("long "), -1);
  EXPECT_EQ(param_type(""), -1);
  EXPECT_EQ(return_type("VOID"), r_void);
  EXPECT_EQ(return_type("long_ptr"), r_long_ptr);
  EXPECT_EQ(return_type("lpstruct"), -1);
  EXPECT_EQ(return_type("callback"), -1);
  EXPECT_EQ(stack_words(p_double), 2);
  EXPECT_EQ(stack_words(p_long64), 2);
  EXPECT_EQ(stack_words(p_lpstr), 1);
}

TEST(TypeWords, CallbackListCountsStackBytesAndRefusesWordsOnlyDllCallKnows) {
  CallbackSignature s;
  ASSERT_EQ(parse_callback_signature("long", "  long double\tlpstr  long64 ", s), 0);
  EXPECT_EQ(s.params, (std::vector<int>{p_long, p_double, p_lpstr, p_long64}));
  EXPECT_EQ(s.stackBytes, 4 + 8 + 4 + 8);
  ASSERT_EQ(parse_callback_signature("void", "", s), 0);
  EXPECT_TRUE(s.params.empty());
  EXPECT_EQ(parse_callback_signature("lpstr", "long", s), 1840);
  EXPECT_EQ(parse_callback_signature("long", "long lpbinary", s), 1841);
  EXPECT_EQ(parse_callback_signature("long", "callback", s), 1841);
  std::string sixteen, seventeen;
  for (int k = 0; k < 16; ++k) sixteen += "long ";
  seventeen = sixteen + "word";
  EXPECT_EQ(parse_callback_signature("long", sixteen, s), 0);
  EXPECT_EQ(parse_callback_signature("long", seventeen, s), 1841);
}

TEST(StructLayout, MembersAreNaturallyAlignedWithNoTailPadding) {
  StructLayout a = layout_of("word:a long:b");
  ASSERT_EQ(a.members.size(), 2u);
  EXPECT_EQ(a.members[0].offset, 0u);
  EXPECT_EQ(a.members[1].offset, 4u);
  EXPECT_EQ(a.size, 8u);
  StructLayout b = layout_of("byte:a double:b");
  EXPECT_EQ(b.members[1].offset, 8u);
  EXPECT_EQ(b.size, 16u);
  EXPECT_EQ(layout_of("double:a byte:b").size, 9u);
  StructLayout c = layout_of("\r\n  char:name[20];\tshort:s\nint64:big");
  EXPECT_EQ(c.members[0].size, 20u);
  EXPECT_TRUE(c.members[0].isArray);
  EXPECT_EQ(c.members[1].offset, 20u);
  EXPECT_EQ(c.members[2].offset, 24u);
  EXPECT_EQ(c.size, 32u);
}

TEST(StructLayout, TypeNamesCoverSpacedFormsPointersAndHandles) {
  StructLayout l = layout_of("unsigned char:c unsigned short:s int*:p HWND:w lpcwstr:t wchar:u[3]");
  ASSERT_EQ(l.members.size(), 6u);
  EXPECT_EQ(l.members[0].type, m_char);
  EXPECT_EQ(l.members[1].type, m_short);
  EXPECT_EQ(l.members[2].type, m_pointer);
  EXPECT_EQ(l.members[3].type, m_handle);
  EXPECT_EQ(l.members[4].type, m_lpwstr);
  EXPECT_EQ(l.members[5].type, m_wchar);
  EXPECT_EQ(l.members[5].size, 6u);
  EXPECT_EQ(find_member(l, "W"), &l.members[3]);
  EXPECT_EQ(find_member(l, "missing"), nullptr);
}

TEST(StructLayout, BadDescriptorsNameTheOffendingMember) {
  std::string detail;
  layout_of("", 1995);
  layout_of("  \n\t", 1995);
  layout_of("long b", 1995);
  layout_of("longer:b", 1995, &detail);
  EXPECT_EQ(detail, "longer  b");
  layout_of("long:", 1995);
  layout_of("*:p", 1995);
  layout_of("long:a[0]", 1995, &detail);
  EXPECT_EQ(detail, "a  [0]");
  layout_of("long:a[x1]", 1634);
  layout_of("long:a[]", 1634);
  layout_of("long:a[12", 1995);
  layout_of("long:a trailing", 1995);
  // Sizes a script cannot allocate are refused, not wrapped.
  layout_of("double:a[4294967296]", 1995);
  layout_of("double:a[268435455] double:b[268435455]", 1995);
}
