// Everything the puzzle game loads, as the four packs it reads from "res": pictures,
// fonts and meshes in "gfx.zpk" (by name), the closing screen's pictures in "games.zpk"
// (in pairs), the effects in "sfx.zpk" and the music in "bgm.zpk" (both by position).
// Made the same, byte for byte, on every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace k2data {

struct Entry {
  std::string name;
  std::vector<uint8_t> bytes;
};

struct Pack {
  std::string file;  // "gfx.zpk", "games.zpk", "sfx.zpk" or "bgm.zpk"
  std::vector<Entry> entries;
};

// The packs in that order; the tunes' sources are read from `tunesFolder`. Throws
// std::runtime_error when a source cannot be read or compiled.
std::vector<Pack> BuildPacks(const std::string& tunesFolder);

// The music alone: the tunes of `tunesFolder` compiled, title music first.
std::vector<Entry> BuildMusic(const std::string& tunesFolder);

// Writes the entries, in order, as a pack at `path` with the engine's pack writer; the
// pack is made beside it and renamed into place, so `path` is never left half-written.
// Entry times are fixed, so that the file is the same on every run. "" or what failed.
std::string WritePack(const std::string& path, const std::vector<Entry>& entries);

}  // namespace k2data
