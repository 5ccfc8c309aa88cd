#include "builtins/files/source_list.h"

#include "builtins/files/file_args.h"
#include "builtins/files/name_rules.h"
#include "engine/error_numbers.h"
#include "platform/files.h"

namespace orv::files {

namespace pf = platform::files;

bool for_each_source(Context& c, std::u16string_view list, ListRules rules,
                     const std::function<bool(const std::u16string&)>& op) {
  const auto items = split_source_list(list);
  if (!items) return fail(c, errs::kUnrecognizedItem);
  for (const std::u16string& item : *items) {
    std::u16string full;
    if (!full_path(c, item, full)) return false;
    const std::size_t cut = name_start(full);
    if (!has_wildcards(std::u16string_view(full).substr(cut))) {
      if (rules.tolerant && pf::attributes(full) == pf::kNoAttributes) continue;
      if (!op(full)) return false;
      continue;
    }
    if (!rules.patterns) return fail(c, errs::kWildcardsNotAllowed);
    std::vector<pf::Entry> found;
    std::uint32_t err = 0;
    pf::find(full, found, err);
    bool any = false;
    for (const pf::Entry& e : found) {
      if (e.attributes & pf::kDirectory) continue;
      any = true;
      if (!op(full.substr(0, cut) + e.name)) return false;
    }
    if (!any && !rules.tolerant) return fail(c, errs::kFileListNoMatch);
  }
  return true;
}

bool target_as_mask(Context& c, std::u16string& target) {
  target = complete_target(std::move(target));
  std::u16string full;
  if (!full_path(c, target, full)) return false;
  const std::uint32_t a = pf::attributes(full);
  if (a != pf::kNoAttributes && (a & pf::kDirectory)) target += u"\\*.*";
  return true;
}

bool TargetMask::parse(Context& c, std::u16string target) {
  return target_as_mask(c, target) && full_path(c, target, full_);
}

bool TargetMask::target_for(Context& c, const std::u16string& source, std::u16string& out) const {
  auto mapped = apply_target(source, full_);
  if (!mapped) return fail(c, errs::kFileMapNameUnmappable);
  out = std::move(*mapped);
  return true;
}

}  // namespace orv::files
