#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/zmod_ini.h"
#include "tests/support/temp_dir.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs ReadAll(ClassZIni& ini, uint32_t keysize = 256, uint32_t valuesize = 256) {
  Pairs out;
  std::vector<char> key(keysize), value(valuesize);
  while (ini.ReadLine(key.data(), keysize, value.data(), valuesize)) {
    out.push_back({key.data(), value.data()});
  }
  return out;
}

Pairs ParseText(const std::string& text, uint32_t window = 0) {
  ClassZIni ini;
  EXPECT_EQ(ini.OpenData(text.data(), static_cast<uint32_t>(text.size())), 1);
  if (window) {
    EXPECT_EQ(ini.SetParseBufferSize(window), 1);
  }
  return ReadAll(ini);
}

TEST(Ini, ParsesTheLineSyntax) {
  struct Case {
    const char* what;
    std::string text;
    Pairs expect;
  } cases[] = {
      {"quoted value with '=' and a comment", "key = \"a=b\" ; comment\r\n", {{"key", "a=b"}}},
      {"comments and empty lines skipped", "# one\r\n\r\n; two\r\n  \r\nk=v\r\n", {{"k", "v"}}},
      {"LF alone ends a line", "a=1\nb=2\n", {{"a", "1"}, {"b", "2"}}},
      {"CR alone ends a line", "a=1\rb=2", {{"a", "1"}, {"b", "2"}}},
      {"CR LF ends a line once", "a=1\r\n\r\nb=2\r\n", {{"a", "1"}, {"b", "2"}}},
      {"no line end at the end", "last = value", {{"last", "value"}}},
      {"second '=' restarts the value", "k=one=two", {{"k", "two"}}},
      {"comment inside quotes", "k=\"x#y\"", {{"k", "\"x"}}},
      {"key without value", "flag\r\n", {{"flag", ""}}},
      {"lone quote stays", "q = \"", {{"q", "\""}}},
      {"quoted key", "\"my key\" = 5", {{"my key", "5"}}},
      {"white space trimmed", "\t key \t=\t value \t\r\n", {{"key", "value"}}},
      {"empty source", "", {}},
  };
  for (const Case& c : cases) {
    if (c.text.empty()) {
      ClassZIni ini;
      EXPECT_EQ(ini.OpenData("", 0), 0);
      continue;
    }
    EXPECT_EQ(ParseText(c.text), c.expect) << c.what;
    EXPECT_EQ(ParseText(c.text, 1), c.expect) << c.what << " (1-byte window)";
    EXPECT_EQ(ParseText(c.text, 3), c.expect) << c.what << " (3-byte window)";
  }
}

TEST(Ini, QuoteTrim) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"\"", "\""}, {"  \"a b\"  ", "a b"}, {"\"\"", ""}, {"\"a", "\"a"}, {" x ", "x"}};
  for (const Case& c : cases) {
    char text[32];
    std::strcpy(text, c.in);
    EXPECT_STREQ(ZIni_QuoteTrim(text), c.out) << c.in;
  }
}

TEST(Ini, LongKeysAndValuesAreCutAndTheLineConsumed) {
  std::string text = std::string(300, 'k') + " = " + std::string(400, 'v') + "\r\nnext = 1\r\n";
  ClassZIni ini;
  ASSERT_EQ(ini.OpenData(text.data(), static_cast<uint32_t>(text.size())), 1);
  char key[16], value[8];
  ASSERT_EQ(ini.ReadLine(key, sizeof(key), value, sizeof(value)), 1);
  EXPECT_EQ(std::string(key), std::string(15, 'k'));
  EXPECT_EQ(std::string(value), std::string(7, 'v'));
  ASSERT_EQ(ini.ReadLine(key, sizeof(key), value, sizeof(value)), 1);
  EXPECT_STREQ(key, "next");
  EXPECT_STREQ(value, "1");
  EXPECT_EQ(ini.ReadLine(key, sizeof(key), value, sizeof(value)), 0);
  EXPECT_EQ(ini.ReadLine(nullptr, 4, value, sizeof(value)), 0);
}

TEST(Ini, WindowSizeZeroIsRefusedAndNoWindowReadsNothing) {
  TempDir dir;
  ClassZIni ini;
  EXPECT_EQ(ini.SetParseBufferSize(8), 0);  // closed
  ASSERT_EQ(ini.New((dir / "n.ini").c_str()), 1);
  ASSERT_EQ(ini.WriteLine("k", "v"), 1);
  char key[8], value[8];
  EXPECT_EQ(ini.ReadLine(key, sizeof(key), value, sizeof(value)), 0);  // New has no window
  EXPECT_EQ(ini.SetParseBufferSize(0), 0);
  ASSERT_EQ(ini.SetParseBufferSize(2), 1);
  ASSERT_EQ(ini.ReadLine(key, sizeof(key), value, sizeof(value)), 1);
  EXPECT_STREQ(value, "v");
}

class IniFile : public ::testing::Test {
 protected:
  TempDir dir;
  TempPath name = dir / "settings.ini";

  void WriteSample() {
    ClassZIni ini;
    ASSERT_EQ(ini.New(name.c_str()), 1);
    EXPECT_EQ(ini.WriteComment("written by the test"), 1);
    EXPECT_EQ(ini.WriteLine("name", "Player One"), 1);
    EXPECT_EQ(ini.WriteLine("level", 12), 1);
    EXPECT_EQ(ini.WriteNewline(), 1);
    EXPECT_EQ(ini.WriteLine("negative", -2147483647 - 1), 1);
    EXPECT_EQ(ini.WriteLine("equation", "a=b; c"), 1);
    EXPECT_EQ(ini.WriteLine("empty", ""), 1);
  }
};

TEST_F(IniFile, RoundTripIsTheSameForEveryWindowSize) {
  WriteSample();
  std::vector<uint8_t> disk = ReadWholeFile(name);
  std::string text(disk.begin(), disk.end());
  EXPECT_EQ(text.substr(0, 42), "# written by the test\r\nname = \"Player One\"");

  // ';' inside a quoted value starts a comment, so the value ends there.
  const Pairs expect = {{"name", "Player One"}, {"level", "12"}, {"negative", "-2147483648"},
                        {"equation", "\"a=b"}, {"empty", ""}};
  for (uint32_t window : {0u, 1u, 2u, 5u, 7u, 64u}) {
    ClassZIni ini;
    ASSERT_EQ(ini.Open(name.c_str(), ZFILE_MODE_READ), 1);
    if (window) {
      ASSERT_EQ(ini.SetParseBufferSize(window), 1);
    }
    EXPECT_EQ(ReadAll(ini), expect) << "window " << window;
  }
}

TEST_F(IniFile, FindKeyContinuesAndResetCursorRestarts) {
  ASSERT_TRUE(WriteWholeFile(name, {'a', '=', '1', '\n', 'b', '=', '2', '\n', 'A', '=', '3', '\n'}));
  ClassZIni ini;
  ASSERT_EQ(ini.Open(Wide(name)), 1);
  char value[8], key[8];
  ASSERT_EQ(ini.FindKey("a", value, sizeof(value), false), 1);
  EXPECT_STREQ(value, "1");
  ASSERT_EQ(ini.FindKey("a", value, sizeof(value), false), 1);
  EXPECT_STREQ(value, "3");
  EXPECT_EQ(ini.FindKey("a", value, sizeof(value), false), 0);
  ini.ResetCursor();
  ASSERT_EQ(ini.FindKey("A", value, sizeof(value), true), 1);
  EXPECT_STREQ(value, "3");
  ini.ResetCursor();
  ASSERT_EQ(ini.FindValue(key, sizeof(key), "2", true), 1);
  EXPECT_STREQ(key, "b");
}

TEST_F(IniFile, AppendingStartsOnANewLineAndReadingResumesAfterAWrite) {
  ASSERT_TRUE(WriteWholeFile(name, {'a', '=', '1', '\r', '\n', 'b', '=', '2'}));
  ClassZIni ini;
  ASSERT_EQ(ini.Open(name.c_str()), 1);
  ASSERT_EQ(ini.SetParseBufferSize(4), 1);
  char key[8], value[8];
  ASSERT_EQ(ini.ReadLine(key, sizeof(key), value, sizeof(value)), 1);
  EXPECT_STREQ(key, "a");
  ASSERT_EQ(ini.WriteLine("c", 3), 1);  // appended in the middle of reading
  ASSERT_EQ(ini.ReadLine(key, sizeof(key), value, sizeof(value)), 1);
  EXPECT_STREQ(key, "b");
  EXPECT_STREQ(value, "2");
  ASSERT_EQ(ini.ReadLine(key, sizeof(key), value, sizeof(value)), 1);
  EXPECT_STREQ(key, "c");
  EXPECT_STREQ(value, "3");
  ini.Close();
  std::vector<uint8_t> disk = ReadWholeFile(name);
  EXPECT_EQ(std::string(disk.begin(), disk.end()), "a=1\r\nb=2\r\nc = 3\r\n");

  ASSERT_EQ(ini.Open(name.c_str(), ZFILE_MODE_READ), 1);
  EXPECT_EQ(ini.WriteLine("d", 4), 0);  // a read-only file reports the lost write
  char* none = nullptr;
  EXPECT_EQ(ini.OpenData(none, 5), 0);
}

}  // namespace
