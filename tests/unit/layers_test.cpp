// The layers point down: the public records include nothing of ours, the
// engine only itself, the records, the platform and the resource numbers,
// the platform only itself and the resource numbers.
// The build already refuses such an include in a compiled file; this also
// covers headers nothing compiles.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The folder of a quoted include of ours ("folder/file.h"), else nothing.
// Scanned by hand: <regex> alone made this file the slowest test to compile.
std::optional<std::string> included_folder(std::string_view line) {
  auto skip_blanks = [&] {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  };
  auto take = [&](std::string_view word) {
    if (!line.starts_with(word)) return false;
    line.remove_prefix(word.size());
    return true;
  };
  skip_blanks();
  if (!take("#")) return std::nullopt;
  skip_blanks();
  if (!take("include")) return std::nullopt;
  skip_blanks();
  if (!take("\"")) return std::nullopt;
  const std::size_t end = line.find_first_of("\"/");
  if (end == 0 || end == std::string_view::npos || line[end] != '/') return std::nullopt;
  return std::string(line.substr(0, end));
}

// "file:line: include" for each quoted include of a folder outside `allowed`.
// With `expectSome`, a folder whose files show no include of ours means the
// scan read nothing: that fails too.
std::vector<std::string> upward_includes(const std::string& folder, const std::vector<std::string>& allowed,
                                         bool expectSome = true) {
  int seen = 0;
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(ORV_SOURCE_DIR) / folder)) {
    const auto ext = entry.path().extension();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    std::ifstream in(entry.path());
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      const auto folder_of_include = included_folder(line);
      if (!folder_of_include) continue;
      ++seen;
      bool ok = false;
      for (const auto& a : allowed) ok = ok || *folder_of_include == a;
      if (!ok) found.push_back(entry.path().string() + ":" + std::to_string(number) + ": " + line);
    }
  }
  if (expectSome && seen == 0) found.push_back(folder + ": no include of ours read");
  return found;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

TEST(Layers, IncludeScannerReadsTheFolderOfQuotedIncludesOnly) {
  EXPECT_EQ(included_folder("#include \"engine/context.h\""), "engine");
  EXPECT_EQ(included_folder(" \t#  include\t\"builtins/strings/text.h\" // why"), "builtins");
  EXPECT_EQ(included_folder("#include\"ui/x.h\""), "ui");
  EXPECT_EQ(included_folder("#include <gtest/gtest.h>"), std::nullopt);
  EXPECT_EQ(included_folder("#include \"local.h\""), std::nullopt);
  EXPECT_EQ(included_folder("#include \"/abs.h\""), std::nullopt);
  EXPECT_EQ(included_folder("// #include \"engine/context.h\""), std::nullopt);
  EXPECT_EQ(included_folder("#define include \"engine/x.h\""), std::nullopt);
  EXPECT_EQ(included_folder("#include \"engine"), std::nullopt);
  EXPECT_EQ(included_folder(""), std::nullopt);
}

TEST(Layers, EngineIncludesOnlyItselfTheRecordsThePlatformAndResources) {
  const auto found = upward_includes("engine", {"engine", "api", "platform", "resources"});
  EXPECT_TRUE(found.empty()) << joined(found);
}

TEST(Layers, PublicRecordsIncludeNothingOfOurs) {
  const auto found = upward_includes("api", {}, false);
  EXPECT_TRUE(found.empty()) << joined(found);
}

TEST(Layers, PlatformIncludesOnlyItselfAndResources) {
  const auto found = upward_includes("platform", {"platform", "resources"});
  EXPECT_TRUE(found.empty()) << joined(found);
}

}  // namespace
