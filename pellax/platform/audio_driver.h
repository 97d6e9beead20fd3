// The inside of the game's audio path, for its tests: the second core's memory and command
// block, the audio thread in its three steps, the second core's control and the log
// printer. The game itself uses audio.h only.
//
// The audio thread opens "/dev/dsp", initialises the command block, copies the effect
// streams and the second core's program into the second core's memory and starts it; then,
// pass by pass, it prints the core's log, moves the loop sound's level toward its target
// and writes each PCM block the core has mixed to the device (8,192 bytes of silence when
// the block due is not ready yet). The game's commands write words of the block; they do
// nothing until the thread has published the block as ready, after a failed start, and
// after audio_shutdown.
#pragma once

#include <atomic>
#include <cstdint>

#include "pellax/audio940/command_block.h"

extern uint8_t* arm940_mem;                       // the second core's memory; null when unmapped
extern audio940::CommandBlock* audio_cmd_block;   // arm940_mem + 0x200000
extern std::atomic<int32_t> audio_stop_flag;      // set by audio_shutdown
extern std::atomic<int32_t> audio_thread_running; // 1 from the thread's start to its end
extern std::atomic<int32_t> loop_level_target;    // the level the thread moves loop_level to

// The nine effect streams, each a 32-bit little-endian byte length and its Ogg bytes.
extern const uint8_t sfx_streams[];
extern const uint32_t sfx_streams_size;

// The second core's control through the register window (nothing while it is closed):
// reset (0x3B48 = ((on & 1) << 7) | 3), clock (0x0904 bit 0 cleared while paused), halt
// (reset, then pause), and the upload of the program image followed by the release.
void arm940_reset(int32_t on);
void arm940_pause(int32_t on);
void arm940_halt();
void arm940_start_program();

// Prints one log record of the core ("940: text" or "940: decimal 0xhex" on stdout).
// Returns 1 while unread bytes remain, else 0. A record the ring holds only in part is
// consumed without printing; a ring index out of range is not followed (the unread bytes
// are dropped when the write index is sound, else nothing is read).
int32_t arm940_print_log();

// Maps the second core's memory through mem_fd; 0, or -1 when it cannot.
int32_t audio_map();
void audio_unmap();

// The audio thread's steps: the start (device, block, effects, program; then the block is
// published ready), one pass, and the end (device closed, core halted). audio_thread_open
// returns 0, or -1 when "/dev/dsp" does not open.
int32_t audio_thread_open();
void audio_thread_pass();
void audio_thread_close();
// The thread's entry: the start, passes until audio_stop_flag is set, the end.
void audio_thread_main();
// True once the block is published ready, until audio_shutdown.
bool audio_block_ready();
// audio_init's side of the start: before the thread is created, then the wait (at most
// ms of real time) until it published the block or failed to open the device.
void audio_thread_expect_start();
void audio_thread_wait_start(int ms);
// audio_shutdown's first step: commands do nothing from now on.
void audio_thread_retract_block();
// loop_sound_start's request that the thread set loop_level to 0 at its next pass.
void audio_thread_request_loop_reset();
