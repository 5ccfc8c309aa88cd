// The picture language of TimeFormat, separate from its handler for tests.
#pragma once
#include <string>
#include <string_view>
#include "builtins/time/ymdhms.h"

namespace orv::timefn {

struct PictureUse { bool date = false, time = false; };
PictureUse picture_use(std::u16string_view picture);
// Fields must be a valid date and time.
std::u16string apply_picture(std::u16string_view picture, const Fields& f);

}  // namespace orv::timefn
