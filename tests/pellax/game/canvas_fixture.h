// A 768x768 canvas with guard zones on both sides that must stay untouched.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "pellax/base/canvas.h"

class CanvasTest : public ::testing::Test {
 protected:
  static constexpr size_t kGuard = 4096;
  static constexpr uint16_t kGuardValue = 0xA5A5;
  std::vector<uint16_t> buffer = std::vector<uint16_t>(kCanvasPixels + 2 * kGuard, 0);
  uint16_t* canvas = buffer.data() + kGuard;

  void SetUp() override {
    for (size_t i = 0; i < kGuard; ++i) buffer[i] = buffer[kGuard + kCanvasPixels + i] = kGuardValue;
  }
  void TearDown() override {
    for (size_t i = 0; i < kGuard; ++i) {
      ASSERT_EQ(buffer[i], kGuardValue) << "write before the canvas";
      ASSERT_EQ(buffer[kGuard + kCanvasPixels + i], kGuardValue) << "write after the canvas";
    }
  }
  uint16_t& at(int x, int y) { return canvas[y * kCanvasSize + x]; }
  int count_lit() const {
    int n = 0;
    for (int i = 0; i < kCanvasPixels; ++i) n += canvas[i] != 0;
    return n;
  }
};

inline uint16_t rgb565(int r, int g, int b) { return uint16_t((r << 11) | (g << 5) | b); }
