// The console's buttons as bits of one word, in the layout of its input ports: bits 0-7 the
// eight stick contacts, 8-15 Start, Select, L, R, A, B, X, Y, 22 and 23 volume down and up,
// 27 the stick push. A set bit is a pressed button (the ports themselves read 0 for it).
#pragma once

#include <cstdint>

namespace gp2x::buttons {

constexpr uint32_t kUp = 1u << 0, kUpLeft = 1u << 1, kLeft = 1u << 2, kDownLeft = 1u << 3,
                   kDown = 1u << 4, kDownRight = 1u << 5, kRight = 1u << 6, kUpRight = 1u << 7;
constexpr uint32_t kStart = 1u << 8, kSelect = 1u << 9, kL = 1u << 10, kR = 1u << 11,
                   kA = 1u << 12, kB = 1u << 13, kX = 1u << 14, kY = 1u << 15;
constexpr uint32_t kVolDown = 1u << 22, kVolUp = 1u << 23, kPush = 1u << 27;
constexpr uint32_t kStick = 0xFF;                        // port M's low byte
constexpr uint32_t kPortCBits = 0xFF00;                  // port C's high byte
constexpr uint32_t kPortDBits = kVolDown | kVolUp | kPush;  // port D's bits 6, 7, 11
constexpr uint32_t kAll = kStick | kPortCBits | kPortDBits;

// The stick contact closed by the held arrows: two neighbouring arrows close the diagonal
// contact between them (as a stick pushed that way does), opposite arrows cancel.
uint32_t stick_from_arrows(bool up, bool down, bool left, bool right);

// The bit of a button name (case ignored, "up-left" = "upleft", "vol+" = "volup"), or 0.
uint32_t button_from_name(const char* name);

}  // namespace gp2x::buttons
