// Sounds on Windows: the multimedia library. The device counts are asked
// first, so that a machine without audio answers at once instead of waiting
// on a driver.
#include <windows.h>
#include <mmsystem.h>

#include "desktop/sound_backend.h"
#include "winauto/win32_text.h"

namespace orv::desktop {
namespace {

using winauto::wide;

bool waveform_device() { return waveOutGetNumDevs() > 0; }

// The alias our MIDI files play under; closed before each new one.
constexpr wchar_t kMidiAlias[] = L"orv_midi";

}  // namespace

SoundStatus play_waveform(const std::u16string& name, bool isFile, bool wait) {
  if (!waveform_device()) return SoundStatus::no_device;
  const std::wstring w = wide(name);
  if (isFile && GetFileAttributesW(w.c_str()) == INVALID_FILE_ATTRIBUTES) return SoundStatus::not_found;
  const DWORD flags = (isFile ? SND_FILENAME : SND_ALIAS) | (wait ? SND_SYNC : SND_ASYNC) | SND_NODEFAULT;
  return PlaySoundW(w.c_str(), nullptr, flags) ? SoundStatus::ok : SoundStatus::failed;
}

SoundStatus play_midi(const std::u16string& file, bool wait) {
  if (midiOutGetNumDevs() == 0) return SoundStatus::no_device;
  const std::wstring w = wide(file);
  if (GetFileAttributesW(w.c_str()) == INVALID_FILE_ATTRIBUTES) return SoundStatus::not_found;
  mciSendStringW((std::wstring(L"close ") + kMidiAlias).c_str(), nullptr, 0, nullptr);
  const std::wstring open = L"open \"" + w + L"\" type sequencer alias " + kMidiAlias;
  if (mciSendStringW(open.c_str(), nullptr, 0, nullptr) != 0) return SoundStatus::failed;
  const std::wstring play = std::wstring(L"play ") + kMidiAlias + (wait ? L" wait" : L"");
  if (mciSendStringW(play.c_str(), nullptr, 0, nullptr) != 0) return SoundStatus::failed;
  if (wait) mciSendStringW((std::wstring(L"close ") + kMidiAlias).c_str(), nullptr, 0, nullptr);
  return SoundStatus::ok;
}

SoundStatus media_command(const std::u16string& command, std::u16string& reply) {
  wchar_t answer[1024] = {};
  const MCIERROR e = mciSendStringW(wide(command).c_str(), answer, 1024, nullptr);
  if (e == 0) {
    reply = winauto::u16(answer);
    return SoundStatus::ok;
  }
  wchar_t reason[256] = {};
  if (!mciGetErrorStringW(e, reason, 256)) reason[0] = L'\0';
  reply = winauto::u16(reason);
  return SoundStatus::failed;
}

SoundStatus volume_get(int& percent) {
  if (!waveform_device()) return SoundStatus::no_device;
  DWORD volume = 0;
  if (waveOutGetVolume(nullptr, &volume) != MMSYSERR_NOERROR) return SoundStatus::no_device;
  percent = static_cast<int>(((volume & 0xFFFF) * 100 + 0x7FFF) / 0xFFFF);
  return SoundStatus::ok;
}

SoundStatus volume_set(int percent) {
  if (!waveform_device()) return SoundStatus::no_device;
  const DWORD level = static_cast<DWORD>(percent) * 0xFFFF / 100;
  return waveOutSetVolume(nullptr, level | (level << 16)) == MMSYSERR_NOERROR ? SoundStatus::ok
                                                                              : SoundStatus::no_device;
}

bool store_sounds_setting(int on) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick\\Settings\\TARNQUIL\\MAIN", 0, nullptr, 0,
                      KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const DWORD value = static_cast<DWORD>(on);
  const bool ok = RegSetValueExA(key, "Sounds", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
                  ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

}  // namespace orv::desktop
