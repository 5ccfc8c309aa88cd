// BinaryTagInit, BinaryTagFind, BinaryTagExtr, BinaryTagRepl, BinaryTagIndex
// and BinaryTagLen: walking the elements "start tag, data, end tag" of a
// buffer. The structure comes back from the script, so every position in it
// is checked against the buffer before use.
#include <cstring>
#include <new>
#include <string>

#include "builtins/binary/binary_args.h"
#include "builtins/binary/byte_search.h"
#include "builtins/binary/tag_record.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

// The structure of argument 1 and its buffer; nullptr with the error set.
BinaryBuffer* tag_arg(Call& call, TagRecord& r) {
  if (!parse_tag_record(arg_str(call, 1), r)) { fail(call.c, errs::kBinaryTagBadStructure); return nullptr; }
  BinaryBuffer* b = call.c.binaries.find(kBinaryHandleBase + r.slot);
  if (!b) { fail(call.c, errs::kBadBinaryHandle); return nullptr; }
  // A found element must lie within the data.
  if (r.state == 'F' && r.position + r.element_length() > b->eod) { fail(call.c, errs::kBinaryTagBadStructure); return nullptr; }
  return b;
}

void set_tag_result(Call& call, const TagRecord& r) {
  const std::string text = format_tag_record(r);
  if (text.empty()) { fail(call.c, errs::kBinaryTagBadStructure); return; }
  set_string(call, text);
}

void tag_init(Call& call) {
  if (!buffer_arg(call, 1)) return;
  TagRecord r;
  r.slot = arg_int(call, 1) - kBinaryHandleBase;
  r.startTag.assign(arg_str(call, 2));
  r.endTag.assign(arg_str(call, 3));
  if (r.endTag.empty()) { fail(call.c, errs::kBinaryTagBlank); return; }
  set_tag_result(call, r);
}

void tag_find(Call& call) {
  TagRecord r;
  BinaryBuffer* b = tag_arg(call, r);
  if (!b) return;
  if (r.state == 'F') r.position += r.element_length();
  const std::string_view data = data_view(*b);
  std::size_t start = static_cast<std::size_t>(r.position);
  if (!r.startTag.empty()) start = find_forward(data, r.startTag, start, false);
  const std::size_t end =
      start == kNoMatch ? kNoMatch : find_forward(data, r.endTag, start + r.startTag.size(), false);
  if (end == kNoMatch) {
    set_string(call, "");
    return;
  }
  r.state = 'F';
  r.position = static_cast<std::int64_t>(start);
  r.dataLength = static_cast<std::int64_t>(end - start - r.startTag.size());
  set_tag_result(call, r);
}

bool is_break(char ch) { return ch == '\t' || ch == '\r' || ch == '\n'; }

// TABs, CRs and LFs become one space between words and vanish beside spaces.
std::string tidy(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!is_break(s[i])) { out.push_back(s[i]); continue; }
    const bool spaceBefore = !out.empty() && out.back() == ' ';
    const bool spaceAfter = i + 1 < s.size() && s[i + 1] == ' ';
    if (!spaceBefore && !spaceAfter) out.push_back(' ');
  }
  return out;
}

void tag_extract(Call& call) {
  TagRecord r;
  BinaryBuffer* b = tag_arg(call, r);
  if (!b) return;
  std::string_view data;
  if (r.state == 'F')
    data = data_view(*b).substr(static_cast<std::size_t>(r.position) + r.startTag.size(),
                                static_cast<std::size_t>(r.dataLength));
  if (!(arg_int(call, 2) & 1)) {
    set_string(call, data);
    return;
  }
  try {
    set_string(call, tidy(data));
  } catch (const std::bad_alloc&) {
    fail(call.c, errs::kBinaryTagNoMemory);
  }
}

void tag_replace(Call& call) {
  TagRecord r;
  BinaryBuffer* b = tag_arg(call, r);
  if (!b) return;
  if (r.state != 'F') { set_tag_result(call, r); return; }
  const std::string_view text = arg_str(call, 2);
  const std::int64_t element = r.element_length();
  const std::int64_t room = static_cast<std::int64_t>(b->size) - b->eod + element;
  if (static_cast<std::int64_t>(text.size()) <= room) {
    std::uint8_t* at = b->data + r.position;
    const std::int64_t tail = b->eod - (r.position + element);
    std::memmove(at + text.size(), at + element, static_cast<std::size_t>(tail));
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    const std::int64_t eod = b->eod - element + static_cast<std::int64_t>(text.size());
    if (eod < b->eod) std::memset(b->data + eod, 0, static_cast<std::size_t>(b->eod - eod));
    b->eod = static_cast<std::int32_t>(eod);
    r.position += static_cast<std::int64_t>(text.size());
  } else {
    r.position += element;
  }
  r.state = 'R';
  r.dataLength = 0;
  set_tag_result(call, r);
}

void tag_index(Call& call) {
  TagRecord r;
  if (!tag_arg(call, r)) return;
  switch (arg_int(call, 2)) {
    case 0: make_int(call.result, static_cast<std::int32_t>(r.position + static_cast<std::int64_t>(r.startTag.size()))); return;
    case 1: make_int(call.result, static_cast<std::int32_t>(r.position)); return;
    default: fail(call.c, errs::kBinaryTagBadMode);
  }
}

void tag_length(Call& call) {
  TagRecord r;
  if (!tag_arg(call, r)) return;
  switch (arg_int(call, 2)) {
    case 0: make_int(call.result, static_cast<std::int32_t>(r.dataLength)); return;
    case 1: make_int(call.result, static_cast<std::int32_t>(r.element_length())); return;
    default: fail(call.c, errs::kBinaryTagBadMode);
  }
}

}  // namespace

void register_tags(HandlerTable& t) {
  t.add(kw::fn_binarytaginit, tag_init);
  t.add(kw::fn_binarytagfind, tag_find);
  t.add(kw::fn_binarytagextr, tag_extract);
  t.add(kw::fn_binarytagrepl, tag_replace);
  t.add(kw::fn_binarytagindex, tag_index);
  t.add(kw::fn_binarytaglen, tag_length);
}

}  // namespace orv::binary
