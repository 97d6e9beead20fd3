// The sound card path under SDL's disk driver, which writes what the card would play to a
// file: bytes handed over in pieces of any size play as the same frames, in order, with
// nothing but whole silent frames between them.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>
#include <vector>

#include "host/host_audio_sink.h"
#include "tests/support/temp_dir.h"

namespace host = gp2x::host;

namespace {

size_t file_size(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  return f ? size_t(f.tellg()) : 0;
}

TEST(SdlSink, PiecesOfFramesPlayAsWholeFrames) {
  const TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string path = dir / "card.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "1", 1);  // the card takes a buffer every millisecond
  std::string error;
  std::unique_ptr<host::AudioSink> sink = host::make_sdl_sink(&error);
  ASSERT_TRUE(sink) << error;
  host::AudioFormat format;
  format.rate = 44100;
  format.bits = 16;
  format.channels = 2;
  sink->start(format);

  std::vector<int16_t> frames;
  for (int16_t i = 0; i < 700; ++i) {
    frames.push_back(int16_t(1000 + i));
    frames.push_back(int16_t(-2000 - 3 * i));
  }
  std::vector<uint8_t> bytes(frames.size() * 2);
  std::memcpy(bytes.data(), frames.data(), bytes.size());
  // Pieces that end inside frames; after each the card plays a buffer or more before the
  // next comes (it waits for the file to grow: an event, nothing is timed).
  const size_t pieces[] = {3, 1, 6, 2, 2401, 5, 7, 1};
  size_t at = 0;
  auto played = [&](size_t since) {
    for (int i = 0; i < 2000 && file_size(path) <= since + 4096; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  for (size_t n : pieces) {
    const size_t before = file_size(path);
    sink->put(bytes.data() + at, n);
    at += n;
    played(before);
  }
  const size_t before = file_size(path);
  sink->put(bytes.data() + at, bytes.size() - at);
  played(before);
  played(file_size(path));
  sink->finish();
  // Later tests in this process get the card they would get without this one.
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  for (const char* name : {"SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE", "SDL_DISKAUDIODELAY"}) unsetenv(name);

  std::ifstream f(path, std::ios::binary);
  const std::vector<char> raw((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  ASSERT_EQ(raw.size() % 4, 0u);
  std::vector<int16_t> heard;
  for (size_t i = 0; i + 4 <= raw.size(); i += 4) {
    int16_t lr[2];
    std::memcpy(lr, raw.data() + i, 4);
    if (lr[0] == 0 && lr[1] == 0) continue;  // the card's own silence
    heard.push_back(lr[0]);
    heard.push_back(lr[1]);
  }
  EXPECT_EQ(heard, frames);
}

}  // namespace
