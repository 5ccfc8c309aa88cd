// IconExtract, IconInfo and IconReplace: the icon groups of programs (and
// libraries) read through the resource functions and written back with the
// resource updater; the file formats themselves are in icon_file.cpp.
#include <windows.h>

#include "builtins/families.h"
#include "desktop/desktop_groups.h"
#include "desktop/icon_file.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/byte_files.h"
#include "winauto/call_support.h"
#include "winauto/win32_text.h"

namespace orv::desktop {
namespace {

using winauto::text_arg;
using winauto::wide;

// The resource types in their wide form (the build is not a UNICODE one).
const LPCWSTR kResIcon = MAKEINTRESOURCEW(3);
const LPCWSTR kResIconGroup = MAKEINTRESOURCEW(14);

// A program opened for reading its resources only (nothing of it runs).
class ResourceModule {
 public:
  explicit ResourceModule(const std::u16string& path)
      : module_(LoadLibraryExW(wide(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~ResourceModule() {
    if (module_) FreeLibrary(module_);
  }
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// A resource name as the system hands it: a number or a text.
struct ResourceName {
  bool isNumber = false;
  WORD number = 0;
  std::wstring text;
  LPCWSTR get() const { return isNumber ? MAKEINTRESOURCEW(number) : text.c_str(); }
};

BOOL CALLBACK collect_group_name(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR out) {
  ResourceName n;
  if (IS_INTRESOURCE(name)) {
    n.isNumber = true;
    n.number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  } else {
    n.text = name;
  }
  reinterpret_cast<std::vector<ResourceName>*>(out)->push_back(std::move(n));
  return TRUE;
}

std::vector<ResourceName> icon_groups(HMODULE module) {
  std::vector<ResourceName> names;
  EnumResourceNamesW(module, kResIconGroup, collect_group_name, reinterpret_cast<LONG_PTR>(&names));
  return names;
}

BOOL CALLBACK first_language(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR out) {
  *reinterpret_cast<WORD*>(out) = language;
  return FALSE;
}

std::optional<std::string> resource_bytes(HMODULE module, LPCWSTR type, LPCWSTR name) {
  HRSRC found = FindResourceW(module, name, type);
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return std::nullopt;
  return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

// The images of the program's icon number `index` (0 = first), bytes included.
std::optional<std::vector<IconImage>> program_icon(HMODULE module, int index) {
  const std::vector<ResourceName> groups = icon_groups(module);
  if (index < 0 || static_cast<std::size_t>(index) >= groups.size()) return std::nullopt;
  const std::optional<std::string> group = resource_bytes(module, kResIconGroup, groups[static_cast<std::size_t>(index)].get());
  if (!group) return std::nullopt;
  std::optional<std::vector<IconImage>> images = read_icon_group(*group);
  if (!images) return std::nullopt;
  for (IconImage& image : *images) {
    std::optional<std::string> bytes = resource_bytes(module, kResIcon, MAKEINTRESOURCEW(image.resourceId));
    if (!bytes || bytes->empty()) return std::nullopt;
    image.bytes = std::move(*bytes);
  }
  return images;
}

bool read_file_bytes(const std::u16string& path, std::string& out) {
  platform::ByteFile f;
  if (!f.open(path, platform::ByteFile::Mode::read)) return false;
  const std::int64_t size = f.size();
  if (size < 0 || size > (std::int64_t{1} << 26)) return false;   // icons are small; refuse the absurd
  out.assign(static_cast<std::size_t>(size), '\0');
  return out.empty() || f.read(out.data(), out.size());
}

bool write_file_bytes(const std::u16string& path, std::string_view bytes) {
  platform::ByteFile f;
  return f.open(path, platform::ByteFile::Mode::create_truncate) && f.write(bytes.data(), bytes.size());
}

std::string shown(std::u16string_view s) { return winauto::to_utf8(s); }

void icon_extract(Call& call) {
  const std::u16string program = text_arg(call, 1), iconFile = text_arg(call, 2);
  ResourceModule module(program);
  if (!module.get()) {
    fail(call.c, errs::kIconProgramNotFound, shown(program));
    return;
  }
  const std::optional<std::vector<IconImage>> images = program_icon(module.get(), call.args[3].i);
  if (!images) {
    fail(call.c, errs::kNoIconAtIndex, shown(program) + " " + int_to_text(call.args[3].i));
    return;
  }
  if (!write_file_bytes(iconFile, write_icon_file(*images))) {
    fail(call.c, errs::kIconWriteFailed, shown(iconFile));
    return;
  }
  make_int(call.result, static_cast<std::int32_t>(images->size()));
}

// What IconInfo answers about the first icon of a file or the icons of a program.
enum IconRequest { kIconCount = 0, kImageCount = 1, kImageSizes = 2 };

void icon_info(Call& call) {
  const std::u16string file = text_arg(call, 1);
  const int request = call.args[2].i;
  if (request < kIconCount || request > kImageSizes) {
    fail(call.c, errs::kIconInfoBadRequest, int_to_text(request));
    return;
  }
  std::string bytes;
  std::optional<std::vector<IconImage>> images;
  std::size_t icons = 0;
  if (read_file_bytes(file, bytes) && (images = read_icon_file(bytes))) {
    icons = 1;
  } else {
    ResourceModule module(file);
    if (!module.get()) {
      fail(call.c, errs::kIconProgramNotFound, shown(file));
      return;
    }
    icons = icon_groups(module.get()).size();
    if (icons) images = program_icon(module.get(), 0);
    if (!images) images.emplace();
  }
  if (request == kIconCount) make_int(call.result, static_cast<std::int32_t>(icons));
  else if (request == kImageCount) make_int(call.result, static_cast<std::int32_t>(images->size()));
  else winauto::text_result(call, winauto::u16(winauto::from_utf8(describe_images(*images))));
}

// Numbers for the new images: the group's old ones first, then unused ones.
std::vector<WORD> image_ids(HMODULE module, const std::vector<IconImage>& old, std::size_t wanted) {
  std::vector<WORD> ids;
  for (const IconImage& e : old)
    if (ids.size() < wanted) ids.push_back(e.resourceId);
  for (WORD id = 1; ids.size() < wanted && id < 0x7FFF; ++id) {
    bool used = FindResourceW(module, MAKEINTRESOURCEW(id), kResIcon) != nullptr;
    for (WORD taken : ids) used = used || taken == id;
    if (!used) ids.push_back(id);
  }
  return ids;
}

void icon_replace(Call& call) {
  const std::u16string program = text_arg(call, 1), iconFile = text_arg(call, 2);
  const int index = call.args[3].i;
  std::string bytes;
  std::optional<std::vector<IconImage>> images;
  if (!read_file_bytes(iconFile, bytes) || !(images = read_icon_file(bytes))) {
    fail(call.c, errs::kNotAnIconFile, shown(iconFile));
    return;
  }
  // Read what the group holds now; the program must be closed again before it is rewritten.
  ResourceName group;
  WORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  std::vector<IconImage> old;
  std::vector<WORD> ids;
  {
    ResourceModule module(program);
    if (!module.get()) {
      fail(call.c, errs::kIconProgramNotFound, shown(program));
      return;
    }
    const std::vector<ResourceName> groups = icon_groups(module.get());
    const std::optional<std::string> groupBytes =
        index >= 0 && static_cast<std::size_t>(index) < groups.size()
            ? resource_bytes(module.get(), kResIconGroup, groups[static_cast<std::size_t>(index)].get())
            : std::nullopt;
    std::optional<std::vector<IconImage>> entries = groupBytes ? read_icon_group(*groupBytes) : std::nullopt;
    if (!entries) {
      fail(call.c, errs::kNoIconAtIndex, shown(program) + " " + int_to_text(index));
      return;
    }
    group = groups[static_cast<std::size_t>(index)];
    EnumResourceLanguagesW(module.get(), kResIconGroup, group.get(), first_language, reinterpret_cast<LONG_PTR>(&language));
    old = std::move(*entries);
    ids = image_ids(module.get(), old, images->size());
  }
  if (ids.size() < images->size()) {
    fail(call.c, errs::kIconReplaceFailed, shown(program));
    return;
  }
  HANDLE update = BeginUpdateResourceW(wide(program).c_str(), FALSE);
  if (!update) {
    fail(call.c, errs::kIconReplaceFailed, shown(program));
    return;
  }
  bool ok = true;
  for (std::size_t i = images->size(); i < old.size(); ++i)   // images the new icon does not reuse
    ok = ok && UpdateResourceW(update, kResIcon, MAKEINTRESOURCEW(old[i].resourceId), language, nullptr, 0);
  for (std::size_t i = 0; i < images->size(); ++i) {
    IconImage& image = (*images)[i];
    image.resourceId = ids[i];
    ok = ok && UpdateResourceW(update, kResIcon, MAKEINTRESOURCEW(image.resourceId), language, image.bytes.data(),
                               static_cast<DWORD>(image.bytes.size()));
  }
  std::string groupBytes = write_icon_group(*images);
  ok = ok && UpdateResourceW(update, kResIconGroup, group.get(), language, groupBytes.data(),
                             static_cast<DWORD>(groupBytes.size()));
  if (!EndUpdateResourceW(update, ok ? FALSE : TRUE) || !ok) {
    fail(call.c, errs::kIconReplaceFailed, shown(program));
    return;
  }
  make_int(call.result, static_cast<std::int32_t>(images->size()));
}

}  // namespace

void register_icons(HandlerTable& t) {
  t.add(kw::fn_iconextract, icon_extract);
  t.add(kw::fn_iconinfo, icon_info);
  t.add(kw::fn_iconreplace, icon_replace);
}

}  // namespace orv::desktop
