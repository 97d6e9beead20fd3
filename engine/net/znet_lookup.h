// ZNetLookup: the IPv4 address of a host name, looked up on a thread of its own so that
// the frame loop that asked never waits for a slow name service. Start hands the name to a
// new thread; Poll, called once a frame, says whether the answer has come. Dropping a
// lookup (Cancel, a new Start, the destructor) never waits either: the thread ends on its
// own and its answer is thrown away.
//
//   ZNetLookup lookup;
//   if (!lookup.Start("scores.example")) ...     // no thread could be started
//   ...each frame: uint32_t a; switch (lookup.Poll(a)) { case ZNET_LOOKUP_FOUND: ... }
//
// The lookup itself is ZNetResolve (the first IPv4 address getaddrinfo gives). A test puts
// a resolver of its own in its place with ZNetLookup::SetResolver (null: ZNetResolve
// again); a lookup already running keeps the resolver it started with.
#pragma once

#include <cstdint>
#include <memory>

enum : int { ZNET_LOOKUP_WAITING = 0, ZNET_LOOKUP_FOUND = 1, ZNET_LOOKUP_FAILED = 2 };

// Looks name up (blocking). true with the address in host byte order; false when the
// name has no IPv4 address or the name service fails. Safe on any thread.
using ZNetResolver = bool (*)(const char* name, uint32_t& address);
bool ZNetResolve(const char* name, uint32_t& address);

class ZNetLookup {
 public:
  ZNetLookup() = default;
  ~ZNetLookup() = default;
  ZNetLookup(const ZNetLookup&) = delete;
  ZNetLookup& operator=(const ZNetLookup&) = delete;

  // Drops any lookup under way and starts one for name (copied). false, with nothing
  // under way, for a null name or when no thread can be started.
  bool Start(const char* name);
  // ZNET_LOOKUP_WAITING while the answer is still to come; ZNET_LOOKUP_FOUND with the
  // address (host byte order) or ZNET_LOOKUP_FAILED once, after which nothing is under
  // way; ZNET_LOOKUP_FAILED also when nothing was started.
  int Poll(uint32_t& address);
  // Forgets the lookup under way, if any.
  void Cancel() { shared.reset(); }
  bool Active() const { return shared != nullptr; }

  static void SetResolver(ZNetResolver resolver);

 private:
  struct Shared;
  std::shared_ptr<Shared> shared;
};
