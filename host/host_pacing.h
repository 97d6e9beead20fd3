// Waiting loops on the real clock. A console program waits for the timer or the vertical
// blank by reading the register again and again; on a PC that would keep a core busy the
// whole time. A read that is part of such a spin yields the processor instead, for a short
// slice or until the register's value next changes, whichever comes first, and never past
// the next edge of the vertical blank, so the loop still leaves within a slice of when it
// would have. A virtual clock never yields: its time moves only by the reads themselves.
#pragma once

#include <cstdint>

namespace gp2x::host {

class PollPacer {
 public:
  static constexpr uint64_t kSpinGapNs = 3000;     // at most this between a spin's reads
  static constexpr uint64_t kSpinSpanNs = 100000;  // a spin yields once it lasted this long
  static constexpr uint64_t kSliceNs = 250000;     // the longest yield

  // A read of register `offset` that returned `value` at real time `now`; `next_change` is
  // when that register's value changes next (UINT64_MAX when nobody knows) and
  // `next_edge` the next edge of the vertical blank. `began` is when the read began, before
  // the layer's own work in it (the window's events), which is not the program's work
  // between two reads. Returns how long to sleep now (0: go on). After the sleep, or at
  // once for 0, the caller reports done() with the time.
  uint64_t yield_ns(uint32_t offset, uint32_t value, uint64_t now, uint64_t next_change,
                    uint64_t next_edge, uint64_t began);
  uint64_t yield_ns(uint32_t offset, uint32_t value, uint64_t now, uint64_t next_change,
                    uint64_t next_edge) {
    return yield_ns(offset, value, now, next_change, next_edge, now);
  }
  // The program has the processor back at time `now`.
  void done(uint64_t now) { last_done_ = now; }

 private:
  static constexpr int kKept = 4;  // registers whose last value is remembered
  struct Seen {
    uint32_t offset = UINT32_MAX;
    uint32_t value = 0;
  };
  bool changed(uint32_t offset, uint32_t value);

  uint64_t last_done_ = 0;
  uint64_t spin_start_ = 0;
  bool spinning_ = false;
  Seen seen_[kKept];
  int next_slot_ = 0;
};

}  // namespace gp2x::host
