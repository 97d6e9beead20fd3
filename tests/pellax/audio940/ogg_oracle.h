// Fixtures for the audio program's tests: Ogg Vorbis streams made here with the encoder,
// and the plain system decoder (not the program's private copy) as the oracle of what
// they decode to.
#pragma once

#include <cstdint>
#include <vector>

namespace ogg_oracle {

// A stereo stream of `seconds` of two tones (left and right) at the given amplitude.
std::vector<uint8_t> tone_stream(double seconds, double left_hz, double right_hz, float amplitude,
                                 uint32_t serial = 7);
// The same with a comment tag of `tag_bytes` bytes, as cover art or lyrics make them.
std::vector<uint8_t> tagged_stream(double seconds, uint32_t tag_bytes, uint32_t serial = 7);
// `links` short streams of different tones and serials one after the other.
std::vector<uint8_t> chained_stream(int links, double seconds_each = 0.1);
// Every sample the stream decodes to (16-bit interleaved), read 2,048 bytes at a time
// with holes skipped; *opened is false when the stream does not open.
std::vector<int16_t> decode(const std::vector<uint8_t>& stream, bool* opened = nullptr);

}  // namespace ogg_oracle
