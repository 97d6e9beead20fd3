// ClassZolt: the Zolt application framework. The framework grows in this class (start-up,
// main loop, services); for now it holds only what the network layer calls back into.
#pragma once

#include <cstdint>

class ClassZolt {
 public:
  virtual ~ClassZolt() = default;

  // Receives the net messages of a connection that has no capture attached, and always
  // message 255 (request about to be sent). data is valid only during the call.
  virtual void OnNetMessage(uint8_t connectID, int32_t client, int32_t type, int32_t len,
                            uint8_t* data) {
    (void)connectID; (void)client; (void)type; (void)len; (void)data;
  }

  // The window handle; always null on this device.
  int* GetWnd() { return nullptr; }
};
