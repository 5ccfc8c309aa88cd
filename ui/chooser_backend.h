// The file, folder and colour choosers as the system shows them; natively
// there is no display and every chooser fails at once.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "ui/box_backend.h"
#include "ui/chooser_text.h"

namespace orv::ui {

enum class FileMode { save = 0, open = 1, open_multiple = 2 };
struct FileRequest {
  std::u16string title, folder, filter, initial;   // filter as file_filter makes it
  FileMode mode = FileMode::open;
};
// `answer` gets the system's answer as it stands (see chosen_files).
BoxAnswer file_chooser(Context& c, const FileRequest& r, std::u16string& answer);

struct FolderRequest {
  std::u16string prompt, root, start;
  bool editBox = false, newFolderButton = false;
};
BoxAnswer folder_chooser(Context& c, const FolderRequest& r, std::u16string& folder);

struct ColourRequest {
  std::uint32_t initial = 0;                    // the system's number: red in the low byte
  std::array<std::uint32_t, 16> custom{};       // the chooser's custom colours, kept by the caller
};
BoxAnswer colour_chooser(Context& c, ColourRequest& r, std::uint32_t& chosen);
enum class FontList { all = 0, fixed_pitch = 1, true_type = 2 };
struct FontRequest {
  FontList list = FontList::all;
  bool effects = false;        // underline and strike-out offered
  FontChoice initial;
};
BoxAnswer font_chooser(Context& c, const FontRequest& r, FontChoice& chosen);

// The custom colours kept under a name between runs ("" keeps none).
void load_custom_colours(const std::u16string& key, std::array<std::uint32_t, 16>& custom);
void store_custom_colours(const std::u16string& key, const std::array<std::uint32_t, 16>& custom);

}  // namespace orv::ui
