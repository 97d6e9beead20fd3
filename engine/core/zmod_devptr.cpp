#include "engine/core/zmod_devptr.h"

#include <fcntl.h>
#include <sys/mman.h>

#include "seam/gp2x_seam.h"

int32_t zdeviceptr[2] = {-1, -1};
volatile uint32_t* zdevicereg_ptr = nullptr;
volatile uint16_t* zdevicereg_ptr16 = nullptr;

int HandleDevicePtr(bool close) {
  if (!close) {
    HandleDevicePtr(true);
    zdeviceptr[0] = gp2x::open("/dev/mem", O_RDWR);
    zdeviceptr[1] = gp2x::open("/dev/fb0", O_RDWR);
    if (zdeviceptr[0] >= 0 && zdeviceptr[1] >= 0) {
      void* window = gp2x::mmap(nullptr, ZDEVICE_REGSIZE, PROT_READ | PROT_WRITE, MAP_SHARED,
                                zdeviceptr[0], off_t(ZDEVICE_REGBASE));
      if (window != MAP_FAILED && window) {
        zdevicereg_ptr = static_cast<volatile uint32_t*>(window);
        zdevicereg_ptr16 = static_cast<volatile uint16_t*>(window);
        return 1;
      }
    }
    // Fall through: close whatever did open.
  }
  if (zdevicereg_ptr) gp2x::munmap(const_cast<uint32_t*>(zdevicereg_ptr), ZDEVICE_REGSIZE);
  zdevicereg_ptr = nullptr;
  zdevicereg_ptr16 = nullptr;
  for (int32_t& fd : zdeviceptr) {
    if (fd >= 0) gp2x::close(fd);
    fd = -1;
  }
  return 0;
}
