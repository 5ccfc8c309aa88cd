// A string heap of its own on a fresh 64 KB area (16 MB reserved), for tests
// of the heap and of what the engine keeps about its blocks.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>

#include "engine/heap.h"
#include "platform/platform.h"

namespace orv::test_support {

class HeapFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = static_cast<std::uint8_t*>(platform::vm_reserve(16u << 20));
    ASSERT_NE(base_, nullptr);
    ASSERT_EQ(platform::vm_commit(base_, kSize), 0u);
    book_ = {kSize, base_};
    heap_.init(base_, kSize, &book_);
  }
  void TearDown() override {
    platform::set_commit_limit(0);
    platform::vm_release(base_);
  }

  static constexpr std::uint32_t kSize = 64 * 1024;
  std::uint8_t* base_ = nullptr;
  api::HeapBookkeeping book_{};
  StringHeap heap_;
};

}  // namespace orv::test_support
