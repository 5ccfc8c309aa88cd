// Fuzz target: the script-supplied text the file, INI and registry families
// parse: source lists and name masks, the parts of a name and the shell's
// rename masks, settings files, registry paths and the text forms of
// registry data. The first byte picks the parser.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "builtins/files/name_rules.h"
#include "builtins/ini/ini_document.h"
#include "builtins/registry/reg_text.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 5) {
    case 0: {
      const std::u16string wide(text.begin(), text.end());
      const auto items = files::split_source_list(wide);
      const std::size_t bar = wide.find(u'|');
      if (bar != std::u16string::npos) {
        const auto mapped = files::map_name(wide.substr(0, bar), wide.substr(bar + 1));
        // A mapped name is always a single legal component.
        if (mapped && (mapped->empty() || mapped->find_first_of(u"\\/:*?\"<>|") != std::u16string::npos)) std::abort();
      }
      (void)items;
      break;
    }
    case 1: {
      ini::IniDocument doc;
      doc.parse(text);
      ini::IniDocument again;
      again.parse(doc.text());
      // Writing and reading back keeps every section and key.
      if (again.sections() != doc.sections()) std::abort();
      for (const auto& s : doc.sections())
        if (again.keys(s) != doc.keys(s)) std::abort();
      break;
    }
    case 2: {
      registry::KeyAndValue kv;
      if (registry::split_key_and_value(text, kv) == 0 && kv.subkey.size() >= registry::kMaxSubkey) std::abort();
      registry::names_wow_branch(text);
      break;
    }
    case 4: {
      const std::u16string wide(text.begin(), text.end());
      const std::u16string_view name = files::unquote_name(wide);
      const files::NameParts p = files::split_name(name);
      // The parts come from the name, in order, and the extension holds no dot.
      if (p.folder.size() + p.root.size() > name.size() || p.ext.find(u'.') != std::u16string_view::npos) std::abort();
      if (name.substr(0, p.folder.size()) != p.folder) std::abort();
      const std::u16string folder = files::folder_text(p.folder);
      if (!p.folder.empty() && folder.back() != u'\\' && folder.back() != u':') std::abort();
      const std::size_t bar = wide.find(u'|');
      if (bar != std::u16string::npos) {
        const auto renamed = files::shell_rename(wide.substr(0, bar), wide.substr(bar + 1));
        if (renamed && (renamed->empty() || renamed->back() == u'.' ||
                        renamed->find_first_of(u"\\/:*?\"<>|") != std::u16string::npos))
          std::abort();
        const auto target = files::apply_target(wide.substr(0, bar), files::complete_target(wide.substr(bar + 1)));
        (void)target;
      }
      break;
    }
    default: {
      if (const auto bytes = registry::parse_hex_pairs(text)) {
        // What the query side prints reads back the same.
        const std::string shown = registry::hex_pairs(bytes->data(), bytes->size());
        if (registry::parse_hex_pairs(shown) != bytes) std::abort();
      }
      registry::parse_dword(text, data[0] & 4);
      const std::string multi = registry::text_to_multi(text, '|');
      registry::multi_to_text(multi, '|');
      break;
    }
  }
  return 0;
}
