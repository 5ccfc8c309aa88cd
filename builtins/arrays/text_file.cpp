#include "builtins/arrays/text_file.h"

#include <cstdio>
#include <memory>

#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv::arrays {

bool path_arg(Call& call, int k, std::string& path) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  if (v.flags & vf::kStr) {
    path = str_of(call.c, v);
    return true;
  }
  if ((v.flags & vf::kWide) && platform::utf16_to_ansi(wstr_view(call.c, v), path)) return true;
  return fail(call.c, 1800);
}

bool read_text_file(Context& c, const std::string& path, FileText& out) {
  std::string bytes;
  switch (platform::read_whole_file(path, bytes)) {
    case platform::FileStatus::ok: break;
    case platform::FileStatus::not_found: return fail(c, 1800);
    default: return fail(c, 1801);
  }
  const bool little = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                      static_cast<unsigned char>(bytes[1]) == 0xFE;
  const bool big = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
                   static_cast<unsigned char>(bytes[1]) == 0xFF;
  if (!little && !big) {
    out.wide = false;
    out.ansi = std::move(bytes);
    return true;
  }
  out.wide = true;
  const std::size_t units = (bytes.size() - 2) / 2;
  out.utf16.resize(units);
  for (std::size_t i = 0; i < units; ++i) {
    const auto b0 = static_cast<unsigned char>(bytes[2 + 2 * i]), b1 = static_cast<unsigned char>(bytes[3 + 2 * i]);
    out.utf16[i] = static_cast<char16_t>(little ? b0 | (b1 << 8) : (b0 << 8) | b1);
  }
  return true;
}

bool write_file(Context& c, const std::string& path, std::string_view bytes, bool append) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), append ? "ab" : "wb"));
  if (!file) return fail(c, 1800);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return fail(c, 1802);
  if (std::fclose(file.release()) != 0) return fail(c, 1802);
  return true;
}

bool file_is_empty(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return true;
  const bool empty = std::fgetc(f) == EOF;
  std::fclose(f);
  return empty;
}

void append_utf16le(std::string& out, std::u16string_view text) {
  out.reserve(out.size() + 2 * text.size());
  for (char16_t u : text) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  }
}

}  // namespace orv::arrays
