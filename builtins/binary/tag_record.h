// The tag structure scripts keep between BinaryTag calls: a string of fixed
// hex fields followed by the two tags, checked whole when it comes back.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::binary {

struct TagRecord {
  std::int32_t slot = 0;
  std::int64_t position = 0;
  char state = 'I';                  // 'I' initialised, 'F' found, 'R' replaced
  std::string startTag, endTag;
  std::int64_t dataLength = 0;
  std::int64_t element_length() const {
    return static_cast<std::int64_t>(startTag.size() + endTag.size()) + dataLength;
  }
};

// False when the text is not a well-formed structure.
bool parse_tag_record(std::string_view text, TagRecord& out);
// The structure's text; empty when a field does not fit its width.
std::string format_tag_record(const TagRecord& r);

}  // namespace orv::binary
