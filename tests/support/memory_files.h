// Files served from memory for the #include expander, so unit tests and fuzz
// targets name the files they include without touching the disk.
#pragma once
#include <map>
#include <string>

#include "engine/script_source.h"

namespace orv::test_support {

class MemoryFiles final : public SourceFiles {
 public:
  std::map<std::string, std::string> files;
  std::string locate(const std::string& name, const std::string& dir) override {
    if (files.count(dir + name)) return dir + name;
    return files.count(name) ? name : std::string();
  }
  platform::FileStatus read(const std::string& path, std::string& out) override {
    auto it = files.find(path);
    if (it == files.end()) return platform::FileStatus::not_found;
    out = it->second;
    return platform::FileStatus::ok;
  }
};

}  // namespace orv::test_support
