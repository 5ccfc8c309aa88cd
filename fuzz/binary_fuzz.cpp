// Fuzz target: random sequences of binary-buffer calls with offsets and
// counts drawn near every edge (0, EOD, size, size + 1, negative, huge), and
// decompression of the raw input. Handlers are called directly, so every call
// reaches its checks; file functions are left out.
#include <string>

#include "builtins/binary/checksums.h"
#include "builtins/binary/tag_record.h"
#include "builtins/dispatch.h"
#include "engine/keyword_ids.h"
#include "engine/keyword_table.h"
#include "engine/value_ops.h"
#include "fuzz/fuzz_support.h"

using namespace orv;

namespace {

class Reader {
 public:
  Reader(const std::uint8_t* d, std::size_t n) : d_(d), n_(n) {}
  bool empty() const { return i_ >= n_; }
  std::uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
  std::int32_t word() {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v = v << 8 | byte();
    return static_cast<std::int32_t>(v);
  }
  std::string text() {
    const std::size_t len = byte() % 24;
    std::string s;
    for (std::size_t k = 0; k < len && !empty(); ++k) s.push_back(static_cast<char>(byte() | 1));   // no NUL
    return s;
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_, i_ = 0;
};

// A number near an edge of the buffer the call works on.
std::int32_t edge_number(Reader& in, Context& c, std::int32_t handle) {
  const BinaryBuffer* b = c.binaries.find(handle);
  const std::int32_t size = b ? b->size : 0, eod = b ? b->eod : 0;
  switch (in.byte() % 10) {
    case 0: return 0;
    case 1: return eod;
    case 2: return size;
    case 3: return size + 1;
    case 4: return -1;
    case 5: return INT32_MAX;
    case 6: return INT32_MIN;
    case 7: return eod - 1;
    case 8: return size - 1 - static_cast<std::int32_t>(in.byte() % 9);
    default: return static_cast<std::int32_t>(in.byte());
  }
}

bool excluded(int id) {
  return id == kw::fn_binaryread || id == kw::fn_binarywrite || id == kw::fn_binaryreadex ||
         id == kw::fn_binarywriteex || id == kw::fn_binaryclipget || id == kw::fn_binaryclipput;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::EngineContext engine;
  Context& c = engine.c;
  {
    // Damaged streams: never an overrun, and either a clean failure or bytes.
    std::uint8_t out[4096];
    (void)binary::uncompress_bytes(data, size, out, sizeof out);
  }
  Reader in(data, size);
  std::int32_t handles[4] = {0, 0, 0, 0};
  for (int k = 0; k < 4; ++k) {
    std::uint16_t error = 0;
    handles[k] = c.binaries.allocate(static_cast<std::int32_t>(in.byte() % 64), error);
  }
  for (int steps = 0; steps < 64 && !in.empty(); ++steps) {
    const int id = kw::fn_binaryalloc + in.byte() % (kw::fn_binaryxor - kw::fn_binaryalloc + 1);
    Handler h = handler_table().byId[static_cast<std::size_t>(id)];
    if (!h || excluded(id) || id == kw::fn_binaryalloc || id == kw::fn_binaryfree) continue;
    const api::KeywordRecord& r = kKeywords[id];
    const int count = required_count(r) + (optional_count(r) ? in.byte() % (optional_count(r) + 1) : 0);
    ArgSlots args{};
    for (auto& a : args) clear_operand(a);
    std::int32_t target = handles[in.byte() % 4];
    for (int k = 1; k <= count && k < kArgSlotCount; ++k) {
      Operand& a = args[static_cast<std::size_t>(k)];
      const int code = arg_type(r, k);
      const std::uint8_t pick = in.byte();
      if (code == 1 || code == 5 || code == 6 || (code == 15 && (pick & 1))) {
        std::string s = in.text();
        if (id >= kw::fn_binarytagextr && id <= kw::fn_binarytagrepl && k == 1 && (pick & 2)) {
          // A well-formed structure with fields near the edges.
          binary::TagRecord t;
          t.slot = (target - kBinaryHandleBase) & 0xFF;
          t.position = edge_number(in, c, target) & 0x7FFFFFFF;
          t.state = "IFR"[pick % 3];
          t.startTag = s.substr(0, s.size() / 2);
          t.endTag = s.substr(s.size() / 2) + "]";
          t.dataLength = edge_number(in, c, target) & 0x7FFFFFFF;
          s = binary::format_tag_record(t);
        }
        make_string(c, a, s);
        if (code == 5) make_wstring(c, a, std::u16string(s.begin(), s.end()));
      } else if (code == 2) {
        make_float(a, static_cast<double>(edge_number(in, c, target)));
      } else if (k == 1 || (k == 3 && (pick & 4))) {
        make_int(a, (pick & 8) ? handles[pick % 4] : target + (pick % 3) - 1);
        target = a.i;
      } else {
        make_int(a, edge_number(in, c, target));
      }
    }
    Operand result;
    clear_operand(result);
    make_int(result, 0);
    Call call{c, id, count, args, result, false};
    h(call);
    release_value(c, result);
    for (auto& a : args) release_value(c, a);
    c.error = 0;
    c.errorText.clear();
  }
  c.binaries.release_all();
  return 0;
}
