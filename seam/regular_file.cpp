#include "seam/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int open_regular_file(const char* path, int flags, mode_t mode) {
  if (!path) {
    errno = EFAULT;
    return -1;
  }
  // A tty opened here must not become the program's controlling terminal.
  int fd;
  do {
    fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st;
  int error = 0;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (S_ISDIR(st.st_mode))
    error = EISDIR;
  else if (!S_ISREG(st.st_mode))
    error = ENXIO;
  else if (!(flags & O_NONBLOCK)) {
    const int now = ::fcntl(fd, F_GETFL);
    if (now == -1 || ::fcntl(fd, F_SETFL, now & ~O_NONBLOCK) != 0) error = errno;
  }
  if (error) {
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

std::FILE* fopen_regular_file(const char* path, const char* mode) {
  if (!mode) {
    errno = EINVAL;
    return nullptr;
  }
  int flags;
  switch (mode[0]) {
    case 'r': flags = 0; break;
    case 'w': flags = O_CREAT | O_TRUNC; break;
    case 'a': flags = O_CREAT | O_APPEND; break;
    default: errno = EINVAL; return nullptr;
  }
  const bool update = std::strchr(mode, '+') != nullptr;
  flags |= update ? O_RDWR : mode[0] == 'r' ? O_RDONLY : O_WRONLY;
  if (std::strchr(mode, 'x')) flags |= O_EXCL;
  const int fd = open_regular_file(path, flags, 0666);
  if (fd < 0) return nullptr;
  // The stream takes the mode without truncating again: the open did that.
  std::FILE* f = ::fdopen(fd, mode);
  if (!f) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return f;
}

const char* regular_file_error(int error) {
  if (error == ENXIO) return "Not a regular file (a FIFO, a device or a socket)";
  return std::strerror(error);
}
