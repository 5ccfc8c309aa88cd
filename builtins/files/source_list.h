// The driver the file-management built-ins share: splits a source list,
// expands patterns in the name part, and runs one operation per file.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "builtins/dispatch.h"

namespace orv::files {

struct ListRules {
  bool patterns = true;   // false: a pattern fails with 3322
  bool tolerant = false;  // skip missing files and patterns without a match
};

// Runs op(full path) for each file; stops at the first failure. False with
// the error set.
bool for_each_source(Context& c, std::u16string_view list, ListRules rules,
                     const std::function<bool(const std::u16string&)>& op);

// A copy target as written, completed to a mask where it stands for a
// folder: ending in a separator or a colon, or naming an existing folder.
// False with the error set when it cannot be made a full path.
bool target_as_mask(Context& c, std::u16string& target);

// The target side of copy, move and rename: a plain name, or a mask whose
// "*" and "?" take the source's name.
class TargetMask {
 public:
  // False with the error set when the target cannot be made a full path.
  bool parse(Context& c, std::u16string target);
  // The target for one source file; false with 1324 when it cannot be mapped.
  bool target_for(Context& c, const std::u16string& source, std::u16string& out) const;

 private:
  std::u16string full_;
};

}  // namespace orv::files
