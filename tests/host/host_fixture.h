// A fresh headless host layer on a virtual clock for each test, and the mappings a console
// program makes.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>

#include "host/gp2x_host.h"
#include "seam/gp2x_seam.h"
#include "host/host_settings.h"

class HostTest : public ::testing::Test {
 protected:
  // Register reads cost no virtual time unless a test asks for it.
  static gp2x::host::Settings quiet_settings() {
    gp2x::host::Settings s;
    s.poll_ns = 0;
    return s;
  }
  void SetUp() override { reconfigure(); }
  // Starts the layer again with settings_ (devices opened before are gone).
  void reconfigure() {
    gp2x::host::configure(settings_);
    mem_fd_ = 0;
  }
  void TearDown() override {
    if (mem_fd_ > 0) gp2x::close(mem_fd_);
  }

  // Maps length bytes of "/dev/mem" at a physical address (the test fails on error).
  uint8_t* map_physical(uint32_t phys, size_t length) {
    if (mem_fd_ <= 0) mem_fd_ = gp2x::open("/dev/mem", O_RDWR);
    EXPECT_GT(mem_fd_, 0);
    void* p = gp2x::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, mem_fd_, phys);
    EXPECT_NE(p, MAP_FAILED);
    return static_cast<uint8_t*>(p);
  }
  uint8_t* registers() { return map_physical(0xC0000000, 0x10000); }
  uint8_t* blitter() { return map_physical(0xE0020000, 0x100); }

  uint16_t reg16(uint32_t offset) { return gp2x::peek16(registers() + offset); }
  void set_reg16(uint32_t offset, uint16_t v) { gp2x::poke16(registers() + offset, v); }

  gp2x::host::Settings settings_ = quiet_settings();
  int mem_fd_ = 0;
};
