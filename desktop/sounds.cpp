// Sounds, PlayWaveform, PlayMidi, PlayMedia and SoundVolume: argument checks
// and answers here, the playing in the back end. Each function has its own
// "no device" error, so a script can tell which part of the system is missing.
#include "builtins/families.h"
#include "desktop/desktop_groups.h"
#include "desktop/sound_backend.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "winauto/call_support.h"

namespace orv::desktop {

bool is_sound_file_name(std::u16string_view name) {
  if (name.find(u'\\') != std::u16string_view::npos || name.find(u'/') != std::u16string_view::npos) return true;
  if (name.size() < 4) return false;
  std::u16string tail(name.substr(name.size() - 4));
  for (char16_t& ch : tail)
    if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch - u'A' + u'a');
  return tail == u".wav";
}

namespace {

using winauto::text_arg;

constexpr int kSoundsQuery = -1;

std::string sound_text(const std::u16string& s) {
  std::string out;
  platform::utf16_to_ansi(s, out);
  return out;
}

void sounds(Call& call) {
  const int on = call.args[1].i;
  if (on != 0 && on != 1 && on != kSoundsQuery) {
    fail(call.c, errs::kSoundsBadSwitch, int_to_text(on));
    return;
  }
  const int previous = call.c.sounds;
  if (on != kSoundsQuery) {
    call.c.sounds = on;
    store_sounds_setting(on);   // a setting that cannot be kept still holds for this run
  }
  make_int(call.result, previous);
}

// A wait or mode switch of 0 or 1; false with `error` set otherwise.
bool wait_switch(Call& call, int k, std::uint16_t error) {
  const int v = call.args[static_cast<std::size_t>(k)].i;
  if (v == 0 || v == 1) return true;
  fail(call.c, error, int_to_text(v));
  return false;
}

struct StatusErrors {
  std::uint16_t noDevice, notFound, failed;
};

bool sound_answered(Call& call, SoundStatus s, const StatusErrors& e, const std::u16string& what) {
  switch (s) {
    case SoundStatus::ok: return true;
    case SoundStatus::no_device: fail(call.c, e.noDevice); return false;
    case SoundStatus::not_found: fail(call.c, e.notFound, sound_text(what)); return false;
    case SoundStatus::failed: fail(call.c, e.failed, sound_text(what)); return false;
  }
  return false;
}

void play_waveform_fn(Call& call) {
  if (!wait_switch(call, 2, errs::kPlayWaveformBadWait)) return;
  const std::u16string name = text_arg(call, 1);
  if (sound_answered(call, play_waveform(name, is_sound_file_name(name), call.args[2].i == 1), {errs::kNoAudioDevice, errs::kSoundFileNotFound, errs::kSoundPlayFailed}, name))
    make_int(call.result, 1);
}

void play_midi_fn(Call& call) {
  if (!wait_switch(call, 2, errs::kPlayMidiBadMode)) return;
  const std::u16string file = text_arg(call, 1);
  if (sound_answered(call, play_midi(file, call.args[2].i == 1), {errs::kNoMidiDevice, errs::kMidiFileNotFound, errs::kMidiPlayFailed}, file)) make_int(call.result, 1);
}

void play_media_fn(Call& call) {
  std::u16string reply;
  const SoundStatus s = media_command(text_arg(call, 1), reply);
  if (sound_answered(call, s, {errs::kMediaCommandFailed, errs::kMediaCommandFailed, errs::kMediaCommandFailed}, reply)) winauto::text_result(call, reply);
}

enum VolumeRequest { kVolumeGet = 0, kVolumeSet = 1 };
constexpr int kVolumeMax = 100;

void sound_volume(Call& call) {
  const int request = call.args[1].i, value = call.args[2].i;
  if (request != kVolumeGet && request != kVolumeSet) {
    fail(call.c, errs::kVolumeBadRequest, int_to_text(request));
    return;
  }
  if (request == kVolumeSet && (value < 0 || value > kVolumeMax)) {
    fail(call.c, errs::kBadVolume, int_to_text(value));
    return;
  }
  const StatusErrors errors{errs::kVolumeNoAudioDevice, errs::kVolumeNoAudioDevice, errs::kVolumeNoAudioDevice};
  int previous = 0;
  if (!sound_answered(call, volume_get(previous), errors, {})) return;
  if (request == kVolumeSet && !sound_answered(call, volume_set(value), errors, {})) return;
  make_int(call.result, previous);
}

}  // namespace

void register_sounds(HandlerTable& t) {
  t.add(kw::fn_sounds, sounds);
  t.add(kw::fn_playwaveform, play_waveform_fn);
  t.add(kw::fn_playmidi, play_midi_fn);
  t.add(kw::fn_playmedia, play_media_fn);
  t.add(kw::fn_soundvolume, sound_volume);
}

}  // namespace orv::desktop
