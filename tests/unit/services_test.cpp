// DLLServices requests as a host or an extender uses them: variables as text,
// the string heap, binary buffers, exchanged settings, and the rule that a
// service never changes the script's own error state.
#include <cstring>

#include "tests/unit/host_fixture.h"

namespace orv::test {
namespace {

class ServicesTest : public HostTest {
 protected:
  int service(int request, const void* a, const void* b, std::int32_t numA, std::int32_t numB) {
    return DLLServices(context, request, const_cast<void*>(a), const_cast<void*>(b), numA, numB);
  }
};

TEST_F(ServicesTest, VariablesAreSetAndReadAsText) {
  EXPECT_EQ(service(1, "fresh", "made by a service, longer", 0, 0), 1);
  EXPECT_EQ(variable("fresh"), "made by a service, longer");
  EXPECT_EQ(service(45, "fresh", nullptr, 0, 0), 26);
  char small[8] = {};
  EXPECT_EQ(service(2, "fresh", small, sizeof small, 0), 0);   // not even "<Value too large>" fits
  char big[20] = {};
  EXPECT_EQ(service(2, "fresh", big, sizeof big, 0), 1);
  EXPECT_STREQ(big, "<Value too large>");
  EXPECT_EQ(run("a = ArrDimension(2)\nn = 2.5\n"), 0u);
  EXPECT_EQ(variable("a"), "<array>");
  EXPECT_EQ(variable("n"), "2.5");
  EXPECT_EQ(service(2, "nosuch", big, sizeof big, 0), 0);
}

TEST_F(ServicesTest, ReassigningRefusesArraysAndLeavesThemIntact) {
  EXPECT_EQ(run("a = ArrDimension(2)\na[1] = 7\ns = 1\n"), 0u);
  const char* text = "replaced";
  const auto address = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(text));
  if (sizeof(void*) == 4) {
    EXPECT_EQ(service(46, "s", nullptr, 0, address), 1);
    EXPECT_EQ(variable("s"), "replaced");
  }
  EXPECT_EQ(service(46, "a", nullptr, 0, address), 0);
  EXPECT_EQ(run("b = a[1]\n"), 0u);
  EXPECT_EQ(variable("b"), "7");
}

TEST_F(ServicesTest, HeapTextsAndBuffersAreReachable) {
  const int offset = service(42, "into the heap", nullptr, 0, 0);
  ASSERT_GT(offset, 0);
  if (sizeof(void*) == 4) {
    const auto* p = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(service(41, nullptr, nullptr, 0, offset)));
    EXPECT_STREQ(p, "into the heap");
  }
  EXPECT_EQ(run("h = BinaryAlloc(8)\n"), 0u);
  EXPECT_EQ(service(43, "h", nullptr, 2, 0), 8);
  EXPECT_EQ(service(44, "h", nullptr, 65, 2), 3);        // a byte at 2 raises the end of data to 3
  EXPECT_EQ(service(43, "h", nullptr, 3, 0), 3);
  EXPECT_EQ(service(44, "h", nullptr, -1, 1), 1);        // the end of data set directly
  EXPECT_EQ(service(44, "h", nullptr, 65, 8), 0);        // outside the buffer
  EXPECT_EQ(service(44, "h", nullptr, -1, 9), 0);
  EXPECT_EQ(run("x = BinaryEodGet(h) : \"/\" : BinaryPeek(h, 2)\n"), 0u);
  EXPECT_EQ(variable("x"), "1/65");
}

TEST_F(ServicesTest, SettingsAnswerTheirPreviousValue) {
  EXPECT_EQ(service(3, nullptr, nullptr, 0x21, 0), 0);
  EXPECT_EQ(service(60, nullptr, nullptr, 0x100, 1), 0x21);   // set a bit
  EXPECT_EQ(service(60, nullptr, nullptr, 0x1, 0), 0x121);    // clear one
  EXPECT_EQ(service(3, nullptr, nullptr, 0, 0), 0x120);
  EXPECT_EQ(service(39, nullptr, nullptr, 3, 0), 0);
  EXPECT_EQ(service(39, nullptr, nullptr, 7, 0), 3);          // out of range: unchanged
  EXPECT_EQ(service(39, nullptr, nullptr, 1, 0), 3);
  EXPECT_EQ(service(51, nullptr, nullptr, 1, 77), 1);          // the latch is taken...
  EXPECT_EQ(service(51, nullptr, nullptr, 1, 78), 0);          // ...and refused to another owner
  EXPECT_EQ(service(51, nullptr, nullptr, 0, 78), 1);          // only the owner releases it
  EXPECT_EQ(service(51, nullptr, nullptr, 1, 78), 0);
  EXPECT_EQ(service(51, nullptr, nullptr, 0, 77), 1);
  EXPECT_EQ(service(51, nullptr, nullptr, 1, 78), 1);
  EXPECT_EQ(service(36, "slot text", nullptr, 11, 0), 0);
  EXPECT_EQ(service(31, nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(service(61, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(service(5, nullptr, nullptr, 0, 0), 0);
}

TEST_F(ServicesTest, BuiltinsAreSwitchedOffAndOnByName) {
  // One unknown name: the known one is still switched off, the answer is 0.
  EXPECT_EQ(service(24, "StrLen|NoSuchFunction", "|x", 1, 0), 0);
  EXPECT_EQ(run("n = StrLen(\"abc\")\n"), 3472u);
  EXPECT_EQ(run("n = Abs(-2)\n"), 0u);
  // Blanks around names are not part of them; keywords that are no functions are no names.
  EXPECT_EQ(service(24, " strlen , abs", ",", 0, 0), 1);
  EXPECT_EQ(service(24, "If", ",", 1, 0), 0);
  EXPECT_EQ(service(24, "strlenx", ",", 1, 0), 0);
  EXPECT_EQ(run("n = StrLen(\"abc\") + Abs(-2)\n"), 0u);
  EXPECT_EQ(variable("n"), "5");
  EXPECT_EQ(service(24, "abs", "", 1, 0), 0);   // no delimiter given
  EXPECT_EQ(service(24, "abs;abs", ";", 1, 0), 1);
  EXPECT_EQ(run("If 1 Then n = Abs(-7)\n"), 3472u);
  EXPECT_EQ(service(24, "abs", ";", 0, 0), 1);
  // A name past 30 characters is refused as a whole, never cut to a known prefix.
  EXPECT_EQ(service(24, "abs;StrLen0123456789012345678901234", ";", 1, 0), 0);
  EXPECT_EQ(run("n = Abs(-1)\n"), 3472u);
  EXPECT_EQ(run("n = StrLen(\"ab\")\n"), 0u);
  EXPECT_EQ(service(24, "abs", ";", 0, 0), 1);
}

// Float functions that compiled lines call straight are switched off all the
// same, also by a host in the middle of a loop.
platform::MemHandle g_switchingContext = nullptr;
void switch_sin_off(const std::string& text) {
  if (text == "off") DLLServices(g_switchingContext, 24, const_cast<char*>("Sin"), const_cast<char*>("|"), 1, 0);
}

TEST_F(ServicesTest, SwitchedOffFloatFunctionsStayOffInLoops) {
  const char* loop = "x = 0.0\nFor i = 1 To 20\n  x = x + Sqrt(i) * Sin(i)\n  If i == 10 Then stdout(\"off\")\nNext\n";
  EXPECT_EQ(run(loop), 0u);
  g_switchingContext = context;
  g_onHostText = switch_sin_off;
  EXPECT_EQ(run(loop), 3472u);
  g_onHostText = nullptr;
  EXPECT_EQ(variable("i"), "11");   // the pass after the host switched it off
  EXPECT_EQ(service(24, "Sin", "|", 0, 0), 1);
}

TEST_F(ServicesTest, OpenFileHandlesAreKnownUntilClosed) {
  const std::string path = testing::TempDir() + "orv_services_53.txt";
  EXPECT_EQ(run("f = FileOpen(\"" + path + "\", \"WRITE\")\n"), 0u);
  const std::int32_t f = std::stoi(variable("f"));
  EXPECT_EQ(service(53, nullptr, nullptr, f, 0), f);
  EXPECT_EQ(service(53, nullptr, nullptr, f + 1, 0), 0);
  EXPECT_EQ(service(53, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(run("FileClose(f)\nFileDelete(\"" + path + "\")\n"), 0u);
  EXPECT_EQ(service(53, nullptr, nullptr, f, 0), 0);
}

TEST_F(ServicesTest, AFailingServiceLeavesTheScriptErrorAsItWas) {
  engine().error = 1234;
  char buf[16] = {};
  EXPECT_EQ(service(2, "missing", buf, sizeof buf, 0), 0);
  EXPECT_EQ(engine().error, 1234);
  EXPECT_EQ(service(1, "made", "while failing", 0, 0), 1);
  EXPECT_EQ(engine().error, 1234);
  engine().error = 0;
}

}  // namespace
}  // namespace orv::test
