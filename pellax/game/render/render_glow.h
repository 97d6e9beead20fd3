// Glow effects of the renderer: the eight 20x20 particle glow sprites, the additive block
// blit behind them, the 37x37 shield ring, and the plain additive sprite blit.
#pragma once

#include <cstdint>

constexpr int kGlowSpriteCount = 8;
constexpr int kGlowSpriteSize = 20;
constexpr int kRingFrameSize = 37;
constexpr int kRingFrameCount = 16;

extern float glow_falloff[kGlowSpriteSize * kGlowSpriteSize];
extern uint16_t glow_sprites[kGlowSpriteCount][kGlowSpriteSize * kGlowSpriteSize];
// Sixteen frames of an anti-aliased ring of radius 17 pixels, each moved by a quarter
// pixel: frame 4 x ry + rx is centred at (17.66 + rx / 4, 17.66 + ry / 4). Generated at
// build time.
extern const uint16_t glow_frames[kRingFrameCount][kRingFrameSize * kRingFrameSize];

// Fills glow_falloff and glow_sprites; once at start.
void build_glow_sprites();
// Additive blit of a 20x20 block (contiguous rows) into a 768-wide buffer, two pixels per
// 32-bit word; equals the per-pixel saturating add.
void blend_add_block(uint16_t* destination, const uint16_t* block);
// A glow sprite around pixel (x, y); an odd left column moves one pixel further left.
// Dropped whole when it would leave the canvas.
void draw_glow_sprite(uint16_t* surface, int32_t x, int32_t y, const uint16_t* sprite);
// The shield ring around (x, y) in 24.8; dropped whole when it would leave the canvas.
void draw_glow(uint16_t* surface, int32_t x, int32_t y);
// Additive blit of a sprite centred at (x, y) pixels; 0 is transparent.
void blend_sprite_additive(uint16_t* surface, int32_t x, int32_t y, const uint16_t* sprite,
                           int32_t width, int32_t height);
