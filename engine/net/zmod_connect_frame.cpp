// Framed messages and ping over a connection's sockets.
#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_vtimer.h"
#include "engine/net/zmod_connect.h"

int ClassZConnect::SendToDestination(const uint8_t* data, uint32_t length, uint8_t destination) {
  if ((transport != 1 && transport != 2) || main == -1) return 0;
  if (!server) return SendOn(main, mainQueue, data, length);
  if (destination == 0) {
    int sent = 0;
    for (uint32_t k = 0; k < ZNET_MAX_CLIENTS; ++k) {
      if (clients[k] != -1 && SendOn(clients[k], clientQueues[k], data, length)) sent = 1;
    }
    return sent;
  }
  if (destination > ZNET_MAX_CLIENTS || clients[destination - 1] == -1) return 0;
  return SendOn(clients[destination - 1], clientQueues[destination - 1], data, length);
}

int ClassZConnect::Send(const uint8_t* data, int32_t length, uint8_t destination) {
  int32_t frameLength = 0;
  if (!ZoltSend(destination, data, length, frameLength, true)) return 0;
  return ZoltSend(destination, data, length, frameLength, false);
}

int ClassZConnect::ZoltSend(uint8_t destination, const uint8_t* data, int32_t length,
                            int32_t& frameLength, bool measureOnly) {
  if (length < 0 || (!data && length > 0)) return 0;
  const int32_t total = ZNet_FrameLength(data, static_cast<uint32_t>(length));
  if (total < 0) return 0;  // the length field has 16 bits
  frameLength = total;
  if (measureOnly) return 1;
  // One buffer, one send: a frame is never interleaved with another.
  uint8_t* frame = static_cast<uint8_t*>(ClassZMemory::Alloc(static_cast<uint32_t>(total)));
  if (!frame) return 0;
  ZNet_FrameEncode(frame, data, static_cast<uint32_t>(length));
  const int sent = SendToDestination(frame, static_cast<uint32_t>(total), destination);
  ClassZMemory::DeAlloc(frame);
  return sent;
}

int ClassZConnect::SendRaw(const uint8_t* data, int32_t length, uint8_t destination) {
  if (length < 0 || (!data && length > 0)) return 0;
  return SendToDestination(data, static_cast<uint32_t>(length), destination);
}

int ClassZConnect::RequestPing(uint8_t destination) {
  const uint32_t now = ClassZRTimer::Count();
  if (!SendPingData(destination, true)) return 0;
  pingTime = now;
  return 1;
}

int ClassZConnect::RespondPing(uint8_t destination) { return SendPingData(destination, false); }

int ClassZConnect::SendPingData(uint8_t destination, bool request) {
  const uint8_t* frame = request ? ZNET_PING_REQUEST : ZNET_PING_REPLY;
  if (!SendToDestination(frame, sizeof ZNET_PING_REQUEST, destination)) return 0;
  // Only a request is waited for: answering leaves this side's own ping alone.
  if (request) pingState = 2;
  return 1;
}

uint32_t ClassZConnect::GetPingTime() {
  if ((transport != 1 && transport != 2) || pingState != 2) return 0;
  pingState = 0;
  return (ClassZRTimer::Count() - pingTime) / 2;
}
