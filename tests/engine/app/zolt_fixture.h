// A fresh headless host on a virtual clock for each framework or display test, with the
// device handles opened as the program entry opens them, and an application that records
// every hook the framework calls.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/app/zolt.h"
#include "engine/core/zmod_devptr.h"
#include "host/gp2x_buttons.h"
#include "host/gp2x_host.h"
#include "host/host_settings.h"

class ZoltHostTest : public ::testing::Test {
 protected:
  static gp2x::host::Settings QuietSettings() {
    gp2x::host::Settings s;
    s.poll_ns = 0;  // register reads cost no virtual time unless a test asks
    return s;
  }
  void SetUp() override { Reconfigure(QuietSettings()); }
  void TearDown() override { HandleDevicePtr(true); }

  // Starts the host again (clock at 0, buttons released) and opens the devices.
  void Reconfigure(const gp2x::host::Settings& s) {
    HandleDevicePtr(true);
    gp2x::host::configure(s);
    ASSERT_EQ(HandleDevicePtr(false), 1);
  }
  static uint64_t NowMicros() { return gp2x::host::now_ns() / 1000; }
  static uint8_t* Framebuffer() { return gp2x::host::framebuffer(0); }
};

// Records the hooks in call order ("create", "plugin", "init", "displayinit", "frame",
// "down N", "up N", "exit", "minimize", "restore"). Each start-up hook answers its entry of
// `results` (0 by default); `setup` changes the configuration in OnCreate; `frame` runs
// inside every OnNextFrame.
class RecordingApp : public ClassZolt {
 public:
  using ClassZolt::buttonstate;
  using ClassZolt::fps100;
  using ClassZolt::framecount;
  using ClassZolt::lastsample;
  using ClassZolt::lockelapsed;
  using ClassZolt::lockremainder;
  using ClassZolt::locktarget;
  using ClassZolt::status;

  struct Results {
    int create = 0, plugin = 0, init = 0, displayinit = 0;
  } results;
  std::function<void(ZOLTCONFIG&)> setup;
  std::function<void(RecordingApp&, uint32_t ms)> frame;
  std::vector<std::string> calls;
  bool logButtons = true;
  bool displayOpenAtDisplayInit = false;
  int frames = 0;

  int OnCreate(ZOLTCONFIG* c, ZOLTDATA*) override {
    calls.push_back("create");
    if (setup) setup(*c);
    return results.create;
  }
  int OnPluginLoad(ClassZDisplay*) override {
    calls.push_back("plugin");
    return results.plugin;
  }
  int OnInit(int) override {
    calls.push_back("init");
    return results.init;
  }
  int OnDisplayInit(int, ClassZDisplay* d) override {
    calls.push_back("displayinit");
    displayOpenAtDisplayInit = d && d->backbufferformat != 0;
    return results.displayinit;
  }
  int OnNextFrame(ClassZDisplay*, uint32_t ms) override {
    calls.push_back("frame");
    ++frames;
    if (frame) frame(*this, ms);
    return 0;
  }
  void OnExit(int) override { calls.push_back("exit"); }
  int OnMinimize() override {
    calls.push_back("minimize");
    return 0;
  }
  int OnRestore() override {
    calls.push_back("restore");
    return 0;
  }
  void OnButtonDown(uint32_t code, ZBUTTONLIST*) override {
    if (logButtons) calls.push_back("down " + std::to_string(code));
  }
  void OnButtonUp(uint32_t code, ZBUTTONLIST*) override {
    if (logButtons) calls.push_back("up " + std::to_string(code));
  }

  // The calls since the last Take, emptied.
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }
  std::string Error() const {
    std::string s;
    for (const uint16_t* p = GetErrorMsg(); *p; ++p) s += char(*p);
    return s;
  }
};
