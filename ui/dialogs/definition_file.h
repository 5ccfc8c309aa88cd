// A dialog definition kept in a file (DialogBox): one "Name=value" line per
// definition variable, each named without the dialog's name ("Format=...",
// "Width=...", "001=..."). Blank lines and lines starting with ";" are skipped;
// a name given twice keeps its last value. Platform free.
#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "ui/dialogs/definition.h"

namespace orv::dialogs {

inline constexpr std::size_t kFileEntryNameMax = 30;

// Names lower-cased; values without the blanks at their ends.
using DefinitionEntries = std::map<std::string, std::string>;

// False at the first line that is no entry; `badLine` is its 1-based number.
bool read_definition_file(std::string_view text, DefinitionEntries& out, std::size_t& badLine);

// Hands the entries to the definition reader as the variables of `dialogName`.
class EntrySource : public DefinitionSource {
 public:
  EntrySource(const DefinitionEntries& entries, std::string dialogName, bool (*imageExists)(std::string_view))
      : entries_(entries), name_(std::move(dialogName)), imageExists_(imageExists) {}
  std::optional<std::string> text(std::string_view name) override;
  bool image_loadable(std::string_view file) override { return imageExists_ && imageExists_(file); }

 private:
  const DefinitionEntries& entries_;
  std::string name_;
  bool (*imageExists_)(std::string_view);
};

}  // namespace orv::dialogs
