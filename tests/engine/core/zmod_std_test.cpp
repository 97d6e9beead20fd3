#include "engine/core/zmod_std.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using U16 = std::vector<uint16_t>;

U16 W(const char* s) {
  U16 out;
  while (*s) out.push_back(static_cast<unsigned char>(*s++));
  out.push_back(0);
  return out;
}

std::string N(const uint16_t* s) {
  std::string out;
  while (*s) out += static_cast<char>(*s++);
  return out;
}

TEST(Std, CopyLimits) {
  const struct {
    int32_t limit;
    const char* want;
  } cases[] = {{3, "ab"}, {1, ""}, {0, "untouched"}, {-1, "abcde"}, {6, "abcde"}, {65537, "abcde"}};
  for (const auto& c : cases) {
    char dst[32] = "untouched";
    ClassZStd::StrCpy(dst, "abcde", c.limit);
    EXPECT_STREQ(dst, c.want) << c.limit;
    uint16_t wide[32];
    ClassZStd::StrCpy(wide, W("untouched").data(), -1);
    ClassZStd::StrCpy(wide, "abcde", c.limit);
    EXPECT_EQ(N(wide), c.want) << c.limit;
  }
  // -1 means the maximum string length: 16383 characters and the terminator.
  std::string longtext(20000, 'x');
  std::vector<char> big(20001, 'y');
  ClassZStd::StrCpy(big.data(), longtext.c_str(), -1);
  EXPECT_EQ(ClassZStd::StrLen(big.data(), 30000), 16383u);
  EXPECT_EQ(ClassZStd::StrLen(longtext.c_str()), 16384u);
}

TEST(Std, WidenAndNarrow) {
  char narrow[8];
  const uint16_t wide[] = {0x41, 0x1E9, 0xFF, 0};
  ClassZStd::StrCpy(narrow, wide);
  EXPECT_EQ(static_cast<unsigned char>(narrow[1]), 0xE9);  // low byte kept
  uint16_t back[8];
  ClassZStd::StrCpy(back, narrow);
  EXPECT_EQ(back[1], 0xE9);  // 8-bit characters widen as unsigned
  EXPECT_EQ(back[2], 0xFF);
}

TEST(Std, IntToStr) {
  const struct {
    int32_t value;
    uint8_t base;
    bool sign;
    const char* want;
  } cases[] = {{-255, 16, true, "-FF"},
               {-1, 16, false, "FFFFFFFF"},
               {0, 10, true, "0"},
               {INT_MIN, 10, true, "-2147483648"},
               {INT_MIN, 2, false, "10000000000000000000000000000000"},
               {INT_MIN, 2, true, "-10000000000000000000000000000000"},
               {35, 36, true, "Z"},
               {1295, 36, true, "ZZ"},
               {123456789, 10, true, "123456789"},
               {7, 1, true, "keep"},
               {7, 37, true, "keep"}};
  for (const auto& c : cases) {
    char out[40] = "keep";
    ClassZStd::IntToStr(out, c.value, c.base, c.sign);
    EXPECT_STREQ(out, c.want) << c.value << " base " << int(c.base);
    uint16_t wide[40];
    ClassZStd::StrCpy(wide, "keep");
    ClassZStd::IntToStr(wide, c.value, c.base, c.sign);
    EXPECT_EQ(N(wide), c.want);
  }
  char text[40] = "n=";
  ClassZStd::StrCat(text, -42, 10, true);
  EXPECT_STREQ(text, "n=-42");
}

TEST(Std, StrToInt) {
  const struct {
    const char* s;
    uint8_t base;
    int32_t want;
  } cases[] = {{"ff", 16, 255},   {"FF", 16, 255},        {"-12", 10, -12},
               {"12a", 10, 0},    {"-", 10, 0},           {"", 10, 0},
               {"19", 8, 0},      {"zz", 36, 1295},       {"7", 1, 0},
               {" 7", 10, 0},     {"4294967295", 10, -1}, {"-2147483648", 10, INT_MIN},
               {"4294967296", 10, 0}};  // wraps
  for (const auto& c : cases) {
    EXPECT_EQ(ClassZStd::StrToInt(c.s, c.base), c.want) << c.s;
    EXPECT_EQ(ClassZStd::StrToInt(W(c.s).data(), c.base), c.want) << c.s;
  }
}

TEST(Std, EqualAndFind) {
  EXPECT_EQ(ClassZStd::StrEqual("Abc", "aBC", false), 1);
  EXPECT_EQ(ClassZStd::StrEqual("Abc", "aBC", true), 0);
  EXPECT_EQ(ClassZStd::StrEqual("", "", true), 1);
  EXPECT_EQ(ClassZStd::StrEqual("ab", "abc", false), 0);
  EXPECT_EQ(ClassZStd::StrEqual(W("Tiles.PNG").data(), "tiles.png", false), 1);
  EXPECT_EQ(ClassZStd::StrEqual("\xE9", "\xC9", false), 0);  // ASCII folding only

  EXPECT_EQ(ClassZStd::StrFind("xxab", "ab"), 2);
  EXPECT_EQ(ClassZStd::StrFind("xxAB", "ab", false), 2);
  EXPECT_EQ(ClassZStd::StrFind("xxAB", "ab", true), -1);
  EXPECT_EQ(ClassZStd::StrFind("abc", ""), -1);
  EXPECT_EQ(ClassZStd::StrFind("ab", "abc"), -1);
  EXPECT_EQ(ClassZStd::StrFind(W("content-length").data(), "LENGTH", false), 8);
  EXPECT_EQ(ClassZStd::StrFind("hello", 'l'), 2);
  EXPECT_EQ(ClassZStd::StrFind("", 'l'), -1);
  EXPECT_EQ(ClassZStd::StrFind(W("hello").data(), uint16_t('o')), 4);
}

TEST(Std, ReplaceNeverRescansInsertedText) {
  const struct {
    const char *s, *find, *repl;
    bool cs;
    int32_t count;
    const char* want;
    int32_t done;
  } cases[] = {{"aaa", "a", "aa", true, -1, "aaaaaa", 3},
               {"aaa", "a", "aa", true, 2, "aaaaa", 2},
               {"aaa", "a", "aa", true, 0, "aaa", 0},
               {"aaa", "a", "aa", true, -2, "aaa", 0},
               {"a-B-b", "b", "", false, -1, "a--", 2},
               {"one two one", "one", "1", true, -1, "1 two 1", 2},
               {"abc", "", "x", true, -1, "abc", 0}};
  for (const auto& c : cases) {
    char buf[64];
    ClassZStd::StrCpy(buf, c.s);
    EXPECT_EQ(ClassZStd::StrReplace(buf, c.find, c.repl, c.cs, c.count), c.done) << c.s;
    EXPECT_STREQ(buf, c.want);
    U16 wide = W(c.s);
    wide.resize(64);
    EXPECT_EQ(ClassZStd::StrReplace(wide.data(), W(c.find).data(), W(c.repl).data(), c.cs,
                                    c.count),
              c.done);
    EXPECT_EQ(N(wide.data()), c.want);
  }
}

TEST(Std, StrNewClampsToTheString) {
  char buf[32] = "hello world";
  ClassZStd::StrNew(buf, "HOWDY", 5);
  EXPECT_STREQ(buf, "HOWDY world");
  ClassZStd::StrNew(buf, "x", 6);
  EXPECT_STREQ(buf, "xworld");
  ClassZStd::StrNew(buf, "long prefix ", 0);
  EXPECT_STREQ(buf, "long prefix xworld");
  char small[16] = "ab";
  ClassZStd::StrNew(small, "cd", 1000);  // n beyond the string replaces only the string
  EXPECT_STREQ(small, "cd");
}

TEST(Std, CaseAndTrim) {
  char buf[32] = "MiXeD 9\xE9";
  EXPECT_STREQ(ClassZStd::StrUpper(buf), "MIXED 9\xE9");
  EXPECT_STREQ(ClassZStd::StrLower(buf), "mixed 9\xE9");
  const struct {
    const char *s, *both, *left, *right;
  } cases[] = {{"\t x \r\n", "x", "x \r\n", "\t x"},
               {"    ", "", "", ""},
               {"", "", "", ""},
               {"\x0b\x0c" "a b", "a b", "a b", "\x0b\x0c" "a b"}};
  for (const auto& c : cases) {
    char b[32];
    ClassZStd::StrCpy(b, c.s);
    EXPECT_STREQ(ClassZStd::StrTrim(b), c.both);
    ClassZStd::StrCpy(b, c.s);
    EXPECT_STREQ(ClassZStd::StrTrimLeft(b), c.left);
    ClassZStd::StrCpy(b, c.s);
    EXPECT_STREQ(ClassZStd::StrTrimRight(b), c.right);
    U16 w = W(c.s);
    EXPECT_EQ(N(ClassZStd::StrTrim(w.data())), c.both);
  }
  EXPECT_EQ(ClassZStd::IsWhiteSpace(8), 0);
  EXPECT_EQ(ClassZStd::IsWhiteSpace(14), 0);
  EXPECT_EQ(ClassZStd::IsWhiteSpace(0xA0), 0);
}

TEST(Std, CatStopsAtTheMaximumLength) {
  std::vector<char> buf(20000, 0);
  std::string half(10000, 'a');
  ClassZStd::StrCat(buf.data(), half.c_str());
  ClassZStd::StrCat(buf.data(), half.c_str());
  EXPECT_EQ(ClassZStd::StrLen(buf.data(), 20000), 16383u);
  uint16_t w[16] = {'a', 0};
  ClassZStd::StrCat(w, "bc");
  ClassZStd::StrCat(w, W("d").data());
  EXPECT_EQ(N(w), "abcd");
}

}  // namespace
