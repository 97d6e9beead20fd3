// Input mapping: device key codes drive application action codes (0..223) through a
// many-to-many table of mappings. The framework feeds key presses and releases, advances
// key repeat once a frame and empties the event queue after each frame; the application
// reads events per action, held actions and key names in between.
//
// Click buttons 0..3 share the hold and event tables with the actions as entries
// 224..227. Clicks, wheel, tilt and typed characters have no source on this device; the
// calls that take them exist for platforms that have one.
#pragma once

#include <cstdint>
#include <initializer_list>

struct ZCD;

struct Z_INPUTEVENT {
  int32_t x;      // pointer position when queued
  int32_t y;
  uint8_t type;   // ZINPUT_DOWN, _DOUBLE, _REPEAT or _UP
  uint8_t code;   // action code; 224 + button for clicks while queued
};

enum : uint8_t { ZINPUT_DOWN = 1, ZINPUT_DOUBLE = 2, ZINPUT_REPEAT = 3, ZINPUT_UP = 4 };

constexpr uint32_t ZINPUT_EVENTS = 32;
constexpr uint32_t ZINPUT_MAPPINGS = 128;
constexpr uint32_t ZINPUT_STATES = 240;
constexpr uint32_t ZINPUT_ACTIONS = 224;      // action codes 0..223
constexpr uint32_t ZINPUT_CHARS = 32;
constexpr uint32_t ZINPUT_NAMESLOTS = 160;
constexpr uint32_t ZINPUT_FIRST_DELAY = 300;  // ms
constexpr uint32_t ZINPUT_REPEAT_DELAY = 100;  // ms
constexpr uint32_t ZINPUT_MAPPING_DOWN = 0x100;

// Key code -> name slot (0: none), and the names of slots 96 onward, one per CR LF line.
extern const uint8_t zkeynamelist[256];
extern const char zkeydescriptorlist[];

class ClassZInput {
 public:
  ClassZInput();
  ~ClassZInput();
  ClassZInput(const ClassZInput&) = delete;
  ClassZInput& operator=(const ClassZInput&) = delete;

  // ---- feeding ----
  void OnKeyDown(uint32_t key);
  void OnKeyUp(uint32_t key);
  void OnClickDown(int32_t x, int32_t y, uint8_t button);
  void OnClickDouble(int32_t x, int32_t y, uint8_t button);
  void OnClickUp(int32_t x, int32_t y, uint8_t button);
  void OnClickMove(int32_t x, int32_t y);
  void OnWheelScroll(int32_t steps);
  void OnTilt(int32_t x, int32_t y);
  void PutChar(uint16_t character, uint32_t value);
  // Advances key repeat: first after 300 ms held, then every 100 ms, at most one repeat
  // per held action and call.
  void CheckRepeat(uint32_t ms);
  void ResetEvents();
  void ResetState();

  // ---- reading ----
  // Removes the oldest event of the action and returns its type; 0 when none.
  int GetKeyEvent(uint8_t action);
  // Removes the oldest action event (code <= 223) into event; 0 when none.
  int GetKeyEvent(Z_INPUTEVENT* event);
  // Removes the oldest click event (buttons 0..2) into event, code = button; 0 when none.
  int GetClickEvent(Z_INPUTEVENT* event);
  int KeyHold(uint8_t action) const;
  int ClickHold(uint8_t button) const;
  uint16_t GetChar(uint32_t* value);
  uint32_t GetLastKey() const { return lastkey; }
  void GetClickPosition(int32_t& x, int32_t& y) const;
  void GetTiltAngle(int32_t& x, int32_t& y) const;
  int32_t GetWheelScroll();
  // The delays are fixed at 300 and 100 ms; this does nothing.
  void SetRepeatRates(uint32_t first, uint32_t interval);
  // Not available on this device: 3, nothing stored.
  int GetTiltData(ZCD* zcd, int32_t* x, int32_t* y);
  // "None" for 0, the slot's name for a named code 1..255, else "#" and the number.
  // Cut to fit size characters (terminator included).
  void GetKeyName(int32_t key, char* out, uint32_t size);
  void GetKeyName(int32_t key, uint16_t* out, uint32_t size);

  // ---- mappings ----
  // 1 when stored; 0 for an action above 223 or a full table.
  int AddKeyMapping(uint8_t action, uint32_t key);
  // One mapping per key in order, stopping at the first that can't be added; 1 when all
  // were (0 for an empty list).
  int AddKeyMapping(uint8_t action, std::initializer_list<uint32_t> keys);
  // Removes every mapping of the key (or action); an action ends its hold unless another
  // of its mappings is still down. 1 when any was removed.
  int RemoveKeyMapping(uint32_t key);
  int RemoveActionMapping(uint8_t action);
  uint32_t GetMappingCount() const { return mappingcount; }
  void SetDefaultMappings();

  // Replaces the names of slots 96..159 by the lines of text (CR or LF separated; empty
  // lines take no slot). Null loads an empty text.
  void LoadKeyDescriptor(const uint16_t* text);
  void LoadKeyDescriptor(const char* text);

 private:
  void Queue(uint8_t type, uint32_t code);
  void ClickPress(int32_t x, int32_t y, uint8_t button, uint8_t type);
  void RemoveEvent(uint32_t index, Z_INPUTEVENT* out);
  void ReleaseHold(uint32_t action);
  template <typename Match>
  int RemoveMappings(Match match);
  const uint16_t* SlotName(int32_t key) const;

  Z_INPUTEVENT events[ZINPUT_EVENTS];
  uint32_t mappings[ZINPUT_MAPPINGS];
  uint32_t holdstates[ZINPUT_STATES];
  uint32_t charvalues[ZINPUT_CHARS];
  uint32_t nameoffsets[ZINPUT_NAMESLOTS];
  uint16_t chars[ZINPUT_CHARS];
  uint16_t* names;
  int32_t pointerx, pointery;
  int32_t tiltx, tilty;
  int32_t wheel;
  uint32_t firstrepeat;
  uint32_t repeatinterval;
  uint32_t lastkey;
  uint8_t mappingcount;
  uint8_t eventcount;
  uint8_t charcount;
};

// Ends an action's hold unless another mapping of it is still down.
void ZInput_CheckHoldState(uint32_t* holdstates, const uint32_t* mappings, uint32_t count,
                           uint32_t action);
