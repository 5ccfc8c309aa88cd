// Reading text that foreign code points at: the pointer may be anything, so
// the reader must stop at memory it cannot read instead of faulting.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "extend/foreign_text.h"

using orv::dll::foreign_text;

namespace {

// Two pages: the first readable, the second not.
class GuardedPages {
 public:
  GuardedPages() {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* p = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
    if (base_) mprotect(base_ + page_, page_, PROT_NONE);
  }
  ~GuardedPages() { if (base_) munmap(base_, 2 * page_); }
  char* end_of_first() const { return base_ + page_; }
  bool ok() const { return base_ != nullptr; }

 private:
  std::size_t page_ = 0;
  char* base_ = nullptr;
};

}  // namespace

TEST(ForeignText, ReadsToTheNulInEitherWidth) {
  std::string narrow;
  ASSERT_TRUE(foreign_text("returned text", narrow));
  EXPECT_EQ(narrow, "returned text");
  std::u16string wide;
  ASSERT_TRUE(foreign_text(u"wide", wide));
  EXPECT_EQ(wide, u"wide");
  // A null pointer is an empty text, as a DLL's "no string" answer.
  ASSERT_TRUE(foreign_text(nullptr, narrow));
  EXPECT_TRUE(narrow.empty());
}

TEST(ForeignText, StopsAtMemoryItCannotRead) {
  GuardedPages pages;
  ASSERT_TRUE(pages.ok());
  // Text that ends just before the unreadable page is whole.
  char* text = pages.end_of_first() - 6;
  std::memcpy(text, "fits\0", 5);
  std::string out;
  ASSERT_TRUE(foreign_text(text, out));
  EXPECT_EQ(out, "fits");
  // Text whose NUL is the page's last byte: the next page is never touched.
  std::memcpy(pages.end_of_first() - 3, "ab", 3);
  ASSERT_TRUE(foreign_text(pages.end_of_first() - 3, out));
  EXPECT_EQ(out, "ab");
  // Text that runs into the unreadable page is refused, not read.
  std::memset(pages.end_of_first() - 8, 'x', 8);
  EXPECT_FALSE(foreign_text(pages.end_of_first() - 8, out));
  // A wide character straddling the two pages is refused as well.
  std::u16string wide;
  EXPECT_FALSE(foreign_text(pages.end_of_first() - 1, wide));
  // A pointer into the unreadable page itself, and a small number taken for one.
  EXPECT_FALSE(foreign_text(pages.end_of_first(), out));
  EXPECT_FALSE(foreign_text(reinterpret_cast<const void*>(std::uintptr_t{5}), out));
}
