// PNG reader. The chunk list is checked whole before the surface is created, so a file
// with a bad structure never creates or touches the surface; the compressed data are then
// inflated straight out of the IDAT chunks (wherever they lie) one row at a time, so only
// a row pair (and, for interlaced images, the image itself) is held.
#include "engine/graphics/zldr_png.h"

#include <cstring>
#include <zlib.h>

#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_zlib.h"
#include "engine/graphics/zsurf_2dbase.h"

const uint8_t zpng_ldr_c1bit[2] = {0, 255};
const uint8_t zpng_ldr_c2bit[4] = {0, 85, 170, 255};
const uint8_t zpng_ldr_c4bit[16] = {0, 17, 34, 51, 68, 85, 102, 119,
                                    136, 153, 170, 187, 204, 221, 238, 255};

namespace {

constexpr uint32_t kTypeIHDR = 0x49484452;
constexpr uint32_t kTypePLTE = 0x504C5445;
constexpr uint32_t kTypeTRNS = 0x74524E53;
constexpr uint32_t kTypeIDAT = 0x49444154;

// Deflate cannot expand a byte into more than 1032 (258-byte matches of 2-bit codes): an
// image claiming more than that from its compressed bytes cannot be whole, and is refused
// before anything as large is allocated.
constexpr uint64_t kMaxInflateRatio = 1032;

struct Adam7Pass {
  uint32_t x0, y0, dx, dy;
};
constexpr Adam7Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                 {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

uint32_t Samples(const ZPNG_HEADER* h) {
  if (h->palette) return 1;
  return (h->colour ? 3 : 1) + (h->alpha ? 1 : 0);
}

uint64_t RowBytes(const ZPNG_HEADER* h, uint64_t w) {
  return (w * Samples(h) * h->depth + 7) / 8;
}

uint32_t PassSize(uint32_t n, uint32_t start, uint32_t step) {
  return n > start ? (n - start + step - 1) / step : 0;
}

bool ValidDepth(uint8_t type, uint8_t depth) {
  switch (type) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6: return depth == 8 || depth == 16;
    default: return false;
  }
}

// One chunk: where its frame starts (the length field), its body's length and its type.
struct PngChunk {
  uint32_t start, length, type;
};

// The chunks after the signature in file order, while a whole frame (length, type and
// CRC: 12 bytes) remains. Only the walk that checks the lengths may meet one that runs
// past the data.
class PngChunks {
 public:
  PngChunks(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}
  bool Next(PngChunk& c) {
    if (pos_ + 12 > size_) return false;
    c.start = uint32_t(pos_);
    c.length = ZLoader_Be32(data_ + pos_);
    c.type = ZLoader_Be32(data_ + pos_ + 4);
    pos_ += 12 + uint64_t(c.length);
    return true;
  }

 private:
  const uint8_t* data_;
  uint64_t size_;
  uint64_t pos_ = 8;
};

// Supplies the IDAT chunks' data in file order to one inflate stream, inflating ahead into
// a block of its own (inflate is fastest with room to write). The chunk list was checked
// by the walk, so every length here lies inside the data.
class IdatInflater {
 public:
  IdatInflater(const uint8_t* data, uint32_t size) : data_(data), chunks_(data, size) {
    std::memset(&z_, 0, sizeof(z_));
    z_.zalloc = zcalloc;
    z_.zfree = zcfree;
    block_ = static_cast<uint8_t*>(ClassZMemory::Alloc(kBlock));
    ok_ = block_ && inflateInit(&z_) == Z_OK;
  }
  ~IdatInflater() {
    if (ok_) inflateEnd(&z_);
    ClassZMemory::DeAlloc(block_);
  }
  bool Ready() const { return ok_; }
  bool OutOfMemory() const { return nomemory_; }

  // Exactly n bytes, or false (data ran out, were corrupt, or the stream ended early).
  bool Fill(uint8_t* dst, uint32_t n) {
    while (n) {
      if (have_ == 0 && !Refill()) return false;
      const uint32_t k = n < have_ ? n : have_;
      std::memcpy(dst, block_ + at_, k);
      at_ += k;
      have_ -= k;
      dst += k;
      n -= k;
    }
    return true;
  }

  // True when the stream ends here without one more byte of output.
  bool Finish() {
    if (have_) return false;
    while (!ended_) {
      if (!Refill()) return !failed_ && ended_;
      if (have_) return false;
    }
    return true;
  }

 private:
  static constexpr uint32_t kBlock = 32768;

  // Inflates up to a block; false when nothing came (stream over, input used up, error).
  bool Refill() {
    at_ = 0;
    have_ = 0;
    if (ended_ || failed_) return false;
    z_.next_out = block_;
    z_.avail_out = kBlock;
    while (z_.avail_out && !ended_) {
      if (z_.avail_in == 0 && !NextChunk()) break;
      const int r = inflate(&z_, Z_NO_FLUSH);
      if (r == Z_STREAM_END) {
        ended_ = true;
      } else if (r != Z_OK && !(r == Z_BUF_ERROR && z_.avail_in == 0)) {
        // Z_BUF_ERROR only means "no progress possible", fine while the input is used up.
        nomemory_ = r == Z_MEM_ERROR;
        failed_ = true;
        return false;
      }
    }
    have_ = kBlock - z_.avail_out;
    return have_ > 0;
  }

  bool NextChunk() {
    for (PngChunk c; chunks_.Next(c);) {
      if (c.type == kTypeIDAT && c.length) {
        z_.next_in = const_cast<Bytef*>(data_ + c.start + 8);
        z_.avail_in = c.length;
        return true;
      }
    }
    return false;
  }

  const uint8_t* data_;
  PngChunks chunks_;
  z_stream z_;
  uint8_t* block_ = nullptr;
  uint32_t at_ = 0, have_ = 0;
  bool ok_ = false;
  bool ended_ = false;
  bool failed_ = false;
  bool nomemory_ = false;
};

}  // namespace

int ZLoader_PNG::Start(Z2DSurfaceBase* surface, const void* data, uint32_t size,
                       uint8_t format, uint32_t flags) {
  LinkData(data, size);
  SetByteOrder(true);
  uint32_t sig0 = 0, sig1 = 0;
  if (!Read32(&sig0) || !Read32(&sig1) || sig0 != 0x89504E47u || sig1 != 0x0D0A1A0Au)
    return Z2D_NOTHANDLED;
  if (!surface) return Z2D_BADARG;

  ZPNG_HEADER header;
  std::memset(&header, 0, sizeof(header));
  header.key = 0xFF000000u;
  for (uint32_t& p : header.pal) p = 0xFF000000u;
  const int walked = WalkChunks(&header);
  if (walked) return walked;

  ZLDR_2DCALLBACKINFO info;
  std::memset(&info, 0, sizeof(info));
  info.width = header.width;
  info.height = header.height;
  info.indexed = header.palette;
  info.format = format;
  info.flags = flags;
  int r = surface->LdrOnCreate(&info);
  if (r) return r;
  r = DeliverTables(surface, &info, &header);
  if (r) return r;
  return DecodeImage(surface, &info, &header);
}

// Checks every chunk length and the header, and gathers what the decode needs. Nothing is
// delivered yet.
int ZLoader_PNG::WalkChunks(ZPNG_HEADER* h) {
  bool haveheader = false, haveplte = false;
  uint64_t idattotal = 0;
  // Fewer than 12 bytes at the end cannot hold a chunk: they are ignored, as trailing
  // bytes after the image are.
  PngChunks chunks(data_, Size());
  for (PngChunk c; chunks.Next(c);) {
    const uint32_t len = c.length;
    if (len > 0x7FFFFFFFu || uint64_t(c.start) + 12 + len > Size()) return Z2D_FAILED;
    if (c.type == kTypeIHDR) {
      if (haveheader || len != 13) return Z2D_FAILED;
      haveheader = true;
      SeekSet(c.start + 8);
      Read32(&h->width);
      Read32(&h->height);
      Read8(&h->depth);
      Read8(&h->colourtype);
      Read8(&h->compression);
      Read8(&h->filter);
      Read8(&h->interlace);
      h->palette = h->colourtype & 1;
      h->colour = h->colourtype >> 1 & 1;
      h->alpha = h->colourtype >> 2 & 1;
    } else if (c.type == kTypePLTE) {
      if (len % 3 || len > 768) return Z2D_FAILED;
      haveplte = true;
    } else if (c.type == kTypeIDAT) {
      ++h->idatcount;
      idattotal += len;
    }
  }
  if (!haveheader) return Z2D_FAILED;
  if (h->width == 0 || h->height == 0 || h->width > 0x7FFFFFFFu || h->height > 0x7FFFFFFFu)
    return Z2D_FAILED;
  if (h->compression || h->filter) return Z2D_NOTHANDLED;
  if (!ValidDepth(h->colourtype, h->depth)) return Z2D_FAILED;
  if (h->idatcount == 0) return Z2D_FAILED;
  // Indices without a palette would all show as transparent black.
  if (h->palette && !haveplte) return Z2D_FAILED;
  h->idattotal = uint32_t(idattotal);  // the chunks lie inside the data: fits

  uint64_t raw = 0;
  if (h->interlace) {
    for (const Adam7Pass& p : kAdam7) {
      const uint32_t pw = PassSize(h->width, p.x0, p.dx), ph = PassSize(h->height, p.y0, p.dy);
      if (pw && ph) raw += uint64_t(ph) * (1 + RowBytes(h, pw));
    }
  } else {
    raw = uint64_t(h->height) * (1 + RowBytes(h, h->width));
  }
  if (raw > idattotal * kMaxInflateRatio + 1024) return Z2D_FAILED;
  // The unfiltered rows and the converted image (4 bytes a pixel) within what the console
  // could ever hold.
  if (raw > ZMEMORY_LARGEST_BLOCK || ZLoader_TooLarge(h->width, h->height)) return Z2D_NOMEMORY;
  return Z2D_OK;
}

// PLTE and tRNS, in file order, into the header and the surface's palette.
int ZLoader_PNG::DeliverTables(Z2DSurfaceBase* surface, ZLDR_2DCALLBACKINFO* info,
                               ZPNG_HEADER* h) {
  PngChunks chunks(data_, Size());
  for (PngChunk c; chunks.Next(c);) {
    const uint32_t len = c.length;
    const uint8_t* body = data_ + c.start + 8;
    uint32_t entries = 0;
    if (c.type == kTypePLTE) {
      entries = len / 3;
      for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* e = body + 3 * i;
        h->pal[i] = (h->pal[i] & 0xFF000000u) | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
      }
    } else if (c.type == kTypeTRNS) {
      if (h->palette) {
        // More alpha bytes than palette entries: the extra ones have nothing to describe.
        entries = len < 256 ? len : 256;
        for (uint32_t i = 0; i < entries; ++i)
          h->pal[i] = (h->pal[i] & 0x00FFFFFFu) | uint32_t(body[i]) << 24;
      } else if (h->colour) {
        if (len >= 6) {
          uint32_t c[3];
          for (int k = 0; k < 3; ++k) {
            uint32_t v = uint32_t(body[2 * k]) << 8 | body[2 * k + 1];
            c[k] = (h->depth == 16 ? v >> 8 : v) & 0xFF;
          }
          h->key = c[2] << 16 | c[1] << 8 | c[0];
        }
      } else if (len >= 2) {
        uint32_t v = uint32_t(body[0]) << 8 | body[1];
        switch (h->depth) {
          case 1: v = zpng_ldr_c1bit[v & 1]; break;
          case 2: v = zpng_ldr_c2bit[v & 3]; break;
          case 4: v = zpng_ldr_c4bit[v & 15]; break;
          case 16: v >>= 8; break;
          default: v &= 0xFF; break;
        }
        h->key = v * 0x010101u;
      }
    }
    if (entries) {
      info->palettepos = 0;
      info->data = h->pal;
      info->size = entries * 4;
      const int r = surface->LdrOnPaletteStream(info);
      if (r) return r;
    }
  }
  return Z2D_OK;
}

namespace {

inline int PaethPick(int a, int b, int c) {
  // The nearest of a, b, c to p = a + b - c, ties going to a, then b: pa = |b - c|,
  // pb = |a - c|, pc = |a + b - 2c|. Compares and selects, no branches: on photographs
  // the choice is close to random.
  const int da = b - c, db = a - c;
  const int pa = da < 0 ? -da : da, pb = db < 0 ? -db : db;
  const int pc = da + db < 0 ? -(da + db) : da + db;
  const int near = pb < pa ? b : a, dist = pb < pa ? pb : pa;
  return pc < dist ? c : near;
}

// Pixels of N bytes (8-bit RGB and RGBA, the common cases): the N channels are independent
// chains, kept in registers and interleaved so that their latencies overlap. n is a
// multiple of N.
template <uint32_t N>
void PaethN(uint8_t* row, const uint8_t* prev, uint32_t n) {
  int a[N] = {}, c[N] = {};
  for (uint32_t i = 0; i < n; i += N) {
    for (uint32_t k = 0; k < N; ++k) {
      const int b = prev[i + k];
      a[k] = uint8_t(row[i + k] + PaethPick(a[k], b, c[k]));
      row[i + k] = uint8_t(a[k]);
      c[k] = b;
    }
  }
}

void Paeth(uint8_t* row, const uint8_t* prev, uint32_t n, uint32_t bpp) {
  for (uint32_t i = 0; i < bpp; ++i) row[i] = uint8_t(row[i] + prev[i]);
  for (uint32_t i = bpp; i < n; ++i) {
    row[i] = uint8_t(row[i] + PaethPick(row[i - bpp], prev[i], prev[i - bpp]));
  }
}

}  // namespace

void ZLoader_PNG::RevertBytes(uint8_t filter, uint8_t* row, const uint8_t* prev, uint32_t n,
                              uint32_t bpp) {
  if (bpp > n) bpp = n;
  switch (filter) {
    case 1:
      for (uint32_t i = bpp; i < n; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
      break;
    case 2:
      for (uint32_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
      break;
    case 3:
      for (uint32_t i = 0; i < bpp; ++i) row[i] = uint8_t(row[i] + (prev[i] >> 1));
      for (uint32_t i = bpp; i < n; ++i)
        row[i] = uint8_t(row[i] + ((uint32_t(row[i - bpp]) + prev[i]) >> 1));
      break;
    case 4:
      if (bpp == 3 && n % 3 == 0) PaethN<3>(row, prev, n);
      else if (bpp == 4 && n % 4 == 0) PaethN<4>(row, prev, n);
      else Paeth(row, prev, n, bpp);
      break;
    default:  // 0, and unknown filters, leave the row as it is
      break;
  }
}

void ZLoader_PNG::Rasterize(const ZPNG_HEADER* h, const uint8_t* row, uint32_t count,
                            void* outp) {
  const uint32_t depth = h->depth;
  if (h->palette) {
    uint8_t* out = static_cast<uint8_t*>(outp);
    if (depth == 8) {
      std::memcpy(out, row, count);
      return;
    }
    const uint32_t perbyte = 8 / depth, mask = (1u << depth) - 1;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t shift = 8 - depth * (i % perbyte + 1);
      out[i] = uint8_t(row[i / perbyte] >> shift & mask);
    }
    return;
  }
  uint32_t* out = static_cast<uint32_t*>(outp);
  const uint32_t step = depth == 16 ? 2 : 1;  // bytes per sample; the high byte comes first
  if (!h->colour && !h->alpha && depth < 8) {
    const uint8_t* table = depth == 1 ? zpng_ldr_c1bit : depth == 2 ? zpng_ldr_c2bit : zpng_ldr_c4bit;
    const uint32_t perbyte = 8 / depth, mask = (1u << depth) - 1;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t shift = 8 - depth * (i % perbyte + 1);
      out[i] = 0xFF000000u | table[row[i / perbyte] >> shift & mask] * 0x010101u;
    }
  } else if (!h->colour) {
    const uint32_t stride = step * (h->alpha ? 2 : 1);
    for (uint32_t i = 0; i < count; ++i, row += stride) {
      const uint32_t a = h->alpha ? row[step] : 0xFF;
      out[i] = a << 24 | row[0] * 0x010101u;
    }
  } else if (step == 1 && !h->alpha) {
    for (uint32_t i = 0; i < count; ++i, row += 3)
      out[i] = 0xFF000000u | uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
  } else {
    const uint32_t stride = step * (h->alpha ? 4 : 3);
    for (uint32_t i = 0; i < count; ++i, row += stride) {
      const uint32_t a = h->alpha ? row[3 * step] : 0xFF;
      out[i] = a << 24 | uint32_t(row[2 * step]) << 16 | uint32_t(row[step]) << 8 | row[0];
    }
  }
  if (h->key != 0xFF000000u) {
    for (uint32_t i = 0; i < count; ++i)
      if ((out[i] & 0xFFFFFFu) == h->key) out[i] &= 0xFFFFFFu;
  }
}

int ZLoader_PNG::DecodeImage(Z2DSurfaceBase* surface, ZLDR_2DCALLBACKINFO* info,
                             ZPNG_HEADER* h) {
  const uint32_t width = h->width, height = h->height;
  const uint32_t pixelbytes = h->palette ? 1 : 4;
  const uint32_t bits = Samples(h) * h->depth;
  const uint32_t bpp = bits < 8 ? 1 : bits / 8;
  // The walk bounded the raw size, so every size below fits 32 bits.
  const uint32_t rowbytes = uint32_t(RowBytes(h, width));
  const uint32_t outbytes = width * pixelbytes;

  // Rows the surface takes as the file holds them, once unfiltered: 8-bit indices, and
  // 8-bit grey, RGB and RGBA samples with no key to apply.
  uint8_t samples = 0;
  if (!h->interlace && h->depth == 8 && !h->palette && h->key == 0xFF000000u &&
      surface->LdrTakesSamples()) {
    if (h->colour) samples = h->alpha ? LDR_SAMPLES_RGBA : LDR_SAMPLES_RGB;
    else if (!h->alpha) samples = LDR_SAMPLES_GREY;
  }
  const bool direct = samples || (!h->interlace && h->palette && h->depth == 8);

  IdatInflater inflater(data_, Size());
  if (!inflater.Ready()) return Z2D_NOMEMORY;
  // Two filtered rows (this one and the one above, each with its filter byte) and one
  // converted row unless rows go out directly, or the converted image when interlaced.
  uint8_t* rowpair = static_cast<uint8_t*>(ClassZMemory::Alloc(2 * (rowbytes + 1)));
  const uint64_t imagebytes = h->interlace ? uint64_t(outbytes) * height : direct ? 1 : outbytes;
  uint8_t* out = imagebytes <= 0xFFFFFFFFu
                     ? static_cast<uint8_t*>(ClassZMemory::Alloc(uint32_t(imagebytes)))
                     : nullptr;
  // A pass row converted before it is scattered.
  uint8_t* passrow = h->interlace ? static_cast<uint8_t*>(ClassZMemory::Alloc(outbytes)) : nullptr;
  if (!rowpair || !out || (h->interlace && !passrow)) {
    ClassZMemory::DeAlloc(rowpair);
    ClassZMemory::DeAlloc(out);
    ClassZMemory::DeAlloc(passrow);
    return Z2D_NOMEMORY;
  }

  int result = Z2D_OK;
  uint8_t* cur = rowpair;
  uint8_t* prev = rowpair + rowbytes + 1;
  if (!h->interlace) {
    std::memset(prev, 0, rowbytes + 1);
    info->samples = samples;
    for (uint32_t y = 0; y < height && result == Z2D_OK; ++y) {
      if (!inflater.Fill(cur, rowbytes + 1)) {
        result = inflater.OutOfMemory() ? Z2D_NOMEMORY : Z2D_FAILED;
        break;
      }
      RevertBytes(cur[0], cur + 1, prev + 1, rowbytes, bpp);
      if (direct) {
        info->data = cur + 1;
        info->size = rowbytes;
      } else {
        Rasterize(h, cur + 1, width, out);
        info->data = out;
        info->size = outbytes;
      }
      info->pixelpos = y * width;
      result = surface->LdrOnPixelStream(info);
      uint8_t* t = cur;
      cur = prev;
      prev = t;
    }
  } else {
    std::memset(out, 0, outbytes * height);
    for (const Adam7Pass& p : kAdam7) {
      const uint32_t pw = PassSize(width, p.x0, p.dx), ph = PassSize(height, p.y0, p.dy);
      if (!pw || !ph) continue;
      const uint32_t pbytes = uint32_t(RowBytes(h, pw));
      std::memset(prev, 0, pbytes + 1);
      for (uint32_t j = 0; j < ph; ++j) {
        if (!inflater.Fill(cur, pbytes + 1)) {
          result = inflater.OutOfMemory() ? Z2D_NOMEMORY : Z2D_FAILED;
          break;
        }
        RevertBytes(cur[0], cur + 1, prev + 1, pbytes, bpp);
        Rasterize(h, cur + 1, pw, passrow);
        uint8_t* dst = out + size_t(p.y0 + j * p.dy) * outbytes;
        for (uint32_t i = 0; i < pw; ++i)
          std::memcpy(dst + size_t(p.x0 + i * p.dx) * pixelbytes, passrow + size_t(i) * pixelbytes,
                      pixelbytes);
        uint8_t* t = cur;
        cur = prev;
        prev = t;
      }
      if (result) break;
    }
    if (result == Z2D_OK && !inflater.Finish()) result = Z2D_FAILED;
    for (uint32_t y = 0; y < height && result == Z2D_OK; ++y) {
      info->data = out + size_t(y) * outbytes;
      info->size = outbytes;
      info->pixelpos = y * width;
      result = surface->LdrOnPixelStream(info);
    }
  }
  if (result == Z2D_OK && !h->interlace && !inflater.Finish()) result = Z2D_FAILED;
  ClassZMemory::DeAlloc(rowpair);
  ClassZMemory::DeAlloc(out);
  ClassZMemory::DeAlloc(passrow);
  return result;
}
