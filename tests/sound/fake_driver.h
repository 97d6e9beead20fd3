// A stand-in output driver for the speaker's tests: no device, and the test decides when
// the callback runs (pump) or lets a thread of its own call it continuously.
#pragma once

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "sound/qssSpeaker.h"

struct FakeDriver : qssDriver {
  AudioSpec spec{};
  uint32_t samples = 0;
  qssAudioCallback callback = nullptr;
  void* user = nullptr;
  bool opened = false;
  std::atomic<bool> suspended{true};
  int openResult = 0;
  std::recursive_mutex lock;
  std::thread thread;
  std::atomic<bool> quit{false};
  std::atomic<long> calls{0};
  bool threaded = false;
  std::atomic<int>* deleted = nullptr;

  ~FakeDriver() override {
    close();
    if (deleted) ++*deleted;
  }
  int open(AudioSpec* s, uint32_t n, qssAudioCallback cb, void* u) override {
    if (opened) return -2;
    if (openResult != 0) return openResult;
    spec = *s;
    samples = n;
    callback = cb;
    user = u;
    opened = true;
    suspended = false;
    if (threaded) thread = std::thread([this] {
        std::vector<unsigned char> buffer(1024);
        while (!quit) {
          if (suspended) {
            std::this_thread::yield();
            continue;
          }
          {
            std::lock_guard<std::recursive_mutex> hold(lock);
            callback(user, buffer.data(), static_cast<int>(buffer.size()));
          }
          ++calls;
          // A real writer waits on the device here, which lets the game thread in; a yield
          // alone can starve it of the lock.
          std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
      });
    return 0;
  }
  int close() override {
    if (!opened) return -3;
    quit = true;
    if (thread.joinable()) thread.join();
    opened = false;
    return 0;
  }
  void enterCriticalSection() override { lock.lock(); }
  void leaveCriticalSection() override { lock.unlock(); }
  void suspend() override { suspended = true; }
  void resume() override { suspended = false; }

  // Runs the callback once over `bytes` bytes, as the writer would.
  std::vector<unsigned char> pump(int bytes) {
    std::vector<unsigned char> buffer(static_cast<size_t>(bytes), 0xEE);
    std::lock_guard<std::recursive_mutex> hold(lock);
    callback(user, buffer.data(), bytes);
    ++calls;
    return buffer;
  }
};

// A speaker whose driver is a FakeDriver (configured before open through `next`).
struct FakeSpeaker : qssSpeaker {
  FakeDriver* fake = nullptr;
  bool threaded = false;
  int openResult = 0;
  bool noDriver = false;
  std::atomic<int> driversDeleted{0};

  ~FakeSpeaker() override { close(); }
  qssDriver* createDriver() override {
    if (noDriver) return nullptr;
    fake = new FakeDriver;
    fake->threaded = threaded;
    fake->openResult = openResult;
    fake->deleted = &driversDeleted;
    return fake;
  }
  std::vector<unsigned char> pump(int bytes) { return fake->pump(bytes); }
  // Output frames as 16-bit values (16-bit output).
  std::vector<int16_t> pump16(int frames) {
    int channels = stereo ? 2 : 1;
    auto b = pump(frames * channels * 2);
    std::vector<int16_t> v(b.size() / 2);
    memcpy(v.data(), b.data(), b.size());
    return v;
  }
};
