// No display in the native build: every box fails at once.
#include "ui/box_backend.h"

namespace orv::ui {

BoxAnswer message_box(Context&, const std::u16string&, const std::u16string&, MessageKind) { return kBoxFailed; }
BoxAnswer line_box(Context&, const LineRequest&, std::u16string&) { return kBoxFailed; }
BoxAnswer list_box(Context&, const ListRequest&, std::vector<std::size_t>&) { return kBoxFailed; }
BoxAnswer text_box(Context&, const TextRequest&, std::u16string&) { return kBoxFailed; }
BoxAnswer display_box(Context&, const DisplayRequest&) { return kBoxFailed; }

}  // namespace orv::ui
