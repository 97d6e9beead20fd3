// Emulated device files: what an open of "/dev/fb0", "/dev/fb1", "/dev/mem", "/dev/dsp" or
// "/dev/batt" gives, and the table from descriptors to them.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <unordered_map>

namespace gp2x::host {

class Device {
 public:
  virtual ~Device() = default;
  virtual int ioctl(unsigned long request, void* arg);
  virtual ssize_t read(void* buffer, size_t count);
  virtual ssize_t write(const void* buffer, size_t count);
  // The memory for a mapping, or null with errno set.
  virtual void* mmap(size_t length, off_t offset);
  // The descriptor was closed (a thread may still be inside write or read).
  virtual void closed() {}
};

// The device behind a path, or null (errno set) when the path is a device that cannot be
// opened now; *is_device tells whether the path is one of ours at all.
std::shared_ptr<Device> open_device(const std::string& path, int flags, bool* is_device);

// Descriptors of open devices. Each is a real descriptor (of "/dev/null"), so its number
// never collides with a real file's.
class DeviceTable {
 public:
  ~DeviceTable() { close_all(); }
  void close_all();
  int add(std::shared_ptr<Device> device);
  std::shared_ptr<Device> find(int fd);
  std::shared_ptr<Device> remove(int fd);

 private:
  std::mutex mutex_;
  std::unordered_map<int, std::shared_ptr<Device>> devices_;
};

}  // namespace gp2x::host
