// ZSurfLock: holds a surface locked for one scope. It locks on construction and unlocks on
// every way out of the scope, and only when the lock was taken, so an early return can
// neither leave a surface locked nor unlock a lock somebody else holds.
//
//   ZSurfLock<Z2DSurface> dst(this);
//   if (!dst) return Z2D_NOBUFFER;          // not created, or no pixels
//   uint8_t* pixels = dst.Pixels();
//   ZSurfLock<Z2DSurface> src(source, &info);  // Lock(&info): the info filled in as well
//
// Works with any surface that has `Lock()` returning its pixels (null when it has none) and
// `Unlock()`: Z2DSurface and Z2DSurfaceRGBA. A null surface gives an empty lock.
#pragma once

#include <utility>

template <class Surface>
class ZSurfLock {
 public:
  using Pixels_t = decltype(std::declval<Surface&>().Lock());

  // Extra arguments go to Lock (the surface info it fills in).
  template <class... LockArgs>
  explicit ZSurfLock(Surface* surface, LockArgs... args)
      : surface_(surface), pixels_(surface ? surface->Lock(args...) : nullptr) {}
  ~ZSurfLock() {
    if (pixels_) surface_->Unlock();
  }
  ZSurfLock(const ZSurfLock&) = delete;
  ZSurfLock& operator=(const ZSurfLock&) = delete;

  explicit operator bool() const { return pixels_ != nullptr; }
  // The surface's pixels while locked; null when the lock could not be taken.
  Pixels_t Pixels() const { return pixels_; }

 private:
  Surface* surface_;
  Pixels_t pixels_;
};
