// A context with a string heap and a variable table, as a host would set up,
// for tests that drive the engine's internals directly.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/context.h"
#include "engine/convert.h"
#include "engine/evaluator.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "platform/platform.h"

namespace orv::test {

class EngineTest : public ::testing::Test {
 protected:
  static constexpr std::size_t kReserve = 64u << 20;
  static constexpr std::uint32_t kCommit = 64u << 10;

  void SetUp() override {
    base_ = platform::vm_reserve(kReserve);
    ASSERT_NE(base_, nullptr);
    ASSERT_EQ(platform::vm_commit(base_, kCommit), 0u);
    book_ = api::HeapBookkeeping{kCommit, base_};
    c.heap.init(static_cast<std::uint8_t*>(base_), kCommit, &book_);
    table_ = platform::mem_alloc(std::size_t{kCapacity} * sizeof(VarSlot));
    ASSERT_TRUE(init_variable_table(c, table_, kCapacity));
    auto script = std::make_unique<Script>();
    script->text = "\n";
    c.scripts.push_back(std::move(script));
  }

  void TearDown() override {
    release_all_variables(c);
    platform::mem_unlock(table_);
    c.slotMem = nullptr;
    platform::mem_free(table_);
    platform::set_commit_limit(0);
    platform::vm_release(base_);
  }

  // Evaluates an expression or assignment; returns its text or "error N".
  std::string eval(const std::string& text, bool assignAllowed = true) {
    std::strncpy(c.line, text.c_str(), sizeof c.line - 1);
    c.prog = c.line;
    c.tokKind = tk::kEnd;
    c.error = 0;
    c.errorText.clear();
    get_token(c);
    Temp out(c);
    if (failed(c) || !process_sub_expression(c, out.op(), assignAllowed, false)) return "error " + std::to_string(c.error);
    if (!at_end(c)) return "leftover";
    if (out->flags == 0) return "";
    std::string s;
    if (!value_text(c, out.op(), s)) return "error " + std::to_string(c.error);
    return s;
  }

  // The flags of an evaluated value.
  std::uint32_t flags_of(const std::string& text) {
    std::strncpy(c.line, text.c_str(), sizeof c.line - 1);
    c.prog = c.line;
    c.error = 0;
    get_token(c);
    Temp out(c);
    if (!process_sub_expression(c, out.op(), false, false)) return 0;
    return out->flags;
  }

  static constexpr std::uint16_t kCapacity = 200;
  Context c;
  void* base_ = nullptr;
  api::HeapBookkeeping book_{};
  platform::MemHandle table_ = nullptr;
};

}  // namespace orv::test
