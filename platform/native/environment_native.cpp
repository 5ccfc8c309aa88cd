// POSIX back end of the environment. Values are UTF-8 here.
#include "platform/environment.h"

#include <unistd.h>   // environ

#include <cstdlib>

#include "platform/native/utf8_native.h"

namespace orv::platform::environment {

bool get(const std::u16string& name, std::u16string& value) {
  std::string n;
  if (!native_text::to_utf8(name, n)) return false;
  const char* v = std::getenv(n.c_str());
  if (!v) return false;
  value = native_text::from_utf8(v);
  return true;
}

bool set(const std::u16string& name, const std::u16string& value) {
  std::string n, v;
  if (!native_text::to_utf8(name, n) || !native_text::to_utf8(value, v)) return false;
  return (value.empty() ? ::unsetenv(n.c_str()) : ::setenv(n.c_str(), v.c_str(), 1)) == 0;
}

std::vector<std::u16string> entries() {
  std::vector<std::u16string> out;
  for (char** e = environ; e && *e; ++e) out.push_back(native_text::from_utf8(*e));
  return out;
}

}  // namespace orv::platform::environment
