// Icon files and the icon resources of programs, platform free. An icon file
// is a directory of images followed by the images; a program keeps the same
// directory as a group resource that names its images by resource number.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::desktop {

struct IconImage {
  std::uint8_t width = 0, height = 0, colours = 0;   // 0 width or height: 256
  std::uint16_t planes = 0, bitCount = 0;
  std::uint16_t resourceId = 0;                      // in a group only
  std::string bytes;                                 // the image itself
};

// An icon file's images; none when the bytes are no well-formed icon file
// (sizes and offsets are checked against the bytes).
std::optional<std::vector<IconImage>> read_icon_file(std::string_view bytes);
std::string write_icon_file(const std::vector<IconImage>& images);

// A group resource's entries (images without bytes); none when malformed.
std::optional<std::vector<IconImage>> read_icon_group(std::string_view bytes);
std::string write_icon_group(const std::vector<IconImage>& images);

// "32x32x32" per image (width x height x bits), joined with TAB.
std::string describe_images(const std::vector<IconImage>& images);

}  // namespace orv::desktop
