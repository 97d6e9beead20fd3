// The game's audio commands: music, effects, the loop sound and the volume. Each call only
// writes words of the second core's command block.
#pragma once

#include <cstdint>

extern int32_t master_volume_copy;  // the volume volume_down last set

void audio_init();
void audio_shutdown();
// Copies an Ogg Vorbis music file (stereo, 44,100 Hz) to the second core and plays it from
// its start once the music already buffered has played. A missing, empty or oversize file
// is refused and the music there plays on.
void music_load(const char* path);
void music_on();
void music_off();
void music_restart();
void sfx_on();
void sfx_off();
// 1 shot and menu moves, 3 hits (one of three sounds, chosen by a random draw),
// 4 pick-ups and lives; 2, 5 and 6 exist too; any other n does nothing.
void sfx_play(int32_t n);
void loop_sound_start();
void loop_sound_stop();
void loop_sound_level(int32_t level);
void volume_up();
int32_t volume_down();
// The volume the block holds now (0 to 200); 0 while the audio is not running.
int32_t volume_level();
