// Loopback peers and recorders for the network tests. Everything listens on 127.0.0.1
// only, and every wait is bounded.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/app/zolt.h"
#include "engine/net/zmod_connect.h"

namespace nettest {

struct Message {
  int32_t client;
  int32_t type;
  std::string data;
  bool toFramework;
};

// A framework that records the net messages routed to it.
class RecordingFramework : public ClassZolt {
 public:
  void OnNetMessage(uint8_t connectID, int32_t client, int32_t type, int32_t len,
                    uint8_t* data) override;
  std::vector<Message> messages;
  uint8_t lastConnectID = 0xFF;
};

// A capture that records its messages and can run a hook inside each.
class RecordingCapture : public ClassZNetCapture {
 public:
  void OnNetMessage(int32_t client, int32_t type, int32_t len, uint8_t* data) override;
  std::vector<Message> messages;
  std::function<void(const Message&)> hook;
  // All data (message 4) bytes received, per client number.
  std::string Data(int32_t client = 0) const;
  int Count(int32_t type) const;
};

// Polls conn until done() holds or timeoutMs pass (busy, no sleeping). True when done.
bool PumpUntil(const std::function<void()>& poll, const std::function<bool()>& done,
               int timeoutMs = 60000);
bool PumpUntil(ClassZConnect& conn, const std::function<bool()>& done, int timeoutMs = 60000);

// Open descriptors of this process.
int CountOpenFds();

// A port on 127.0.0.1 that was bound and closed again: connects to it are refused.
uint16_t ClosedPort();

// A scripted HTTP peer on a thread. For each accepted connection it reads the request
// (header and Content-Length body, or until the peer closes), then plays the script.
class LoopbackServer {
 public:
  enum class End { kClose, kReset, kHold };
  struct Script {
    std::vector<std::string> chunks;  // sent in order; each after the client got the last
    End end = End::kClose;
    bool closeAtOnce = false;         // close right after accepting, reading nothing
    bool readRequest = true;
  };

  explicit LoopbackServer(Script script, int connections = 1);
  ~LoopbackServer();  // stops and joins

  uint16_t Port() const { return port_; }
  // Requests received, one per connection so far.
  std::vector<std::string> Requests();
  // Tells the server how many reply bytes the client has seen, releasing the next chunk.
  void Acknowledge(size_t bytes);
  void Stop();

 private:
  void Run();
  void Serve(int fd);

  Script script_;
  int connections_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> requests_;
  size_t acknowledged_ = 0;
  std::atomic<bool> stop_{false};
};

// Raw bytes helper.
std::string Bytes(std::initializer_list<int> values);

}  // namespace nettest
