# Cross-building for the console's CPU (ARM920T: ARMv4T, no FPU, EABI soft float) with
# Debian's arm-linux-gnueabi compiler, programs linked statically. GP2X_ARM_SYSROOT names a
# folder that holds the target's other libraries (zlib, Ogg Vorbis, GoogleTest) under usr/;
# GP2X_ARM_EMULATOR runs the target's programs on this machine (tests, build-time
# generators, programs that tests start). tools/arm-check.sh prepares both.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
# -Wno-psabi: GCC notes where it passes a type differently from GCC before 7.1; everything
# here is built by one compiler.
set(CMAKE_C_FLAGS_INIT "-march=armv4t -mtune=arm920t -mfloat-abi=soft")
set(CMAKE_CXX_FLAGS_INIT "-march=armv4t -mtune=arm920t -mfloat-abi=soft -Wno-psabi")
# Assembly too: the compiler's own default is ARMv5TE, and one object made for it tags the
# whole program so and lets newer instructions in unseen (tools/check-armv4t.sh looks).
set(CMAKE_ASM_FLAGS_INIT "-march=armv4t -mfloat-abi=soft")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The settings reach the configuration checks too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GP2X_ARM_SYSROOT GP2X_ARM_EMULATOR)
set(GP2X_ARM_SYSROOT "" CACHE PATH "Folder with the target's libraries under usr/")
# Debian's armel C and C++ libraries are built for ARMv5TE, which the emulated CPU runs; an
# ARMv6K one, for its thread register, which spares every allocation a trip out of
# translated code (host/host_thread_pointer.cpp). That no newer instruction than ARMv4T is
# in what we build is checked on the objects themselves (tools/check-armv4t.sh).
set(GP2X_ARM_EMULATOR "qemu-arm;-cpu;arm1176" CACHE STRING "Runs a target program here")
set(CMAKE_CROSSCOMPILING_EMULATOR ${GP2X_ARM_EMULATOR})

set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi ${GP2X_ARM_SYSROOT})
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static programs link archives only.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(ENV{PKG_CONFIG_LIBDIR} ${GP2X_ARM_SYSROOT}/usr/lib/arm-linux-gnueabi/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${GP2X_ARM_SYSROOT})
