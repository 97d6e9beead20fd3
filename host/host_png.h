// A small PNG writer (8-bit RGB or RGBA, zlib-compressed) for screenshots and pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gp2x::host {

// The PNG file's bytes, or nothing when there is no memory to compress the picture.
// channels 3: R, G, B bytes a pixel (colour type 2); 4: R, G, B, A (colour type 6).
std::vector<uint8_t> encode_png(const uint8_t* pixels, int width, int height, int channels = 3);
// Writes the picture through a temporary file and a rename, so that a reader never finds a
// half-written file. False with a message on failure, which calls the picture `what`.
bool write_png(const std::string& path, const uint8_t* rgb, int width, int height, std::string* error,
               const char* what = "the screenshot");

}  // namespace gp2x::host
