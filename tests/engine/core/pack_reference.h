// A little reader and writer of the ZPK pack layout, written from the on-disk format alone
// (not from the engine's code), to check the packs the engine writes and to feed it packs
// it did not write. Version 2: a 28-byte header, entries back to back (a 92-byte record
// and the stored data), the offset table as the last 4 x count bytes. Version 1: a
// 32-byte header and 152-byte entries, data after them.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_std.h"

namespace zpkref {

using Bytes = std::vector<uint8_t>;

inline uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

inline void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t RefChecksum(const uint8_t* data, size_t n) {
  char hex[33];
  ClassZStd::MD5Data(hex, data, static_cast<uint32_t>(n));
  return static_cast<uint8_t>(hex[5]) | static_cast<uint8_t>(hex[6]) << 8 |
         static_cast<uint8_t>(hex[7]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(hex[8])) << 24;
}

// Sets the checksum of a version-2 header in place.
inline void Reseal(Bytes& pack) {
  Put32(pack, 20, 0);
  Put32(pack, 20, RefChecksum(pack.data(), 28) + 692792);
}

struct RefEntry {
  std::string name;
  uint8_t kind = 0;
  Bytes stored;
  uint32_t unpacked = 0;
  uint32_t filetime = 0;
  uint32_t timeadded = 0;
};

inline Bytes RefWriteV2(const std::vector<RefEntry>& entries, const char* vendor = "TEST") {
  Bytes out(28, 0);
  std::memcpy(out.data(), "ZPK2", 4);
  std::memcpy(out.data() + 4, vendor, 4);
  Put32(out, 8, 28);
  out[12] = 200;
  Put32(out, 16, static_cast<uint32_t>(entries.size()));
  std::vector<uint32_t> table;
  for (const RefEntry& e : entries) {
    size_t at = out.size();
    table.push_back(static_cast<uint32_t>(at));
    out.resize(at + 92, 0);
    Put32(out, at, 92);
    std::memcpy(out.data() + at + 4, e.name.data(), std::min<size_t>(e.name.size(), 64));
    Put32(out, at + 72, e.unpacked);
    Put32(out, at + 76, static_cast<uint32_t>(e.stored.size()));
    out[at + 80] = e.kind;
    Put32(out, at + 84, e.filetime);
    Put32(out, at + 88, e.timeadded);
    out.insert(out.end(), e.stored.begin(), e.stored.end());
  }
  for (uint32_t offset : table) {
    out.resize(out.size() + 4);
    Put32(out, out.size() - 4, offset);
  }
  Reseal(out);
  return out;
}

inline Bytes RefWriteV1(const std::vector<RefEntry>& entries, const char* vendor = "OLD1") {
  Bytes out(32 + 152 * entries.size(), 0);
  std::memcpy(out.data(), "ZPCK", 4);
  std::memcpy(out.data() + 4, vendor, 4);
  Put32(out, 16, static_cast<uint32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); i++) {
    size_t at = 32 + 152 * i;
    std::memcpy(out.data() + at, entries[i].name.data(), std::min<size_t>(entries[i].name.size(), 127));
    Put32(out, at + 128, static_cast<uint32_t>(out.size()));
    Put32(out, at + 132, entries[i].unpacked);
    Put32(out, at + 136, static_cast<uint32_t>(entries[i].stored.size()));
    out[at + 140] = entries[i].kind;
    out.insert(out.end(), entries[i].stored.begin(), entries[i].stored.end());
  }
  return out;
}

struct RefPack {
  std::string vendor;
  std::vector<RefEntry> entries;
};

// Parses a version-2 pack strictly; failures are reported through gtest.
inline RefPack RefRead(const Bytes& b) {
  RefPack pack;
  EXPECT_GE(b.size(), 28u);
  if (b.size() < 28) return pack;
  EXPECT_EQ(0, std::memcmp(b.data(), "ZPK2", 4));
  pack.vendor.assign(reinterpret_cast<const char*>(b.data()) + 4, 4);
  EXPECT_EQ(Get32(b, 8), 28u);
  EXPECT_EQ(b[12], 200);
  EXPECT_EQ(b[24] | b[25] << 8, 0);
  uint32_t count = Get32(b, 16);
  Bytes header(b.begin(), b.begin() + 28);
  Put32(header, 20, 0);
  EXPECT_EQ(Get32(b, 20), RefChecksum(header.data(), 28) + 692792) << "checksum";
  EXPECT_GE(b.size(), 28 + 4ull * count);
  if (b.size() < 28 + 4ull * count) return pack;
  size_t tablestart = b.size() - 4 * count;
  size_t expected = 28;  // entries lie back to back from the header on
  for (uint32_t i = 0; i < count; i++) {
    uint32_t at = Get32(b, tablestart + 4 * i);
    EXPECT_EQ(at, expected) << "entry " << i;
    if (at + 92 > tablestart) return pack;
    RefEntry e;
    EXPECT_EQ(Get32(b, at), 92u);
    const char* name = reinterpret_cast<const char*>(b.data()) + at + 4;
    EXPECT_LT(strnlen(name, 64), 64u);
    e.name.assign(name, strnlen(name, 64));
    EXPECT_EQ(Get32(b, at + 68), 0u);
    e.unpacked = Get32(b, at + 72);
    uint32_t stored = Get32(b, at + 76);
    e.kind = b[at + 80];
    EXPECT_EQ(b[at + 81], 0);
    EXPECT_EQ(b[at + 82] | b[at + 83] << 8, 0);
    e.filetime = Get32(b, at + 84);
    e.timeadded = Get32(b, at + 88);
    EXPECT_LE(at + 92ull + stored, tablestart);
    if (at + 92ull + stored > tablestart) return pack;
    e.stored.assign(b.begin() + at + 92, b.begin() + at + 92 + stored);
    expected = at + 92 + stored;
    pack.entries.push_back(e);
  }
  EXPECT_EQ(expected, tablestart) << "data area ends at the table";
  return pack;
}

// The unpacked bytes of a reference entry (zlib through zlib itself).
inline Bytes RefUnpack(const RefEntry& e) {
  if (e.kind == 0) return e.stored;
  Bytes out(e.unpacked);
  if (e.kind == 2) {
    uLongf n = e.unpacked;
    EXPECT_EQ(uncompress(out.data(), &n, e.stored.data(), e.stored.size()), Z_OK);
    EXPECT_EQ(n, e.unpacked);
  } else {
    ClassZMemory codec;
    uint32_t n = e.unpacked;
    EXPECT_EQ(codec.UnCompress(out.data(), n, e.stored.data(), static_cast<uint32_t>(e.stored.size())), 1);
    EXPECT_EQ(n, e.unpacked);
  }
  return out;
}

inline RefEntry RawEntry(const std::string& name, const Bytes& data) {
  RefEntry e;
  e.name = name;
  e.stored = data;
  e.unpacked = static_cast<uint32_t>(data.size());
  return e;
}

// An entry stored with zlib itself.
inline RefEntry ZlibEntry(const std::string& name, const Bytes& data) {
  RefEntry e = RawEntry(name, {});
  e.kind = 2;
  e.unpacked = static_cast<uint32_t>(data.size());
  uLongf n = compressBound(data.size());
  e.stored.resize(n);
  EXPECT_EQ(compress2(e.stored.data(), &n, data.data(), data.size(), 9), Z_OK);
  e.stored.resize(n);
  return e;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Game-like data: repetitive rows with some variation, so every kind compresses.
inline Bytes Compressible(size_t n, uint8_t seed) {
  Bytes v(n);
  for (size_t i = 0; i < n; i++) v[i] = static_cast<uint8_t>((i % 37 < 20 ? seed : i * 3) + i / 512);
  return v;
}

}  // namespace zpkref
