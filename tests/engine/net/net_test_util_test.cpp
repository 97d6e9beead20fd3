#include "tests/engine/net/net_test_util.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace nettest {

void RecordingFramework::OnNetMessage(uint8_t connectID, int32_t client, int32_t type,
                                      int32_t len, uint8_t* data) {
  lastConnectID = connectID;
  messages.push_back({client, type, data ? std::string(reinterpret_cast<char*>(data), len) : "", true});
}

void RecordingCapture::OnNetMessage(int32_t client, int32_t type, int32_t len, uint8_t* data) {
  messages.push_back({client, type, data ? std::string(reinterpret_cast<char*>(data), len) : "", false});
  if (hook) hook(messages.back());
}

std::string RecordingCapture::Data(int32_t client) const {
  std::string all;
  for (const Message& m : messages) {
    if (m.type == ZNET_MSG_DATA && m.client == client) all += m.data;
  }
  return all;
}

int RecordingCapture::Count(int32_t type) const {
  int n = 0;
  for (const Message& m : messages) n += (m.type == type);
  return n;
}

bool PumpUntil(const std::function<void()>& poll, const std::function<bool()>& done,
               int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (uint32_t round = 1; !done(); ++round) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    poll();
    // Now and then the processor goes to the peer's thread, when there is one; not every
    // round: on a busy machine a yield can wait out every other program's time slice, and
    // a transfer of megabytes read a kilobyte a round then took minutes.
    if (round % 64 == 0) sched_yield();
  }
  return true;
}

bool PumpUntil(ClassZConnect& conn, const std::function<bool()>& done, int timeoutMs) {
  return PumpUntil([&] { conn.CheckSockets(nullptr); }, done, timeoutMs);
}

int CountOpenFds() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int n = 0;
  while (readdir(dir)) ++n;
  closedir(dir);
  return n;
}

namespace {

int ListenLoopback(uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
    std::abort();
  }
  port = ntohs(a.sin_port);
  return fd;
}

// Content-Length of a request header, -1 when absent.
long RequestBodyLength(const std::string& header) {
  const std::string key = "Content-Length: ";
  const size_t at = header.find(key);
  return at == std::string::npos ? -1 : std::atol(header.c_str() + at + key.size());
}

}  // namespace

uint16_t ClosedPort() {
  uint16_t port = 0;
  close(ListenLoopback(port));
  return port;
}

LoopbackServer::LoopbackServer(Script script, int connections)
    : script_(std::move(script)), connections_(connections) {
  listener_ = ListenLoopback(port_);
  listen(listener_, 64);
  thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
  Stop();
  close(listener_);
}

void LoopbackServer::Stop() {
  stop_ = true;
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> LoopbackServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void LoopbackServer::Acknowledge(size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  acknowledged_ = bytes;
  cv_.notify_all();
}

void LoopbackServer::Run() {
  for (int c = 0; c < connections_ && !stop_; ++c) {
    int fd = -1;
    while (!stop_ && fd < 0) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 20) > 0) fd = accept(listener_, nullptr, nullptr);
    }
    if (fd < 0) return;
    Serve(fd);
  }
}

void LoopbackServer::Serve(int fd) {
  std::string request;
  if (!script_.closeAtOnce && script_.readRequest) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
      const size_t end = request.find("\r\n\r\n");
      if (end != std::string::npos) {
        const long body = RequestBodyLength(request.substr(0, end));
        if (body < 0 || request.size() >= end + 4 + static_cast<size_t>(body)) break;
      }
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char buffer[4096];
      const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<size_t>(got));
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    acknowledged_ = 0;
  }
  if (script_.closeAtOnce) {
    close(fd);
    return;
  }
  size_t sent = 0;
  for (const std::string& chunk : script_.chunks) {
    {
      // The next chunk waits until the client has seen every byte before it, so each
      // arrives in a poll of its own.
      std::unique_lock<std::mutex> lock(mutex_);
      cv_.wait_for(lock, std::chrono::seconds(5), [&] { return stop_ || acknowledged_ >= sent; });
    }
    if (stop_) break;
    size_t off = 0;
    while (off < chunk.size()) {
      const ssize_t n = send(fd, chunk.data() + off, chunk.size() - off, MSG_NOSIGNAL);
      if (n <= 0) break;
      off += static_cast<size_t>(n);
    }
    sent += chunk.size();
  }
  if (script_.end == End::kHold) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [&] { return stop_.load(); });
  }
  if (script_.end == End::kReset) {
    linger l{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  close(fd);
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

}  // namespace nettest
