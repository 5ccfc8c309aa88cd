#include <utility>
#include "engine/context.h"
#include "engine/limits.h"

namespace orv {

bool fail(Context& c, std::uint16_t number) {
  c.error = number;
  c.errorText.clear();
  return false;
}

bool fail(Context& c, std::uint16_t number, std::string text) {
  c.error = number;
  if (text.size() > static_cast<std::size_t>(limits::kErrorTextMax)) text.resize(limits::kErrorTextMax);
  c.errorText = std::move(text);
  return false;
}

}  // namespace orv
