// Sounds as the system plays them. The Windows back end uses the multimedia
// library; the native one has no audio device at all. Nothing here waits for
// a device that is not there: no device is an answer, given at once.
#pragma once
#include <string>

namespace orv::desktop {

enum class SoundStatus { ok, no_device, not_found, failed };

SoundStatus play_waveform(const std::u16string& name, bool isFile, bool wait);
SoundStatus play_midi(const std::u16string& file, bool wait);
// `reply` gets the command's answer, or the system's reason when it failed.
SoundStatus media_command(const std::u16string& command, std::u16string& reply);
SoundStatus volume_get(int& percent);
SoundStatus volume_set(int percent);
// Keeps the Sounds setting for later runs; false when it could not.
bool store_sounds_setting(int on);

// A waveform name that names a file (a path, or a name ending in ".wav")
// rather than one of the system's sounds ("SystemAsterisk").
bool is_sound_file_name(std::u16string_view name);

}  // namespace orv::desktop
