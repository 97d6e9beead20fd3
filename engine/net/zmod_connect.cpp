#include "engine/net/zmod_connect.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "engine/app/zolt.h"
#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_std.h"

namespace {

bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

// The first IPv4 address of a host name (blocking lookup), host byte order.
bool LookUp(const char* name, uint32_t& address) {
  const hostent* h = gethostbyname(name);
  if (!h || h->h_addrtype != AF_INET || h->h_length != 4 || !h->h_addr_list || !h->h_addr_list[0]) {
    return false;
  }
  // Copied at once: the next lookup overwrites the static record.
  in_addr a;
  ClassZMemory::Copy(&a, h->h_addr_list[0], 4, true);
  address = ntohl(a.s_addr);
  return true;
}

}  // namespace

ClassZNetCapture::~ClassZNetCapture() {
  if (connection && connection->GetNetCapture() == this) connection->DetachNetCapture();
}

ClassZConnect::ClassZConnect() {
  for (int& c : clients) c = -1;
}

ClassZConnect::~ClassZConnect() {
  Cleanup();
  DetachNetCapture();
  ClearQueue(mainQueue);
  for (OutQueue& q : clientQueues) ClearQueue(q);
  FreePending();
}

void ClassZConnect::SetConnectID(uint8_t id) { connectID = id > 15 ? 15 : id; }

int ClassZConnect::Init(uint16_t newTransport, ClassZolt* newFramework) {
  if (transport != 0) Cleanup();
  if (newTransport != 1 && newTransport != 2) return 3;
  if (!newFramework) return 4;
  transport = newTransport;
  framework = newFramework;
  for (int& c : clients) c = -1;
  main = -1;
  pingState = 0;
  return 0;
}

void ClassZConnect::Cleanup() {
  if (transport == 0) return;
  Disconnect(0);
  connected = false;
  FreePending();
  transport = 0;
  framework = nullptr;
  ++generation;
}

void ClassZConnect::AttachNetCapture(ClassZNetCapture* newCapture) {
  if (capture == newCapture) return;
  DetachNetCapture();
  if (!newCapture) return;
  if (newCapture->connection) newCapture->connection->DetachNetCapture();
  capture = newCapture;
  capture->connection = this;
}

void ClassZConnect::DetachNetCapture() {
  if (!capture) return;
  capture->connection = nullptr;
  capture = nullptr;
}

int ClassZConnect::SetBindAddress(const char* dotted) {
  if (!dotted) {
    bindGiven = false;
    return 1;
  }
  in_addr a;
  if (!inet_aton(dotted, &a)) return 0;
  bindAddress = ntohl(a.s_addr);
  bindGiven = true;
  return 1;
}

int ClassZConnect::SearchHost(const char* host, int32_t port) {
  if (transport != 1 && transport != 2) return 0;
  Disconnect(0);
  pingState = 0;
  server = (host == nullptr);
  if (transport == 2) return 0;
  if (port < 0 || port > 65535 || (!server && port == 0)) return 0;

  bool addressGiven = true;
  if (server) {
    if (bindGiven) {
      hostAddress = bindAddress;
    } else {
      char own[256];
      if (gethostname(own, sizeof own - 1) != 0) return 0;
      own[sizeof own - 1] = 0;
      if (!LookUp(own, hostAddress)) return 0;
      addressGiven = false;
    }
  } else {
    in_addr a;
    if (inet_aton(host, &a)) {
      hostAddress = ntohl(a.s_addr);
    } else {
      if (!LookUp(host, hostAddress)) return 0;
      addressGiven = false;
    }
  }
  address = sockaddr_in{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(hostAddress);
  IPAtoA(hostText, hostAddress);
  connected = true;
  int* window = framework ? framework->GetWnd() : nullptr;
  return Startup(server, hostText, port, window, addressGiven) == 0 ? 1 : 0;
}

int ClassZConnect::Startup(bool asServer, const char* name, int32_t port, int* window,
                           bool addressGiven) {
  (void)window;
  (void)port;  // already in the address
  (void)addressGiven;  // the address holds either the given or the looked-up one
  if (transport != 1 && transport != 2) return 1;
  if (main == -1) {
    if (transport == 2 || CreateSocket() < 0) return 1;
  }
  if (asServer) {
    const int on = 1;
    setsockopt(main, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(main, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(main, ZNET_BACKLOG) != 0) {
      Disconnect(0);
      return 1;
    }
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (getsockname(main, reinterpret_cast<sockaddr*>(&bound), &size) == 0) {
      boundPort = ntohs(bound.sin_port);
    }
    char text[16];
    ClassZStd::StrCpy(text, name ? name : "", sizeof text);
    CallNetMessage(0, ZNET_MSG_LISTENING, static_cast<int32_t>(ClassZStd::StrLen(text, sizeof text)),
                   reinterpret_cast<uint8_t*>(text));
    return 0;
  }
  if (connect(main, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    Disconnect(0);
    return 1;
  }
  // Message 0 comes from the poll that sees the connect complete.
  connecting = true;
  return 0;
}

int ClassZConnect::CreateSocket() {
  if (transport != 1) return -1;
  if (main == -1) main = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  return main;
}

int ClassZConnect::CheckSockets(int* window) {
  if ((transport != 1 && transport != 2) || main == -1) return 0;
  const uint32_t start = generation;
  if (!server) {
    SocketMessage(main, window, true);
    return 0;
  }
  SocketMessage(main, window, false);
  for (uint32_t k = 0; k < ZNET_MAX_CLIENTS; ++k) {
    // A callback may have closed everything (or started over).
    if (generation != start || main == -1) return 0;
    if (clients[k] != -1) SocketMessage(clients[k], window, true);
  }
  return 0;
}

void ClassZConnect::SocketMessage(int socket, int* window, bool readEvent) {
  if (socket == -1) return;
  pollfd p{socket, static_cast<short>(POLLIN | POLLOUT), 0};
  if (poll(&p, 1, 0) <= 0) return;
  if (readEvent && connecting && socket == main) {
    if (p.revents & (POLLOUT | POLLERR | POLLHUP)) CompleteConnect();
    return;
  }
  const uint32_t start = generation;
  if (p.revents & (POLLIN | POLLERR | POLLHUP)) {
    OnAsync(window, socket, readEvent ? 1 : 8);
    uint8_t client;
    if (generation != start || !SocketFor(socket, client)) return;
  }
  if (readEvent && (p.revents & POLLOUT)) OnAsync(window, socket, 2);
}

int* ClassZConnect::SocketFor(int socket, uint8_t& client) {
  if (socket == -1) return nullptr;
  if (server) {
    for (uint32_t k = 0; k < ZNET_MAX_CLIENTS; ++k) {
      if (clients[k] == socket) {
        client = static_cast<uint8_t>(k + 1);
        return &clients[k];
      }
    }
    return nullptr;
  }
  client = 0;
  return socket == main ? &main : nullptr;
}

void ClassZConnect::OnAsync(int* window, int socket, int32_t event) {
  if (transport != 1 && transport != 2) return;
  uint8_t client = 0;
  switch (event) {
    case 8: {
      if (!server || socket != main || transport != 1) return;
      uint32_t k = 0;
      while (k < ZNET_MAX_CLIENTS && clients[k] != -1) ++k;
      if (k == ZNET_MAX_CLIENTS) return;  // the peer waits in the backlog
      sockaddr_in peer{};
      socklen_t size = sizeof peer;
      const int fd = accept4(main, reinterpret_cast<sockaddr*>(&peer), &size,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      clients[k] = fd;
      char text[16];
      const int32_t last = IPAtoA(text, ntohl(peer.sin_addr.s_addr));
      CallNetMessage(static_cast<int32_t>(k + 1), ZNET_MSG_ACCEPTED, last + 1,
                     reinterpret_cast<uint8_t*>(text));
      return;
    }
    case 1: {
      if (!SocketFor(socket, client)) return;
      const ssize_t got = recv(socket, receive, sizeof receive, 0);
      if (got > 0) {
        CallNetMessage(client, ZNET_MSG_DATA, static_cast<int32_t>(got), receive);
      } else if (got == 0 || !WouldBlock()) {
        OnAsync(window, socket, 32);
      }
      return;
    }
    case 2: {
      int* slot = SocketFor(socket, client);
      if (!slot) return;
      if (client == 0) {
        FlushPending();
        if (!pending) Flush(main, mainQueue);
      } else {
        Flush(*slot, clientQueues[client - 1]);
      }
      return;
    }
    case 32: {
      if (server) {
        for (uint32_t k = 0; k < ZNET_MAX_CLIENTS; ++k) {
          if (clients[k] != socket || socket == -1) continue;
          Disconnect(static_cast<uint8_t>(k + 1));
          CallNetMessage(static_cast<int32_t>(k + 1), ZNET_MSG_CLOSED, 0, nullptr);
          return;
        }
        return;
      }
      if (socket != main || socket == -1) return;
      // Hand out whatever is still readable, then report the close once.
      const uint32_t start = generation;
      for (int i = 0; i < 1024; ++i) {
        const ssize_t got = recv(main, receive, sizeof receive, 0);
        if (got <= 0) break;
        CallNetMessage(0, ZNET_MSG_DATA, static_cast<int32_t>(got), receive);
        if (generation != start || main != socket) return;
      }
      Disconnect(0);
      CallNetMessage(0, ZNET_MSG_CLOSED, 0, nullptr);
      return;
    }
    default:
      return;
  }
}

void ClassZConnect::CompleteConnect() {
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(main, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
    Disconnect(0);  // silent: the caller's own timeout reports it
    return;
  }
  connecting = false;
  const uint32_t start = generation;
  char text[16];
  ClassZStd::StrCpy(text, hostText, sizeof text);
  CallNetMessage(0, ZNET_MSG_CONNECTED, static_cast<int32_t>(ClassZStd::StrLen(text, sizeof text)),
                 reinterpret_cast<uint8_t*>(text));
  if (generation != start || main == -1) return;
  if (pending) {
    CallNetMessage(0, ZNET_MSG_REQUEST, pendingLength, pending);
    if (generation != start || main == -1) return;
  }
  FlushPending();
  if (!pending) Flush(main, mainQueue);
}

void ClassZConnect::Disconnect(uint8_t client) {
  if (client >= 1 && client <= ZNET_MAX_CLIENTS) {
    CloseSocket(clients[client - 1]);
    ClearQueue(clientQueues[client - 1]);
    return;
  }
  if (client != 0) return;
  for (uint32_t k = 0; k < ZNET_MAX_CLIENTS; ++k) {
    CloseSocket(clients[k]);
    ClearQueue(clientQueues[k]);
  }
  const bool hadSocket = main != -1;
  CloseSocket(main);
  ClearQueue(mainQueue);
  // The request builders close the old connection before they set a new request, so the
  // request is dropped only together with the socket it was meant for.
  if (hadSocket) FreePending();
  connecting = false;
  connected = false;
  boundPort = 0;
  ++generation;
}

void ClassZConnect::CloseSocket(int& socket) {
  if (socket == -1) return;
  shutdown(socket, SHUT_WR);
  // Drain only what is already there: a peer that never closes must not hold us up.
  uint8_t sink[1024];
  for (int i = 0; i < 1024; ++i) {
    if (recv(socket, sink, sizeof sink, MSG_DONTWAIT) <= 0) break;
  }
  close(socket);
  socket = -1;
}

int ClassZConnect::EstablishConnection() {
  connected = true;
  return 0;
}

void ClassZConnect::ReleaseConnection() { connected = false; }

int32_t ClassZConnect::IPAtoA(char* text, uint32_t value) {
  int32_t at = 0;
  for (int shift = 24; shift >= 0; shift -= 8) {
    ClassZStd::IntToStr(text + at, static_cast<int32_t>((value >> shift) & 0xFF), 10, false);
    at += static_cast<int32_t>(ClassZStd::StrLen(text + at, 4));
    if (shift) text[at++] = '.';
  }
  text[at] = 0;
  return at - 1;
}

uint32_t ClassZConnect::AtoIPA(const char* text) {
  uint32_t value = 0, number = 0;
  int dots = 0;
  for (const char* p = text; *p; ++p) {
    if (*p >= '0' && *p <= '9') {
      number = (number * 10 + static_cast<uint32_t>(*p - '0')) & 0xFF;
    } else if (*p == '.') {
      if (++dots > 3) return 0xFFFFFFFF;
      value |= number << (32 - 8 * dots);
      number = 0;
    } else {
      return 0xFFFFFFFF;
    }
  }
  return value | (number << (24 - 8 * dots));
}

int ClassZConnect::SearchWireless(uint32_t) { return 0; }

char* ClassZConnect::BTAtoA(char* text, int32_t) { return text; }

uint32_t ClassZConnect::AtoBTA(const char*) { return 0; }

void ClassZConnect::CallNetMessage(int32_t client, int32_t type, int32_t len, uint8_t* data) {
  if (type == ZNET_MSG_REQUEST || !capture) {
    // After Cleanup there is no framework: such a message has no receiver.
    if (framework) framework->OnNetMessage(connectID, client, type, len, data);
    return;
  }
  capture->OnNetMessage(client, type, len, data);
}

// --- Sending ---------------------------------------------------------------------------

void ClassZConnect::ClearQueue(OutQueue& queue) {
  ClassZMemory::DeAlloc(queue.data);
  queue = OutQueue{};
}

int ClassZConnect::SendOn(int& socket, OutQueue& queue, const uint8_t* data, uint32_t length) {
  if (socket == -1) return 0;
  if (length == 0) return 1;
  if (length > ZNET_QUEUE_LIMIT - queue.size) return 0;
  // Bytes go out in order: behind what is queued, and on the main socket behind the
  // request text and after the connect.
  const bool mustQueue = queue.size > 0 || (&socket == &main && (connecting || pending));
  if (!mustQueue) {
    const ssize_t sent = send(socket, data, length, MSG_NOSIGNAL);
    if (sent < 0 && !WouldBlock()) return 0;  // a broken socket: the read side reports it
    if (sent > 0) {
      data += sent;
      length -= static_cast<uint32_t>(sent);
    }
    if (length == 0) return 1;
  }
  if (queue.size + length > queue.capacity) {
    uint32_t capacity = queue.capacity ? queue.capacity : 4096;
    while (capacity < queue.size + length) capacity *= 2;
    uint8_t* grown = static_cast<uint8_t*>(ClassZMemory::Alloc(capacity));
    if (!grown) return 0;
    ClassZMemory::Copy(grown, queue.data, static_cast<int32_t>(queue.size), true);
    ClassZMemory::DeAlloc(queue.data);
    queue.data = grown;
    queue.capacity = capacity;
  }
  ClassZMemory::Copy(queue.data + queue.size, data, static_cast<int32_t>(length), true);
  queue.size += length;
  return 1;
}

void ClassZConnect::Flush(int& socket, OutQueue& queue) {
  if (socket == -1 || queue.size == 0) return;
  const ssize_t sent = send(socket, queue.data, queue.size, MSG_NOSIGNAL);
  if (sent < 0) {
    if (!WouldBlock()) ClearQueue(queue);
    return;
  }
  queue.size -= static_cast<uint32_t>(sent);
  ClassZMemory::Copy(queue.data, queue.data + sent, static_cast<int32_t>(queue.size), true);
}

void ClassZConnect::FlushPending() {
  if (!pending || main == -1 || connecting) return;
  while (pendingSent < pendingLength) {
    const ssize_t sent = send(main, pending + pendingSent,
                              static_cast<size_t>(pendingLength - pendingSent), MSG_NOSIGNAL);
    if (sent < 0) {
      if (WouldBlock()) return;
      break;  // a broken socket: the read side reports it
    }
    pendingSent += static_cast<int32_t>(sent);
  }
  FreePending();
}

int ClassZConnect::SetPending(uint8_t* text, uint32_t length) {
  FreePending();
  pending = text;
  pendingLength = static_cast<int32_t>(length);
  pendingSent = 0;
  return 1;
}

void ClassZConnect::FreePending() {
  ClassZMemory::DeAlloc(pending);
  pending = nullptr;
  pendingLength = pendingSent = 0;
}
