// Shared by the fuzz targets: a scratch working folder, a filter that keeps
// inputs away from built-ins with effects outside the process, and an engine
// context with a small string heap for the targets that drive internals.
#pragma once
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "engine/context.h"
#include "engine/variables.h"
#include "platform/platform.h"

namespace orv::fuzz {

inline constexpr std::size_t kHeapReserve = 64u << 20;
inline constexpr std::uint32_t kHeapCommit = 64u << 10;
inline constexpr std::size_t kHeapLimit = 4u << 20;   // runaway concatenation ends with 3096
inline constexpr std::uint16_t kVariables = 500;

// Inputs naming any of these are skipped: they start programs, sleep, touch
// files, the registry or the desktop. Call and #include stay in: they only
// read, and the targets run in a scratch folder.
inline bool harmless(std::string_view text) {
  static constexpr std::string_view kDenied[] = {
      "run",  "shell", "dll",     "delay",   "wait",   "yield",  "file",     "dir",
      "disk", "reg",   "environ", "ini",     "send",   "mouse",  "clip",     "ask",
      "dialog", "pause", "message", "display", "beep", "play",  "sound",    "snapshot",
      "pipe", "object", "dde",    "session", "computer", "install", "icon", "shortcut",
      "key",  "app",   "net",     "exclusive", "terminate", "msgtextget", "ignoreinput", "print", "window", "extender",
      "binaryread", "binarywrite"};
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  for (std::string_view word : kDenied)
    if (lower.find(word) != std::string::npos) return false;
  return true;
}

// A scratch folder with two files for #include and Call; the targets make it
// their scripts' folder (the working folder stays: libFuzzer's paths are relative).
inline const std::string& scratch_folder() {
  static const std::string folder = [] {
    namespace fs = std::filesystem;
    const char* env = std::getenv("ORV_FUZZ_SCRATCH");
    fs::path dir = env ? fs::path(env) : fs::temp_directory_path() / "orv_fuzz_scratch";
    fs::create_directories(dir);
    std::ofstream(dir / "inc.orv") << "a = 1\nb = \"two\"\n#DefineFunction f(x)\nReturn x * 2\n#EndFunction\n";
    std::ofstream(dir / "self.orv") << "#include \"self.orv\"\n";
    return fs::absolute(dir).string() + "/";
  }();
  return folder;
}

// An engine context prepared as a host would: string heap and variable table.
class EngineContext {
 public:
  EngineContext() {
    base_ = platform::vm_reserve(kHeapReserve);
    if (!base_ || platform::vm_commit(base_, kHeapCommit) != 0) std::abort();
    platform::set_commit_limit(kHeapLimit);
    platform::set_block_limit(64u << 20);   // huge arrays fail with their numbered error
    book_ = api::HeapBookkeeping{kHeapCommit, base_};
    c.heap.init(static_cast<std::uint8_t*>(base_), kHeapCommit, &book_);
    table_ = platform::mem_alloc(std::size_t{kVariables} * sizeof(VarSlot));
    if (!init_variable_table(c, table_, kVariables)) std::abort();
    auto script = std::make_shared<Script>();
    script->text = "\n";
    script->dir = scratch_folder();
    c.scripts.push_back(std::move(script));
  }
  EngineContext(const EngineContext&) = delete;
  EngineContext& operator=(const EngineContext&) = delete;

  // Loads one line into the scanner (at most a line buffer, up to a NUL).
  void load_line(const std::uint8_t* data, std::size_t size) {
    const std::size_t n = std::min<std::size_t>(size, sizeof c.line - 1);
    std::memcpy(c.line, data, n);
    c.line[n] = '\0';
    c.prog = c.line;
    c.tokKind = tk::kEnd;
    c.error = 0;
    c.errorText.clear();
    c.exprDepth = 0;
  }

  Context c;

 private:
  void* base_ = nullptr;
  api::HeapBookkeeping book_{};
  platform::MemHandle table_ = nullptr;
};

}  // namespace orv::fuzz
