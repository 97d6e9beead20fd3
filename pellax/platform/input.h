// The console's buttons and stick, read from the GPIO input registers.
#pragma once

#include <cstdint>

// The button word: a set bit means pressed.
constexpr uint32_t kButtonStart = 0x100;
constexpr uint32_t kButtonSelect = 0x200;
constexpr uint32_t kButtonL = 0x400;
constexpr uint32_t kButtonR = 0x800;
constexpr uint32_t kButtonA = 0x1000;
constexpr uint32_t kButtonB = 0x2000;
constexpr uint32_t kButtonX = 0x4000;
constexpr uint32_t kButtonY = 0x8000;
constexpr uint32_t kButtonVolDown = 0x400000;
constexpr uint32_t kButtonVolUp = 0x800000;
constexpr uint32_t kButtonStickPush = 0x8000000;

// The buttons now held (0 while the register window is closed).
uint32_t read_buttons();
// Stick direction: 0 none, 1 up, then counter-clockwise in steps of 22.5 degrees to 16.
int32_t read_stick_direction();
// The same mapping from a stick byte as read (active low).
int32_t stick_code_from_port(uint8_t port_m);
