// ClassZolt: the Zolt application framework. An application derives from it and overrides
// the virtual hooks; the framework owns every engine service, publishes them through one
// context record (ZCD), runs start-up in a fixed order, keeps the application status and
// runs the frame loop on the program thread:
//
//   virtual clock, frame-rate lock, frame-rate sample, network polling, key repeat,
//   OnNextFrame, input events cleared, button poll, Flip.
//
// Status values: 0 running, 1 paused, 2 minimised, 3 starting or stopped, 4 quit
// requested, 255 ended. Start-up hooks (OnCreate, OnInit, OnPluginLoad, OnDisplayInit)
// return 0 to go on; any other value stops start-up with that value.
//
// Times and sleeps go through the engine's clock (zmod_platform.h), devices through the
// handles of HandleDevicePtr (engine/core/zmod_devptr.h); a program without a register
// window reads no buttons.
#pragma once

#include <cstdint>

#include "engine/core/zmod_console.h"
#include "engine/core/zmod_device.h"
#include "engine/core/zmod_file.h"
#include "engine/core/zmod_ini.h"
#include "engine/core/zmod_input.h"
#include "engine/core/zmod_math.h"
#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_vtimer.h"
#include "engine/core/zolt_records.h"
#include "engine/graphics/zdsp_base.h"

enum : uint8_t {
  ZSTATUS_RUNNING = 0,
  ZSTATUS_PAUSED = 1,
  ZSTATUS_MINIMIZED = 2,
  ZSTATUS_STOPPED = 3,
  ZSTATUS_QUIT = 4,
  ZSTATUS_ENDED = 255,
};

enum : uint32_t { ZOLT_ERRORSIZE = 256 };  // 16-bit characters, terminator included

// Settings of the tilt emulator; kept, nothing on this device reads them.
struct ZTILTSETTINGS {
  int32_t x;
  int32_t y;
  uint8_t active;
  uint32_t value1;
  uint8_t flag2;
  uint32_t value2;
};

class ClassZolt {
 public:
  // Copies the start-up record (null: "Untitled", the working folder, no command line).
  explicit ClassZolt(const ZOLTDATA* data = nullptr);
  // Deletes the connection objects, closes the display, then the services go in the reverse
  // order of their construction.
  virtual ~ClassZolt();
  ClassZolt(const ClassZolt&) = delete;
  ClassZolt& operator=(const ClassZolt&) = delete;

  // --- hooks ------------------------------------------------------------------------------
  virtual int OnCreate(ZOLTCONFIG* config, ZOLTDATA* data);
  virtual int OnInit(int startvalue);
  virtual int OnMinimize();
  virtual int OnRestore();
  virtual int OnPluginLoad(ClassZDisplay* display);
  virtual int OnDisplayInit(int startvalue, ClassZDisplay* display);
  // ms: the frame's virtual milliseconds.
  virtual int OnNextFrame(ClassZDisplay* display, uint32_t ms);
  virtual void OnExit(int startvalue);
  virtual void OnButtonDown(uint32_t code, ZBUTTONLIST* list);
  virtual void OnButtonUp(uint32_t code, ZBUTTONLIST* list);
  virtual void OnWheel(int32_t steps);
  virtual void OnStylusUp(tagPOINT point);
  virtual void OnStylusDown(tagPOINT point);
  virtual void OnStylusDouble(tagPOINT point);
  virtual void OnStylusMove(tagPOINT point);
  virtual void OnDeviceTilt(int32_t x, int32_t y);
  virtual int OnMessage(int* window, uint32_t message, int32_t wparam, int32_t lparam);

  // Receives the net messages of a connection that has no capture attached, and always
  // message 255 (request about to be sent). data is valid only during the call.
  virtual void OnNetMessage(uint8_t connectID, int32_t client, int32_t type, int32_t len,
                            uint8_t* data) {
    (void)connectID; (void)client; (void)type; (void)len; (void)data;
  }

  // The window handle; always null on this device.
  int* GetWnd() { return nullptr; }

  // --- running ----------------------------------------------------------------------------
  // Runs the application to its end; the start-up result stays in the error text.
  ClassZolt* Start();
  // Start-up, the frame loop while the status is 0-2, shut-down. 0 after a normal end,
  // else the first non-zero start-up result (status then stays 3, OnExit is not called).
  int StartFramework(int unused = 0);
  // Validates the configuration: 0, or 1 with the message in the error text.
  int Check();
  // One pass of the frame loop (or a 100 ms idle sleep when not running).
  int MainLoop(bool unused = false);
  // Sleeps whole milliseconds so that frames start 1000000 / fps microseconds apart on
  // average; a late frame is never made up.
  void LockFPS();
  // The frame-rate sample step alone.
  void CalculateFPS();
  // Polls the buttons and raises OnButtonDown / OnButtonUp and the input events.
  void CheckInput();
  // The status machine; requests the table does not allow are ignored.
  void ChangeAppStatus(uint8_t status);
  uint8_t GetAppStatus() const { return status; }
  // Ends the loop after the current frame.
  int Quit();
  void Minimize() {}
  void SmartFPS() {}
  // Measured frames per second: whole and hundredths.
  void GetFPS(uint32_t& whole, uint32_t& hundredths) const;
  uint32_t GetFPS() const { return fps100 / 100; }

  // Start-up steps 1-3 alone: counters, window, status 3, context, default configuration,
  // button state.
  void Init();
  void SetButtonList();

  // --- messages and log -------------------------------------------------------------------
  void SetErrorMsg(const char* text);
  void SetErrorMsg(const uint16_t* text);
  const uint16_t* GetErrorMsg() const { return errortext; }
  // Status-line hook; no status line on this device.
  void SetStatusMsg(const char*) {}
  void SetStatusMsg(const uint16_t*) {}
  void StartTiltEmulator(int16_t x, int16_t y, bool active, uint32_t value1, bool flag2,
                         uint32_t value2);
  // Creates (or empties) "log.txt" in the application folder.
  void NewLogFile();
  // Appends text (at most 0x4000 characters) and, with newline, CR LF to "log.txt".
  void Log(const char* text, bool newline = true);
  void Log(const uint16_t* text, bool newline = true);

  // --- state ------------------------------------------------------------------------------
  ZCD zcd;
  ZOLTDATA* zoltdata;  // the copy below
  int* window;
  ZBUTTONLIST buttonlist;
  ZTILTSETTINGS tilt;
  ZOLTCONFIG config;
  ZOLTDATA data;

  // Services, constructed in this order and destroyed in the reverse order.
  ClassZDisplay display;
  ClassZInput input;
  ClassZMemory memory;
  ClassZVTimer vtimer;
  ClassZMath math;
  ClassZFile file;
  ClassZIni ini;
  ClassZConsole console;
  ClassZDevice device;

  ClassZConnect* connect[ZCD_CONNECTIONS];

 protected:
  uint16_t errortext[ZOLT_ERRORSIZE];
  uint32_t buttonstate;  // pressed word of the previous poll; all set before the first
  uint32_t fps100;       // measured frames per second times 100
  uint32_t framecount;   // frames since the last sample
  uint32_t lastsample;   // ms of the last sample
  uint32_t locktarget;   // microseconds
  uint32_t lockremainder;
  uint32_t lockelapsed;  // microseconds
  uint8_t status;
  uint32_t reservedword;  // what the context's reserved pointer refers to

 private:
  // The log file's full name: the application folder and "log.txt".
  bool LogFileName(uint16_t* out, uint32_t size) const;
};
