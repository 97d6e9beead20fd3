// A small PNG writer (8-bit RGB, zlib-compressed) for screenshots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gp2x::host {

// The PNG file's bytes, or nothing when there is no memory to compress the picture.
std::vector<uint8_t> encode_png(const uint8_t* rgb, int width, int height);
// Writes the picture through a temporary file and a rename, so that a reader never finds a
// half-written file. False with a message on failure.
bool write_png(const std::string& path, const uint8_t* rgb, int width, int height, std::string* error);

}  // namespace gp2x::host
