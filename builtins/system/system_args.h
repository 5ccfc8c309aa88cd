// What the folder, disk and environment built-ins share: their error numbers
// and the two result forms they answer with.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "builtins/dispatch.h"

namespace orv::system {

namespace err {
inline constexpr std::uint16_t kNotOnThisSystem = 1193;
inline constexpr std::uint16_t kDirChangeNotFound = 1935, kDirChangeFailed = 4101, kDirSizeNotFound = 1936,
                               kDirSizeUnreadable = 4103, kDirSizeFlags = 4104, kDirRenameNotFound = 1937,
                               kDirRenameExists = 4106, kDirRenameOtherDrive = 4107, kDirRenameFailed = 4108,
                               kDirWindowsRequest = 4109, kEmptyFolderName = 4110, kDirHomeUnknown = 4111,
                               kDirGetFailed = 4112;
inline constexpr std::uint16_t kNotADrive = 4115, kNoDrive = 4116, kDriveNotFound = 1938, kDriveNotReady = 1939,
                               kDiskScanKinds = 4119, kDiskFormat = 4120, kDiskInfoRequest = 4121,
                               kDiskVolInfoRequest = 4122, kNotAVolumeRoot = 4123, kLogDiskFailed = 4124;
inline constexpr std::uint16_t kBadVariableName = 4130, kValueTooLong = 4131, kEnvironSetRefused = 4132;
}  // namespace err

// Text the system hands over: UTF-16 when the call is wide or when the text
// holds characters the ANSI code page lacks, else ANSI.
bool set_system_text(Call& call, std::u16string_view text);
// A path or item as an error's additional text.
std::string shown(std::u16string_view text);
// A size or count: a 32-bit integer while it fits, else a 64-bit one.
void set_count(Call& call, std::uint64_t n);

void register_directories(HandlerTable& t);
void register_disks(HandlerTable& t);
void register_environment(HandlerTable& t);

}  // namespace orv::system
