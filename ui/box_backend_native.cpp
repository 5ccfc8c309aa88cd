// No display in the native build: every box fails at once.
#include "ui/box_backend.h"
#include "ui/chooser_backend.h"

namespace orv::ui {

BoxAnswer message_box(Context&, const std::u16string&, const std::u16string&, MessageKind) { return kBoxFailed; }
BoxAnswer line_box(Context&, const LineRequest&, std::u16string&) { return kBoxFailed; }
BoxAnswer list_box(Context&, const ListRequest&, std::vector<std::size_t>&) { return kBoxFailed; }
BoxAnswer text_box(Context&, const TextRequest&, std::u16string&) { return kBoxFailed; }
BoxAnswer display_box(Context&, const DisplayRequest&) { return kBoxFailed; }
BoxAnswer file_chooser(Context&, const FileRequest&, std::u16string&) { return kBoxFailed; }
BoxAnswer folder_chooser(Context&, const FolderRequest&, std::u16string&) { return kBoxFailed; }
BoxAnswer colour_chooser(Context&, ColourRequest&, std::uint32_t&) { return kBoxFailed; }
BoxAnswer font_chooser(Context&, const FontRequest&, FontChoice&) { return kBoxFailed; }
void load_custom_colours(const std::u16string&, std::array<std::uint32_t, 16>&) {}
void store_custom_colours(const std::u16string&, const std::array<std::uint32_t, 16>&) {}

}  // namespace orv::ui
