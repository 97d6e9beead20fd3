// The small records every part of the engine and the application share: rectangles and
// points, the start-up record, the configuration record, the engine context and the button
// list. They are plain data; the framework owns one instance of each.
#pragma once

#include <cstdint>

class ClassZDisplay;
class ClassZInput;
class ClassZVTimer;
class ClassZFile;
class ClassZIni;
class ClassZMemory;
class ClassZMath;
class ClassZDevice;
class ClassZConsole;
class ClassZConnect;

// ---------------------------------------------------------------------------------------
// Rectangles and points. Right and bottom are exclusive: a rectangle is empty when
// left >= right or top >= bottom.

struct tagRECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct tagPOINT {
  int32_t x;
  int32_t y;
};

// Stores the four values into rect and returns it.
tagRECT* SetRect(tagRECT* rect, int32_t left, int32_t top, int32_t right, int32_t bottom);

// 1 and (when out is not null) the overlap of a and b in out; 0 when either is null or
// empty or when they do not overlap (touching along a side is no overlap), out untouched.
int RectIntersect(const tagRECT* a, const tagRECT* b, tagRECT* out);

// 1 when left <= x < right and top <= y < bottom; 0 otherwise or for a null pointer.
int InRect(const tagRECT* rect, const tagPOINT* point);

// ---------------------------------------------------------------------------------------
// Start-up record, filled by the program entry and copied whole into the framework.

enum : uint32_t {
  ZOLTDATA_NAMESIZE = 256,      // 16-bit characters, terminator included
  ZOLTDATA_FOLDERSIZE = 512,    // 16-bit characters, terminator included
  ZOLTDATA_COMMANDSIZE = 4108,  // bytes, terminator included
};

struct ZOLTDATA {
  uint32_t reserved;
  int32_t startvalue;  // handed unchanged to OnInit, OnDisplayInit and OnExit
  uint16_t name[ZOLTDATA_NAMESIZE];
  uint16_t folder[ZOLTDATA_FOLDERSIZE];  // ends in "/"; holds the log file
  char commandline[ZOLTDATA_COMMANDSIZE];
};

// Clears data and fills it as the program entry does: the name (null: "Untitled"), the
// working folder with "/" appended and the command line (null: empty). A working folder
// that cannot be read or does not fit becomes "/"; a longer name or command line is cut
// to its field.
void ZRecord_StartData(ZOLTDATA* data, const char* name, const char* commandline);

// ---------------------------------------------------------------------------------------
// Configuration record: the framework writes its defaults, the application changes them
// in OnCreate. Reserved fields are numbered by their position in the record.

enum : uint32_t {
  ZCONFIG_NOFLIP = 0x01,    // the framework does not flip after a frame
  ZCONFIG_VBLANK = 0x04,    // Flip waits for the vertical blank
  ZCONFIG_NOFONT = 0x08,    // the display creates no built-in font
  ZCONFIG_BACKFLIP = 0x10,  // the display copies the screen into the back buffer at open
  ZCONFIG_NOTILT = 0x20,    // no tilt-emulator defaults at start
};

struct ZOLTCONFIG {
  uint32_t reserved1;         // 0
  uint32_t reserved2;         // 0
  uint32_t fps;               // 60; 0 = no lock; 1-4 refused by the framework's check
  uint32_t flags;             // ZCONFIG_* bits, 0
  uint32_t width;             // 240
  uint32_t height;            // 320
  uint32_t reserved7;         // 0
  uint32_t reserved8;         // 0
  uint8_t depth;              // 32, given to the display's Open
  uint8_t backbufferformat;   // 32 = the framebuffer's format
  uint8_t rotation;           // 0-3, 4 = the system's rotation
  uint8_t connections;        // 1, at most 16
  uint8_t reserved13;         // 0
  uint8_t reserved14;         // 0
  uint8_t surfaceflags;       // 1; the display keeps the low nibble
  uint8_t shortsleep;         // 1: a frame needing no wait still sleeps 1 ms
  uint8_t reserved17;         // 1
  uint8_t reserved18;         // 1
  uint8_t reserved19;         // 1
  uint8_t fullscreen;         // 1
  uint8_t reserved21;         // 0
  uint8_t reserved22;         // 1
  uint8_t pauseidles;         // 1: status "paused" suspends the display and idles
  uint8_t reserved24;         // 1
};

// Writes the framework's defaults (the values in the comments above).
void ZRecord_ConfigDefaults(ZOLTCONFIG* config);

// ---------------------------------------------------------------------------------------
// Engine context: every engine object reaches the framework's services through it.

enum : uint32_t { ZCD_CONNECTIONS = 16 };

struct ZCD {
  uint32_t* reserved;  // a framework word; nothing reads it
  ClassZDisplay* display;
  ClassZInput* input;
  ClassZVTimer* vtimer;
  ClassZFile* file;
  ClassZIni* ini;
  ClassZMemory* memory;
  ClassZMath* math;
  ClassZDevice* device;
  ClassZConsole* console;
  ClassZConnect* connect[ZCD_CONNECTIONS];  // null when not created
  ZOLTCONFIG* config;
};

// ---------------------------------------------------------------------------------------
// Buttons. A button code is its bit index in the framework's button word plus one; 0 means
// no button.

enum : uint32_t {
  ZBUTTON_NONE = 0,
  ZBUTTON_UP = 1,
  ZBUTTON_UPLEFT = 2,
  ZBUTTON_LEFT = 3,
  ZBUTTON_DOWNLEFT = 4,
  ZBUTTON_DOWN = 5,
  ZBUTTON_DOWNRIGHT = 6,
  ZBUTTON_RIGHT = 7,
  ZBUTTON_UPRIGHT = 8,
  ZBUTTON_START = 9,
  ZBUTTON_SELECT = 10,
  ZBUTTON_L = 11,
  ZBUTTON_R = 12,
  ZBUTTON_A = 13,
  ZBUTTON_B = 14,
  ZBUTTON_X = 15,
  ZBUTTON_Y = 16,
  ZBUTTON_VOLDOWN = 23,
  ZBUTTON_VOLUP = 24,
  ZBUTTON_STICK = 28,
};

// Positions in ZBUTTONLIST::button.
enum : uint32_t {
  ZBUTTONLIST_A = 0,
  ZBUTTONLIST_B = 1,
  ZBUTTONLIST_X = 2,
  ZBUTTONLIST_START = 3,
  ZBUTTONLIST_UP = 4,  // entries 4-7 are the four directions the display turns
  ZBUTTONLIST_DOWN = 5,
  ZBUTTONLIST_LEFT = 6,
  ZBUTTONLIST_RIGHT = 7,
  ZBUTTONLIST_EXTRA1 = 8,
  ZBUTTONLIST_EXTRA2 = 9,
  ZBUTTONLIST_L = 10,
  ZBUTTONLIST_R = 11,
  ZBUTTONLIST_SIZE = 31,
};

struct ZBUTTONLIST {
  uint32_t button[ZBUTTONLIST_SIZE];
};

// Writes the list as it stands after start-up (A, B, X, Start, up, down, left, right,
// two empty extra directions, L, R, the rest 0).
void ZRecord_ButtonDefaults(ZBUTTONLIST* list);
