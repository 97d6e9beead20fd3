// The puzzle game's built packs, read back the way the game reads them: through the
// engine's pack calls and its registered loaders, on a 5:6:5 display like the console's.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zsurf_3d.h"

inline std::string PackPath(const std::string& file) { return std::string(KOLVO2_DATA_DIR) + "/res/" + file; }

// The data of one entry, by name or position; fails the test when it cannot be read.
inline std::vector<uint8_t> PackEntry(const std::string& file, const std::string& name) {
  ClassZFile pack;
  EXPECT_TRUE(pack.Open(PackPath(file).c_str(), ZFILE_MODE_READ) && pack.PackValid()) << file;
  uint8_t* data = nullptr;
  uint32_t size = 0;
  EXPECT_EQ(pack.PackGetFileData(data, size, name.c_str()), ZPK_OK) << file << ": " << name;
  std::vector<uint8_t> out(data, data + size);
  ClassZMemory::DeAlloc(data);
  return out;
}

inline std::vector<std::string> PackNames(const std::string& file) {
  ClassZFile pack;
  EXPECT_TRUE(pack.Open(PackPath(file).c_str(), ZFILE_MODE_READ) && pack.PackValid()) << file;
  std::vector<std::string> names;
  for (uint32_t i = 0; i < pack.PackContainFiles(); ++i) {
    ZPK_FILEINFO info;
    EXPECT_TRUE(pack.PackGetFileInfo(&info, i, false));
    names.push_back(info.name);
  }
  return names;
}

// A display with the game's three loaders, in its order (BMP, PNG, 3DS).
struct GameDisplay {
  ZStandaloneDisplay engine{0, 4};  // 5:6:5, as the console

  GameDisplay() {
    engine.display.RegisterLoader(new ZLoader_BMP);
    engine.display.RegisterLoader(new ZLoader_PNG);
    engine.display.RegisterLoader(new ZLoader_3DS);
    engine.display.SetRenderSize(240);
  }
  // A picture loaded as the game loads it (flags 0x40); 0 or the loader's result.
  int Load(Z2DSurface& s, const std::vector<uint8_t>& data) {
    return engine.display.CreateSurface(&s, data.data(), static_cast<uint32_t>(data.size()), 0x40);
  }
  int Load(Z2DSurfaceRGBA& s, const std::vector<uint8_t>& data) {
    return engine.display.CreateSurface(&s, data.data(), static_cast<uint32_t>(data.size()), 0);
  }
  int Load(Z3DSurface& m, const std::vector<uint8_t>& data) {
    return engine.display.CreateSurface(&m, data.data(), static_cast<uint32_t>(data.size()));
  }
};

// A picture decoded at full depth (32-bit surface): its colours as 0x00BBGGRR words,
// top row first, without the 5:6:5 rounding, for checks of exact colours.
struct Decoded {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(uint32_t x, uint32_t y) const { return pixels[y * width + x]; }
};

inline Decoded DecodeFull(const std::vector<uint8_t>& data) {
  ZStandaloneDisplay engine(0, 6);
  engine.display.RegisterLoader(new ZLoader_BMP);
  engine.display.RegisterLoader(new ZLoader_PNG);
  Z2DSurface s;
  Decoded d;
  EXPECT_EQ(engine.display.CreateSurface(&s, data.data(), static_cast<uint32_t>(data.size()), 0), 0);
  d.width = s.GetWidth();
  d.height = s.GetHeight();
  for (uint32_t y = 0; y < d.height; ++y)
    for (uint32_t x = 0; x < d.width; ++x) d.pixels.push_back(s.GetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y)));
  return d;
}

inline int Red(uint32_t c) { return c & 0xFF; }
inline int Green(uint32_t c) { return (c >> 8) & 0xFF; }
inline int Blue(uint32_t c) { return (c >> 16) & 0xFF; }
inline int Luma(uint32_t c) { return (299 * Red(c) + 587 * Green(c) + 114 * Blue(c)) / 1000; }
