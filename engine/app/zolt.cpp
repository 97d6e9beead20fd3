#include "engine/app/zolt.h"

#include <cstring>

#include "engine/core/zmod_devptr.h"
#include "engine/core/zmod_platform.h"
#include "engine/core/zmod_std.h"
#include "engine/net/zmod_connect.h"
#include "seam/gp2x_seam.h"

namespace {

// Button registers in the register window (byte offsets of 16-bit registers, a pressed
// button reads 0).
enum : uint32_t {
  kRegStick = 0x1198,    // low byte: the eight stick contacts
  kRegButtons = 0x1184,  // high byte: Start, Select, L, R, A, B, X, Y
  kRegExtra = 0x1186,    // volume down, volume up, stick push
};

enum : uint32_t {
  kIdleMicros = 100000,       // one pass while paused or minimised
  kShortSleepMicros = 1000,
  kLockWrap = 10000000,       // the lock's clocks are kept below ten seconds
  kSampleMs = 500,
};

uint16_t ReadRegister(uint32_t offset) {
  const volatile uint8_t* window = reinterpret_cast<const volatile uint8_t*>(zdevicereg_ptr16);
  return gp2x::peek16(window + offset);
}

// A single diagonal contact closes the two directions beside it.
uint32_t SplitDiagonal(uint32_t stick) {
  switch (stick) {
    case 0xFD: return 0xFA;  // up-left: up and left
    case 0xF7: return 0xEB;  // down-left: left and down
    case 0xDF: return 0xAF;  // down-right: down and right
    case 0x7F: return 0xBE;  // up-right: right and up
    default: return stick;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Construction

ClassZolt::ClassZolt(const ZOLTDATA* startdata)
    : zcd{}, zoltdata(&data), window(nullptr), buttonlist{}, tilt{}, config{}, data{},
      connect{}, errortext{}, buttonstate(0xFFFFFFFFu), fps100(0), framecount(0),
      lastsample(0), locktarget(0), lockremainder(0), lockelapsed(0),
      status(ZSTATUS_STOPPED), reservedword(0) {
  if (startdata)
    std::memcpy(&data, startdata, sizeof data);
  else
    ZRecord_StartData(&data, nullptr, nullptr);
  Init();
}

ClassZolt::~ClassZolt() {
  for (ClassZConnect*& c : connect) {
    delete c;
    c = nullptr;
  }
  // The surfaces allocate from the memory service, which goes before the display does.
  display.Close();
  display.FreeSurfaces();
}

void ClassZolt::Init() {
  locktarget = lockremainder = lockelapsed = 0;
  fps100 = framecount = lastsample = 0;
  window = nullptr;
  ChangeAppStatus(ZSTATUS_STOPPED);
  zcd.reserved = &reservedword;
  zcd.display = &display;
  zcd.input = &input;
  zcd.vtimer = &vtimer;
  zcd.file = &file;
  zcd.ini = &ini;
  zcd.memory = &memory;
  zcd.math = &math;
  zcd.device = &device;
  zcd.console = &console;
  for (uint32_t i = 0; i < ZCD_CONNECTIONS; ++i) zcd.connect[i] = nullptr;
  zcd.config = &config;
  ZRecord_ConfigDefaults(&config);
  tilt = ZTILTSETTINGS{};
  buttonstate = 0xFFFFFFFFu;
}

void ClassZolt::SetButtonList() { ZRecord_ButtonDefaults(&buttonlist); }

// ---------------------------------------------------------------------------------------
// Default hooks

int ClassZolt::OnCreate(ZOLTCONFIG*, ZOLTDATA*) { return 0; }
int ClassZolt::OnInit(int) { return 0; }
int ClassZolt::OnMinimize() { return 0; }
int ClassZolt::OnRestore() { return 0; }
int ClassZolt::OnPluginLoad(ClassZDisplay*) { return 0; }
int ClassZolt::OnDisplayInit(int, ClassZDisplay*) { return 0; }
int ClassZolt::OnNextFrame(ClassZDisplay*, uint32_t) { return 0; }
void ClassZolt::OnExit(int) {}
void ClassZolt::OnButtonDown(uint32_t, ZBUTTONLIST*) {}
void ClassZolt::OnButtonUp(uint32_t, ZBUTTONLIST*) {}
void ClassZolt::OnWheel(int32_t) {}
void ClassZolt::OnStylusUp(tagPOINT) {}
void ClassZolt::OnStylusDown(tagPOINT) {}
void ClassZolt::OnStylusDouble(tagPOINT) {}
void ClassZolt::OnStylusMove(tagPOINT) {}
void ClassZolt::OnDeviceTilt(int32_t, int32_t) {}
int ClassZolt::OnMessage(int*, uint32_t, int32_t, int32_t) { return 0; }

// ---------------------------------------------------------------------------------------
// Start-up and the frame loop

ClassZolt* ClassZolt::Start() {
  StartFramework(0);
  return this;
}

int ClassZolt::StartFramework(int) {
  Init();
  int result = OnCreate(&config, &data);
  if (result) return result;

  if (config.connections > ZCD_CONNECTIONS) config.connections = ZCD_CONNECTIONS;
  for (uint32_t i = 0; i < config.connections; ++i) {
    if (!connect[i]) connect[i] = new ClassZConnect();
    connect[i]->SetConnectID(uint8_t(i));
    zcd.connect[i] = connect[i];
  }

  result = Check();
  if (result) return result;
  if (config.rotation == 1 || config.rotation == 3) {
    const uint32_t w = config.width;
    config.width = config.height;
    config.height = w;
  }
  SetButtonList();

  RegisterDisplayLoaders(&display);
  result = OnPluginLoad(&display);
  if (result) return result;

  result = display.Open(window, &zcd, config.depth, config.width, config.height, true);
  switch (result) {
    case 0: break;
    case 4: SetErrorMsg("Display has received invalid parameters"); break;
    case 3: SetErrorMsg("The requested display mode is not supported by the hardware"); break;
    case 1: SetErrorMsg("Couldn't open the display device"); break;
    default: break;
  }
  if (result) return result;

  SetStatusMsg("Initializing application...");
  math.Init();
  input.SetDefaultMappings();
  result = OnInit(data.startvalue);
  SetStatusMsg("Initializing display...");
  if (!result) result = OnDisplayInit(data.startvalue, &display);
  vtimer.Reset();
  vtimer.SetSpeed(ClassZVTimer::REALTIME);
  if (result) return result;

  SetStatusMsg("Running Zolt...");
  ChangeAppStatus(ZSTATUS_RUNNING);
  if (!(config.flags & ZCONFIG_NOTILT)) StartTiltEmulator(0, 675, true, 7000, false, 3000);

  while (status <= ZSTATUS_MINIMIZED) {
    // The system asks the program to end (SIGTERM, or the PC's window closed): it leaves
    // the way the game's own quit does, so OnExit still keeps what it saves.
    if (gp2x::quit_requested()) Quit();
    else MainLoop(false);
  }
  ChangeAppStatus(ZSTATUS_ENDED);
  return 0;
}

int ClassZolt::Check() {
  if (config.rotation == 4) config.rotation = display.GetSystemRotation();
  const char* refusal = nullptr;
  if (config.rotation > 3)
    refusal = "Unknown display rotation";
  else if (config.width % 4)
    refusal = "Wrong display size: width not divisible by 4";
  else if (config.height % 4)
    refusal = "Wrong display size: height not divisible by 4";
  else if (config.width < 10 || config.height < 10 || config.width > 2000 || config.height > 2000)
    refusal = "Obscure display sizes not supported";
  else if (config.fps >= 1 && config.fps <= 4)
    refusal = "Locking FPS below 5 is disabled";
  if (refusal) {
    SetErrorMsg(refusal);
    return 1;
  }
  config.fullscreen = 1;
  return 0;
}

int ClassZolt::MainLoop(bool) {
  const bool runs = status == ZSTATUS_RUNNING || (status == ZSTATUS_PAUSED && !config.pauseidles);
  if (!runs) {
    ZPlatform_Sleep(kIdleMicros);
    return 0;
  }
  vtimer.SetSpeed(ClassZVTimer::REALTIME);
  vtimer.Update();
  LockFPS();
  CalculateFPS();

  // The count is read again after every call: a hook may change it. Only 16 slots exist.
  for (uint32_t i = 0; i < config.connections && i < ZCD_CONNECTIONS; ++i)
    if (connect[i]) connect[i]->CheckSockets(window);

  const uint32_t delta = vtimer.RetrieveDelta();
  input.CheckRepeat(delta);
  OnNextFrame(&display, delta);
  input.ResetEvents();
  CheckInput();
  if (!(config.flags & ZCONFIG_NOFLIP)) display.Flip(false);
  return 0;
}

void ClassZolt::LockFPS() {
  uint32_t wait = config.shortsleep ? uint32_t(kShortSleepMicros) : 0u;
  if (config.fps == 0) {
    locktarget = lockelapsed;
  } else {
    lockelapsed += vtimer.RetrieveDelta() * 1000u;
    const uint32_t n = lockremainder + 1000000u;
    locktarget += n / config.fps;
    lockremainder = n % config.fps;
    if (locktarget <= lockelapsed) {
      locktarget = lockelapsed;
    } else {
      const uint32_t gap = (locktarget - lockelapsed) / 1000u;
      if (gap > 0) wait = gap * 1000u;
    }
  }
  ZPlatform_Sleep(wait);
  if (lockelapsed >= kLockWrap && locktarget >= kLockWrap) {
    lockelapsed %= kLockWrap;
    locktarget %= kLockWrap;
  }
}

void ClassZolt::CalculateFPS() {
  const uint32_t now = ClassZRTimer::Count();
  const uint32_t span = now - lastsample;
  if (span > kSampleMs) {
    // Wide: an unlocked loop can count more frames than 32 bits allow after * 100000.
    fps100 = uint32_t(uint64_t(framecount) * 100000u / span);
    lastsample = now;
    framecount = 0;
  }
  ++framecount;
}

void ClassZolt::GetFPS(uint32_t& whole, uint32_t& hundredths) const {
  whole = fps100 / 100;
  hundredths = fps100 % 100;
}

void ClassZolt::CheckInput() {
  uint32_t pressed = 0;
  // Without a register window nothing is pressed.
  if (zdevicereg_ptr16) {
    const uint32_t stick = SplitDiagonal(ReadRegister(kRegStick) & 0xFFu);
    const uint32_t word = stick | (ReadRegister(kRegButtons) & 0xFF00u) |
                          (uint32_t(ReadRegister(kRegExtra)) << 16);
    pressed = ~word;
  }
  const uint32_t before = buttonstate;
  buttonstate = pressed;
  for (uint32_t bit = 0; bit < 32; ++bit) {
    const uint32_t mask = 1u << bit;
    const bool now = pressed & mask, was = before & mask;
    if (now == was) continue;
    uint32_t code = bit + 1;
    display.VirtualDPad(code, &buttonlist);
    if (now) {
      OnButtonDown(code, &buttonlist);
      input.OnKeyDown(code);
    } else {
      OnButtonUp(code, &buttonlist);
      input.OnKeyUp(code);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Status

void ClassZolt::ChangeAppStatus(uint8_t next) {
  const uint8_t old = status;
  switch (next) {
    case ZSTATUS_RUNNING:
      if (old == ZSTATUS_PAUSED || old == ZSTATUS_MINIMIZED) {
        status = next;
        display.Resume();
        input.ResetState();
        if (old == ZSTATUS_MINIMIZED || config.pauseidles) {
          vtimer.Resume();
          OnRestore();
        }
      } else if (old == ZSTATUS_STOPPED) {
        status = next;
      }
      break;
    case ZSTATUS_PAUSED:
      if (old == ZSTATUS_RUNNING) {
        status = next;
        if (config.pauseidles) {
          // The pause is left out of virtual time, as a minimise is.
          vtimer.Suspend();
          display.Suspend();
        }
      }
      break;
    case ZSTATUS_MINIMIZED:
      if (old == ZSTATUS_RUNNING || old == ZSTATUS_PAUSED) {
        status = next;
        OnMinimize();
        vtimer.Suspend();
        display.Suspend();
      }
      break;
    case ZSTATUS_STOPPED:
      status = next;
      break;
    case ZSTATUS_QUIT:
      if (old <= ZSTATUS_STOPPED) status = next;
      break;
    case ZSTATUS_ENDED:
      if (old == ZSTATUS_QUIT) {
        status = next;
        OnExit(data.startvalue);
        display.Close();
      } else if (old == ZSTATUS_STOPPED) {
        status = next;
      }
      break;
    default:
      break;
  }
}

int ClassZolt::Quit() {
  ChangeAppStatus(ZSTATUS_QUIT);
  return 0;
}

// ---------------------------------------------------------------------------------------
// Messages and log

void ClassZolt::SetErrorMsg(const char* text) {
  errortext[0] = 0;
  if (text) ClassZStd::StrCpy(errortext, text, ZOLT_ERRORSIZE);
}

void ClassZolt::SetErrorMsg(const uint16_t* text) {
  errortext[0] = 0;
  if (text) ClassZStd::StrCpy(errortext, text, ZOLT_ERRORSIZE);
}

void ClassZolt::StartTiltEmulator(int16_t x, int16_t y, bool active, uint32_t value1, bool flag2,
                                  uint32_t value2) {
  tilt.x = int32_t(x) * 32;
  tilt.y = int32_t(y) * 32;
  tilt.active = active;
  tilt.value1 = value1;
  tilt.flag2 = flag2;
  tilt.value2 = value2;
}

bool ClassZolt::LogFileName(uint16_t* out, uint32_t size) const {
  static const char kName[] = "log.txt";
  const uint32_t folder = ClassZStd::StrLen(data.folder, ZOLTDATA_FOLDERSIZE - 1);
  if (folder + sizeof kName > size) return false;
  ClassZStd::StrCpy(out, data.folder, int32_t(folder + 1));
  ClassZStd::StrCpy(out + folder, kName, int32_t(sizeof kName));
  return true;
}

void ClassZolt::NewLogFile() {
  uint16_t name[ZOLTDATA_FOLDERSIZE + 8];
  if (!LogFileName(name, ZOLTDATA_FOLDERSIZE + 8)) return;
  ClassZFile log;
  if (log.New(name)) log.Close();
}

void ClassZolt::Log(const char* text, bool newline) {
  uint16_t name[ZOLTDATA_FOLDERSIZE + 8];
  if (!text || !LogFileName(name, ZOLTDATA_FOLDERSIZE + 8)) return;
  ClassZFile log;
  if (!log.Open(name, ZFILE_MODE_UPDATE) && !log.New(name)) return;
  log.Seek(log.Size());
  const uint32_t length = ClassZStd::StrLen(text, ZSTD_MAXLEN);
  if (length) log.Write(text, length);
  if (newline) log.Write("\r\n", 2);
  log.Close();
}

void ClassZolt::Log(const uint16_t* text, bool newline) {
  if (!text) return;
  const uint32_t length = ClassZStd::StrLen(text, ZSTD_MAXLEN);
  char small[256];
  char* narrow = small;
  if (length >= sizeof small) {
    narrow = static_cast<char*>(ClassZMemory::Alloc(length + 1));
    // Without memory the first 255 characters still go in.
    if (!narrow) narrow = small;
  }
  const uint32_t room = narrow == small ? sizeof small : length + 1;
  ClassZStd::StrCpy(narrow, text, int32_t(room));
  Log(narrow, newline);
  if (narrow != small) ClassZMemory::DeAlloc(narrow);
}
