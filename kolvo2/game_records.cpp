#include "kolvo2/game_records.h"

#include "engine/core/zmod_input.h"
#include "engine/core/zolt_records.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_sound.h"

namespace {

// The action keys of the configuration in the order of key timers 4-11.
constexpr uint8_t kTimerActions[8] = {ACTION_TURNLEFT, ACTION_TURNRIGHT, ACTION_FASTDROP,
                                      ACTION_PAUSE,    ACTION_TURN,      ACTION_MOVEDOWN,
                                      ACTION_MOVELEFT, ACTION_MOVERIGHT};

}  // namespace

ClassZInput* InputOf(const MAINDATA* data) {
  return data && data->zcd ? data->zcd->input : nullptr;
}

bool TakePress(ClassZInput* input, uint8_t action, bool withRepeat) {
  if (!input) return false;
  for (;;) {
    const int type = input->GetKeyEvent(action);
    if (type == 0) return false;
    if (type == ZINPUT_DOWN || (withRepeat && type == ZINPUT_REPEAT)) return true;
  }
}

void ChangeVolume(MAINDATA& data, bool music, int32_t direction) {
  GAMECONFIG& cfg = *data.cfg;
  uint8_t& volume = music ? cfg.musicvolume : cfg.sfxvolume;
  constexpr int32_t kStep = 16, kMax = static_cast<int32_t>(CFG_VOLUME_MAX);
  int32_t v = volume + kStep * (direction ? direction : 1);
  if (direction == 0 && v > kMax) v = 0;
  volume = static_cast<uint8_t>(v < 0 ? 0 : v > kMax ? kMax : v);
  if (data.sound) {
    if (music)
      data.sound->VolumeBgm(volume);
    else
      data.sound->VolumeSfx(volume);
  }
  cfg.alloff = cfg.musicvolume == 0 && cfg.sfxvolume == 0 ? 1 : 0;
}

void KeyWordsButton(int32_t* words, const GAMECONFIG& cfg, const ZBUTTONLIST& buttons,
                    uint32_t code, bool down) {
  const int32_t value = down ? 1 : 0;
  // Every test is made: one code can start several timers.
  for (uint32_t d = 0; d < 4; ++d)
    if (code == buttons.button[ZBUTTONLIST_UP + d]) words[KEYWORD_UP + d] = value;
  for (uint32_t t = 0; t < 8; ++t)
    if (code == CfgKey(cfg, kTimerActions[t])) words[KEYWORD_TURNLEFT + t] = value;
  if (code == ZBUTTON_Y) words[KEYWORD_Y] = down ? 1 : 2;
  // The two extra directions (none on this device) act as left and right, or as down
  // and up, as the configuration routes them.
  const uint32_t extra1 = buttons.button[ZBUTTONLIST_EXTRA1];
  const uint32_t extra2 = buttons.button[ZBUTTONLIST_EXTRA2];
  if (extra1 != 0 && code == extra1)
    words[cfg.directions ? KEYWORD_LEFT : KEYWORD_DOWN] = value;
  if (extra2 != 0 && code == extra2)
    words[cfg.directions ? KEYWORD_RIGHT : KEYWORD_UP] = value;
  if (down) words[KEYWORD_LASTCODE] = static_cast<int32_t>(code);
}

void KeyWordsStep(int32_t* words, uint32_t elapsed) {
  for (uint32_t i = 0; i < KEYWORD_TIMERS; ++i) {
    const int64_t v = words[i];
    if (v == 1) {
      words[i] = 200;
    } else if (v == 2) {
      words[i] = 100;
    } else if (v > 2) {
      words[i] = v - 2 < static_cast<int64_t>(elapsed) ? 2 : static_cast<int32_t>(v - elapsed);
    }
  }
  if (words[KEYWORD_STYLUS] == 1) words[KEYWORD_STYLUS] = 2;
}

void GameModules::Attach(void* main, Z2DSurface& empty, MAINDATA* data, uint32_t* status) {
  for (MODULEFUNCTION f : table)
    if (f) f(main, empty, nullptr, status, reinterpret_cast<int32_t*>(data), 0);
}

void GameModules::Run(void* main, Z2DSurface& backbuffer, int32_t* keys, uint32_t elapsed) {
  if (Ended()) return;
  if (!table[index]) {
    index = MODULE_QUIT;
    return;
  }
  table[index](main, backbuffer, &index, &status, keys, elapsed);
}

void GameModules::Restore(void* main, Z2DSurface& backbuffer, int32_t* keys) {
  if (Ended() || !table[index]) return;
  uint32_t restore = MODULE_RESTORE;
  table[index](main, backbuffer, &index, &restore, keys, 0);
}

bool GameModules::TakeMinimizeRequest() {
  if (status != MODULE_MINIMIZE) return false;
  status = MODULE_RUN;
  return true;
}
