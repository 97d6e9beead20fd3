// Encodes float stereo at 44,100 Hz as an Ogg Vorbis stream with libvorbisenc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/pellax/synth.h"

namespace pxsynth {

// The whole stream (variable bit rate at `quality`, -0.1 .. 1), or empty on an encoder
// failure. Samples are clipped to -1..1 first. A `note` that is not empty goes into the
// stream's tags as its COMMENT (the size of the tags is what some tests need).
std::vector<uint8_t> encode_ogg(const Stereo& sound, float quality, uint32_t serial,
                                const std::string& note = std::string());

}  // namespace pxsynth
