// A display with the services its surfaces use (memory, math, configuration) wired together
// without the framework: for tools, tests and benchmarks that draw or load images alone.
// It maps no framebuffer.
#pragma once

#include <cstdint>

#include "engine/core/zmod_math.h"
#include "engine/core/zmod_memory.h"
#include "engine/core/zolt_records.h"
#include "engine/graphics/zdsp_base.h"

struct ZStandaloneDisplay {
  ClassZMemory memory;
  ClassZMath math;
  ZOLTCONFIG config{};
  ClassZDisplay display;
  ZCD zcd{};

  // rotation 0-3 as SetRotation; backbuffer: the format surfaces are created in.
  explicit ZStandaloneDisplay(uint8_t rotation, uint8_t backbuffer) {
    ZRecord_ConfigDefaults(&config);
    math.Init();
    zcd.display = &display;
    zcd.memory = &memory;
    zcd.math = &math;
    zcd.config = &config;
    display.zcd = &zcd;
    display.SetRotation(rotation);
    display.backbufferformat = backbuffer;
  }
  ZStandaloneDisplay(const ZStandaloneDisplay&) = delete;
  ZStandaloneDisplay& operator=(const ZStandaloneDisplay&) = delete;
};
