#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_std.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(MD5, Rfc1321Suite) {
  const struct {
    const char *text, *digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890"
       "123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) {
    char out[33];
    ClassZStd::MD5Str(out, c.text);
    EXPECT_STREQ(out, c.digest) << c.text;
    ClassZStd::MD5Data(out, c.text, static_cast<uint32_t>(std::string(c.text).size()));
    EXPECT_STREQ(out, c.digest);
  }
}

TEST(MD5, SixteenBitStringsHashLowByteFirst) {
  const uint16_t wide[] = {'a', 'b', 0};
  char out[33];
  ClassZStd::MD5Str(out, wide);
  EXPECT_STREQ(out, "aa3a791e273bce9cf4a2a7caa9028b36");  // bytes 61 00 62 00
  std::u16string longer(1000, u'\x1234');
  ClassZStd::MD5Str(out, reinterpret_cast<const uint16_t*>(longer.c_str()));
  std::string bytes;
  for (int i = 0; i < 1000; i++) bytes += "\x34\x12";
  char want[33];
  ClassZStd::MD5Data(want, bytes.data(), 2000);
  EXPECT_STREQ(out, want);
}

TEST(MD5, UpdatesInPiecesMatchOneBlock) {
  std::string data;
  for (int i = 0; i < 1000; i++) data += static_cast<char>(i * 31);
  char whole[33];
  ClassZStd::MD5Data(whole, data.data(), 1000);
  for (uint32_t piece : {1u, 63u, 64u, 65u, 333u}) {
    ZMD5CONTEXT ctx;
    ClassZStd::MD5Init(&ctx);
    for (uint32_t at = 0; at < 1000; at += piece)
      ClassZStd::MD5Update(&ctx, data.data() + at, std::min(piece, 1000 - at));
    uint8_t digest[16];
    ClassZStd::MD5Finalize(digest, &ctx);
    char hex[33];
    for (int i = 0; i < 16; i++) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    EXPECT_STREQ(hex, whole) << piece;
  }
}

TEST(MD5, FilesHashExactlyTheBytesFromThePositionToTheEnd) {
  const TempDir dir;
  const TempPath path = dir / "data";
  std::string data;
  for (int i = 0; i < 20000; i++) data += static_cast<char>('a' + i % 26);  // > two blocks
  ASSERT_TRUE(WriteWholeFile(path, std::vector<uint8_t>(data.begin(), data.end())));

  char want[33], out[33];
  ClassZStd::MD5Data(want, data.data(), 20000);
  ClassZStd::MD5File(out, path);
  EXPECT_STREQ(out, want);

  ClassZFile file;
  ASSERT_EQ(file.Open(path, ZFILE_MODE_READ), 1);
  file.Seek(5);
  ClassZStd::MD5Data(want, data.data() + 5, 19995);
  ClassZStd::MD5File(out, &file);
  EXPECT_STREQ(out, want);
  file.Seek(20000);  // at the end: the digest of nothing
  ClassZStd::MD5File(out, &file);
  EXPECT_STREQ(out, "d41d8cd98f00b204e9800998ecf8427e");
  file.Close();

  // A file that gives fewer bytes than its size says (a system file of a nominal 4096
  // bytes): the bytes it gave are hashed, not dropped.
  const char* shortfile = "/sys/devices/system/cpu/online";
  if (std::FILE* f = std::fopen(shortfile, "rb")) {
    char text[4096];
    const size_t n = std::fread(text, 1, sizeof(text), f);
    std::fclose(f);
    ASSERT_EQ(file.Open(shortfile, ZFILE_MODE_READ), 1);
    ASSERT_GT(file.Size(), n) << "the size no longer overstates: choose another file";
    file.Close();
    ClassZStd::MD5Data(want, text, uint32_t(n));
    ClassZStd::MD5File(out, shortfile);
    EXPECT_STREQ(out, want);
  }

  ClassZStd::MD5File(out, "/nonexistent/zmd5");
  EXPECT_STREQ(out, "d41d8cd98f00b204e9800998ecf8427e");
  ClassZStd::MD5File(out, static_cast<ClassZFile*>(nullptr));
  EXPECT_STREQ(out, "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
