#include "host/host_pacing.h"

#include <algorithm>

namespace gp2x::host {

bool PollPacer::changed(uint32_t offset, uint32_t value) {
  for (Seen& s : seen_) {
    if (s.offset != offset) continue;
    const bool differs = s.value != value;
    s.value = value;
    return differs;
  }
  seen_[next_slot_] = {offset, value};
  next_slot_ = (next_slot_ + 1) % kKept;
  return true;
}

uint64_t PollPacer::yield_ns(uint32_t offset, uint32_t value, uint64_t now, uint64_t next_change,
                             uint64_t next_edge, uint64_t began) {
  const bool differs = changed(offset, value);
  // Reads apart by more than a spin's gap have work between them: the spin, if any, is over.
  if (!spinning_ || began < last_done_ || began - last_done_ > kSpinGapNs) {
    spinning_ = true;
    spin_start_ = now;
    return 0;
  }
  // A loop that just saw its register change is likely to leave; a short spin may be a
  // working loop that checks the time as it goes.
  if (differs || now - spin_start_ < kSpinSpanNs) return 0;
  const uint64_t until = std::min({next_change, next_edge, now + kSliceNs});
  return until > now ? until - now : 0;
}

}  // namespace gp2x::host
