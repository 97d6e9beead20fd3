#include "engine/net/znet_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <string>
#include <system_error>
#include <thread>

namespace {

std::atomic<ZNetResolver> g_resolver{nullptr};

}  // namespace

// What the asking side and the looking-up thread share; whichever lets go last frees it.
struct ZNetLookup::Shared {
  std::string name;
  uint32_t address = 0;             // written before state says FOUND
  std::atomic<int> state{ZNET_LOOKUP_WAITING};
};

bool ZNetResolve(const char* name, uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (!name || getaddrinfo(name, nullptr, &hints, &list) != 0 || !list) return false;
  bool found = false;
  for (const addrinfo* a = list; a && !found; a = a->ai_next) {
    if (a->ai_family != AF_INET || !a->ai_addr || a->ai_addrlen < sizeof(sockaddr_in)) continue;
    address = ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
    found = true;
  }
  freeaddrinfo(list);
  return found;
}

bool ZNetLookup::Start(const char* name) {
  Cancel();
  if (!name) return false;
  auto s = std::make_shared<Shared>();
  s->name = name;
  ZNetResolver resolve = g_resolver.load();
  if (!resolve) resolve = ZNetResolve;
  try {
    std::thread([s, resolve] {
      uint32_t address = 0;
      const bool found = resolve(s->name.c_str(), address);
      s->address = address;
      s->state.store(found ? ZNET_LOOKUP_FOUND : ZNET_LOOKUP_FAILED, std::memory_order_release);
    }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  shared = std::move(s);
  return true;
}

int ZNetLookup::Poll(uint32_t& address) {
  if (!shared) return ZNET_LOOKUP_FAILED;
  const int state = shared->state.load(std::memory_order_acquire);
  if (state == ZNET_LOOKUP_WAITING) return state;
  if (state == ZNET_LOOKUP_FOUND) address = shared->address;
  shared.reset();
  return state;
}

void ZNetLookup::SetResolver(ZNetResolver resolver) { g_resolver.store(resolver); }
