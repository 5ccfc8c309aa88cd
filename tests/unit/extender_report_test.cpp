// How the failure of an extender-style function reaches the user: the return
// code picks the error, the leading number of its text is the extended error,
// and the report carries the extender's own text after "ORV Extender Error:".
// The host's functions use the same protocol, so a host entry stands in here.
#include <cstring>

#include "tests/unit/host_fixture.h"

namespace orv::test {
namespace {

// Function 1, "hostfail(code, text)": answers `text` as the error text and
// returns `code`; an empty text answers an integer instead.
int ORV_CALL failing_entry(api::Word w, api::Word h, std::uint32_t sig, int function, api::AnswerCallback answer,
                           void* info, api::Word* priv, api::Operand* args, int count, api::Value* result) {
  if (function == 0) return test_host_entry(w, h, sig, function, answer, info, priv, args, count, result);
  const int code = args[0].i;
  api::Value v{};
  if (g_heapBase[args[1].str]) {
    v.flags = 2;
    v.str = args[1].str;
  } else {
    v.flags = 1;
  }
  answer(code, 0, info, &v);
  return code;
}

class ExtenderReportTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    std::memset(records, 0, sizeof records);
    records[0] = hostTable[0];
    records[1].id = 1001;
    records[1].kind = 2;
    records[1].argTypes = 0x10;   // integer, then ANSI string
    records[1].counts = 2;
    records[1].nameLength = 8;
    std::strcpy(records[1].name, "hostfail");
    records[2].argTypes = reinterpret_cast<std::uintptr_t>(&failing_entry);
  }

  std::uint32_t run_failing(const std::string& text, std::string& report) {
    platform::MemHandle script = platform::mem_alloc(text.size() + 1);
    std::memcpy(platform::mem_lock(script), text.c_str(), text.size() + 1);
    platform::mem_unlock(script);
    ::testing::internal::CaptureStderr();
    ProcessDaBatBuffer(0, context, script, api::kRunReportToHost, records);
    report = ::testing::internal::GetCapturedStderr();
    platform::mem_free(script);
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    const std::uint32_t err = head->lastError;
    platform::mem_unlock(context);
    return err;
  }

  api::KeywordRecord records[3];
};

TEST_F(ExtenderReportTest, TheReportShowsTheExtendersTextAfterItsPrefix) {
  std::string report;
  EXPECT_EQ(run_failing("hostfail(-2, '1234: the device is gone')\n", report), 2214u);
  EXPECT_NE(report.find("error ORV Extender Error: 1234: the device is gone"), std::string::npos) << report;
  EXPECT_EQ(run_failing("hostfail(-3, '')\n", report), 3215u);
  EXPECT_NE(report.find("error ORV Extender Error: Extender Error: Undefined error occurred"), std::string::npos)
      << report;
  // Codes below -7 are "out of memory to save the result", reported the same way.
  EXPECT_EQ(run_failing("hostfail(-9, 'no room')\n", report), 3210u);
  EXPECT_NE(report.find("error ORV Extender Error: no room"), std::string::npos) << report;
}

TEST_F(ExtenderReportTest, HandlersSeeTheExtendedNumberAndTheText) {
  std::string report;
  EXPECT_EQ(run_failing("IntControl(73, 2, 0, 0, 0)\nhostfail(-1, '77: minor trouble')\nExit\n"
                        ":QRERRORHANDLER\nn = qrerrorarray[0]\nm = qrerrorarray[5]\nReturn\n",
                        report),
            0u);
  EXPECT_EQ(variable("n"), "77");
  EXPECT_EQ(variable("m"), "77: minor trouble");
  // Other errors keep their own message.
  EXPECT_EQ(run_failing("x = 1 / 0\n", report), 3062u);
  EXPECT_EQ(report.find("ORV Extender Error"), std::string::npos) << report;
}

TEST_F(ExtenderReportTest, ExecuteRepliesAreShownWithoutTheirPrefixAndThenDone) {
  std::string report;
  EXPECT_EQ(run_failing("hostfail(-7, 'EXECUTE::look at this')\nx = 1\n", report), 0u);
  EXPECT_NE(report.find("look at this"), std::string::npos) << report;
  EXPECT_EQ(report.find("EXECUTE::"), std::string::npos) << report;
  EXPECT_EQ(variable("x"), "1");
  // IntControl 87 = 2: no report at all.
  EXPECT_EQ(run_failing("IntControl(87, 2, 0, 0, 0)\nhostfail(-7, 'EXECUTE::quiet')\ny = 2\n", report), 0u);
  EXPECT_EQ(report.find("quiet"), std::string::npos) << report;
  EXPECT_EQ(variable("y"), "2");
}

TEST_F(ExtenderReportTest, StopAndCancelRepliesEndTheScriptWithoutAReport) {
  std::string report;
  run_failing("a = 1\nhostfail(-5, 'ignored')\nz = 3\n", report);
  EXPECT_EQ(variable("a"), "1");
  EXPECT_EQ(variable("z"), "<none>");
  EXPECT_EQ(report.find("ignored"), std::string::npos) << report;
  EXPECT_EQ(report.find("error"), std::string::npos) << report;
  run_failing("hostfail(-4, 'ignored')\nw = 3\n", report);
  EXPECT_EQ(variable("w"), "<none>");
}

}  // namespace
}  // namespace orv::test
