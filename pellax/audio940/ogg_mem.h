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
// The length of the stream at [data, data + length) up to the end of its last whole Ogg
// page: a walk over the page headers, each found where the one before ends, or, past bytes
// that are no page, within 16 KB after them. Bytes after the last page
// (a tail of other data, a page cut short) are left out, so the decoder's search for the
// last page, which reads back from the end a chunk at a time, starts at the stream's end.
// 0 when no page is found. The range is cut to the memory first.
uint32_t ogg_pages_end(uint32_t data, uint32_t length);
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
