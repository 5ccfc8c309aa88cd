// Picture objects for the picture properties of ActiveX controls.
#pragma once
#include <string>

#include "engine/context.h"

namespace orv::com {

// A picture object from an image file as a script value (`out` empty);
// 3981 when the file cannot be read as a picture.
bool load_picture(Context& c, const std::wstring& file, Value& out);

}  // namespace orv::com
