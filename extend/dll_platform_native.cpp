// Off Windows there are no 32-bit DLLs to call: loading always fails with
// "file not found" or "not loadable", so scripts still get their parsing and
// argument errors, and structures work on plain memory.
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "extend/dll_platform.h"
#include "api/orv_api.h"
#include "platform/platform.h"

namespace orv::dll {

ModuleHandle load_module(const std::string& file, std::uint32_t& osError) {
  osError = platform::file_exists(file) ? 193 : 2;   // "not a valid image" / "not found"
  return nullptr;
}

void free_module(ModuleHandle) {}

ModuleHandle loaded_module(const std::string&) { return nullptr; }

void* find_entry(ModuleHandle, const std::string&, std::uint16_t) { return nullptr; }

void invoke(void*, const std::uint32_t*, int, bool, bool, CallResult& out) { out = CallResult{}; }

// Only a host entry of this process (ten arguments) can be called here.
int call_entry_words(void* entry, const std::uintptr_t* w, int count, CallResult& out) {
  out = CallResult{};
  if (!entry || count != 10) return 0;
  auto fn = reinterpret_cast<api::HostEntry>(entry);
  const int rc = fn(w[0], w[1], static_cast<std::uint32_t>(w[2]), static_cast<int>(w[3]),
                    reinterpret_cast<api::AnswerCallback>(w[4]), reinterpret_cast<void*>(w[5]),
                    reinterpret_cast<api::Word*>(w[6]), reinterpret_cast<api::Operand*>(w[7]),
                    static_cast<int>(w[8]), reinterpret_cast<api::Value*>(w[9]));
  out.eax = static_cast<std::uint32_t>(rc);
  return rc;
}

Thunk::~Thunk() = default;

// A record that no code can reach: native callbacks exist so that scripts can
// create and destroy them, but nothing can call them.
bool Thunk::make(void* record) {
  code_ = record;
  return true;
}

// No window stations here.
bool attach_window_station(std::uintptr_t, std::uintptr_t&) { return false; }
void restore_window_station(std::uintptr_t, std::uintptr_t) {}

// write() reports EFAULT instead of faulting, which makes it a safe probe.
bool readable(const void* address, std::size_t bytes) {
  if (bytes == 0) return true;
  if (!address) return false;
  int fds[2];
  if (pipe(fds) != 0) return false;
  bool ok = true;
  auto p = static_cast<const char*>(address);
  while (ok && bytes > 0) {
    const std::size_t chunk = bytes < 4096 ? bytes : 4096;
    const ssize_t n = write(fds[1], p, chunk);
    if (n <= 0) ok = false;
    else {
      char sink[4096];
      if (read(fds[0], sink, static_cast<std::size_t>(n)) != n) ok = false;
      p += n;
      bytes -= static_cast<std::size_t>(n);
    }
  }
  close(fds[0]);
  close(fds[1]);
  return ok;
}

std::uint32_t current_thread() { return static_cast<std::uint32_t>(gettid()); }

}  // namespace orv::dll
