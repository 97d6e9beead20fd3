#include <cerrno>
#include <memory>

#include "host/host_device.h"

namespace gp2x::host {

std::shared_ptr<Device> make_dsp_device(int) {
  errno = ENODEV;
  return nullptr;
}

}  // namespace gp2x::host
