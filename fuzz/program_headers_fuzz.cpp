// Fuzz target: program headers and version resources read from a file's
// bytes (ExeTypeInfo, FileVerInfo, InstallFile). Every offset and length in
// the input is the file's own, so none may be trusted.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "builtins/files/exe_headers.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  const files::ReadAt read = files::bytes_reader(bytes);
  const files::ExeType type = files::exe_type(read);
  const auto info = files::version_info(read);
  // Only a 32- or 64-bit image has a version resource to read.
  if (info && (type == files::ExeType::none || type == files::ExeType::dos || type == files::ExeType::win16)) std::abort();
  // The block reader alone, on the raw bytes.
  if (const auto block = files::parse_version_block(data, size))
    for (const auto& table : block->tables)
      for (const auto& [key, value] : table.strings)
        if (key.size() * 2 > size || value.size() * 2 > size) std::abort();
  return 0;
}
