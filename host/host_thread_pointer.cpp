// The thread pointer, for ARM builds of the programs run on a PC under an emulator (the
// tests of ./test.sh --arm).
//
// Every use of a thread's own variables asks for the thread pointer, and the C library's
// allocator asks on every call. The console's CPU has no register holding it, so Linux
// answers through its helper at 0xffff0fe0, and the C library's own __aeabi_read_tp jumps
// there. On an ARM chip that costs a few instructions; under qemu-arm it is a trip out of
// translated code and back, which made every allocation four times slower. The emulated
// second core allocates twice for every store it emulates, so that trip was half the time
// of a whole-program test.
//
// This one takes its place in every program of such a build: where the CPU has the thread
// register (ARMv6K and later, which the kernel tells by HWCAP_TLS) it reads the register;
// anywhere else, the console's ARMv4T among them, the kernel's helper answers as before.
#include <sys/auxv.h>

extern "C" {

// Set once at start-up; until then the kernel's helper answers.
int gp2x_thread_register_present = 0;

// Keeps the helper's contract: only r0 and the flags change.
__attribute__((naked)) void* __aeabi_read_tp() {
  __asm__(
      "ldr r0, =gp2x_thread_register_present\n"
      "ldr r0, [r0]\n"
      "cmp r0, #0\n"
      "mrcne p15, 0, r0, c13, c0, 3\n"
      "bxne lr\n"
      "mvn r0, #0xf000\n"  // 0xffff0fff
      "sub pc, r0, #31\n"  // the kernel's helper, which returns to lr
      ".ltorg\n");
}

}  // extern "C"

namespace {

[[maybe_unused]] const bool kLooked = [] {
  gp2x_thread_register_present = (getauxval(AT_HWCAP) & HWCAP_ARM_TLS) != 0;
  return true;
}();

}  // namespace
