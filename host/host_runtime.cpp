#include "host/host_runtime.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "host/host_audio_sink.h"
#include "host/host_frontend.h"
#include "host/host_png.h"
#include "host/host_registers.h"
#include "host/host_second_core.h"

namespace gp2x::host {
namespace {

std::atomic<Runtime*> g_runtime{nullptr};
std::mutex g_runtime_mutex;

std::mutex g_log_mutex;
std::set<std::string>& logged_keys() {
  static std::set<std::string> keys;
  return keys;
}

// The request to quit: set from signal handlers, so a plain flag of the kind they may set.
// Its value says who asked (a signal number, or kWindowClosed).
volatile sig_atomic_t g_quit_request = 0;
constexpr int kWindowClosed = -1;
// The guard that ends a program still running some time after the request.
timer_t g_guard_timer;
bool g_guard_made = false;
volatile sig_atomic_t g_guard_ms = 0;
char g_guard_message[128];
size_t g_guard_message_length = 0;

void guard_expired(int) {
  // Only async-signal-safe calls here.
  ssize_t written = ::write(STDERR_FILENO, g_guard_message, g_guard_message_length);
  (void)written;
  _exit(1);
}

// Also called from signal handlers.
void take_quit_request(int who) {
  if (g_quit_request) return;
  g_quit_request = who;
  // Told here rather than at the next tick: the program may take the request and end
  // before another tick comes. A constant text and write() are safe in a signal handler.
  const char* told = who == kWindowClosed ? "gp2x host: window closed: the program is asked to quit\n"
                     : who == SIGINT      ? "gp2x host: interrupted (SIGINT): the program is asked to quit\n"
                                          : "gp2x host: SIGTERM: the program is asked to quit\n";
  ssize_t written = ::write(STDERR_FILENO, told, std::strlen(told));
  (void)written;
  if (!g_guard_made || g_guard_ms <= 0) return;
  itimerspec due{};
  due.it_value.tv_sec = g_guard_ms / 1000;
  due.it_value.tv_nsec = static_cast<long>(g_guard_ms % 1000) * 1000000;
  timer_settime(g_guard_timer, 0, &due, nullptr);
}

// A layer (re)started: no request, and the guard's time from the settings.
void reset_quit_request(uint32_t guard_ms) {
  const itimerspec off{};
  if (g_guard_made) timer_settime(g_guard_timer, 0, &off, nullptr);
  g_quit_request = 0;
  g_guard_ms = static_cast<sig_atomic_t>(guard_ms);
  const int n = std::snprintf(g_guard_message, sizeof g_guard_message,
                              "gp2x host: the program did not quit within %g s of the request; ended\n",
                              guard_ms / 1000.0);
  g_guard_message_length = n > 0 ? std::min(static_cast<size_t>(n), sizeof g_guard_message - 1) : 0;
}

std::once_flag g_signals_taken;

}  // namespace

bool quit_requested() { return g_quit_request != 0; }

void request_quit() {
  take_quit_signals();  // the guard's timer
  take_quit_request(kWindowClosed);
}

void take_quit_signals() {
  std::call_once(g_signals_taken, [] {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    action.sa_handler = guard_expired;
    sigaction(SIGALRM, &action, nullptr);
    action.sa_handler = [](int signal) { take_quit_request(signal); };
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGALRM;
    g_guard_made = timer_create(CLOCK_MONOTONIC, &event, &g_guard_timer) == 0;
  });
}

void log_once(const std::string& key, const std::string& message) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (logged_keys().insert(key).second) std::fprintf(stderr, "gp2x host: %s\n", message.c_str());
}

void fail(const std::string& message) {
  std::fprintf(stderr, "gp2x host: %s\n", message.c_str());
  std::fflush(nullptr);
  _exit(2);
}

Runtime::Runtime(const Settings& s) : settings(s) {
  reset_quit_request(s.quit_guard_ms);
  fb_format.bpp = s.fb_bpp;
  fb_format.green_length = s.fb_green_length;
  fb_format.xres_virtual = s.fb_xres_virtual;
  if (fb_format.size() > kFramebufferCapacity || fb_format.xres_virtual < kScreenWidth)
    fail("framebuffer format does not fit the emulated framebuffer");
  clock.reset(s.virtual_clock, s.stall_ms);
  battery.store(s.battery);
  timer_offset.store(s.timer_start);
  registers_reset(s.mem940_fill);
  if (!s.script_path.empty()) {
    // A folder opens as a stream that reads nothing: it would pass for an empty script.
    struct stat st {};
    if (::stat(s.script_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      fail("cannot read the button script \"" + s.script_path + "\": it is a folder");
    std::ifstream in(s.script_path, std::ios::binary);
    if (!in) fail("cannot read the button script \"" + s.script_path + "\": " + std::strerror(errno));
    std::stringstream text;
    text << in.rdbuf();
    std::vector<ScriptEvent> events;
    std::string error;
    if (!parse_button_script(text.str(), &events, &error))
      fail("button script \"" + s.script_path + "\" " + error);
    input.set_script(std::move(events));
  }
  if (!s.shots_dir.empty()) {
    std::error_code made;
    std::filesystem::create_directories(s.shots_dir, made);
    struct stat st {};
    if (::stat(s.shots_dir.c_str(), &st) != 0)
      fail("cannot write screenshots to \"" + s.shots_dir + "\": " + made.message());
    if (!S_ISDIR(st.st_mode)) fail("cannot write screenshots to \"" + s.shots_dir + "\": not a folder");
    if (::access(s.shots_dir.c_str(), W_OK | X_OK) != 0)
      fail("cannot write screenshots to \"" + s.shots_dir + "\": " + std::strerror(errno));
    std::sort(settings.shot_at_ms.begin(), settings.shot_at_ms.end());
    schedule_next_shot(0);
  }
  if (!s.headless) {
    std::string error;
    frontend_ = make_sdl_window(s.scale, &error);
    if (!frontend_) fail(error);
  }
  // The sink is chosen here, on the thread that starts the layer: SDL wants its subsystems
  // started from the main thread, not from the program's sound writer.
  if (s.audio == "wav" || (s.audio.empty() && !s.wav_path.empty())) {
    std::string error;
    sink_ = make_wav_sink(s.wav_path, &error);
    if (!sink_) fail(error);
  } else if (s.audio == "sdl" || (s.audio.empty() && !s.headless)) {
    std::string error;
    sink_ = make_sdl_sink(&error);
    sound_card_ = sink_ != nullptr;
    if (!sink_) log_once("sdl audio", error + ": no sound");
  } else if (s.audio == "capture") {
    sink_ = std::make_unique<CaptureSink>();
  }
  if (!sink_) sink_ = make_null_sink();
}

AudioSink* Runtime::audio_sink() { return sink_.get(); }

Runtime::~Runtime() { devices.close_all(); }

Runtime& runtime() {
  if (Runtime* rt = g_runtime.load(std::memory_order_acquire)) return *rt;
  std::lock_guard<std::mutex> lock(g_runtime_mutex);
  if (!g_runtime.load()) {
    Settings s;
    std::string error;
    if (!settings_from_env(&s, &error)) fail(error);
    g_runtime.store(new Runtime(s), std::memory_order_release);
  }
  return *g_runtime.load();
}

void configure(const Settings& s) {
  take_quit_signals();  // a test stands for a console program
  std::lock_guard<std::mutex> lock(g_runtime_mutex);
  delete g_runtime.exchange(nullptr);
  g_runtime.store(new Runtime(s), std::memory_order_release);
}

void Runtime::tick() {
  if (!Clock::on_main_thread()) return;
  const uint64_t now = clock.now_ns();
  take_due_shots(now);
  if (settings.until_ms >= 0 && now >= static_cast<uint64_t>(settings.until_ms) * 1000000) {
    std::fprintf(stderr, "gp2x host: run ended at %lld ms\n", static_cast<long long>(settings.until_ms));
    end_run(0);
  }
  if (frontend_) {
    switch (frontend_->pump()) {
      case Frontend::Event::kQuit:
        request_quit();
        break;
      case Frontend::Event::kScreenshot: {
        char name[48];
        std::snprintf(name, sizeof name, "shot-%08llu.png", static_cast<unsigned long long>(now / 1000000));
        const std::string path = (settings.shots_dir.empty() ? std::string(".") : settings.shots_dir) + "/" + name;
        std::string error;
        if (save_screenshot(path, &error)) std::fprintf(stderr, "gp2x host: screenshot %s\n", path.c_str());
        else std::fprintf(stderr, "gp2x host: %s\n", error.c_str());
        break;
      }
      case Frontend::Event::kNone:
        break;
    }
  }
}

void Runtime::poll() {
  if (!Clock::on_main_thread()) return clock.polled();
  clock.advance(settings.poll_ns);
  tick();
}

int Runtime::shown_framebuffer() const {
  int fb = shown_fb.load();
  return fb < 0 ? 0 : fb;
}

void Runtime::frame_done() {
  if (!Clock::on_main_thread()) return;
  input.frame_done(clock.now_ns());
  if (frontend_) frontend_->present(framebuffer_memory(shown_framebuffer()), fb_format);
  second_core_nudge();
  tick();
}

void Runtime::sleep_ns(uint64_t ns) {
  clock.wait_until(clock.now_ns() + ns);
  tick();
}

void Runtime::schedule_next_shot(uint64_t after_ns) {
  uint64_t next = UINT64_MAX;
  const auto& at = settings.shot_at_ms;
  while (next_shot_at_ < at.size() && at[next_shot_at_] * 1000000ull < after_ns) ++next_shot_at_;
  if (next_shot_at_ < at.size()) next = at[next_shot_at_] * 1000000ull;
  if (settings.shot_every_ms) {
    const uint64_t every = settings.shot_every_ms * 1000000ull;
    next = std::min(next, (after_ns / every + 1) * every);
  }
  next_shot_ns_ = next;
}

void Runtime::take_due_shots(uint64_t now) {
  while (next_shot_ns_ <= now) {
    const uint64_t due = next_shot_ns_;
    char name[48];
    std::snprintf(name, sizeof name, "/shot-%08llu.png", static_cast<unsigned long long>(due / 1000000));
    std::string error;
    if (!save_screenshot(settings.shots_dir + name, &error)) fail(error);
    schedule_next_shot(due + 1);
  }
}

bool Runtime::save_screenshot(const std::string& path, std::string* error) {
  std::vector<uint8_t> rgb(kScreenWidth * kScreenHeight * 3);
  framebuffer_to_rgb(framebuffer_memory(shown_framebuffer()), fb_format, rgb.data());
  return write_png(path, rgb.data(), kScreenWidth, kScreenHeight, error);
}

void Runtime::finish() {
  if (finished_.exchange(true)) return;
  sink_->finish();
  frontend_.reset();
}

void Runtime::end_run(int code) {
  finish();
  std::fflush(nullptr);
  _exit(code);
}

// Controls of gp2x_host.h.

const Settings& settings() { return runtime().settings; }
uint64_t now_ns() { return runtime().clock.now_ns(); }
void advance_ns(uint64_t ns) {
  runtime().clock.advance(ns);
  runtime().tick();
}
void set_timer(uint32_t count) {
  Runtime& rt = runtime();
  rt.timer_offset.store(static_cast<int64_t>(count) -
                        static_cast<int64_t>(counts_in(rt.clock.now_ns(), kTimerRate) & 0xFFFFFFFFu));
}
int waiting_threads() { return runtime().clock.waiting_threads(); }
void set_buttons(uint32_t pressed) { runtime().input.set_held(pressed); }
void set_battery(uint16_t reading) { runtime().battery.store(reading); }
uint8_t* framebuffer(int index) { return framebuffer_memory(index); }
uint32_t framebuffer_phys(int index) { return framebuffer_phys_address(index); }
int shown_framebuffer() { return runtime().shown_framebuffer(); }
std::vector<uint8_t> screen_rgb() {
  Runtime& rt = runtime();
  std::vector<uint8_t> rgb(kScreenWidth * kScreenHeight * 3);
  framebuffer_to_rgb(framebuffer_memory(rt.shown_framebuffer()), rt.fb_format, rgb.data());
  return rgb;
}
uint8_t* second_core_memory() { return second_core_memory_base(); }
std::vector<RegisterWrite> second_core_writes() {
  Runtime& rt = runtime();
  std::lock_guard<std::mutex> lock(rt.control_mutex);
  return rt.control_writes;
}
void set_second_core_observer(RegisterObserver observer) {
  Runtime& rt = runtime();
  std::lock_guard<std::mutex> lock(rt.control_mutex);
  rt.control_observer = std::move(observer);
}
bool sound_card() { return runtime().sound_card(); }
CapturedAudio take_captured_audio() {
  Runtime& rt = runtime();
  CapturedAudio out;
  if (rt.settings.audio != "capture") return out;
  AudioFormat format;
  static_cast<CaptureSink*>(rt.audio_sink())->take(&format, &out.bytes);
  out.rate = format.rate;
  out.bits = format.bits;
  out.channels = format.channels;
  return out;
}

std::string recorded_chdir() {
  Runtime& rt = runtime();
  std::lock_guard<std::mutex> lock(rt.handover_mutex);
  return rt.chdir_recorded;
}

}  // namespace gp2x::host
