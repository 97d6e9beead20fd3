// kolvo2sheet: draws every picture, font and mesh of the puzzle game's packs on one sheet,
// through the game's own graphics helper and screens, in the console's 5:6:5 colours.
//
//   kolvo2sheet DATA OUT.png|OUT.bmp   DATA: the folder holding res/gfx.zpk and res/games.zpk
//
// The screens are shown as the game puts them together (the progress bar on the loading
// screen, menu text on the title, pieces and numbers on the side panel, the logo's
// flight), then the fonts, the block sheet with its coloured tiles, the key cap, the
// logo, the banner, the meshes, the closing screen's pictures and the on-screen keyboard.
// The sheet is written as the output's name asks: a PNG file, or a 24-bit BMP file as the
// engine writes them; any other name is refused. Exits with 1 when something cannot be
// loaded or written (a pack is told apart as missing or damaged), 2 on bad usage; --help
// prints the usage (exit 0).
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
#include "host/host_png.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_random.h"
#include "kolvo2/graphics.h"
#include "kolvo2/intro.h"
#include "kolvo2/level.h"
#include "kolvo2/title.h"
#include "tools/tool_usage.h"

namespace {

constexpr int kSheetWidth = 1000;
constexpr int kSheetHeight = 1066;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "kolvo2sheet: %s\n", what.c_str());
  std::exit(1);
}

// True when the name ends in the extension (".png"), in any case.
bool NameEndsIn(const std::string& name, const char* extension) {
  const size_t n = std::strlen(extension);
  return name.size() > n && strcasecmp(name.c_str() + name.size() - n, extension) == 0;
}

// What keeps the game's loading from a pack (a name relative to the data folder, which is
// the working folder by now): missing, a folder, unreadable, or there but damaged.
std::string PackProblem(const std::string& folder, const char* pack) {
  const std::string shown = folder + "/" + pack;
  struct stat st;
  if (stat(pack, &st) != 0) return errno == ENOENT ? "no pack " + shown : shown + ": " + std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return shown + ": a folder, not a pack";
  if (access(pack, R_OK) != 0) return shown + ": " + std::strerror(errno);
  return shown + ": the pack is damaged (cut short, or not a pack at all)";
}

// The game's own graphics, screens and records, over a display of the console's colours:
// every picture on the sheet is drawn by the code that draws it in the game.
struct Sheet {
  ZStandaloneDisplay engine{0, ZFMT_RGB565};
  GAMECONFIG cfg{};
  GAMESTATS stats{};
  GameRandom random;
  MAINDATA data{};
  ClassGraphics gfx;
  ClassIntro intro;
  ClassTitle title;
  ClassLevel level;
  ClassZFile games;
  Z2DSurface sheet, screen;
  std::string folder;  // the data folder as given, for messages

  // Runs in the data folder, which the game's loading reads as its working folder.
  explicit Sheet(const std::string& data_folder) : folder(data_folder) {
    engine.display.RegisterLoader(new ZLoader_BMP);
    engine.display.RegisterLoader(new ZLoader_PNG);
    engine.display.RegisterLoader(new ZLoader_3DS);
    // As the game's display: meshes project for the smaller side of the screen.
    engine.display.SetRenderSize(240);
    ResetCfg(cfg, nullptr);
    data.gfx = &gfx;
    data.cfg = &cfg;
    data.stats = &stats;
    data.random = &random;
    gfx.Init(&engine.display, &data);
    intro.maindata = title.maindata = level.maindata = &data;
    if (chdir(folder.c_str()) != 0) Die(folder + ": no data folder: " + std::strerror(errno));
    for (uint32_t step = 0; step < ClassIntro::STEPS; ++step)
      if (!gfx.ScriptLoad(step))
        Die(gfx.FailedPack() ? PackProblem(folder, "res/gfx.zpk")
                             : std::string("cannot load ") + gfx.FailedName() + " from " + folder + "/res/gfx.zpk");
    if (!games.Open("res/games.zpk", ZFILE_MODE_READ) || !games.PackValid()) Die(PackProblem(folder, "res/games.zpk"));
    if (engine.display.CreateSurface(&sheet, kSheetWidth, kSheetHeight, 0) ||
        engine.display.CreateSurface(&screen, 320, 240, 0))
      Die("cannot make the sheet");
    sheet.Clear(0x302018);
  }

  // An entry as it is stored, for showing the data itself.
  template <class Surface>
  void Load(Surface& s, const char* name, ClassZFile* pack = nullptr) {
    ClassZFile gfxpack;
    if (!pack && (!gfxpack.Open("res/gfx.zpk", ZFILE_MODE_READ) || !gfxpack.PackValid())) Die(PackProblem(folder, "res/gfx.zpk"));
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if ((pack ? pack : &gfxpack)->PackGetFileData(bytes, size, name) != ZPK_OK) Die(std::string("no entry ") + name);
    int r;
    if constexpr (std::is_same_v<Surface, Z2DSurfaceRGBA>)
      r = engine.display.CreateSurface(&s, bytes, size, 0);
    else
      r = engine.display.CreateSurface(&s, bytes, size, 0x40);
    ClassZMemory::DeAlloc(bytes);
    if (r) Die(std::string(name) + " does not load (result " + std::to_string(r) + ")");
  }

  void Text(Z2DSurface& on, int x, int y, const char* text) { gfx.DrawGameFont(on, x, y, text); }
  void Text(Z2DSurface& on, int x, int y, const char* text, uint32_t colour) {
    gfx.DrawGameFontColor(on, x, y, text, colour);
  }
  void Caption(int x, int y, const char* text) { Text(sheet, x, y, text, 0x80E0FF); }

  void Show(int x, int y, const char* caption) {
    Caption(x, y, caption);
    sheet.BltFast(x, y + 18, &screen, nullptr, 0, 0);
  }

  // The intro's picture: the gradient, the engine logo at t ms of its flight, the banner.
  void Intro(uint32_t t) {
    screen.GradientRect(nullptr, 0xa47354, 0x8e5434, 0xeedec6, 0xeedec6, 0x40);
    gfx.DrawLogo(screen, t);
    gfx.DrawZoltBanner(screen);
  }

  void Screens() {
    // Loading, ten steps of sixteen done (the backdrop still holds the splash).
    intro.step = 10;
    intro.splashwait = ClassIntro::SPLASH_MS;
    intro.RenderAll(screen);
    Show(10, 10, "Loading screen");

    // The title with its main menu, the first item chosen.
    gfx.LoadBackDrop("title.bmp");
    title.selection = 0;
    title.statetimer = 40 * 16;  // the marker's angle
    title.ProcessOptionSelect(screen);
    Show(340, 10, "Title and menu");

    // A game: the side panel laid over the title, a stack, a falling piece with its
    // shadow, the next piece and the numbers.
    gfx.LoadBackDrop("hud.bmp");
    level.NewGame();
    const char* stack[] = {"2#44#55#6#", "22##3355#6", "1111##3##7", "..7.......", "..77......"};
    for (uint32_t r = 0; r < 5; ++r)
      for (uint32_t k = 0; k < 10; ++k) {
        const char ch = stack[r][k];
        if (ch != '.') level.field[23 - r][4 + k] = static_cast<uint8_t>(ch == '#' ? 1 + (r * 3 + k) % 7 : ch - '0');
      }
    level.piece = 5;
    level.TurnBlock(level.piece, 0);
    level.column = 7;
    level.row = 9;
    level.nextpiece = 0;
    stats = GAMESTATS{4, 52480, 37};
    level.RenderAll(screen);
    Show(670, 10, "Playing");

    // The closing screen with the first pair of pictures.
    gfx.LoadBackDrop("upcoming.bmp");
    gfx.DrawBackDrop(screen);
    Show(10, 280, "Closing screen");

    Intro(2048);
    Show(340, 280, "Engine logo, mid-flight");
    Intro(2500);
    Show(670, 280, "Engine logo, turning away");
  }

  // A font strip cut into rows that fit the sheet, drawn as it is stored.
  int Strip(Z2DSurface& strip, int x, int y, uint32_t background) {
    const int width = static_cast<int>(strip.GetWidth()), height = static_cast<int>(strip.GetHeight());
    for (int from = 0; from < width; from += kSheetWidth - 2 * x) {
      const int to = std::min(width, from + kSheetWidth - 2 * x);
      const tagRECT part = MakeRect(from, 0, to, height), back = MakeRect(x, y, x + to - from, y + height);
      sheet.FillRect(&back, background, 0, 0);
      sheet.BltFast(x, y, &strip, &part, 0, 0);
      y += height + 4;
    }
    return y;
  }

  void Fonts() {
    Z2DSurface font, mask, keyfont;
    Load(font, "gfont.bmp");
    Load(mask, "gmask.bmp");
    Load(keyfont, "keyfont.bmp");
    int y = 560;
    Caption(10, y, "Game font: outline strip, body strip");
    y = Strip(font, 10, y + 20, 0x000000);
    y = Strip(mask, 10, y, 0x000000);
    Caption(10, y + 4, "Key font");
    y = Strip(keyfont, 10, y + 24, 0x000000);

    // Text as the game draws it, on dark and on light ground.
    const tagRECT dark = MakeRect(10, y + 6, 495, y + 100), light = MakeRect(505, y + 6, 990, y + 100);
    sheet.FillRect(&dark, 0x502818, 0, 0);
    sheet.FillRect(&light, 0xD8D0C8, 0, 0);
    const char* lines[] = {"The quick brown fox jumps over the lazy dog.", "0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~",
                           "Music: 75%  Shadow: enabled  Start level: 9"};
    for (int i = 0; i < 3; ++i) {
      Text(sheet, 16, y + 10 + 16 * i, lines[i]);
      Text(sheet, 511, y + 10 + 16 * i, lines[i]);
    }
    Text(sheet, 16, y + 60, "KOLVO 2 CREDITS", 0x2060ff);
    Text(sheet, 190, y + 60, "Options (not chosen)", 0x808080);
    Text(sheet, 16, y + 76, "GAME OVER  New highscore!");
    Text(sheet, 511, y + 60, "KOLVO 2 CREDITS", 0x2060ff);
    Text(sheet, 685, y + 60, "Options (not chosen)", 0x808080);
    Text(sheet, 511, y + 76, "Submission code  7 : 3D437718CB");
    Picks(y + 112);
  }

  void Picks(int y) {
    Caption(10, y, "Block and tiles (x3)");
    Z2DSurface tiles;
    engine.display.CreateSurface(&tiles, 8 * 14, 14, 0);
    for (uint16_t k = 0; k < 8; ++k) gfx.DrawStdSprite(tiles, 14 * k, 0, 4, 4, static_cast<uint16_t>(16 + k));
    for (int py = 0; py < 14 * 3; ++py)
      for (int px = 0; px < 8 * 14 * 3; ++px) sheet.PutPixel(10 + px, y + 20 + py, tiles.GetPixel(px / 3, py / 3), 0, 0);

    Caption(370, y, "Key cap (x3)");
    Z2DSurfaceRGBA cap;
    Load(cap, "kbkey.png");
    const tagRECT keyBack = MakeRect(370, y + 20, 370 + 3 * 24 + 8, y + 20 + 3 * 27 + 8);
    sheet.FillRect(&keyBack, 0xB0B0B0, 0, 0);
    Z2DSurface capOnGrey;
    engine.display.CreateSurface(&capOnGrey, 24, 27, 0);
    capOnGrey.Clear(0xB0B0B0);
    capOnGrey.BltFast(0, 0, &cap, nullptr, 0, 0);
    for (int py = 0; py < 27 * 3; ++py)
      for (int px = 0; px < 24 * 3; ++px) sheet.PutPixel(374 + px, y + 24 + py, capOnGrey.GetPixel(px / 3, py / 3), 0, 0);

    Caption(480, y, "Menu marker");
    const tagRECT cubeBack = MakeRect(480, y + 20, 640, y + 108);
    sheet.FillRect(&cubeBack, 0x401810, 0, 0);
    for (int i = 0; i < 4; ++i) {
      screen.Clear(0x401810);
      gfx.DrawCube(screen, 0, 0, i * 24);
      const tagRECT middle = MakeRect(140, 100, 180, 140);
      sheet.BltFast(484 + 38 * i, y + 44, &screen, &middle, 0, 0);
    }

    Caption(660, y, "Game logo and engine banner");
    Z2DSurfaceRGBA banner;
    Load(banner, "zoltbanner.png");
    const tagRECT logoBack = MakeRect(660, y + 20, 990, y + 60), bannerBack = MakeRect(660, y + 64, 990, y + 108);
    sheet.GradientRect(&logoBack, 0x58240c, 0x58240c, 0x200c06, 0x200c06, 0x40);
    sheet.GradientRect(&bannerBack, 0xeedec6, 0xeedec6, 0xd8c0a0, 0xd8c0a0, 0x40);
    gfx.DrawLogo(sheet, 670, y + 25);
    sheet.BltFast(670, y + 66, &banner, nullptr, 0, 0);

    y += 128;
    Caption(10, y, "Closing screen pictures, in pairs");
    for (uint32_t i = 0; i < games.PackContainFiles(); ++i) {
      ZPK_FILEINFO info;
      games.PackGetFileInfo(&info, i, false);
      Z2DSurface picture;
      Load(picture, info.name, &games);
      sheet.BltFast(10 + 106 * static_cast<int>(i) + (i >= 2 ? 20 : 0), y + 20, &picture, nullptr, 0, 0);
    }
    Caption(660, y, "On-screen keyboard");
    sheet.BltFast(660, y + 20, &gfx.Keyboard(0), nullptr, 0, 0);
  }

  void Write(const std::string& path) {
    if (NameEndsIn(path, ".bmp")) {
      errno = 0;
      const int r = sheet.WriteBmp(path.c_str(), nullptr);
      if (r == 0) return;
      const char* reason = r == 2 ? "out of memory"
                           : r == 4 ? "the name cannot be used"
                           : errno ? std::strerror(errno)
                                   : "the file cannot be made or written";
      Die("cannot write the sheet \"" + path + "\": " + reason);
    }
    std::vector<uint8_t> rgb;
    for (int y = 0; y < kSheetHeight; ++y)
      for (int x = 0; x < kSheetWidth; ++x) {
        const uint32_t c = sheet.GetPixel(x, y);
        rgb.push_back(static_cast<uint8_t>(c));
        rgb.push_back(static_cast<uint8_t>(c >> 8));
        rgb.push_back(static_cast<uint8_t>(c >> 16));
      }
    std::string error;
    if (!gp2x::host::write_png(path, rgb.data(), kSheetWidth, kSheetHeight, &error, "the sheet")) Die(error);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const char usage[] =
      "usage: kolvo2sheet DATA OUT.png|OUT.bmp\n"
      "Draws every picture, font and mesh of kolvo2's data on one sheet, as the game\n"
      "shows them in the console's colours, and writes it to OUT.png as a PNG file or to\n"
      "OUT.bmp as a 24-bit BMP file, as the name asks.\n"
      "  DATA  the folder kolvo2 runs in: the one holding res/gfx.zpk (the pictures,\n"
      "        fonts and meshes) and res/games.zpk (the closing screen's pictures); a\n"
      "        build makes it as build/kolvo2/data\n";
  if (ToolHelpAsked(argc, argv)) return ToolUsage(usage, true);
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] == '-' && argv[i][1])
      return ToolMistake("kolvo2sheet", std::string("unknown option \"") + argv[i] + "\"", usage);
  if (argc != 3)
    return ToolMistake("kolvo2sheet", "needs DATA and OUT.png or OUT.bmp, " + std::to_string(argc - 1) + " given", usage);
  if (!NameEndsIn(argv[2], ".png") && !NameEndsIn(argv[2], ".bmp"))
    return ToolMistake("kolvo2sheet", std::string("\"") + argv[2] + "\": the sheet is written as .png or .bmp", usage);
  // The sheet reads the data as the game does, from its working folder.
  std::string out = argv[2];
  if (!out.empty() && out[0] != '/') {
    char* here = getcwd(nullptr, 0);
    if (here) out = std::string(here) + "/" + out;
    std::free(here);
  }
  Sheet sheet(argv[1]);
  sheet.Screens();
  sheet.Fonts();
  sheet.Write(out);
  return 0;
}
