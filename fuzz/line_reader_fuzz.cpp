// Fuzz target: the text-file line reader over arbitrary bytes, with the
// encoding, buffer size and OS read sizes taken from the first bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "builtins/files/line_reader.h"

using namespace orv::files;

namespace {
class Source : public ByteSource {
 public:
  Source(const std::uint8_t* p, std::size_t n, std::size_t chunk) : p_(p), n_(n), chunk_(chunk) {}
  bool read(void* buffer, std::size_t n, std::size_t& got) override {
    got = std::min({n, chunk_, n_});
    std::memcpy(buffer, p_, got);
    p_ += got;
    n_ -= got;
    return true;
  }

 private:
  const std::uint8_t* p_;
  std::size_t n_, chunk_;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const auto encoding = static_cast<Encoding>(data[0] % 3);
  const std::uint32_t buffer = data[1] % 4 == 0 ? 0 : 1u + data[1];
  const std::size_t chunk = 1 + data[2] % 17;
  const std::uint32_t limit = buffer == 0 ? kUnbufferedLineLimit : buffer;
  Source source(data + 3, size - 3, chunk);
  LineReader reader(encoding, buffer);
  std::string a;       // kept from line to line, as FileRead keeps them
  std::u16string w;
  for (std::size_t lines = 0; lines <= size; ++lines) {
    const auto r = reader.next(source, a, w);
    // No line keeps a terminator, a CR, a NUL or a Ctrl-Z, or reaches the limit.
    for (char ch : a)
      if (ch == '\n' || ch == '\r' || ch == 0 || ch == 26) std::abort();
    for (char16_t u : w)
      if (u == u'\n' || u == u'\r' || u == 0 || u == 26) std::abort();
    if (a.size() > limit || w.size() > limit) std::abort();
    if (r == LineReader::Result::end) return 0;
  }
  std::abort();   // every call either consumes input or ends
}
