// Rectangles compare whole in test assertions, and print as (left, top)-(right, bottom).
#pragma once

#include <ostream>

#include "engine/core/zolt_records.h"

inline bool operator==(const tagRECT& a, const tagRECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const tagRECT& r, std::ostream* os) {
  *os << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}
