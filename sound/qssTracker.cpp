// The MOD row and tick engine of qssMusicChannel. Deliberately simple: a 7,159,090 Hz
// period clock, integer tempo, no interpolation, paired panning; effects 7, 8 and E0-E5,
// E7-E9, EF are ignored.
#include <algorithm>

#include "sound/qssBytes.h"
#include "sound/qssChannel.h"
#include "sound/qssData.h"
#include "sound/qssSpeaker.h"
#include "sound/qssTables.h"

namespace {

const uint16_t* const kNotes = &amiganote[0][0];
constexpr int32_t kNoteCount = 16 * 84;

int32_t noteAt(int32_t index) { return kNotes[std::clamp(index, 0, kNoteCount - 1)]; }

// Same finetune row, `semitones` higher, kept inside the row.
int32_t noteAbove(int32_t index, int32_t semitones) {
  int32_t rowStart = index / 84 * 84;
  return noteAt(rowStart + std::min(index % 84 + semitones, 83));
}

}  // namespace

uint32_t qssMusicChannel::stepFor(int32_t period) const {
  return static_cast<uint32_t>(speaker->stepTable[std::clamp(period, 0, QSS_MAX_PERIOD)]);
}

bool qssMusicChannel::bind(const qssMusic* music) {
  if (!music || !music->image()) return false;
  uint32_t n = music->tracks();
  if (n < 1 || n > QSS_MAX_TRACKS) return false;
  const uint8_t* image = music->image();
  const size_t size = music->size();
  data = image;
  patternData = image + QSS_MOD_HEADER;
  orders = image + 952;
  songLength = music->songLength();
  tracks = n;

  // Sample data follows the patterns; what the image lacks at its end is cut off.
  size_t at = QSS_MOD_HEADER + static_cast<size_t>(n) * music->patterns() * 256;
  samples[0] = qssModSample();
  for (int k = 1; k < 32; ++k) {
    const uint8_t* h = image + 20 + 30 * (k - 1);
    qssModSample& s = samples[k];
    s = qssModSample();
    uint32_t bytes = 2u * qssBe16(h + 22);
    if (bytes == 0) continue;
    size_t present = at < size ? std::min<size_t>(bytes, size - at) : 0;
    s.length = static_cast<uint32_t>(present) << 12;
    s.loopStart = (2u * qssBe16(h + 26)) << 12;
    uint32_t repeat = qssBe16(h + 28);
    s.loopLength = repeat < 2 ? 0 : (2u * repeat) << 12;
    s.volume = std::min<int32_t>(h[25], 64);
    s.finetune = h[24] & 0x0F;
    s.data = present ? reinterpret_cast<const int8_t*>(image + at) : nullptr;
    at += bytes;
  }

  baseRate = music->baseRate();
  frequency_ = music->frequency();
  speed_ = music->speed();
  ticksPerSecond = 50;
  dirty = true;
  ticksPerRow = 6;
  tick = 6;
  frameInTick = 0;
  order = 0;
  row = 0;
  pattern = orders[0];
  uint32_t r = image[951];
  restart = (r == 127 || r >= songLength) ? 0 : r;
  jumpOrder = jumpRow = QSS_NO_JUMP;
  patternDelay = 0;
  songEnded = false;
  return true;
}

void qssMusicChannel::computeSamplesPerTick() {
  uint64_t perTick = static_cast<uint64_t>(frequency_) * 256 / 44100 * ticksPerSecond;
  // A tiny frequency or tempo must not stop the clock with a division by zero.
  if (perTick == 0) perTick = 1;
  uint64_t spt = ((static_cast<uint64_t>(speaker->rate) << 16) / perTick) >> 8;
  samplesPerTick = static_cast<uint32_t>(std::min<uint64_t>(spt, UINT32_MAX));
  dirty = false;
}

bool qssMusicChannel::advanceTick() {
  if (tick == ticksPerRow) {
    if (patternDelay > 0) {
      --patternDelay;
    } else if (songEnded) {
      paused_ = false;
      stopped_ = true;
      return false;
    } else {
      readRow();
      advancePosition();
    }
    tick = 0;
  } else if (frameInTick < samplesPerTick) {
    ++frameInTick;
  } else {
    frameInTick = 0;
    ++tick;
    if (tick != ticksPerRow)
      for (uint32_t t = 0; t < tracks; ++t) tickEffects(track[t]);
  }
  return true;
}

void qssMusicChannel::readRow() {
  const int32_t eff = static_cast<int32_t>(volumeEff);
  const uint8_t* cell = patternData + (static_cast<size_t>(pattern) * 64 + row) * tracks * 4;
  for (uint32_t i = 0; i < tracks; ++i, cell += 4) {
    qssTrack& t = track[i];
    uint32_t sampleNumber = (cell[0] & 0xF0) | (cell[2] >> 4);
    int32_t cellPeriod = ((cell[0] & 0x0F) << 8) | cell[1];
    t.effect = cell[2] & 0x0F;
    t.parameter = cell[3];
    t.x = cell[3] >> 4;
    t.y = cell[3] & 0x0F;

    // Numbers past the 31 samples a module holds name no sample.
    if (sampleNumber != 0 && sampleNumber < 32) {
      t.sample = sampleNumber;
      t.volume = samples[sampleNumber].volume;
      t.effVolume = t.volume * eff >> 6;
    }
    const uint32_t finetune = samples[t.sample].finetune;
    const bool delayed = t.effect == 0xE && t.x == 13;
    if (cellPeriod != 0 && t.effect != 3 && t.effect != 5 && !delayed) {
      t.noteIndex = speaker->noteTable[std::min(cellPeriod, QSS_MAX_PERIOD)] + 84 * finetune;
      t.period = noteAt(t.noteIndex);
      t.samplePos = 0;
    }
    if (t.sample != 0) t.step = stepFor(t.period);

    switch (t.effect) {
      case 0x0:
        if (t.parameter != 0) {
          t.arpTick = 0;
          t.arpBase = t.step;
          t.arpStep1 = stepFor(noteAbove(t.noteIndex, t.x));
          t.arpStep2 = stepFor(noteAbove(t.noteIndex, t.y));
        }
        break;
      case 0x1:
      case 0x2:
        t.slidePeriod = t.period;
        break;
      case 0x3:
        if (cellPeriod != 0)
          t.portaTarget =
              noteAt(84 * finetune + speaker->noteTable[std::min(cellPeriod, QSS_MAX_PERIOD)]);
        else if (t.portaTarget == 0)
          t.portaTarget = noteAt(t.noteIndex);
        if (t.parameter != 0) t.portaSpeed = t.parameter;
        break;
      case 0x4:
        if (t.parameter != 0) {
          t.vibPos = 0;
          t.vibSpeed = t.x;
          t.vibDepth = t.y;
        }
        break;
      case 0x5:
      case 0x6:
      case 0xA:
        t.slide = t.parameter == 0 ? 0 : (t.x != 0 ? t.x : -t.y);
        break;
      case 0x9:
        if (t.parameter != 0) t.sampleOffset = static_cast<uint32_t>(t.parameter) * 256 << 12;
        t.samplePos = t.sampleOffset;
        break;
      case 0xB:
        if (loop_ || t.parameter > order) {
          jumpOrder = t.parameter;
          jumpRow = 0;
        } else {
          jumpOrder = songLength;
        }
        break;
      case 0xC:
        // Deliberately unclamped: C above 64 plays louder.
        t.volume = t.parameter;
        t.effVolume = t.parameter * eff >> 6;
        break;
      case 0xD: {
        uint32_t r = 10u * t.x + t.y;
        if (r > 63) r = 0;
        if (order + 1 < songLength) {
          jumpOrder = order + 1;
          jumpRow = r;
        } else if (loop_) {
          jumpOrder = restart;
          jumpRow = r;
        } else {
          jumpOrder = songLength;
        }
        break;
      }
      case 0xE:
        switch (t.x) {
          case 6:
            if (t.loopState == 0) {
              if (t.y == 0) {
                t.loopStart = static_cast<uint8_t>(row);
              } else {
                t.loopState = static_cast<uint8_t>(0xF0 + t.y);
                jumpOrder = order;
                jumpRow = t.loopStart;
              }
            } else if (t.y > 0) {
              uint32_t left = (t.loopState & 0x0F) - 1;
              if (left == 0) {
                t.loopState = 0;
              } else {
                t.loopState = static_cast<uint8_t>(0xF0 + left);
                jumpOrder = order;
                jumpRow = t.loopStart;
              }
            }
            break;
          case 10:
            t.volume += t.y;
            if (t.volume > 64) {
              t.volume = 64;
              t.effVolume = eff;
            } else {
              t.effVolume = t.volume * eff >> 6;
            }
            break;
          case 11:
            t.volume -= t.y;
            if (t.volume < 0) {
              t.volume = 0;
              t.effVolume = 0;
            } else {
              t.effVolume = t.volume * eff >> 6;
            }
            break;
          case 12:
            t.cutCount = t.y;
            break;
          case 13:
            t.delayPeriod = cellPeriod;
            t.delayCount = t.y - 1;
            break;
          case 14:
            patternDelay = t.y;
            break;
          default:
            break;
        }
        break;
      case 0xF:
        if (t.parameter > 32) {
          ticksPerSecond = t.parameter * 2u / 5;
          computeSamplesPerTick();
        } else if (t.parameter != 0) {
          ticksPerRow = t.parameter;
        }
        break;
      default:
        break;
    }
  }
}

// The end of a song without loop is noted here and acted on at the next row, so the last
// row plays for its full length like every other.
void qssMusicChannel::advancePosition() {
  if (jumpOrder == QSS_NO_JUMP) {
    if (row < 63) {
      ++row;
    } else if (order + 1 < songLength) {
      row = 0;
      pattern = orders[++order];
    } else if (loop_) {
      row = 0;
      order = restart;
      pattern = orders[order];
    } else {
      songEnded = true;
    }
    return;
  }
  if (jumpOrder >= songLength) {
    songEnded = true;
    jumpOrder = QSS_NO_JUMP;
    return;
  }
  order = jumpOrder;
  pattern = orders[order];
  row = jumpRow;
  jumpOrder = QSS_NO_JUMP;
}

void qssMusicChannel::tickEffects(qssTrack& t) {
  const int32_t eff = static_cast<int32_t>(volumeEff);
  auto portamento = [&] {
    if (t.portaTarget == 0) return;
    if (t.period > t.portaTarget) {
      t.period -= t.portaSpeed;
      if (t.period < t.portaTarget || t.period < 0) t.period = t.portaTarget;
    } else if (t.period < t.portaTarget) {
      t.period = std::min(t.period + t.portaSpeed, t.portaTarget);
    }
    t.step = stepFor(t.period);
  };
  auto vibrato = [&] {
    int32_t d = t.vibDepth * sine[t.vibPos & 31] / 128;
    t.step = stepFor(t.vibPos < 32 ? t.period + d : t.period - d);
    t.vibPos += t.vibSpeed;
    if (t.vibPos > 63) t.vibPos -= 64;
  };
  auto volumeSlide = [&] {
    t.volume = std::clamp(t.volume + t.slide, 0, 64);
    t.effVolume = t.volume * eff >> 6;
  };

  switch (t.effect) {
    case 0x0:
      if (t.parameter != 0) {
        if (t.arpTick == 0) {
          t.step = t.arpStep1;
          t.arpTick = 1;
        } else if (t.arpTick == 1) {
          t.step = t.arpStep2;
          t.arpTick = 2;
        } else {
          t.step = t.arpBase;
          t.arpTick = 0;
        }
      }
      break;
    case 0x1:
      t.slidePeriod = std::max(t.slidePeriod - t.parameter, 13);
      t.period = t.slidePeriod;
      t.step = stepFor(t.period);
      break;
    case 0x2:
      t.slidePeriod = std::min(t.slidePeriod + t.parameter, QSS_MAX_PERIOD);
      t.period = t.slidePeriod;
      t.step = stepFor(t.period);
      break;
    case 0x3:
      portamento();
      break;
    case 0x4:
      vibrato();
      break;
    case 0x5:
      portamento();
      volumeSlide();
      break;
    case 0x6:
      vibrato();
      volumeSlide();
      break;
    case 0xA:
      volumeSlide();
      break;
    case 0xE:
      if (t.x == 12) {
        if (t.cutCount != 0) {
          if (--t.cutCount == 0) t.effVolume = 0;
        } else {
          t.effVolume = 0;
        }
      } else if (t.x == 13) {
        if (t.delayCount == -1) {
          // A delay without a note keeps the period it has.
          if (t.delayPeriod != 0) t.period = std::min(t.delayPeriod, QSS_MAX_PERIOD);
          t.step = stepFor(t.period);
          t.delayCount = static_cast<int32_t>(QSS_NO_JUMP);
        } else if (t.delayCount != static_cast<int32_t>(QSS_NO_JUMP)) {
          --t.delayCount;
        }
      }
      break;
    default:
      break;
  }
}
