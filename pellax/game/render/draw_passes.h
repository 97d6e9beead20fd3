// The two per-frame drawing passes over the pools: particles near the camera (with a
// time budget) and visible game objects.
#pragma once

#include <cstdint>

// Every live particle with an end in the camera window, with its glow sprites; stops
// once 40 ms of the frame have gone (checked every 16 steps of its counter).
void draw_particles(uint16_t* surface);
// Every object with flag bit 0, segment by segment; the ship's respawn look and its
// shield ring.
void draw_objects(uint16_t* surface);
