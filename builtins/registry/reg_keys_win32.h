// Shared pieces of the registry built-ins on advapi32: key arguments, views,
// keys opened for one call, and value reading.
#pragma once
#include <windows.h>

#include <string>

#include "builtins/dispatch.h"
#include "builtins/registry/reg_text.h"

namespace orv::registry {

// A key the call opened, closed when the call ends.
class OpenedKey {
 public:
  OpenedKey() = default;
  ~OpenedKey() { if (h_) RegCloseKey(h_); }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  void adopt(HKEY h) { h_ = h; }
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

// The context's IntControl settings block has a slot no request reaches; it
// holds the view that RegOpenFlags chose for a view flag of 0 (1 = the 32-bit
// view, 0 = the 64-bit default), so the choice lives and ends with the context.
inline constexpr std::size_t kRegistryViewSlot = 101;
inline std::int32_t& registry_view32(Context& c) { return c.intSettings[kRegistryViewSlot]; }

HKEY key_arg(const Call& call, int k);
// Argument k as 8-bit text.
std::string text_arg(const Call& call, int k);
// The view bits for a view flag (0, 32 or 64); false with the error set.
bool view_bits(Context& c, std::int32_t flag, const std::string& subkey, REGSAM& bits);
// Opens (or creates) subkey under root; "" opens root itself anew. False with `failure` set.
bool open_subkey(Context& c, HKEY root, const std::string& subkey, REGSAM access, bool create, std::uint16_t failure,
                 OpenedKey& out);
// Splits argument k and opens its key. False with the error set.
bool open_for_value(Call& call, int k, REGSAM access, bool create, KeyAndValue& kv, OpenedKey& key);

struct ValueData {
  DWORD type = 0;
  std::string bytes;
};
// Reads a value; false when it cannot be read (no error is set).
bool read_value(HKEY key, const std::string& name, ValueData& out);

// Records an OS failure with the call's name.
bool reg_fail(Context& c, std::uint16_t number, const char* call, LONG err);

}  // namespace orv::registry
