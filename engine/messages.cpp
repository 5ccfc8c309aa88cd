#include "engine/messages.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include "platform/messages_platform.h"
#endif

namespace orv {
namespace {

constexpr MessageEntry kTable[] = {
#include "messages_table.inc"
};

// String-table ids are 16-bit; a larger number would alias a smaller one.
constexpr std::uint32_t kMaxNumber = 0xFFFF;

}  // namespace

std::span<const MessageEntry> message_table() { return kTable; }

std::string expand_message_marks(std::string_view stored) {
  std::string out(stored);
  for (char& c : out) {
    if (c == '~') c = '\n';
    else if (c == '|') c = '\t';
  }
  return out;
}

std::string message_text(std::uint32_t number) {
  if (number > kMaxNumber) return {};
#ifdef _WIN32
  std::string text;
  if (!platform::load_language_string(number, text)) text = platform::load_resource_string(number);
  return expand_message_marks(text);
#else
  const auto it = std::lower_bound(std::begin(kTable), std::end(kTable), number,
                                   [](const MessageEntry& e, std::uint32_t n) { return e.number < n; });
  if (it == std::end(kTable) || it->number != number) return {};
  return expand_message_marks(it->text);
#endif
}

int copy_message_text(std::uint32_t number, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  const std::string text = message_text(number);
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(size) - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return static_cast<int>(count);
}

}  // namespace orv
