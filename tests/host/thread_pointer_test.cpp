// The thread pointer as ARM builds read it under an emulator: the thread register where the
// CPU has one, the kernel's helper elsewhere; either way the value the kernel keeps for the
// calling thread.
#include <gtest/gtest.h>

#include <sys/auxv.h>

#include <thread>
#include <vector>

extern "C" {
void* __aeabi_read_tp();
extern int gp2x_thread_register_present;
}

namespace {

void* kernel_helper() { return reinterpret_cast<void* (*)()>(0xffff0fe0)(); }

thread_local int own = 0;

// In the calling thread: the pointer read both ways, and this thread's variable found
// through it.
void expect_own_pointer(int mark) {
  EXPECT_EQ(__aeabi_read_tp(), kernel_helper());
  own = mark;
  EXPECT_EQ(own, mark);
}

TEST(ThreadPointer, TheRegisterIsReadWhereTheCpuHasOne) {
  EXPECT_EQ(gp2x_thread_register_present != 0, (getauxval(AT_HWCAP) & HWCAP_ARM_TLS) != 0);
}

TEST(ThreadPointer, EachThreadReadsItsOwnEitherWay) {
  const int present = gp2x_thread_register_present;
  for (int way : {present, 0}) {
    SCOPED_TRACE(way ? "the register" : "the kernel's helper");
    gp2x_thread_register_present = way;
    expect_own_pointer(-1);
    std::vector<void*> seen(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
      threads.emplace_back([&seen, i] {
        expect_own_pointer(i);
        seen[i] = __aeabi_read_tp();
      });
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < 4; ++i)
      for (int j = i + 1; j < 4; ++j) EXPECT_NE(seen[i], seen[j]);
    EXPECT_EQ(own, -1);
  }
  gp2x_thread_register_present = present;
}

}  // namespace
