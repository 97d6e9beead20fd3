// zscape: a small application on the Zolt framework that shows the engine's landscape,
// shader blits and pixel collision. The camera flies over a repeating ground plane; the
// sky fills what the landscape leaves above its horizon; beacons stand on the ground where
// the view projects them; the player's ship is drawn through a pixel shader and tested
// against every beacon with the surfaces' collision masks.
//
//   left / right turn, up / down change the speed, A picks the next shader, Start and
//   Select together end it.
//
//   GP2X_HEADLESS=0 zscape                                         (a window)
//   GP2X_SCRIPT=s.txt GP2X_SHOTS=shots GP2X_UNTIL=3000 zscape      (headless)
//   zscape --help                                                  (this usage)
//
// Each collision that starts prints "zscape: hit beacon N at (X, Y)" with the frame. Exit
// code 0 after a normal end, 1 when the devices cannot be opened or start-up fails, 2 for
// an argument it does not know.
#include <cstdio>
#include <utility>

#include "engine/app/zolt.h"
#include "engine/graphics/zsurf_3d.h"
#include "engine/graphics/zx_shader.h"
#include "tools/zolt_tool_main.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr int kTexture = 256;               // the ground repeats every 256 texels
constexpr int32_t kHeightAbove = 24;        // camera height
constexpr int16_t kPitch = 2800;            // horizon about 88 rows above the bottom
constexpr uint16_t kScale = 96;
constexpr int kShipX = 144, kShipY = 192, kShipW = 32, kShipH = 24;
constexpr int kBeaconW = 12, kBeaconH = 28;
constexpr uint32_t kKey = 0xFF00FF;

struct Beacon {
  int32_t x, y;  // texels
};
// The first stands straight ahead of the start, so that a flight without turning meets it.
constexpr Beacon kBeacons[] = {{128, 40}, {40, 200}, {200, 150}, {90, 100}, {230, 20}};
constexpr int kBeaconCount = int(sizeof kBeacons / sizeof kBeacons[0]);

struct Shader {
  const char* name;
  ZPIXELSHADER fn;
};
const Shader kShaders[] = {{"OR", ZPShader_OR},
                           {"XOR", ZPShader_XOR},
                           {"AND", ZPShader_AND},
                           {"GRAYSCALE", ZPShader_Grayscale}};

uint32_t Hash(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352du;
  v ^= v >> 15;
  v *= 0x846ca68bu;
  return v ^ (v >> 16);
}

// Fields of greens and ochres in 32-texel squares, crossed by grey roads with a dashed
// white middle line every 128 texels.
void DrawGround(Z2DSurface& g) {
  static const uint32_t fields[] = {0x2E8B3A, 0x3FA34D, 0x2F7D32, 0x5DA83C, 0x3C9C8A, 0x2C6E9E};
  for (int ty = 0; ty < kTexture; ty += 32)
    for (int tx = 0; tx < kTexture; tx += 32) {
      const uint32_t h = Hash(uint32_t(tx * 131 + ty));
      const tagRECT r = {tx, ty, tx + 32, ty + 32};
      g.FillRect(&r, fields[h % 6], 0, 0);
      // Furrows: a darker line every 4 texels across the field.
      for (int k = 2; k < 32; k += 4) {
        const tagRECT f = (h & 64) ? tagRECT{tx + k, ty, tx + k + 1, ty + 32} : tagRECT{tx, ty + k, tx + 32, ty + k + 1};
        g.FillRect(&f, 0x000000, 8, 40);
      }
    }
  for (int at = 0; at < kTexture; at += 128) {
    const tagRECT across = {0, at, kTexture, at + 6}, down = {at, 0, at + 6, kTexture};
    g.FillRect(&across, 0x707070, 0, 0);
    g.FillRect(&down, 0x707070, 0, 0);
    for (int k = 0; k < kTexture; k += 16) {
      const tagRECT a = {k, at + 2, k + 8, at + 4}, b = {at + 2, k, at + 4, k + 8};
      g.FillRect(&a, 0xFFFFFF, 0, 0);
      g.FillRect(&b, 0xFFFFFF, 0, 0);
    }
  }
}

// A striped mast with a lamp on top, on the key colour.
void DrawBeacon(Z2DSurface& b) {
  b.Clear(kKey);
  for (int y = 8; y < kBeaconH; y += 4) {
    const tagRECT r = {4, y, 8, y + 4};
    b.FillRect(&r, (y / 4) & 1 ? 0x2020E0 : 0xF0F0F0, 0, 0);
  }
  b.FillOval(0, 0, 6, 4, 0x20D0FF, 0, 0);
}

// A dart seen from above: two wings and a cockpit.
void DrawShip(Z2DSurface& s) {
  s.Clear(kKey);
  s.FillPoly(16, 0, 0, 23, 16, 16, 0xE0E0E0, 0, 0);
  s.FillPoly(16, 0, 16, 16, 31, 23, 0xB0B0B0, 0, 0);
  s.FillOval(13, 6, 3, 4, 0xFF9020, 0, 0);
}

class ScapeApp : public ClassZolt {
 public:
  int OnCreate(ZOLTCONFIG* config, ZOLTDATA*) override {
    config->width = kWidth;
    config->height = kHeight;
    config->fps = 60;
    config->rotation = 0;
    return 0;
  }

  int OnDisplayInit(int, ClassZDisplay* display) override {
    if (display->CreateSurface(&ground_, kTexture, kTexture, 1) || display->CreateSurface(&ship_, kShipW, kShipH, 1) ||
        display->CreateSurface(&beacon_, kBeaconW, kBeaconH, 1))
      return 1;
    DrawGround(ground_);
    DrawShip(ship_);
    ship_.SetColorKey(kKey);
    ship_.BuildTableMask(0);
    DrawBeacon(beacon_);
    beacon_.SetColorKey(kKey);
    beacon_.BuildTableMask(0);
    return 0;
  }

  int OnNextFrame(ClassZDisplay* display, uint32_t) override {
    ++frame_;
    Steer();
    Z2DSurface& screen = display->backbuffer;

    tagRECT ground = {0, 0, kWidth, kHeight};
    screen.Landscape(&ground, kHeightAbove, camx_, camy_, angle_, kPitch, kScale, &ground_);
    const tagRECT sky = {0, 0, kWidth, ground.top};
    screen.GradientRectV(&sky, 0x602010, 0xF0C890, 0);

    // Beacons far to near, each at the nearest of its repeats.
    struct Placed {
      int index;
      ZVECTOR3D at;
    } placed[kBeaconCount];
    int count = 0;
    for (int i = 0; i < kBeaconCount; ++i) {
      const int32_t bx = Nearest(kBeacons[i].x * 16 + 8, camx_), by = Nearest(kBeacons[i].y * 16 + 8, camy_);
      ZVECTOR3D p;
      if (screen.GetLandscapePoint(nullptr, kHeightAbove, camx_, camy_, angle_, kPitch, kScale, bx, by, &ground_, &p))
        placed[count++] = {i, p};
    }
    for (int a = 0; a < count; ++a)
      for (int b = a + 1; b < count; ++b)
        if (placed[b].at.z > placed[a].at.z) std::swap(placed[a], placed[b]);
    bool hit[kBeaconCount] = {};
    for (int a = 0; a < count; ++a) {
      const int32_t x = placed[a].at.x - kBeaconW / 2, y = placed[a].at.y - kBeaconH;
      screen.BltFast(x, y, &beacon_, nullptr, 1, 0);
      tagPOINT point;
      if (ship_.Intersect(kShipX, kShipY, nullptr, x, y, nullptr, &beacon_, &point)) {
        const int i = placed[a].index;
        hit[i] = true;
        if (!hitting_[i])
          std::printf("zscape: hit beacon %d at (%d, %d) in frame %d\n", i, point.x, point.y, frame_);
        screen.FillRect(nullptr, 0xFFFFFF, 8, 48);
      }
    }
    for (int i = 0; i < kBeaconCount; ++i) {
      hits_ += hit[i] && !hitting_[i];
      hitting_[i] = hit[i];
    }

    screen.BltPixelShader(kShipX, kShipY, &ship_, nullptr, kShaders[shader_].fn, 1, 0);
    char text[64];
    std::snprintf(text, sizeof text, "SHADER %s", kShaders[shader_].name);
    screen.DrawFont(6, 4, &display->font, text, 1, 0);
    std::snprintf(text, sizeof text, "HITS %d", hits_);
    screen.DrawFont(6, 18, &display->font, text, 1, 0);
    std::fflush(stdout);
    return 0;
  }

  void OnButtonDown(uint32_t code, ZBUTTONLIST*) override {
    held_ |= Bit(code);
    if (code == ZBUTTON_A) shader_ = (shader_ + 1) % int(sizeof kShaders / sizeof kShaders[0]);
    if ((held_ & Bit(ZBUTTON_START)) && (held_ & Bit(ZBUTTON_SELECT))) Quit();
  }
  void OnButtonUp(uint32_t code, ZBUTTONLIST*) override { held_ &= ~Bit(code); }

 private:
  // The held-button word's bit of a button code (1-32; others have none).
  static uint32_t Bit(uint32_t code) { return code >= 1 && code <= 32 ? 1u << (code - 1) : 0; }

  // The repeat of a ground coordinate (28.4) closest to the camera's.
  static int32_t Nearest(int32_t v, int32_t cam) {
    const int32_t period = kTexture * 16;
    int32_t d = (v - cam) % period;
    if (d < -period / 2) d += period;
    if (d >= period / 2) d -= period;
    return cam + d;
  }

  void Steer() {
    if (held_ & Bit(ZBUTTON_LEFT)) angle_ = uint16_t((angle_ - 12) & 0xFFF);
    if (held_ & Bit(ZBUTTON_RIGHT)) angle_ = uint16_t((angle_ + 12) & 0xFFF);
    if ((held_ & Bit(ZBUTTON_UP)) && speed_ < 64) ++speed_;
    if ((held_ & Bit(ZBUTTON_DOWN)) && speed_ > 0) --speed_;
    // Forward at angle a is (sin a, -cos a) on the ground.
    camx_ += int32_t((int64_t(math.Sin(angle_)) * speed_) >> 16);
    camy_ -= int32_t((int64_t(math.Cos(angle_)) * speed_) >> 16);
  }

  Z2DSurface ground_, ship_, beacon_;
  int32_t camx_ = 128 * 16 + 8, camy_ = 250 * 16;
  uint16_t angle_ = 0;
  int32_t speed_ = 24;
  int shader_ = 0;
  int frame_ = 0;
  int hits_ = 0;
  bool hitting_[kBeaconCount] = {};
  uint32_t held_ = 0;
};

const char kUsage[] =
    "usage: zscape [--help]\n"
    "A Zolt engine application: a flight over the landscape, past beacons that the ship\n"
    "collides with. Left and right turn, up and down change the speed, A picks the ship's\n"
    "shader, Start and Select together end it. The host layer's settings choose how it runs:\n"
    "  GP2X_HEADLESS=0 zscape                                      a window\n"
    "  GP2X_SCRIPT=s.txt GP2X_SHOTS=shots GP2X_UNTIL=3000 zscape   headless (the default),\n"
    "                                                               until a time\n"
    "Every setting is in host/README.md.\n";

}  // namespace

int main(int argc, char** argv) { return ZoltToolMain<ScapeApp>("zscape", argc, argv, kUsage); }
