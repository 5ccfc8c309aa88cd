// DialogBox: a dialog whose definition lives in a file rather than in the
// script's variables; the same reader and runtime as Dialog do the rest.
#include "builtins/families.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "ui/dialogs/definition_file.h"
#include "ui/dialogs/runtime.h"

namespace orv::dialogs {
namespace {

// The file's entries stand under no dialog name, so that the reader's error
// texts name them as the file does ("NumControls").
constexpr char kFileDialogName[] = "";

std::string file_dialog_argument(Call& call, int k) {
  std::string out;
  if (k <= call.count && !value_text(call.c, call.args[static_cast<std::size_t>(k)], out)) call.c.error = 0;
  return out;
}

bool file_dialog_image_exists(std::string_view file) { return platform::file_exists(std::string(file)); }

void dialog_box(Call& call) {
  const std::string title = file_dialog_argument(call, 1);
  const std::string file = file_dialog_argument(call, 2);
  std::string text;
  if (platform::read_whole_file(file, text) != platform::FileStatus::ok) {
    fail(call.c, errs::kDialogFileUnreadable, file);
    return;
  }
  DefinitionEntries entries;
  std::size_t badLine = 0;
  if (!read_definition_file(text, entries, badLine)) {
    fail(call.c, errs::kDialogFileBadLine, file + " line " + int_to_text(static_cast<std::int64_t>(badLine)));
    return;
  }
  if (!title.empty()) entries["caption"] = title;
  EntrySource source(entries, kFileDialogName, file_dialog_image_exists);
  answer_dialog(call, kFileDialogName, source);
}

}  // namespace
}  // namespace orv::dialogs

namespace orv {

void register_dialog_file_functions(HandlerTable& t) { t.add(kw::fn_dialogbox, dialogs::dialog_box); }

}  // namespace orv
