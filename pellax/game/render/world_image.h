// The world image: the 768x768 backdrop behind every frame (picture, grids, stars, arena
// border, walls), built per level from the image slots and the built-in pictures, faded
// and copied under the camera into the play surface.
#pragma once

#include <cstdint>

constexpr int kImageSlotCount = 6;

extern uint16_t* world_image;        // null until the first build
// fine0, fine1, fine2, coarse0, coarse1, coarse2 (RGB565)
extern uint16_t world_palette[6];

// Image slot 1..6 (768x768 RGB565, black until loaded), or null for another number.
uint16_t* image_slot(int32_t slot);
// Built-in pictures: P1..P3 (768x768 RGB565) and A, B (384x384 of 0..15), made on first use.
const uint16_t* built_in_picture(int32_t which);
const uint8_t* built_in_intensity_a();
const uint8_t* built_in_intensity_b();

void set_world_palette(int32_t difficulty, int32_t level);
// Composes the world for a level in the current world_image_mode. Pixels no pass writes
// keep the previous world (the first build starts from black).
void build_world_image(int32_t difficulty, int32_t level);
// fade_world_image, then build_world_image, without fading the pixels the build overwrites
// whatever they hold.
void fade_and_build_world_image(int32_t difficulty, int32_t level);
// The same world, made over several frames: at once under the 320x240 camera window at
// (x, y) (with the stars' random numbers and the ship's start), the rest a part each
// continue_world_build. Every other function here that reads or writes the world (and
// image_slot) first finishes it; code that reads world_image itself calls
// finish_world_build.
void fade_and_build_world_window(int32_t difficulty, int32_t level, int32_t x, int32_t y);
void continue_world_build();
void finish_world_build();
bool world_build_in_progress();
void world_add_pixel(int32_t index, uint16_t colour);
void world_rect_outline(int32_t x, int32_t y, int32_t width, int32_t height, uint16_t colour);
// Every pixel loses 4 red, 6 green, 4 blue (floored at 0).
void fade_world_image();
// Every pixel loses 4 of each channel.
void darken_world_image();
// Every channel above 1 loses 2; transition_timer = 1 once some pixel is nearly black.
void fade_world_step();
// Moves each channel of the 320x240 window at (x, y) (from column x - 1) at most 3
// towards the world image.
void fade_canvas_to_world(uint16_t* surface, int32_t x, int32_t y);
// Copies a width x height block of the world image at (sx, sy) to (dx, dy) of a 768-wide
// destination; clipped to both buffers.
void copy_world_window(uint16_t* destination, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                       int32_t width, int32_t height);
// The world under the camera window at (x, y), at the same place on the surface.
void draw_world(uint16_t* surface, int32_t x, int32_t y);
void free_world_image();
