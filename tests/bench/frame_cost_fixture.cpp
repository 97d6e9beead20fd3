// A program of known cost for frame_cost_test.sh, counted by bench/frame_cost.sh as a game
// is: the main thread runs FRAMES frames (fixture_frame), each with a known amount of work,
// and hands a worker thread its turn in each, waiting until the worker has done its own
// known work for that frame. The worker works once more before the first frame, and a third
// thread works all along under no function the count names. The even frames call
// fixture_screen. The waits are functions of their own, named as pacing by the test.
//
//   frame_cost_fixture FRAMES MAIN WORKER OUTSIDE HEAVY_MAIN_FRAME MAIN_EXTRA
//                      HEAVY_WORKER_FRAME WORKER_EXTRA BYSTANDER
//
// The amounts are steps of fixture_spin, two instructions each.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

std::atomic<uint32_t> turn{0};  // the frame the worker is to work for, counted from 1
std::atomic<uint32_t> done{0};  // the last frame the worker finished
std::atomic<bool> worker_ready{false};

struct Amounts {
  uint32_t frames, main, worker, outside, heavy_main_frame, main_extra, heavy_worker_frame,
      worker_extra, bystander;
};
Amounts amounts;

}  // namespace

// Two instructions a step on both machines the count runs on, so that a frame's cost is
// known to the instruction but for the calls around it.
[[gnu::noinline]] void fixture_spin(uint32_t steps) {
#if defined(__arm__)
  asm volatile("1: subs %0, %0, #1\n\tbne 1b" : "+r"(steps) : : "cc");
#elif defined(__x86_64__) || defined(__i386__)
  asm volatile("1: dec %0\n\tjnz 1b" : "+r"(steps) : : "cc");
#else
  for (volatile uint32_t n = steps; n > 0; n = n - 1) {
  }
#endif
}

[[gnu::noinline]] void fixture_screen() { fixture_spin(1); }

[[gnu::noinline]] void fixture_pace(uint32_t frame) {
  turn.store(frame + 1);
  while (done.load() != frame + 1) std::this_thread::yield();
}

[[gnu::noinline]] uint32_t fixture_wait(uint32_t seen) {
  uint32_t now;
  while ((now = turn.load()) == seen) std::this_thread::yield();
  return now;
}

[[gnu::noinline]] void fixture_frame(uint32_t frame) {
  fixture_spin(amounts.main + (frame == amounts.heavy_main_frame ? amounts.main_extra : 0));
  if (frame % 2 == 0) fixture_screen();
  fixture_pace(frame);
}

[[gnu::noinline]] void fixture_worker() {
  fixture_spin(amounts.outside);
  worker_ready.store(true);
  for (uint32_t seen = 0; seen < amounts.frames;) {
    seen = fixture_wait(seen);
    fixture_spin(amounts.worker + (seen - 1 == amounts.heavy_worker_frame ? amounts.worker_extra : 0));
    done.store(seen);
  }
}

[[gnu::noinline]] void fixture_bystander() { fixture_spin(amounts.bystander); }

int main(int argc, char** argv) {
  uint32_t* fields[] = {&amounts.frames,           &amounts.main,       &amounts.worker,
                        &amounts.outside,          &amounts.heavy_main_frame, &amounts.main_extra,
                        &amounts.heavy_worker_frame, &amounts.worker_extra, &amounts.bystander};
  const int wanted = int(sizeof fields / sizeof fields[0]);
  for (int i = 0; i < wanted && i + 1 < argc; ++i) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(argv[i + 1], &end, 10);
    // A step count of 0 would spin through the whole 32-bit range.
    if (*end || end == argv[i + 1] || v == 0 || v > 0xFFFFFFFFul) argc = 0;
    else *fields[i] = uint32_t(v);
  }
  if (argc != wanted + 1) {
    std::fprintf(stderr,
                 "usage: frame_cost_fixture FRAMES MAIN WORKER OUTSIDE HEAVY_MAIN_FRAME MAIN_EXTRA "
                 "HEAVY_WORKER_FRAME WORKER_EXTRA BYSTANDER (each above 0)\n");
    return 2;
  }
  std::thread worker(fixture_worker);
  std::thread bystander(fixture_bystander);
  while (!worker_ready.load()) std::this_thread::yield();
  for (uint32_t frame = 0; frame < amounts.frames; ++frame) fixture_frame(frame);
  worker.join();
  bystander.join();
  std::printf("%u frames\n", unsigned(amounts.frames));
  return 0;
}
