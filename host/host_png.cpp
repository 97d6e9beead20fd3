#include "host/host_png.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <zlib.h>

namespace gp2x::host {
namespace {

void put_be32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void chunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
  put_be32(out, static_cast<uint32_t>(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size) out.insert(out.end(), data, data + size);
  put_be32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(size + 4))));
}

}  // namespace

std::vector<uint8_t> encode_png(const uint8_t* pixels, int width, int height, int channels) {
  const size_t row = static_cast<size_t>(width) * channels;
  std::vector<uint8_t> raw;
  raw.reserve((row + 1) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    raw.insert(raw.end(), pixels + y * row, pixels + (y + 1) * row);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK) return {};

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  put_be32(header, static_cast<uint32_t>(width));
  put_be32(header, static_cast<uint32_t>(height));
  // 8-bit RGB or RGBA, deflate, no interlace.
  header.insert(header.end(), {8, static_cast<uint8_t>(channels == 4 ? 6 : 2), 0, 0, 0});
  chunk(out, "IHDR", header.data(), header.size());
  chunk(out, "IDAT", packed.data(), packed_size);
  chunk(out, "IEND", nullptr, 0);
  return out;
}

bool write_png(const std::string& path, const uint8_t* rgb, int width, int height, std::string* error,
               const char* what) {
  const std::vector<uint8_t> png = encode_png(rgb, width, height);
  if (png.empty()) {
    *error = "cannot write " + std::string(what) + " \"" + path + "\": out of memory";
    return false;
  }
  const std::string temp = path + ".part";
  FILE* f = std::fopen(temp.c_str(), "wb");
  bool ok = f && std::fwrite(png.data(), 1, png.size(), f) == png.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    *error = "cannot write " + std::string(what) + " \"" + path + "\": " + std::strerror(errno);
    std::remove(temp.c_str());
  }
  return ok;
}

}  // namespace gp2x::host
