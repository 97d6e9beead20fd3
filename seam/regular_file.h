// Opening a data file by its name without being held up by what stands there.
//
// Opening a FIFO waits for its other end, and reading one (or a device) may never end: a
// file a program reads or writes by name must be a regular file. These calls open the name
// without blocking, look at what was opened and hand it back only when it is a regular
// file, blocking again as the caller asked. Plain POSIX; for data files only, never for the
// console's devices, which go through the seam's gp2x::open.
//
//   open_regular_file   as open(2), flags and mode as there (O_CLOEXEC and O_NOCTTY are
//                       added). The descriptor, or -1 with errno set: the system's error,
//                       EISDIR when the name is a folder, ENXIO when it is anything else that
//                       is not a regular file (a FIFO, a device, a socket).
//   fopen_regular_file  the same as a stdio stream; mode as fopen's ("r", "rb", "r+b", "wb",
//                       "w+b", "a", "ab", "a+b"). Null with errno as above.
//   regular_file_error  the text for an errno of these calls, for messages: "Not a regular
//                       file (a FIFO, a device or a socket)" for ENXIO, strerror's text
//                       otherwise ("Is a directory" for EISDIR).
#pragma once

#include <sys/types.h>

#include <cstdio>

int open_regular_file(const char* path, int flags, mode_t mode = 0);
std::FILE* fopen_regular_file(const char* path, const char* mode);
const char* regular_file_error(int error);
