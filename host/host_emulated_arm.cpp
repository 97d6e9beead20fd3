#include "host/host_emulated_arm.h"

#include <unicorn/unicorn.h>

#include <cstdio>

namespace gp2x::host {
namespace {

constexpr uint32_t kProtectedBytes = 0x1000;  // the vectors' page: never written
constexpr uint32_t kResultEnded = 2;
// The stop address handed to the emulator: odd, so no ARM instruction ever lies there (the
// pass end is caught by a hook instead; see open()).
constexpr uint64_t kNeverReached = 0xFFFFFFFF;

std::string hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(v));
  return text;
}

uint32_t reg(uc_engine* uc, int which) {
  uint32_t v = 0;
  uc_reg_read(uc, which, &v);
  return v;
}

}  // namespace

struct EmulatedArmHooks {
  static bool invalid_memory(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t, void* user) {
    EmulatedArm* core = static_cast<EmulatedArm*>(user);
    const char* what = "an access outside its memory";
    switch (type) {
      case UC_MEM_READ_UNMAPPED: what = "a read outside its memory"; break;
      case UC_MEM_WRITE_UNMAPPED: what = "a write outside its memory"; break;
      case UC_MEM_FETCH_UNMAPPED: what = "a jump outside its memory"; break;
      case UC_MEM_WRITE_PROT: what = "a write into its own vectors and start-up code"; break;
      default: break;
    }
    core->pending_fault_ = std::string(what) + " (" + std::to_string(size) + " bytes at " + hex(address) +
                           ", instruction at " + hex(reg(uc, UC_ARM_REG_PC)) + ")";
    return false;
  }
  static bool invalid_instruction(uc_engine* uc, void* user) {
    static_cast<EmulatedArm*>(user)->pending_fault_ =
        "an undefined instruction at " + hex(reg(uc, UC_ARM_REG_PC));
    return false;
  }
  static void exception(uc_engine* uc, uint32_t number, void* user) {
    EmulatedArm* core = static_cast<EmulatedArm*>(user);
    core->pending_fault_ = "exception " + std::to_string(number) + " at " + hex(reg(uc, UC_ARM_REG_PC));
    uc_emu_stop(uc);
  }
  static void count(uc_engine*, uint64_t, uint32_t, void* user) { ++static_cast<EmulatedArm*>(user)->instructions_; }
  static void pass_end(uc_engine* uc, uint64_t, uint32_t, void*) { uc_emu_stop(uc); }
};

EmulatedArm::~EmulatedArm() {
  if (watchdog_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(watch_mutex_);
      watch_quit_ = true;
    }
    watch_changed_.notify_all();
    watchdog_.join();
  }
  if (uc_) uc_close(uc_);
}

// The watchdog is not woken at every pass: a pass that ends leaves it asleep until the
// deadline it had, and a pass that starts while it sleeps towards an earlier deadline is
// seen when it wakes there. So a core that runs hundreds of short passes a second costs
// the watchdog a few wake-ups a second, not two a pass.
void EmulatedArm::watch() {
  std::unique_lock<std::mutex> lock(watch_mutex_);
  while (!watch_quit_) {
    if (!watching_) {
      watch_armed_ = false;
      watch_changed_.wait(lock);
      continue;
    }
    watch_armed_ = true;
    watch_armed_until_ = deadline_;
    const uint64_t generation = watch_generation_;
    if (watch_changed_.wait_until(lock, deadline_, [&] {
          return watch_quit_ || watch_generation_ != generation || abandoned_;
        }) && !abandoned_)
      continue;
    if (watch_quit_ || !watching_) continue;  // the pass ended in time
    timed_out_ = !abandoned_;
    uc_emu_stop(uc_);
    watching_ = false;
  }
}

void EmulatedArm::stop_with(std::string what) {
  fault_ = std::move(what);
  over_ = true;
  last_ = Pass::kFault;
}

bool EmulatedArm::open(uint8_t* memory, uint32_t size) {
  uc_err err = uc_open(UC_ARCH_ARM, UC_MODE_ARM, &uc_);
  if (err == UC_ERR_OK) err = uc_ctl_set_cpu_model(uc_, UC_CPU_ARM_946);
  // The first page read-only: the core never writes its vectors, so a write there is a
  // stray pointer (a null one, most likely) caught where it happens.
  if (err == UC_ERR_OK) err = uc_mem_map_ptr(uc_, 0, kProtectedBytes, UC_PROT_READ | UC_PROT_EXEC, memory);
  if (err == UC_ERR_OK)
    err = uc_mem_map_ptr(uc_, kProtectedBytes, size - kProtectedBytes, UC_PROT_ALL, memory + kProtectedBytes);
  uc_hook hook;
  if (err == UC_ERR_OK)
    err = uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(EmulatedArmHooks::invalid_memory),
                      this, 1, 0);
  if (err == UC_ERR_OK)
    err = uc_hook_add(uc_, &hook, UC_HOOK_INSN_INVALID,
                      reinterpret_cast<void*>(EmulatedArmHooks::invalid_instruction), this, 1, 0);
  if (err == UC_ERR_OK)
    err = uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(EmulatedArmHooks::exception), this, 1, 0);
  // The pass end is caught by a hook on its one instruction, not by the emulator's stop
  // address: the library translates the code at a stop address anew at every run and never
  // reuses it, so a core run pass by pass, hundreds of passes a second while it idles,
  // would fill the emulator's 1 GB code buffer, and the process's memory, without end.
  if (err == UC_ERR_OK)
    err = uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(EmulatedArmHooks::pass_end), this,
                      kPassEndAddress, kPassEndAddress);
  if (err != UC_ERR_OK) {
    stop_with(std::string("the emulator cannot make the core: ") + uc_strerror(err));
    return false;
  }
  pc_ = 0;
  return true;
}

void EmulatedArm::count_instructions(bool on) {
  if (!uc_ || on == counting_) return;
  counting_ = on;
  if (on) {
    uc_hook hook;
    uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(EmulatedArmHooks::count), this, 1, 0);
    count_hook_ = hook;
  } else {
    uc_hook_del(uc_, count_hook_);
  }
  // The emulator puts a hook only into code it translates from then on: code translated
  // before would run on uncounted (the hot loops first of all), and after the hook is gone
  // would still call into it. (In this library version the control's macro is misnamed
  // uc_ctl_flush_tlb; the control itself drops every translated block.)
  uc_ctl(uc_, UC_CTL_WRITE(UC_CTL_TB_FLUSH, 0));
}

void EmulatedArm::abandon() {
  std::lock_guard<std::mutex> lock(watch_mutex_);
  abandoned_ = true;
  watch_changed_.notify_all();
}

EmulatedArm::Pass EmulatedArm::run_pass(uint64_t limit_us) {
  if (!uc_ || over_) return last_;
  pending_fault_.clear();
  {
    std::lock_guard<std::mutex> lock(watch_mutex_);
    if (abandoned_) {
      stop_with("a stop from the main core");
      return last_;
    }
    // Watched even without a limit, so that abandon() can stop it.
    if (!watchdog_.joinable()) watchdog_ = std::thread([this] { watch(); });
    const auto now = std::chrono::steady_clock::now();
    deadline_ = limit_us ? now + std::chrono::microseconds(limit_us) : now + std::chrono::hours(24 * 365);
    limit_us_ = limit_us;
    timed_out_ = false;
    watching_ = true;
    ++watch_generation_;
    // Asleep towards an earlier deadline, the watchdog sees this pass when it wakes there.
    if (!watch_armed_ || deadline_ < watch_armed_until_) watch_changed_.notify_all();
  }
  uc_err err;
  uint32_t pc;
  bool timed_out, abandoned;
  for (;;) {
    err = uc_emu_start(uc_, pc_, kNeverReached, 0, 0);
    pc = reg(uc_, UC_ARM_REG_PC);
    std::lock_guard<std::mutex> lock(watch_mutex_);
    timed_out = timed_out_;
    abandoned = abandoned_;
    // A stop that the watchdog asked for just as an earlier pass ended stops this one
    // before its first instruction: it goes on from where it is.
    if (pc == pc_ && pending_fault_.empty() && err == UC_ERR_OK && !timed_out && !abandoned) continue;
    watching_ = false;
    break;
  }
  if (!pending_fault_.empty() || err != UC_ERR_OK) {
    stop_with(!pending_fault_.empty() ? pending_fault_
                                      : std::string(uc_strerror(err)) + " at " + hex(pc));
    return last_;
  }
  if (pc != kPassEndAddress) {
    // Stopped from outside: never resumed (see run_pass in the header).
    stop_with(timed_out ? "a pass that did not end within " + std::to_string(limit_us_ / 1000) +
                              " ms (instruction at " + hex(pc) + ")"
                        : std::string(abandoned ? "a stop from the main core" : "an unexplained stop") +
                              " (instruction at " + hex(pc) + ")");
    return last_;
  }
  // The pass-end routine only returns: done here, so the next run starts past it.
  const uint32_t result = reg(uc_, UC_ARM_REG_R0);
  pc_ = reg(uc_, UC_ARM_REG_LR) & ~1u;
  if (result == kResultEnded) {
    over_ = true;
    last_ = Pass::kEnded;
    return last_;
  }
  return result ? Pass::kWorked : Pass::kIdle;
}

}  // namespace gp2x::host
