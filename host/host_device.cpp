#include "host/host_device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fb.h>
#include <type_traits>
#include <unistd.h>

#include "host/host_registers.h"
#include "host/host_runtime.h"

namespace gp2x::host {

int Device::ioctl(unsigned long, void*) {
  errno = ENOTTY;
  return -1;
}
ssize_t Device::read(void*, size_t) {
  errno = EINVAL;
  return -1;
}
ssize_t Device::write(const void*, size_t) {
  errno = EINVAL;
  return -1;
}
void* Device::mmap(size_t, off_t) {
  errno = ENODEV;
  return nullptr;
}

namespace {

class FramebufferDevice : public Device {
 public:
  explicit FramebufferDevice(int index) : index_(index) {}
  int ioctl(unsigned long request, void* arg) override {
    Runtime& rt = runtime();
    int r = framebuffer_ioctl(index_, rt.fb_format, request, arg);
    // The puzzle game asks for the screen information once a frame, right before it copies
    // the next frame: so the one in fb0 is complete.
    if (r == 0 && request == FBIOGET_VSCREENINFO && index_ == 0 && rt.shown_fb.load() < 0) rt.frame_done();
    return r;
  }
  void* mmap(size_t length, off_t offset) override {
    const size_t size = (runtime().fb_format.size() + 4095) & ~size_t{4095};
    if (offset != 0 || length == 0 || length > size) {
      errno = EINVAL;
      return nullptr;
    }
    return framebuffer_memory(index_);
  }

 private:
  int index_;
};

class MemoryDevice : public Device {
 public:
  void* mmap(size_t length, off_t offset) override {
    // The offset is a physical address: the registers at 0xC0000000 are negative in a 32-bit
    // off_t, and the system call maps them all the same.
    return physical_map(static_cast<std::make_unsigned_t<off_t>>(offset), length);
  }
};

class BatteryDevice : public Device {
 public:
  ssize_t read(void* buffer, size_t count) override {
    const uint16_t value = runtime().battery.load();
    const size_t n = count < sizeof value ? count : sizeof value;
    std::memcpy(buffer, &value, n);
    return static_cast<ssize_t>(n);
  }
};

}  // namespace

std::shared_ptr<Device> make_dsp_device(int flags);  // host_dsp.cpp

std::shared_ptr<Device> open_device(const std::string& path, int flags, bool* is_device) {
  *is_device = true;
  if (path == "/dev/fb0") return std::make_shared<FramebufferDevice>(0);
  if (path == "/dev/fb1") return std::make_shared<FramebufferDevice>(1);
  if (path == "/dev/mem") return std::make_shared<MemoryDevice>();
  if (path == "/dev/batt") return std::make_shared<BatteryDevice>();
  if (path == "/dev/dsp") return make_dsp_device(flags);
  *is_device = false;
  return nullptr;
}

void DeviceTable::close_all() {
  std::unordered_map<int, std::shared_ptr<Device>> devices;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    devices.swap(devices_);
  }
  for (auto& entry : devices) {
    entry.second->closed();
    ::close(entry.first);
  }
}

int DeviceTable::add(std::shared_ptr<Device> device) {
  int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  // The programs take a descriptor of 0 for a failed open (on the console 0 is always
  // taken): with standard input closed, move ours above the standard three.
  if (fd >= 0 && fd < 3) {
    const int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    fd = high;
  }
  if (fd < 0) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  devices_[fd] = std::move(device);
  return fd;
}

std::shared_ptr<Device> DeviceTable::find(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = devices_.find(fd);
  return it == devices_.end() ? nullptr : it->second;
}

std::shared_ptr<Device> DeviceTable::remove(int fd) {
  std::shared_ptr<Device> device;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = devices_.find(fd);
    if (it == devices_.end()) return nullptr;
    device = std::move(it->second);
    devices_.erase(it);
  }
  device->closed();
  ::close(fd);
  return device;
}

}  // namespace gp2x::host
