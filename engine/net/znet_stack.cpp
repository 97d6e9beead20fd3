#include "engine/net/znet_stack.h"

#include "engine/core/zmod_memory.h"
#include "engine/net/znet_frame.h"

ZNetStack::~ZNetStack() { DeAlloc(); }

int ZNetStack::Alloc(uint32_t size) {
  DeAlloc();
  buffer = static_cast<uint8_t*>(ClassZMemory::Alloc(size));
  if (!buffer) return 0;
  capacity = size;
  return 1;
}

void ZNetStack::DeAlloc() {
  ClassZMemory::DeAlloc(buffer);
  buffer = nullptr;
  start = capacity = count = 0;
  frameLength = frameStart = frameTotal = 0;
  scanned = found = false;
  frameKind = 0;
  walk = Walk{};
}

uint8_t ZNetStack::At(uint32_t offset) const {
  uint32_t at = start + offset;
  if (at >= capacity) at -= capacity;
  return buffer[at];
}

void ZNetStack::Discard(uint32_t bytes) {
  walk = Walk{};  // a walk belongs to the candidate at start
  start += bytes;
  if (start >= capacity) start -= capacity;
  count -= bytes;
}

int ZNetStack::Push(const void* data, uint32_t length) {
  if (!buffer) return 0;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (length > capacity - count) {
    uint32_t s, n;
    ScanZolt(s, n);  // frees the room taken by junk
    // A frame start that waits for more bytes than there is room for, and that this chunk
    // shows damaged, is dropped now: waiting for room it would hold the ring up for good.
    while (length > capacity - count && WaitingFrameFailsIn(bytes, length)) {
      Discard(1);
      scanned = false;
      ScanZolt(s, n);
    }
    if (length > capacity - count) return 0;
  }
  uint32_t at = start + count;
  if (at >= capacity) at -= capacity;
  const uint32_t first = length < capacity - at ? length : capacity - at;
  ClassZMemory::Copy(buffer + at, bytes, static_cast<int32_t>(first), true);
  ClassZMemory::Copy(buffer, bytes + first, static_cast<int32_t>(length - first), true);
  count += length;
  if (!found) scanned = false;
  return 1;
}

// Walks the frame of walk.total bytes at start from where the walk stopped and, with out
// set, writes its payload unescaped. Returns the payload length; -1 when the frame is
// damaged: a wrong length, check bytes or end marker, an escape of length 0 or one that
// runs past the payload, or a marker outside a run; -2 when the `available` bytes show no
// damage yet but the frame is incomplete (the walk keeps its place for the next call).
// Damage is caught as early as it shows, so a junk header claiming a long length cannot
// hold back a good frame behind it.
// Decode over any byte source: `byte(p)` gives the byte at offset p from start.
template <typename Byte>
int32_t ZNetStack::DecodeWith(Walk& walk, uint32_t available, uint8_t* out, Byte byte) const {
  // Locals, not the walk itself: stores through out could alias it and slow every byte.
  Walk w = walk;
  const uint32_t end = w.total - 4;  // offset of c1
  auto take = [&](uint32_t p) {
    const uint8_t b = byte(p);
    ++w.number;
    w.weighted += b * w.number;
    w.low += b & 0x7F;
    return b;
  };
  auto wait = [&] {
    walk = w;
    return -2;
  };
  while (w.p < end) {
    const uint32_t p = w.p;
    if (p >= available) return wait();
    const uint8_t b = byte(p);
    if (b == 0xFF && p + 1 < end) {
      if (p + 1 >= available) return wait();
      const uint8_t next = byte(p + 1);
      if (next == 0xFA || next == 0xFB) return -1;
      if (next == 0xFF) {
        if (p + 2 >= end) return -1;
        if (p + 2 >= available) return wait();
        const uint8_t n = byte(p + 2);
        if (n == 0 || n > end - (p + 3)) return -1;
        if (p + 3 + n > available) return wait();
        take(p);
        take(p + 1);
        take(p + 2);
        for (uint32_t i = 0; i < n; ++i) {
          const uint8_t r = take(p + 3 + i);
          if (out) out[w.payload + i] = r;
        }
        w.payload += n;
        w.p = p + 3 + n;
        continue;
      }
    }
    take(p);
    if (out) out[w.payload] = b;
    ++w.payload;
    w.p = p + 1;
  }
  // The trailer is checked byte by byte as it arrives.
  if (available > end && byte(end) != static_cast<uint8_t>(w.weighted)) return -1;
  if (available > end + 1 && byte(end + 1) != static_cast<uint8_t>(~w.low & 0x7F)) return -1;
  if (available > end + 2 && byte(end + 2) != 0xFF) return -1;
  if (available > end + 3 && byte(end + 3) != 0xFB) return -1;
  if (available < w.total) return wait();
  return static_cast<int32_t>(w.payload);
}

int32_t ZNetStack::Decode(Walk& walk, uint32_t available, uint8_t* out) const {
  return DecodeWith(walk, available, out, [this](uint32_t p) { return At(p); });
}

// The frame start waiting at the front of the ring, walked on into a chunk that is still
// outside it: true when the chunk shows the frame damaged.
bool ZNetStack::WaitingFrameFailsIn(const uint8_t* data, uint32_t length) const {
  if (found || count < 4 || At(0) != 0xFF || At(1) != 0xFA) return false;
  const uint32_t total = At(2) | (At(3) << 8);
  if (total < ZNET_FRAME_OVERHEAD || total > capacity) return false;
  const uint32_t stored = count;
  if (stored >= total) return false;  // not waiting: the scan has judged it
  const uint32_t available = length < total - stored ? stored + length : total;
  Walk w = walk.total == total ? walk : Walk{total};
  return DecodeWith(w, available, nullptr, [&](uint32_t p) {
    return p < stored ? At(p) : data[p - stored];
  }) == -1;
}

int ZNetStack::ScanZolt(uint32_t& outStart, uint32_t& outLength) {
  if (!buffer) {
    outStart = outLength = 0;
    return 0;
  }
  if (!scanned) {
    found = false;
    frameLength = frameTotal = 0;
    while (count >= 2) {
      if (At(0) != 0xFF || At(1) != 0xFA) {
        Discard(1);
        continue;
      }
      if (count < 4) break;  // the length has not arrived yet
      const uint32_t total = At(2) | (At(3) << 8);
      if (total < ZNET_FRAME_OVERHEAD || total > capacity) {
        Discard(1);
        continue;
      }
      if (walk.total != total) walk = Walk{total};
      const int32_t payload = Decode(walk, count, nullptr);
      if (payload == -2) break;  // wait for the rest
      walk = Walk{};
      if (payload < 0) {
        Discard(1);
        continue;
      }
      found = true;
      frameStart = start;
      frameTotal = total;
      frameLength = static_cast<uint32_t>(payload);
      // Pings are told by their raw form: a data payload FF FC goes out escaped.
      frameKind = ZNET_POP_DATA;
      if (total == 10 && At(4) == 0xFF) {
        if (At(5) == 0xFC) frameKind = ZNET_POP_PING_REQUEST;
        if (At(5) == 0xFD) frameKind = ZNET_POP_PING_REPLY;
      }
      break;
    }
    // A lone byte that is not the first half of a start marker can never begin a frame.
    if (!found && count == 1 && At(0) != 0xFF) Discard(1);
    scanned = true;
  }
  outStart = found ? frameStart : 0;
  outLength = found ? frameLength : 0;
  return found ? 1 : 0;
}

uint32_t ZNetStack::Peek() {
  uint32_t s, n;
  ScanZolt(s, n);
  return n;
}

bool ZNetStack::HasMessage() {
  uint32_t s, n;
  return ScanZolt(s, n) == 1;
}

int ZNetStack::Pop(void* out, uint32_t& length) {
  uint32_t s, n;
  if (!ScanZolt(s, n)) {
    length = 0;
    return ZNET_POP_NONE;
  }
  if (n > length || (n > 0 && !out)) {
    length = n;
    return ZNET_POP_NONE;
  }
  Walk w{frameTotal};
  Decode(w, count, static_cast<uint8_t*>(out));
  Discard(frameTotal);
  length = n;
  const int kind = frameKind;
  found = scanned = false;
  return kind;
}
