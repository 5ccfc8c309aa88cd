// A host as a test drives one: the exported entry points, a string heap, a
// variable table and a host table whose StdOut captures what scripts print.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/context.h"
#include "api/orv_api.h"
#include "platform/platform.h"

namespace orv::test {

inline std::string* g_output = nullptr;   // the running test's capture (tests run one at a time)
inline char* g_heapBase = nullptr;
// Called with each text the script hands to stdout(), after it is captured:
// a test acts as a host would in the middle of a run.
inline void (*g_onHostText)(const std::string& text) = nullptr;

inline int ORV_CALL test_host_entry(api::Word, api::Word, std::uint32_t, int function, api::AnswerCallback answer,
                             void* info, api::Word*, api::Operand* args, int count, api::Value*) {
  if (function != 0 || count != 1 || !(args[0].flags & 2)) return -3;
  const std::string text = g_heapBase + args[0].str;
  *g_output += text + "\n";
  if (g_onHostText) g_onHostText(text);
  api::Value v{};
  v.flags = 1;
  v.i = 1;
  return answer(0, 0, info, &v);
}

// A script text in a movable memory block, as a host hands it over.
inline platform::MemHandle script_block(const std::string& text) {
  platform::MemHandle script = platform::mem_alloc(text.size() + 1);
  std::memcpy(platform::mem_lock(script), text.c_str(), text.size() + 1);
  platform::mem_unlock(script);
  return script;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_output = &output;
    ASSERT_EQ(DoDaDllInit(0, nullptr, api::kVersionWord, api::kHandshake, 0, 0, 0), 66920);
    context = platform::mem_alloc(api::kContextBlockSize);
    ASSERT_EQ(DoDaDllInit(0, context, api::kVersionWord, api::kInstanceInit, 0, 0, 0), 76);
    heap = platform::vm_reserve(64u << 20);
    ASSERT_EQ(platform::vm_commit(heap, 65536), 0u);
    g_heapBase = static_cast<char*>(heap);
    book = {65536, heap};
    ASSERT_EQ(DoDaDllInit(0, context, reinterpret_cast<api::Word>(heap), api::kHeapInit, 65536, 0,
                          reinterpret_cast<api::Word>(&book)), 1);
    table = platform::mem_alloc(500 * 76);
    ASSERT_EQ(DoDaDllInit(0, context, reinterpret_cast<api::Word>(table), api::kRunInit, 500, 0, 0), 1);
    std::memset(hostTable, 0, sizeof hostTable);
    hostTable[0].id = 1000;
    hostTable[0].kind = 2;
    hostTable[0].argTypes = 1;   // one ANSI string
    hostTable[0].counts = 1;
    hostTable[0].nameLength = 6;
    std::strcpy(hostTable[0].name, "stdout");
    hostTable[1].argTypes = reinterpret_cast<std::uintptr_t>(&test_host_entry);
  }

  void TearDown() override {
    DoDaDllInit(0, context, api::kVersionWord, api::kTerminate, 0, 0, 0);
    platform::mem_free(table);
    platform::mem_free(context);
    platform::set_commit_limit(0);
    platform::vm_release(heap);
    g_output = nullptr;
  }

  // Runs a script text; returns the error number that ended it (0 = none).
  std::uint32_t run(const std::string& text, std::uint32_t flags = api::kRunReportToHost) {
    platform::MemHandle script = script_block(text);
    ran = ProcessDaBatBuffer(0, context, script, flags, hostTable);
    platform::mem_free(script);
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    std::uint32_t err = head->lastError;
    platform::mem_unlock(context);
    return err;
  }

  std::string variable(const char* name) {
    char buf[256] = {};
    if (!DLLServices(context, 2, const_cast<char*>(name), buf, sizeof buf, 0)) return "<none>";
    return buf;
  }

  // The engine's context, through the public head of the block.
  Context& engine() {
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    auto* c = static_cast<Context*>(head->impl);
    platform::mem_unlock(context);
    return *c;
  }

  std::string output;
  int ran = 0;
  platform::MemHandle context = nullptr, table = nullptr;
  void* heap = nullptr;
  api::HeapBookkeeping book{};
  api::KeywordRecord hostTable[2];
};

// A host test with a private directory for the files its scripts touch.
class FileHostTest : public HostTest {
 protected:
  explicit FileHostTest(const char* prefix) : prefix_(prefix) {}
  void SetUp() override {
    HostTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() / (prefix_ + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    HostTest::TearDown();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  std::string bytes(const char* name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void put(const char* name, const std::string& data) const {
    std::ofstream(dir_ / name, std::ios::binary) << data;
  }
  std::filesystem::path dir_;

 private:
  std::string prefix_;
};

}  // namespace orv::test
