// A sectioned settings file held in memory: "[section]" lines and
// "key=value" lines, names compared without regard to case. Comments and
// lines it does not understand are kept as they are. Used where the system
// offers no profile-file service of its own.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::ini {

class IniDocument {
 public:
  void parse(std::string_view text);
  std::string text() const;

  // The value with blanks around it and one pair of enclosing quotes removed.
  std::optional<std::string> get(std::string_view section, std::string_view key) const;
  std::vector<std::string> sections() const;
  std::vector<std::string> keys(std::string_view section) const;

  void set(std::string_view section, std::string_view key, std::string_view value);
  void erase_key(std::string_view section, std::string_view key);
  void erase_section(std::string_view section);

 private:
  struct Entry {
    std::string key;    // empty: a line kept as it is
    std::string value;  // or the whole line
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  Section* find(std::string_view name);
  const Section* find(std::string_view name) const;

  std::vector<Entry> lead_;   // lines before the first section
  std::vector<Section> sections_;
};

}  // namespace orv::ini
