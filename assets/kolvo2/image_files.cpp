#include "assets/kolvo2/image_files.h"

#include "assets/kolvo2/bytes_out.h"
#include "host/host_png.h"

namespace k2art {

using k2data::PutLe;

std::vector<uint8_t> EncodeBmp(const std::vector<uint8_t>& rgb, int width, int height) {
  const uint32_t stride = (3u * width + 3) / 4 * 4;
  const uint32_t image = stride * height;
  std::vector<uint8_t> out;
  out.reserve(54 + image);
  out.push_back('B');
  out.push_back('M');
  PutLe(out, 54 + image, 4);
  PutLe(out, 0, 4);       // reserved
  PutLe(out, 54, 4);      // pixel data offset
  PutLe(out, 40, 4);      // information header size
  PutLe(out, width, 4);
  PutLe(out, height, 4);  // positive: bottom-up rows
  PutLe(out, 1, 2);       // planes
  PutLe(out, 24, 2);      // bits per pixel
  PutLe(out, 0, 4);       // no compression
  PutLe(out, image, 4);
  PutLe(out, 2835, 4);    // 72 dots per inch
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);       // colours used
  PutLe(out, 0, 4);       // colours important
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* row = rgb.data() + static_cast<size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      out.push_back(row[3 * x + 2]);
      out.push_back(row[3 * x + 1]);
      out.push_back(row[3 * x]);
    }
    for (uint32_t pad = 3u * width; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> BmpOf(const Canvas& c, bool dither) { return EncodeBmp(ToRgb(c, dither), c.width(), c.height()); }

std::vector<uint8_t> PngOf(const Canvas& c, bool dither) {
  return gp2x::host::encode_png(ToRgba(c, dither).data(), c.width(), c.height(), 4);
}

std::vector<uint8_t> RgbPngOf(const Canvas& c, bool dither) {
  return gp2x::host::encode_png(ToRgb(c, dither).data(), c.width(), c.height(), 3);
}

}  // namespace k2art
