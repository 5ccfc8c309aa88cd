// A list that keeps its first N elements inside itself and only the rest on
// the heap: a late-bound call holds a handful of arguments and members, and
// the allocator is a large share of a call's cost on some systems.
#pragma once
#include <array>
#include <cstddef>
#include <vector>

namespace orv::com {

// The elements are contiguous (a call's argument block is handed over as one
// array); past N they all move to the heap together.
template <typename T, std::size_t N>
class SmallList {
 public:
  SmallList() = default;
  // `count` default-made elements.
  explicit SmallList(std::size_t count) : size_(count) {
    if (count > N) more_.resize(count);
    else
      for (std::size_t k = 0; k < count; ++k) fixed_[k] = T{};
  }
  SmallList(const SmallList&) = delete;
  SmallList& operator=(const SmallList&) = delete;

  // The new element; references to the earlier ones move when the list
  // outgrows its own room.
  T& push_back(T value) {
    if (size_ == N && !spilled()) {
      more_.reserve(2 * N);
      for (T& old : fixed_) more_.push_back(std::move(old));
    }
    if (spilled()) more_.push_back(std::move(value));
    else fixed_[size_] = std::move(value);
    ++size_;
    return back();
  }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return spilled() ? more_.data() : fixed_.data(); }
  const T* data() const { return spilled() ? more_.data() : fixed_.data(); }
  T& operator[](std::size_t k) { return data()[k]; }
  const T& operator[](std::size_t k) const { return data()[k]; }
  T& back() { return data()[size_ - 1]; }

 private:
  bool spilled() const { return !more_.empty(); }

  std::array<T, N> fixed_;   // only the first size_ are made (a call clears what it uses)
  std::vector<T> more_;
  std::size_t size_ = 0;
};

}  // namespace orv::com
