// ZNetStack: the receiving side of framed messages. Received bytes are pushed into a
// ring; whole, checked frames are popped as messages. Bytes that cannot start a frame and
// damaged frames are discarded, so junk never jams the ring.
#pragma once

#include <cstdint>

enum : int32_t {
  ZNET_POP_NONE = 0,          // nothing popped: no frame, or the out buffer is too small
  ZNET_POP_DATA = 1,
  ZNET_POP_PING_REQUEST = 2,
  ZNET_POP_PING_REPLY = 3,
};

class ZNetStack {
 public:
  ZNetStack() = default;
  ~ZNetStack();
  ZNetStack(const ZNetStack&) = delete;
  ZNetStack& operator=(const ZNetStack&) = delete;

  // Frees an old ring and allocates one of size bytes, empty. 1 ok, 0 out of memory.
  // Push takes a chunk whole or not at all, so give the ring room for the largest frame
  // expected plus the largest chunk pushed at once: a frame still arriving in a smaller
  // ring can leave no room for the chunk that would complete it.
  int Alloc(uint32_t size);
  void DeAlloc();

  // Appends received bytes. When they don't fit, junk is discarded first, and so is a
  // frame start waiting at the front that these bytes show damaged; 0 when they still
  // don't fit (nothing stored) or there is no ring, else 1.
  int Push(const void* data, uint32_t length);

  // Payload length of the first complete, valid frame; 0 when there is none (an empty
  // message also gives 0: HasMessage tells them apart).
  uint32_t Peek();
  bool HasMessage();

  // Pops the first message into out. length: in, the room in out; out, the payload length.
  // Returns ZNET_POP_DATA, ZNET_POP_PING_REQUEST or ZNET_POP_PING_REPLY with the frame
  // consumed (trailer included), or ZNET_POP_NONE with nothing consumed: length 0 when no
  // frame is stored, else the room needed.
  int Pop(void* out, uint32_t& length);

  // Finds the first valid frame, discarding what lies before it. 1 found, 0 none yet.
  int ScanZolt(uint32_t& frameStart, uint32_t& frameLength);

  uint32_t Count() const { return count; }
  uint32_t Capacity() const { return capacity; }

 private:
  uint8_t At(uint32_t offset) const;
  void Discard(uint32_t bytes);
  // Where the check of the frame candidate at start stands.
  struct Walk {
    uint32_t total = 0;  // the candidate's length; 0: none
    uint32_t p = 4;      // next offset to look at
    uint32_t weighted = 0, low = 0, number = 0, payload = 0;
  };
  int32_t Decode(Walk& walk, uint32_t available, uint8_t* out) const;
  template <typename Byte>
  int32_t DecodeWith(Walk& walk, uint32_t available, uint8_t* out, Byte byte) const;
  bool WaitingFrameFailsIn(const uint8_t* data, uint32_t length) const;

  bool scanned = false;
  uint8_t* buffer = nullptr;
  uint32_t start = 0;
  uint32_t capacity = 0;
  uint32_t count = 0;
  uint32_t frameLength = 0;  // payload bytes of the found frame
  uint32_t frameStart = 0;   // ring position of its start marker
  uint32_t frameTotal = 0;   // its wire length
  bool found = false;
  uint8_t frameKind = 0;     // ZNET_POP_* of the found frame
  Walk walk;
};
