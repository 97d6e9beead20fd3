#include "sound/qssChannel.h"

#include <algorithm>

#include "sound/qssSpeaker.h"
#include "sound/qssUtility.h"

// ---- qssChannel ----

qssChannel::qssChannel() {}

qssChannel::~qssChannel() {}

void qssChannel::enter() const {
  if (speaker) speaker->enterCriticalSection();
}

void qssChannel::leave() const {
  if (speaker) speaker->leaveCriticalSection();
}

void qssChannel::play(bool paused) {
  paused_ = paused;
  stopped_ = false;
}

void qssChannel::stop() {
  // Inside the section: once stop returns, the mixer no longer reads this channel's data,
  // so the caller may free or replace it.
  enter();
  paused_ = false;
  stopped_ = true;
  leave();
}

// Inside the section, so a sound that ends meanwhile is not left stopped and paused (never
// free again).
void qssChannel::pause() {
  enter();
  if (!stopped_) paused_ = true;
  leave();
}

void qssChannel::resume() {
  enter();
  if (!stopped_) paused_ = false;
  leave();
}

bool qssChannel::playing() const { return !paused_ && !stopped_; }
bool qssChannel::paused() const { return paused_; }
bool qssChannel::stopped() const { return stopped_; }
bool qssChannel::isFree() const { return stopped_ && !paused_; }

void qssChannel::volume(uint32_t v) {
  enter();
  volumeSet = std::min<uint32_t>(v, 64);
  leave();
}

void qssChannel::pan(uint32_t p) {
  enter();
  pan_ = std::min<uint32_t>(p, 255);
  leave();
}

void qssChannel::frequency(uint32_t f) {
  enter();
  frequency_ = f;
  speed_ = static_cast<int32_t>(qssUtility::speedOf(f, baseRate));
  dirty = true;
  leave();
}

void qssChannel::speed(uint32_t s) {
  enter();
  speed_ = static_cast<int32_t>(s);
  frequency_ = qssUtility::frequencyOf(baseRate, s);
  dirty = true;
  leave();
}

void qssChannel::loop(bool on) {
  enter();
  loop_ = on;
  leave();
}

// ---- qssSoundChannel ----

void qssSoundChannel::volume(uint32_t v) {
  enter();
  volumeSet = v >= 65 ? 64 : v;
  volumeEff = volumeSet * (speaker ? speaker->volumeSounds() : 64) >> 6;
  leave();
}

uint32_t qssSoundChannel::position(uint32_t u) {
  enter();
  position_ = u << shift();
  leave();
  return u;
}

uint32_t qssSoundChannel::position() const {
  // The writer moves the position every frame.
  enter();
  uint32_t p = position_ >> shift();
  leave();
  return p;
}

uint32_t qssSoundChannel::length() const { return length_ >> shift(); }

// ---- qssMusicChannel ----

qssMusicChannel::qssMusicChannel() {}

void qssMusicChannel::volume(uint32_t v) {
  enter();
  volumeSet = v >= 65 ? 64 : v;
  volumeEff = volumeSet * (speaker ? speaker->volumeMusics() : 64) >> 6;
  for (uint32_t t = 0; t < tracks; ++t)
    track[t].effVolume = track[t].volume * static_cast<int32_t>(volumeEff) >> 6;
  leave();
}

void qssMusicChannel::pan(uint32_t p) {
  enter();
  pan_ = std::min<uint32_t>(p, 255);
  uint32_t b = ((255 - pan_) << 6) >> 8;
  for (int t = 0; t < QSS_MAX_TRACKS; t += 2) {
    track[t].rightShare = b + 64;
    track[t + 1].rightShare = 192 - b;
  }
  leave();
}

uint32_t qssMusicChannel::position(uint32_t u) {
  if (u / 64 + 1 > songLength) return u;
  enter();
  order = u / 64;
  row = u % 64;
  pattern = orders[order];
  songEnded = false;
  leave();
  return u;
}

uint32_t qssMusicChannel::position() const {
  enter();
  uint32_t p = order * 64 + row;
  leave();
  return p;
}

uint32_t qssMusicChannel::length() const { return songLength * 64; }
