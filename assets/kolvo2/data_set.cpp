#include "assets/kolvo2/data_set.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "assets/kolvo2/effects.h"
#include "assets/kolvo2/fonts.h"
#include "assets/kolvo2/image_files.h"
#include "assets/kolvo2/models.h"
#include "assets/kolvo2/pictures.h"
#include "assets/kolvo2/tune_compiler.h"
#include "engine/core/zmod_file.h"
#include "engine/core/zmod_platform.h"

namespace k2data {

namespace {

// The time written into every pack entry: 2026-01-01 00:00:00 UTC.
constexpr uint32_t kEntryTime = 1767225600;

uint64_t FixedNow() { return uint64_t{kEntryTime} * 1000000u; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

std::vector<Entry> BuildMusic(const std::string& tunesFolder) {
  std::vector<Entry> music;
  for (const char* tune : {"title", "second"}) {
    const std::string source = tunesFolder + "/" + tune + ".tune";
    music.push_back({std::string(tune) + ".mod", k2audio::CompileTune(ReadText(source), source)});
  }
  return music;
}

std::vector<Pack> BuildPacks(const std::string& tunesFolder) {
  using namespace k2art;
  const GameFont font = MakeGameFont();
  Pack gfx{"gfx.zpk",
           {
               {"splash.bmp", BmpOf(Splash(), true)},
               {"stdsprite.bmp", BmpOf(StdSprite(), false)},
               {"zoltlogo.3ds", Encode3ds(EngineLogoMesh(), "zoltlogo")},
               {"zoltbanner.png", PngOf(EngineBanner(), true)},
               {"logo.png", PngOf(GameLogo(), true)},
               {"gfont.bmp", BmpOf(font.outline, false)},
               {"gmask.bmp", BmpOf(font.body, false)},
               {"keyfont.bmp", BmpOf(MakeKeyFont(), false)},
               {"kbkey.png", PngOf(KeyCap(), false)},
               {"menu.3ds", Encode3ds(MenuCubeMesh(), "menu")},
               {"hud.bmp", BmpOf(Hud(), true)},
               {"title.bmp", BmpOf(Title(), true)},
               {"upcoming.bmp", BmpOf(Upcoming(), true)},
           }};
  Pack games{"games.zpk", {}};
  const char* gameNames[] = {"kolvo2a.png", "kolvo2b.png", "pellaxa.png", "pellaxb.png"};
  const std::vector<Canvas> pictures = GamesPictures();
  for (size_t i = 0; i < pictures.size(); ++i) games.entries.push_back({gameNames[i], RgbPngOf(pictures[i], true)});
  Pack sfx{"sfx.zpk", {}};
  for (const k2audio::Effect& e : k2audio::MakeEffects()) sfx.entries.push_back({e.name, k2audio::EffectFile(e)});
  return {gfx, games, sfx, Pack{"bgm.zpk", BuildMusic(tunesFolder)}};
}

std::string WritePack(const std::string& path, const std::vector<Entry>& entries) {
  const std::string part = path + ".part";
  std::remove(part.c_str());
  std::remove((part + "_tmp").c_str());
  ZPlatform_SetClock(FixedNow, nullptr);
  std::string error;
  {
    ClassZFile pack;
    int r = pack.PackNew(part.c_str(), "KLV2");
    if (r != ZPK_OK) error = "cannot make " + part + " (pack result " + std::to_string(r) + ")";
    for (size_t i = 0; error.empty() && i < entries.size(); ++i) {
      const Entry& e = entries[i];
      r = pack.PackAddFileData(e.name.c_str(), e.bytes.data(), static_cast<uint32_t>(e.bytes.size()), false,
                               ZPK_STORE_ZLIB, kEntryTime);
      if (r != ZPK_OK) error = "cannot add " + e.name + " to " + part + " (pack result " + std::to_string(r) + ")";
    }
  }
  ZPlatform_SetClock(nullptr, nullptr);
  if (error.empty() && std::rename(part.c_str(), path.c_str()) != 0) error = "cannot rename " + part + " to " + path;
  if (!error.empty()) std::remove(part.c_str());
  return error;
}

}  // namespace k2data
