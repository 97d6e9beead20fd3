// The decoder over a stream in the second core's memory: one data source (the stream being
// decoded), one output (where decoded bytes are appended) and one decoder record, all in
// this thread's core.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pellax/audio940/decoder.h"

namespace audio940 {

// Resets the data source to [data, data + length) at position 0, the output to `output`
// (empty, holding at most output_limit bytes) and the arena to start at `arena`, then opens
// the decoder on the stream. A stream that does not lie inside the memory is cut to it.
// Returns the decoder's result: 0 when it opened, negative when not (the stream then reads
// as empty); the arena running out during the open counts as not opening.
int ogg_mem_open(uint32_t data, uint32_t length, uint32_t output, uint32_t output_limit, uint32_t arena);
// Decodes up to 2,048 bytes (16-bit samples, interleaved stereo) and appends them to the
// output, as much as it still holds. Damaged stretches (holes) are skipped. Returns the
// bytes appended; 0 at the end of the stream, on a decoder error, when the arena runs out
// (the stream then reads as ended until it is closed), for a stream that did not open, or
// when the output is full.
uint32_t ogg_mem_decode();
// Appends from `output` again, emptied, holding at most output_limit bytes.
void ogg_mem_set_output(uint32_t output, uint32_t output_limit);
// Bytes in the output now.
uint32_t ogg_mem_output_count();
// Closes the decoder and empties the arena.
void ogg_mem_close();

// The decoder's in-memory callbacks (with the decoder's signatures; the handle is ignored).
size_t mem_read(void* buffer, size_t size, size_t count, void* handle);
int mem_seek(void* handle, ogg_int64_t offset, int whence);
int mem_close(void* handle);
long mem_tell(void* handle);

}  // namespace audio940
