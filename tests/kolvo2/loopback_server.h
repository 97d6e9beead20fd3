// A one-shot HTTP server on the loopback interface for the online submission's tests: it
// takes one connection, reads the request (header and a body of Content-Length bytes),
// keeps it, and answers with the reply given, or with nothing until it is stopped.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

class LoopbackServer {
 public:
  LoopbackServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&a), n) != 0 || listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &n) != 0)
      return;
    port_ = ntohs(a.sin_port);
  }
  ~LoopbackServer() {
    if (listener_ >= 0) close(listener_);
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  uint16_t port() const { return port_; }
  // What goes before a reply's body.
  std::string header = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  // One connection: returns the request text ("" when none came within the wait). A null
  // reply answers nothing and holds the connection until `hold_ms` have passed.
  std::string Serve(const std::string* reply, int wait_ms = 10000, int hold_ms = 0) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, wait_ms) != 1) return "";
    const int s = accept(listener_, nullptr, nullptr);
    if (s < 0) return "";
    std::string request;
    char buffer[2048];
    size_t body = std::string::npos, length = 0;
    while (body == std::string::npos || request.size() < body + length) {
      pollfd q{s, POLLIN, 0};
      if (poll(&q, 1, wait_ms) != 1) break;
      const ssize_t got = recv(s, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<size_t>(got));
      if (body == std::string::npos && (body = request.find("\r\n\r\n")) != std::string::npos) {
        body += 4;
        const size_t at = request.find("Content-Length: ");
        length = at < body ? std::strtoul(request.c_str() + at + 16, nullptr, 10) : 0;
      }
    }
    if (reply) {
      const std::string text = header + *reply;
      for (size_t sent = 0; sent < text.size();) {
        const ssize_t n = send(s, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
    } else if (hold_ms > 0) {
      pollfd q{s, POLLIN, 0};
      poll(&q, 1, hold_ms);
    }
    close(s);
    return request;
  }

 private:
  int listener_ = -1;
  uint16_t port_ = 0;
};
