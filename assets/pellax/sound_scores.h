// The scores of pellax's sound: the nine effects and the music tracks, rendered by the
// synthesiser.
#pragma once

#include <string>
#include <vector>

#include "assets/pellax/synth.h"

namespace pxsynth {

constexpr int kEffectCount = 9;
// Effect 0 is the engine hum (it loops seamlessly); 1-3 the hit and kill blasts; 4 a
// warning blip; 5 the player's shot and menu move; 6 a pick-up; 7 and 8 a power-down and a
// fanfare.
Stereo render_effect(int index);

// The music tracks by file name ("title.ogg", ..., "bety.lvl"); each loops seamlessly from
// its end to its start. False when no track has that name.
bool render_track(const std::string& name, Stereo* out);
std::vector<std::string> track_names();

}  // namespace pxsynth
