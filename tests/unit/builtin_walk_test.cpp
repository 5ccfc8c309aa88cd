// Every built-in of the keyword table, called with no arguments, answers a
// parameter-count error, another numbered error of its own or a result,
// never "function not defined" (3046). The Windows-only families, which the
// native build leaves out, are listed in builtins_still_missing.txt (the test
// command checks the Windows build's handlers itself); a listed name that
// answers must leave the list, so it only shrinks.
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "builtins/dispatch.h"
#include "engine/keyword_table.h"
#include "engine/keywords.h"
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

// Not called: with no arguments these would wait (for a key, a window, a
// program, a time), show a window or chooser, or change the desktop or the
// session. Their parameter lists are checked by the keyword table tests.
const std::set<std::string> kNotCalled = {
    "about",        "appwaitclose", "askcolor",   "askdirectory", "askfilename", "askfont",    "delay",
    "dialogbox",    "endsession",   "iconarrange", "ignoreinput", "itemselect",  "playmedia",  "playmidi",
    "playwaveform", "snapshot",     "textbox",    "textboxsort",  "textselect",  "waitforkey", "waitforkeyex",
    "wallpaper",    "winarrange",   "winwaitready",
};

std::set<std::string> still_missing_list() {
  std::ifstream in(ORV_SOURCE_DIR "/tests/unit/builtins_still_missing.txt");
  EXPECT_TRUE(in.good()) << "builtins_still_missing.txt not found";
  std::set<std::string> names;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    names.insert(line);
  }
  return names;
}

std::string listed(const std::set<std::string>& names) {
  std::ostringstream out;
  for (const auto& n : names) out << "\n    " << n;
  return out.str();
}

class BuiltinWalkTest : public EngineTest {};

TEST_F(BuiltinWalkTest, EveryBuiltinAnswersOrIsListedAsStillMissing) {
  const std::set<std::string> allowed = still_missing_list();
  std::set<std::string> missing;
  for (int id = 0; id < kKeywordCount; ++id) {
    const auto& r = kKeywords[id];
    if (r.kind != kk::kFunction || r.name[0] == '?' || kNotCalled.count(r.name)) continue;
    // A function without a handler may still pass its argument check and
    // fail with a count error: that is a missing function too.
    const bool handled = handler_table().byId[static_cast<std::size_t>(id)] != nullptr;
    const std::string answer = eval(std::string(r.name) + "()");
    if (!handled || answer == "error 3046") missing.insert(r.name);
    c.error = 0;
    c.errorText.clear();
  }
  std::set<std::string> unlisted, working;
  for (const auto& n : missing)
    if (!allowed.count(n)) unlisted.insert(n);
  for (const auto& n : allowed)
    if (!missing.count(n)) working.insert(n);
  EXPECT_TRUE(unlisted.empty()) << "built-ins answering 3046 (or without a handler) that the list does not name:"
                                << listed(unlisted);
  EXPECT_TRUE(working.empty()) << "built-ins that now answer; take them off builtins_still_missing.txt:"
                               << listed(working);
}

// The straight whole-number call skips the dispatcher's steps for outside
// code and for argument slots: only an inward built-in of exactly one
// argument that a whole number fits as it is may take it, beside its
// general handler.
TEST(HandlerTableTest, StraightWholeCallsAreForInwardOneNumberBuiltins) {
  int straight = 0;
  for (int id = 0; id < kKeywordCount; ++id) {
    if (!handler_table().byIdWhole[static_cast<std::size_t>(id)]) continue;
    ++straight;
    const auto& r = kKeywords[id];
    EXPECT_EQ(r.kind, kk::kFunction) << r.name;
    EXPECT_TRUE(keyword_has(id, kw_flag::kInward)) << r.name;
    EXPECT_EQ(required_count(r), 1) << r.name;
    EXPECT_EQ(optional_count(r), 0) << r.name;
    EXPECT_TRUE(code_keeps_whole_number(arg_type(r, 1))) << r.name;
    EXPECT_NE(handler_table().byId[static_cast<std::size_t>(id)], nullptr) << r.name;
  }
  EXPECT_GT(straight, 0);
}

TEST_F(BuiltinWalkTest, TheSkippedNamesAreBuiltins) {
  for (const auto& name : kNotCalled) {
    bool found = false;
    for (int id = 0; id < kKeywordCount; ++id) found |= name == kKeywords[id].name && kKeywords[id].kind == kk::kFunction;
    EXPECT_TRUE(found) << name;
  }
}

}  // namespace
}  // namespace orv::test
