#include "kolvo2/game_sound.h"

#include <cstdio>
#include <string>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_vtimer.h"

namespace {

constexpr bool kStereo = true;
constexpr uint32_t kFadeOutDivisor = 2;  // the old music fades out at half the fade-in speed

uint32_t Now() { return ClassZRTimer::Count(); }

}  // namespace

ClassSound::ClassSound() : speaker(ownspeaker) {}

ClassSound::ClassSound(qssSpeaker& given) : speaker(given) {}

ClassSound::~ClassSound() { Cleanup(); }

int ClassSound::Initialize(bool allOff, uint32_t sfxVolume, uint32_t bgmVolume, ZCD* context) {
  if (failed) return 0;
  if (open) return 1;
  if (context) zcd = context;
  const uint32_t now = Now();
  for (uint32_t& t : times) t = now;
  sfxvolume = sfxVolume;
  bgmvolume = bgmVolume;
  alloff = allOff;
  if (alloff) return 1;
  return Open();
}

int ClassSound::Open() {
  if (failed || alloff) return 0;
  if (open) return 1;
  int result;
  if (bits == 0) {
    result = speaker.open(RATE, 16, kStereo, MUSIC_CHANNELS, SOUND_CHANNELS);
    if (result != 0) result = speaker.open(RATE, 8, kStereo, MUSIC_CHANNELS, SOUND_CHANNELS);
  } else {
    result = speaker.open(RATE, bits, kStereo, MUSIC_CHANNELS, SOUND_CHANNELS);
  }
  if (result != 0) {
    // Marked for good: a device that refused once is not tried again every frame.
    failed = true;
    return 0;
  }
  speaker.volumeSounds(sfxvolume);
  speaker.volumeMusics(bgmvolume);
  suspended = false;
  open = true;
  return 1;
}

void ClassSound::Suspend() {
  if (!open || alloff || suspended) return;
  speaker.suspend();
  suspended = true;
}

void ClassSound::Resume() {
  if (!open || alloff || !suspended) return;
  speaker.resume();
  suspended = false;
}

template <class Playable, uint32_t N>
int ClassSound::LoadPack(const char* folder, const char* pack, Playable (&items)[N],
                         uint8_t* (&data)[N], uint32_t& found) {
  const std::string path = std::string(folder ? folder : "") + "res\\" + pack;
  // The game goes on silent without them, so a player is told which pack to look at.
  const std::string shown = std::string(folder ? folder : "") + "res/" + pack;
  ClassZFile file;
  // Read access is all loading needs: a pack in a read-only folder still plays.
  if (!file.Open(path.c_str(), ZFILE_MODE_READ)) {
    std::fprintf(stderr, "kolvo2: cannot open %s: missing, or not a pack\n", shown.c_str());
    return 0;
  }
  const uint32_t count = file.PackContainFiles();
  if (count == 0) std::fprintf(stderr, "kolvo2: %s holds no entries\n", shown.c_str());
  found = count < N ? count : N;
  for (uint32_t i = 0; i < found; ++i) {
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    // The entry's size bounds every read the library makes of it.
    const bool read = file.PackGetFileData(buffer, size, i) == ZPK_OK && buffer;
    if (!read || items[i].load(buffer, size, false) != 0) {
      std::fprintf(stderr, "kolvo2: cannot %s entry %u of %s; it stays silent\n",
                   read ? "load" : "read", i + 1, shown.c_str());
      items[i].destroy();
      ClassZMemory::DeAlloc(buffer);
      continue;
    }
    data[i] = buffer;
  }
  file.Close();
  return 1;
}

int ClassSound::LoadSfxFiles(const char* folder) {
  ReleaseEffects();
  return LoadPack(folder, "sfx.zpk", effects, sfxdata, sfxfound);
}

int ClassSound::LoadBgmFiles(const char* folder) {
  ReleaseMusics();
  return LoadPack(folder, "bgm.zpk", musics, bgmdata, bgmfound);
}

void ClassSound::ReleaseEffects() {
  // The mixer may be reading a buffer: its channels stop first (stop returns once the
  // mixer is done with them).
  if (speaker.isOpen()) speaker.stopSounds();
  for (uint32_t i = 0; i < EFFECTS; ++i) {
    effects[i].destroy();
    ClassZMemory::DeAlloc(sfxdata[i]);
    sfxdata[i] = nullptr;
  }
  sfxfound = 0;
}

void ClassSound::ReleaseMusics() {
  StopMusic(prevstarted, prevchannel);
  StopMusic(curstarted, curchannel);
  if (speaker.isOpen()) speaker.stopMusics();
  for (uint32_t i = 0; i < MUSICS; ++i) {
    musics[i].destroy();
    ClassZMemory::DeAlloc(bgmdata[i]);
    bgmdata[i] = nullptr;
  }
  bgmfound = 0;
}

void ClassSound::PlaySfx(uint16_t effect) {
  if (!open || effect == 0 || sfxvolume == 0 || alloff || effect > sfxfound) return;
  if (Now() - times[effect] < REPEAT_MS) return;
  speaker.playSound(&effects[effect - 1], QSS_ANY_CHANNEL);
  times[effect] = Now();
}

void ClassSound::StartMusic(uint16_t music, uint16_t& started, int32_t& channel) {
  const int index = speaker.playMusic(&musics[music - 1], QSS_ANY_CHANNEL);
  // A music the speaker cannot start stays unstarted: none of its channels is touched.
  if (index < 0) return;
  started = music;
  channel = index;
}

void ClassSound::StopMusic(uint16_t& started, int32_t channel) {
  if (started == 0) return;
  if (qssChannel* c = speaker.channel(channel)) c->stop();
  started = 0;
}

void ClassSound::MusicVolume(uint16_t started, int32_t channel, uint32_t level) {
  if (started == 0) return;
  if (qssChannel* c = speaker.channel(channel)) c->volume(level * 64 / LEVEL_FULL);
}

void ClassSound::HandOver() {
  StopMusic(prevstarted, prevchannel);
  prevchannel = curchannel;
  prevstarted = curstarted;
  prevmusic = curmusic;
  fadeout = fadein;
  curmusic = 0;
  curstarted = 0;
}

void ClassSound::RestartMusics() {
  if (curmusic != 0 && curstarted == 0) StartMusic(curmusic, curstarted, curchannel);
  if (prevmusic != 0 && prevstarted == 0) StartMusic(prevmusic, prevstarted, prevchannel);
}

void ClassSound::PlayBgm(uint16_t music) {
  if (!open) {
    if (music >= 1 && music <= bgmfound) {
      curmusic = music;
      fadein = 0;
    }
    fadeout = 0;
    prevmusic = 0;
    return;
  }
  if (music == curstarted) return;
  if (curmusic != 0) HandOver();
  if (music == 0 || music > bgmfound) return;
  musics[music - 1].loop(true);
  fadein = 0;
  curmusic = music;
  if (suspended || alloff || bgmvolume == 0) return;  // remembered only
  StartMusic(music, curstarted, curchannel);
}

void ClassSound::StopBgm() {
  if (open && curmusic != 0) HandOver();
}

void ClassSound::VolumeSfx(uint8_t volume) {
  sfxvolume = volume;
  if (open) speaker.volumeSounds(volume);
}

void ClassSound::VolumeBgm(uint8_t volume) {
  const uint32_t before = bgmvolume;
  bgmvolume = volume;
  if (open && !alloff) {
    if (before == 0 && volume != 0) {
      RestartMusics();
    } else if (before != 0 && volume == 0) {
      StopMusic(prevstarted, prevchannel);
      StopMusic(curstarted, curchannel);
    }
  }
  if (open) speaker.volumeMusics(volume);
}

void ClassSound::Update(bool allOff) {
  const uint32_t now = Now();
  const uint32_t last = times[0];
  if (!open && !allOff) {
    alloff = false;
    if (!Open()) return;
    if (curmusic != 0) PlayBgm(curmusic);
  }
  if (allOff != alloff) {
    if (allOff) {
      if (open && bgmvolume != 0) {
        StopMusic(prevstarted, prevchannel);
        StopMusic(curstarted, curchannel);
      }
      speaker.suspend();
    } else {
      speaker.resume();
      if (bgmvolume != 0) RestartMusics();
    }
    alloff = allOff;
  }
  const uint32_t d = now - last;
  if (curmusic != 0) {
    fadein = d >= LEVEL_FULL - fadein ? LEVEL_FULL : fadein + d;
    MusicVolume(curstarted, curchannel, fadein);
  }
  if (prevmusic != 0) {
    const uint32_t half = d / kFadeOutDivisor;
    fadeout = half >= fadeout ? 0 : fadeout - half;
    if (fadeout == 0) {
      StopMusic(prevstarted, prevchannel);
      prevmusic = 0;
    } else {
      MusicVolume(prevstarted, prevchannel, fadeout);
    }
  }
  times[0] = now;
}

void ClassSound::Cleanup() {
  if (open) {
    if (curmusic != 0) HandOver();
    open = false;
    if (suspended && !alloff) speaker.resume();
    suspended = false;
  }
  // Closing joins the writer: after it no buffer below is read any more.
  speaker.close();
  ReleaseEffects();
  ReleaseMusics();
}
