// A FIFO made where a test expects the code to refuse it, and a guard that keeps a wrong
// answer from hanging the test: when the code is still stuck after a while (in the open,
// which waits for the other end, or in a read or write), the guard opens the other end,
// closes its writing side so that a reader sees the end, and drains what a writer sends.
// The test then ends in about a second however wrong the code is, and fails on Rescued()
// (or on what the code made of an empty FIFO, for a program run in a process of its own).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

class FifoGuard {
 public:
  explicit FifoGuard(std::string path, std::chrono::milliseconds patience = std::chrono::milliseconds(1000))
      : path_(std::move(path)) {
    made_ = ::mkfifo(path_.c_str(), 0644) == 0;
    // A writer that outlives the guard must get an error rather than end the test program.
    ::signal(SIGPIPE, SIG_IGN);
    guard_ = std::thread([this, patience] { Watch(patience); });
  }
  ~FifoGuard() {
    stop_ = true;
    guard_.join();
  }
  FifoGuard(const FifoGuard&) = delete;
  FifoGuard& operator=(const FifoGuard&) = delete;

  bool Made() const { return made_; }
  // Whether the code under test had to be let go: it waited on the FIFO.
  bool Rescued() const { return rescued_; }

 private:
  void Watch(std::chrono::milliseconds patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    while (!stop_ && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // A FIFO the code set aside under another name has nobody waiting on it here.
    struct stat st;
    if (stop_ || !made_ || ::lstat(path_.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) return;
    // Neither open blocks. The writing end opens only when the code holds a reading end,
    // and closing it again gives that reader the end of the data; the reading end lets a
    // writer stuck in its open go on.
    const int writer = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    char sink[4096];
    const ssize_t first = reader >= 0 ? ::read(reader, sink, sizeof sink) : 0;
    // Without a writing end of ours, data or a wait for it means the code holds one.
    rescued_ = writer >= 0 || first > 0 || (first < 0 && errno == EAGAIN);
    if (writer >= 0) ::close(writer);
    while (!stop_) {
      if (reader < 0 || ::read(reader, sink, sizeof sink) <= 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (reader >= 0) ::close(reader);
  }

  std::string path_;
  bool made_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> rescued_{false};
  std::thread guard_;
};
