// The game's small file helpers: ".lvl" pictures into the image slots, empty marker files,
// the custom music choice and the music size probe. Files are named relative to the
// working folder, which is the game's data folder.
#pragma once

#include <cstdint>

extern int32_t music_file_size_bytes;  // size of "music.dat" at the last probe

// Reads a raw 768x768 RGB565 picture into slot 1..6. A missing file leaves the slot black
// and is reported on stderr the first time its name is asked for; a short one fills only
// what it holds and is reported. Returns 0 when the whole picture was read, else -1.
int32_t load_image_file(const char* name, int32_t slot);
// Creates (or truncates) an empty file and flushes it to storage. Returns 0, or -1 when
// the file could not be created or written (reported on stderr).
int32_t create_marker_file(const char* name);
// Loads a random one of "custommusic/1.ogg" .. "custommusic/10.ogg" that is a regular file
// (see data_file_present). Gives up
// after a bounded number of draws and returns 0 (the caller then plays the zone's own
// track); returns 1 when a track was loaded.
int32_t play_random_custom_music();
// Stores the size of "music.dat" in music_file_size_bytes (kept when it cannot be opened).
void music_file_size();
// Whether a regular file of this name opens for reading, found without ever waiting: a
// folder, FIFO or device of that name counts as none and is reported on stderr the first
// time it is found there.
bool data_file_present(const char* name);
