// The real-time millisecond clock and the framework's virtual clock. All times are
// unsigned 32-bit milliseconds that wrap; differences are unsigned, so a wrap between two
// samples still gives the right delta.
#pragma once

#include <cstdint>

// Real time: a millisecond counter and a two-sample stopwatch.
class ClassZRTimer {
 public:
  // Milliseconds now (seconds * 1000 + microseconds / 1000 of the time of day), wrapping.
  static uint32_t Count();
  // a - b in wrapping 32-bit arithmetic.
  static uint32_t Delta(uint32_t a, uint32_t b);

  // previous = now; now = Count().
  void Update();
  // now - previous.
  uint32_t RetrieveDelta() const;

 private:
  uint32_t now_ = 0;
  uint32_t previous_ = 0;
};

// Virtual time: follows real time at a speed in thousandths (1000 = real time), carries
// fractions of a millisecond between advances and leaves suspended time out.
class ClassZVTimer {
 public:
  enum : uint32_t { REALTIME = 1000 };

  // Starts virtual time at 0 from the real time now (or ms) and resumes the clock.
  void Reset();
  void Reset(uint32_t ms);
  // Virtual thousandths of a millisecond per real millisecond; 0 freezes the clock.
  void SetSpeed(uint32_t speed);
  // Advances by the real time elapsed since the last advance (now, or ms as "now").
  void Update();
  void Update(uint32_t ms);
  // Advances by ms real milliseconds without moving the real-time mark.
  void Increase(uint32_t ms);
  // Virtual milliseconds since the last Reset.
  uint32_t RetrieveTime() const;
  // Virtual milliseconds of the latest advance (0 while suspended).
  uint32_t RetrieveDelta() const;
  // While suspended, advances give 0; Resume restarts counting from now (or ms).
  void Suspend();
  void Resume();
  void Resume(uint32_t ms);

 private:
  void UpdateTo(uint32_t ms, uint32_t realnow);
  void Advance(uint32_t elapsed);

  uint8_t suspended_ = 0;
  uint32_t start_ = 0;
  uint32_t lastreal_ = 0;
  uint32_t remainder_ = 0;  // 0..999 thousandths of a virtual millisecond
  uint32_t speed_ = REALTIME;
  uint32_t previousvirtual_ = 0;
  uint32_t virtual_ = 0;
  uint32_t realnow_ = 0;
  uint32_t realprevious_ = 0;
};
