// The console's screen: two framebuffers flipped through the display address registers,
// the 768x768 off-screen canvas the game draws into, the view copy, and solid fills by
// the 2D engine.
#pragma once

#include <cstdint>

extern int fb_fd[2];
extern int mem_fd;                   // "/dev/mem", also used by the audio path
extern volatile uint8_t* io_regs;    // register window, null while closed
extern volatile uint8_t* blitter_regs;
extern uint32_t fb_phys[2];
extern uint16_t* fb_virt[2];         // 320x240 RGB565, stride 640 bytes
extern uint16_t* play_surface;       // 768x768 RGB565
extern uint16_t draw_index;          // the framebuffer being drawn (not shown)

// Opens "/dev/fb0", "/dev/fb1" and "/dev/mem" and maps everything. Returns 0, or -1 after
// printing what failed to stderr (everything opened so far is closed again).
int video_open();
void video_close();
// Shows the buffer just drawn (both display pairs) and draws into the other next.
void video_flip();
uint16_t* video_back_buffer();
uint16_t* video_play_surface();
// Copies the 320x240 window at (x, y) of the canvas to the back buffer; the window is
// held within the canvas (0..448, 0..528).
void video_copy_view(int32_t x, int32_t y);
// 2D engine fill of a 320-pixel-wide surface at physical dst_phys; waits until idle.
void blit_fill_rect(uint32_t dst_phys, int32_t x, int32_t y, int32_t w, int32_t h,
                    uint16_t colour);
// A fill of the back buffer, clipped to the screen.
void fill_rect(int32_t x, int32_t y, int32_t w, int32_t h, uint16_t colour);
void clear_screen();
// Maps the 2D engine and enables its clocks; returns 0 or -1.
int blitter_map(int fd, volatile uint8_t* regs);
void blitter_unmap();
