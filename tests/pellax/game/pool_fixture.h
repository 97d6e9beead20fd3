// A fresh set of pools for each test, released afterwards.
#pragma once

#include <gtest/gtest.h>

#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    level_number = 0;
    tick_step = 0;
    ASSERT_EQ(init_object_pools(), 0);
  }
  void TearDown() override {
    free_object_pools();
    player_object = nullptr;
  }
};
