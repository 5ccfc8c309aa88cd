// No audio here: every sound answers "no device" at once.
#include "desktop/sound_backend.h"

namespace orv::desktop {

SoundStatus play_waveform(const std::u16string&, bool, bool) { return SoundStatus::no_device; }
SoundStatus play_midi(const std::u16string&, bool) { return SoundStatus::no_device; }
SoundStatus media_command(const std::u16string&, std::u16string& reply) {
  reply = u"no media device";
  return SoundStatus::failed;
}
SoundStatus volume_get(int&) { return SoundStatus::no_device; }
SoundStatus volume_set(int) { return SoundStatus::no_device; }
bool store_sounds_setting(int) { return false; }

}  // namespace orv::desktop
