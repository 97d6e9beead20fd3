#include "sound/qssSpeaker.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "sound/qssGP2X.h"
#include "sound/qssTables.h"

qssSpeaker::qssSpeaker() {}

qssSpeaker::~qssSpeaker() { close(); }

qssDriver* qssSpeaker::createDriver() { return new (std::nothrow) qssGP2X; }

int qssSpeaker::bufferLength(int ms) {
  if (isOpen()) return QSS_ERR_ALREADY_OPEN;
  if (ms < 60) return QSS_ERR_BUFFER_TOO_SHORT;
  bufferLength_ = ms;
  return 0;
}

void qssSpeaker::enterCriticalSection() {
  if (driver) driver->enterCriticalSection();
}

void qssSpeaker::leaveCriticalSection() {
  if (driver) driver->leaveCriticalSection();
}

uint32_t qssSpeaker::findBestNoteIndex(uint32_t period) {
  uint32_t best = 0;
  uint32_t bestDistance = UINT32_MAX;
  for (uint32_t n = 0; n < 84; ++n) {
    uint32_t p = amiganote[0][n];
    uint32_t distance = p > period ? p - period : period - p;
    if (distance < bestDistance) {
      best = n;
      bestDistance = distance;
      if (distance == 0) break;
    }
  }
  return best;
}

int qssSpeaker::createTables(uint32_t outRate) {
  if (outRate == 0) return QSS_ERR_FORMAT;
  noteTable[0] = 83;
  stepTable[0] = 0;
  for (uint32_t p = 1; p <= QSS_MAX_PERIOD; ++p) {
    noteTable[p] = static_cast<int16_t>(findBestNoteIndex(p));
    stepTable[p] = static_cast<int32_t>(((7159090ull / (2ull * p)) << 12) / outRate);
  }
  return 0;
}

int qssSpeaker::open(uint32_t outRate, uint32_t bits, bool wantStereo, uint32_t wantMusics,
                     uint32_t wantSounds) {
  if (isOpen()) return QSS_ERR_ALREADY_OPEN;
  // A driver left from an earlier failed open goes first.
  delete driver;
  driver = createDriver();
  if (!driver) return QSS_ERR_NO_DRIVER;

  AudioSpec spec = {outRate, bits == 8 ? QSS_AUDIO_U8 : QSS_AUDIO_S16, wantStereo ? 2u : 1u};
  uint64_t samples = static_cast<uint64_t>(bufferLength_) * outRate / 1000;
  // The writer starts inside the driver's open: it sees the format (for its silence) and
  // nothing else until `opened` is published.
  rate = spec.freq;
  bits16 = (spec.format & QSS_FORMAT_16BIT) ? 1 : 0;
  stereo = spec.channels - 1;
  int r = driver->open(&spec, static_cast<uint32_t>(std::min<uint64_t>(samples, UINT32_MAX)),
                       audioCallback, this);
  if (r != 0) {
    delete driver;
    driver = nullptr;
    return r;
  }
  createTables(rate);

  maxMusics = wantMusics == 0 ? 1 : std::min<uint32_t>(wantMusics, 64);
  maxSounds = wantSounds < 8 ? 8 : std::min<uint32_t>(wantSounds, 128);
  musics = new (std::nothrow) qssMusicChannel[maxMusics];
  playingMusics = new (std::nothrow) qssMusicChannel*[maxMusics];
  sounds = new (std::nothrow) qssSoundChannel[maxSounds];
  playingSounds = new (std::nothrow) qssSoundChannel*[maxSounds];
  if (!musics || !playingMusics || !sounds || !playingSounds) {
    driver->close();
    delete driver;
    driver = nullptr;
    releaseChannels();
    return QSS_ERR_NO_MEMORY;
  }
  volumeMusics_ = 64;
  volumeSounds_ = 64;
  for (uint32_t i = 0; i < maxMusics; ++i) musics[i].speaker = this;
  for (uint32_t i = 0; i < maxSounds; ++i) sounds[i].speaker = this;
  driver->resume();
  opened.store(true, std::memory_order_release);
  return 0;
}

void qssSpeaker::releaseChannels() {
  delete[] musics;
  delete[] playingMusics;
  delete[] sounds;
  delete[] playingSounds;
  musics = nullptr;
  playingMusics = nullptr;
  sounds = nullptr;
  playingSounds = nullptr;
  maxMusics = maxSounds = 0;
}

void qssSpeaker::close() {
  if (driver) {
    // The driver's close joins its writer: nothing below can be in use by it.
    if (isOpen()) driver->close();
    opened.store(false, std::memory_order_release);
    delete driver;
    driver = nullptr;
  }
  opened.store(false, std::memory_order_release);
  releaseChannels();
}

qssChannel* qssSpeaker::channel(int index) {
  if (index < 0) return nullptr;
  uint32_t i = static_cast<uint32_t>(index);
  if (i < maxMusics) return &musics[i];
  if (i - maxMusics < maxSounds) return &sounds[i - maxMusics];
  return nullptr;
}

uint32_t qssSpeaker::playingChannelMusics() const {
  uint32_t n = 0;
  for (uint32_t i = 0; i < maxMusics; ++i) n += musics[i].playing() ? 1 : 0;
  return n;
}

uint32_t qssSpeaker::playingChannelSounds() const {
  uint32_t n = 0;
  for (uint32_t i = 0; i < maxSounds; ++i) n += sounds[i].playing() ? 1 : 0;
  return n;
}

// Index of a free sound channel for `sound` under its playback cap, or -1.
int qssSpeaker::freeSoundChannel(const qssSound* sound) {
  if (sound->maxplaybacks() < 0) {
    for (uint32_t i = 0; i < maxSounds; ++i)
      if (sounds[i].isFree()) return static_cast<int>(i);
    return -1;
  }
  int last = -1;
  int32_t busy = 0;
  for (uint32_t i = 0; i < maxSounds; ++i) {
    if (sounds[i].isFree())
      last = static_cast<int>(i);
    else if (sounds[i].data == sound->data())
      ++busy;
  }
  return busy >= sound->maxplaybacks() ? -1 : last;
}

int qssSpeaker::playSound(qssSound* sound, uint32_t flags) {
  if (!isOpen() || !sound || !sound->data()) return QSS_ERR_CANNOT_PLAY;
  enterCriticalSection();
  int index = -1;
  if (flags & QSS_ANY_CHANNEL) {
    index = freeSoundChannel(sound);
  } else {
    uint32_t i = flags & 0xFFFF;
    if (i < maxSounds && sounds[i].isFree()) {
      index = static_cast<int>(i);
      // The cap counts the channels playing this sound, as for any-free.
      if (sound->maxplaybacks() >= 0) {
        int32_t busy = 0;
        for (uint32_t k = 0; k < maxSounds; ++k)
          if (!sounds[k].isFree() && sounds[k].data == sound->data()) ++busy;
        if (busy >= sound->maxplaybacks()) index = -1;
      }
    }
  }
  if (index < 0) {
    leaveCriticalSection();
    return QSS_ERR_CANNOT_PLAY;
  }
  qssSoundChannel& c = sounds[index];
  c.baseRate = sound->sampleRate();
  c.frequency_ = sound->frequency();
  c.speed_ = sound->speed();
  c.dirty = true;
  c.position_ = 0;
  c.loop_ = sound->loop();
  c.length_ = sound->frames() << 8;
  c.bits8 = sound->bits8();
  c.stereo = sound->stereo();
  c.pan_ = sound->pan();
  c.data = sound->data();
  c.volume(sound->volume());
  c.play((flags & QSS_START_PAUSED) != 0);
  leaveCriticalSection();
  return static_cast<int>(maxMusics) + index;
}

int qssSpeaker::playMusic(qssMusic* music, uint32_t flags) {
  if (!isOpen() || !music || !music->image()) return QSS_ERR_CANNOT_PLAY;
  if (music->tracks() < 1 || music->tracks() > QSS_MAX_TRACKS) return QSS_ERR_CANNOT_PLAY;
  enterCriticalSection();
  int index = -1;
  if (flags & QSS_ANY_CHANNEL) {
    for (uint32_t i = 0; i < maxMusics && index < 0; ++i)
      if (musics[i].isFree()) index = static_cast<int>(i);
  } else {
    uint32_t i = flags & 0xFFFF;
    if (i < maxMusics && musics[i].isFree()) index = static_cast<int>(i);
  }
  if (index < 0 || !musics[index].bind(music)) {
    leaveCriticalSection();
    return QSS_ERR_CANNOT_PLAY;
  }
  qssMusicChannel& c = musics[index];
  c.pan(music->pan());
  for (qssTrack& t : c.track) {
    t.sample = 0;
    t.period = 0;
    t.vibPos = 0;
    t.sampleOffset = 0;
    t.loopState = 0;
    t.loopStart = 0;
  }
  c.loop_ = music->loop();
  c.volume(music->volume());
  c.play((flags & QSS_START_PAUSED) != 0);
  leaveCriticalSection();
  return index;
}

namespace {
template <class C, class F>
void eachChannel(qssSpeaker& s, C* channels, uint32_t count, F f) {
  if (!s.isOpen()) return;
  s.enterCriticalSection();
  for (uint32_t i = 0; i < count; ++i) f(channels[i]);
  s.leaveCriticalSection();
}
}  // namespace

void qssSpeaker::stopSounds() { eachChannel(*this, sounds, maxSounds, [](qssChannel& c) { c.stop(); }); }
void qssSpeaker::stopMusics() { eachChannel(*this, musics, maxMusics, [](qssChannel& c) { c.stop(); }); }
void qssSpeaker::pauseSounds() { eachChannel(*this, sounds, maxSounds, [](qssChannel& c) { c.pause(); }); }
void qssSpeaker::unpauseSounds() { eachChannel(*this, sounds, maxSounds, [](qssChannel& c) { c.resume(); }); }
void qssSpeaker::pauseMusics() { eachChannel(*this, musics, maxMusics, [](qssChannel& c) { c.pause(); }); }
void qssSpeaker::unpauseMusics() { eachChannel(*this, musics, maxMusics, [](qssChannel& c) { c.resume(); }); }

void qssSpeaker::suspend() {
  if (isOpen()) driver->suspend();
}

void qssSpeaker::resume() {
  if (isOpen()) driver->resume();
}

void qssSpeaker::volumeMusics(uint32_t v) {
  volumeMusics_ = std::min<uint32_t>(v, 64);
  for (uint32_t i = 0; i < maxMusics; ++i) musics[i].volume(musics[i].volumeSet);
}

void qssSpeaker::volumeSounds(uint32_t v) {
  volumeSounds_ = std::min<uint32_t>(v, 64);
  for (uint32_t i = 0; i < maxSounds; ++i) sounds[i].volume(sounds[i].volumeSet);
}

void qssSpeaker::audioCallback(void* user, unsigned char* buffer, int bytes) {
  if (user) static_cast<qssSpeaker*>(user)->updateModSFX(buffer, bytes);
}

void qssSpeaker::fillSilence(unsigned char* buffer, int bytes) {
  memset(buffer, bits16 ? 0 : 0x80, static_cast<size_t>(bytes));
}
