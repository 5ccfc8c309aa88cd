// DiskExist, DiskScan, DiskFree, DiskSize, DiskInfo, DiskVolInfo and LogDisk:
// drives by letter, their space and their volume facts. Arguments are checked
// before any drive is asked, so a bad request fails the same way on every
// machine; a drive that is not there is told apart from one that is not ready
// (an empty card reader).
#include "builtins/files/file_args.h"
#include "builtins/system/system_args.h"
#include "builtins/system/system_text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/volumes.h"

namespace orv::system {
namespace {

namespace pv = platform::volumes;

bool drive_exists(char letter) { return (pv::drive_mask() >> (letter - 'A')) & 1u; }

std::string drive_name(char letter) { return {letter, ':'}; }

// Argument k as one drive letter; false with the error set.
bool drive_arg(Call& call, int k, char& letter) {
  const std::u16string text = files::wide_arg(call, k);
  const auto parsed = parse_drive(text);
  if (!parsed) return fail(call.c, errs::kNotADriveLetter, shown(text));
  letter = *parsed;
  return true;
}

bool need_drive(Call& call, char letter) {
  return drive_exists(letter) ? true : fail(call.c, errs::kDriveNotFound, drive_name(letter));
}

bool not_ready(Call& call, const std::u16string& root, std::uint32_t code) {
  return fail(call.c, errs::kDriveNotReady, shown(root) + ": " + platform::files::error_text(code));
}

void disk_exist(Call& call) {
  char letter = 0;
  if (!drive_arg(call, 1, letter)) return;
  make_int(call.result, drive_exists(letter) ? 1 : 0);
}

void disk_scan(Call& call) {
  const int kinds = call.args[1].i;
  if (kinds < 0 || kinds > 31) { fail(call.c, errs::kDiskScanBadKinds); return; }
  const std::uint32_t mask = pv::drive_mask();
  std::string list;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (!((mask >> (letter - 'A')) & 1u)) continue;
    if (!(pv::kind_of(drive_root(letter)) & static_cast<unsigned>(kinds))) continue;
    if (!list.empty()) list += '\t';
    list += drive_name(letter);
  }
  files::set_text(call, list);
}

// DiskFree and DiskSize: bytes summed over the drives of a list.
template <bool Total>
void disk_space(Call& call) {
  const int format = call.count >= 2 ? call.args[2].i : 0;
  if (format != 0 && format != 1) { fail(call.c, errs::kDiskBadFormat); return; }
  const DriveList drives = parse_drive_list(files::wide_arg(call, 1));
  if (drives.bad) { fail(call.c, errs::kNotADriveLetter, shown(*drives.bad)); return; }
  if (drives.letters.empty()) { fail(call.c, errs::kNoSuchDrive); return; }
  for (char letter : drives.letters)
    if (!need_drive(call, letter)) return;
  std::uint64_t sum = 0;
  for (char letter : drives.letters) {
    std::uint64_t freeBytes = 0, totalBytes = 0;
    std::uint32_t code = 0;
    const std::u16string root = drive_root(letter);
    if (!pv::space(root, freeBytes, totalBytes, code)) { not_ready(call, root, code); return; }
    sum += Total ? totalBytes : freeBytes;
  }
  if (format == 1) files::set_text(call, group_thousands(sum));
  else set_count(call, sum);
}

void disk_info(Call& call) {
  char letter = 0;
  if (!drive_arg(call, 1, letter)) return;
  const int request = call.args[2].i;
  if (request < 1 || request > 5) { fail(call.c, errs::kDiskInfoBadRequest); return; }
  if (!need_drive(call, letter)) return;
  const std::u16string root = drive_root(letter);
  if (request == 5) { make_int(call.result, static_cast<std::int32_t>(pv::kind_of(root))); return; }
  pv::Geometry g;
  std::uint32_t code = 0;
  if (!pv::geometry(root, g, code)) { not_ready(call, root, code); return; }
  const std::uint32_t answers[] = {g.sectorsPerCluster, g.bytesPerSector, g.freeClusters, g.totalClusters};
  set_count(call, answers[request - 1]);
}

void disk_vol_info(Call& call) {
  const std::u16string text = files::wide_arg(call, 1);
  const auto root = volume_root(text);
  if (!root) { fail(call.c, errs::kNotAVolumeRoot, shown(text)); return; }
  const int request = call.args[2].i;
  if (request < 1 || request > 6) { fail(call.c, errs::kDiskVolInfoBadRequest); return; }
  if ((*root)[1] == u':' && !need_drive(call, static_cast<char>((*root)[0]))) return;
  pv::Facts f;
  std::uint32_t code = 0;
  if (!pv::facts(*root, f, code)) { not_ready(call, *root, code); return; }
  switch (request) {
    case 1: set_system_text(call, f.label); break;
    case 2: files::set_text(call, serial_text(f.serial)); break;
    case 3: set_system_text(call, f.fileSystem); break;
    case 4: set_count(call, f.flags); break;
    case 5: set_count(call, f.longestName); break;
    default: set_count(call, f.serial); break;
  }
}

void log_disk(Call& call) {
  char letter = 0;
  if (!drive_arg(call, 1, letter)) return;
  if (!need_drive(call, letter)) return;
  // "X:" alone is the folder the drive was last left in.
  std::u16string full;
  if (!files::full_path(call.c, {static_cast<char16_t>(letter), u':'}, full)) return;
  std::uint32_t code = 0;
  if (!platform::folders::change(full, code)) {
    files::os_fail(call.c, errs::kLogDiskFailed, "SetCurrentDirectory", code);
    return;
  }
  make_int(call.result, 1);
}

}  // namespace

void register_disks(HandlerTable& t) {
  t.add(kw::fn_diskexist, disk_exist);
  t.add(kw::fn_diskscan, disk_scan);
  t.add(kw::fn_diskfree, disk_space<false>);
  t.add(kw::fn_disksize, disk_space<true>);
  t.add(kw::fn_diskinfo, disk_info);
  t.add(kw::fn_diskvolinfo, disk_vol_info);
  t.add(kw::fn_logdisk, log_disk);
}

}  // namespace orv::system
