#include "engine/core/zmod_input.h"

#include <cstring>

#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_std.h"

namespace {

constexpr uint32_t CHAR_SLOTS = 96;        // slots 0..95: the characters 32..127
constexpr uint32_t CHAR_AREA = 2 * CHAR_SLOTS;
constexpr uint32_t HELD = 0xFF;
constexpr uint32_t REPEATS = 0xFF00;
constexpr uint32_t MS_SHIFT = 16;
constexpr uint32_t MS_MAX = 0xFFFF;
constexpr uint32_t CLICK_BASE = 224;
constexpr uint32_t CLICK_BUTTONS = 4;

uint32_t MappingKey(uint32_t mapping) { return mapping >> 16; }
uint32_t MappingAction(uint32_t mapping) { return mapping & 0xFF; }

struct DefaultMapping {
  uint8_t action;
  uint8_t keys[4];  // zero-terminated
};

const DefaultMapping kDefaults[] = {
    {160, {1}},  {161, {5}},  {162, {3}},  {163, {7}},  {164, {24}},         {165, {23}},
    {166, {11}}, {167, {12}}, {192, {1}},  {193, {5}},  {194, {3}},          {195, {7}},
    {196, {28, 14, 16}},      {197, {13, 15}},          {198, {11}},         {199, {12}},
    {200, {28, 14}},          {208, {1}},  {209, {5}},  {210, {3}},          {211, {7}},
    {212, {14, 15, 11}},      {213, {13, 16, 12, 10}},  {214, {9}},
};

}  // namespace

const uint8_t zkeynamelist[256] = {
    0,   96, 0, 98, 0, 97, 0, 99, 0, 136, 137, 44, 50, 33, 34, 56, 57, 0, 0, 0, 0, 0, 0, 142,
    141, 0,  0, 0,  114,
};

const char zkeydescriptorlist[] =
    "Up\r\nDown\r\nLeft\r\nRight\r\nF1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8\r\nF9\r\n"
    "F10\r\nF11\r\nF12\r\nTab\r\nSpace\r\nEnter\r\nShift\r\nControl\r\nAlt\r\nEsc\r\n"
    "Insert\r\nDelete\r\nHome\r\nEnd\r\nPageup\r\nPagedown\r\nCapslock\r\nNumlock\r\n"
    "Scroll lock\r\nPrintscreen\r\nPause\r\nBackspace\r\nSoftkey 1\r\nSoftkey 2\r\n"
    "Softkey 3\r\nSoftkey 4\r\nMenu\r\nStart\r\nSelect\r\nJog up\r\nJog down\r\nJog\r\n"
    "Volume up\r\nVolume down";

ClassZInput::ClassZInput() : names(nullptr) {
  std::memset(events, 0, sizeof(events));
  std::memset(charvalues, 0, sizeof(charvalues));
  std::memset(nameoffsets, 0, sizeof(nameoffsets));
  std::memset(chars, 0, sizeof(chars));
  std::memset(mappings, 0, sizeof(mappings));
  pointerx = pointery = tiltx = tilty = wheel = 0;
  firstrepeat = ZINPUT_FIRST_DELAY;
  repeatinterval = ZINPUT_REPEAT_DELAY;
  mappingcount = 0;
  ResetState();
  LoadKeyDescriptor(zkeydescriptorlist);
}

ClassZInput::~ClassZInput() { ClassZMemory::DeAlloc(names); }

void ClassZInput::Queue(uint8_t type, uint32_t code) {
  if (eventcount >= ZINPUT_EVENTS) return;
  Z_INPUTEVENT& e = events[eventcount++];
  e.x = pointerx;
  e.y = pointery;
  e.type = type;
  e.code = static_cast<uint8_t>(code);
}

void ClassZInput::RemoveEvent(uint32_t index, Z_INPUTEVENT* out) {
  if (out) *out = events[index];
  std::memmove(&events[index], &events[index + 1],
               (eventcount - index - 1) * sizeof(Z_INPUTEVENT));
  eventcount--;
}

void ZInput_CheckHoldState(uint32_t* holdstates, const uint32_t* mappings, uint32_t count,
                           uint32_t action) {
  uint32_t kept = holdstates[action];
  holdstates[action] = 0;
  for (uint32_t i = 0; i < count; i++) {
    if (MappingAction(mappings[i]) == action && (mappings[i] & ZINPUT_MAPPING_DOWN)) {
      holdstates[action] = kept;
      return;
    }
  }
}

void ClassZInput::ReleaseHold(uint32_t action) {
  ZInput_CheckHoldState(holdstates, mappings, mappingcount, action);
}

void ClassZInput::OnKeyDown(uint32_t key) {
  if (key == 0) return;
  lastkey = key;
  for (uint32_t i = 0; i < mappingcount; i++) {
    if (MappingKey(mappings[i]) != key) continue;
    mappings[i] |= ZINPUT_MAPPING_DOWN;
    uint32_t action = MappingAction(mappings[i]);
    if (action < ZINPUT_ACTIONS && !(holdstates[action] & HELD)) holdstates[action] = 1;
  }
  for (uint32_t i = 0; i < mappingcount; i++) {
    uint32_t action = MappingAction(mappings[i]);
    if (MappingKey(mappings[i]) == key && action < ZINPUT_ACTIONS) Queue(ZINPUT_DOWN, action);
  }
}

void ClassZInput::OnKeyUp(uint32_t key) {
  if (key == 0) return;
  for (uint32_t i = 0; i < mappingcount; i++) {
    uint32_t action = MappingAction(mappings[i]);
    if (MappingKey(mappings[i]) != key || action >= ZINPUT_ACTIONS) continue;
    mappings[i] &= ~ZINPUT_MAPPING_DOWN;
    ReleaseHold(action);
  }
  for (uint32_t i = 0; i < mappingcount; i++) {
    uint32_t action = MappingAction(mappings[i]);
    if (MappingKey(mappings[i]) == key && action < ZINPUT_ACTIONS) Queue(ZINPUT_UP, action);
  }
}

void ClassZInput::ClickPress(int32_t x, int32_t y, uint8_t button, uint8_t type) {
  pointerx = x;
  pointery = y;
  if (button >= CLICK_BUTTONS) return;
  uint32_t state = CLICK_BASE + button;
  if (!(holdstates[state] & HELD)) holdstates[state] = 1;
  Queue(type, state);
}

void ClassZInput::OnClickDown(int32_t x, int32_t y, uint8_t button) {
  ClickPress(x, y, button, ZINPUT_DOWN);
}

void ClassZInput::OnClickDouble(int32_t x, int32_t y, uint8_t button) {
  ClickPress(x, y, button, ZINPUT_DOUBLE);
}

void ClassZInput::OnClickUp(int32_t x, int32_t y, uint8_t button) {
  pointerx = x;
  pointery = y;
  if (button >= CLICK_BUTTONS) return;
  holdstates[CLICK_BASE + button] = 0;
  Queue(ZINPUT_UP, CLICK_BASE + button);
}

void ClassZInput::OnClickMove(int32_t x, int32_t y) {
  pointerx = x;
  pointery = y;
}

void ClassZInput::OnWheelScroll(int32_t steps) {
  if (steps > 0) wheel++;
  if (steps < 0) wheel--;
}

void ClassZInput::OnTilt(int32_t x, int32_t y) {
  tiltx = x;
  tilty = y;
}

void ClassZInput::PutChar(uint16_t character, uint32_t value) {
  if (charcount >= ZINPUT_CHARS) return;
  chars[charcount] = character;
  charvalues[charcount] = value;
  charcount++;
}

void ClassZInput::CheckRepeat(uint32_t ms) {
  for (uint32_t i = 0; i < ZINPUT_STATES; i++) {
    uint32_t state = holdstates[i];
    if (!(state & HELD)) continue;
    uint32_t held = (state >> MS_SHIFT) + ms;
    if (held > MS_MAX || held < ms) held = MS_MAX;
    uint32_t repeats = (state & REPEATS) >> 8;
    if (held >= (repeats == 0 ? firstrepeat : repeatinterval)) {
      held = 0;
      repeats = (repeats + 1) & 0xFF;
      Queue(ZINPUT_REPEAT, i);
    }
    holdstates[i] = held << MS_SHIFT | repeats << 8 | (state & HELD);
  }
}

void ClassZInput::ResetEvents() {
  eventcount = 0;
  charcount = 0;
  lastkey = 0;
}

void ClassZInput::ResetState() {
  std::memset(holdstates, 0, sizeof(holdstates));
  for (uint32_t i = 0; i < ZINPUT_MAPPINGS; i++) mappings[i] &= ~ZINPUT_MAPPING_DOWN;
  wheel = 0;
  ResetEvents();
}

int ClassZInput::GetKeyEvent(uint8_t action) {
  if (action >= ZINPUT_ACTIONS) return 0;
  for (uint32_t i = 0; i < eventcount; i++) {
    if (events[i].code == action) {
      Z_INPUTEVENT e;
      RemoveEvent(i, &e);
      return e.type;
    }
  }
  return 0;
}

int ClassZInput::GetKeyEvent(Z_INPUTEVENT* event) {
  for (uint32_t i = 0; i < eventcount; i++) {
    if (events[i].code < ZINPUT_ACTIONS) {
      RemoveEvent(i, event);
      return 1;
    }
  }
  return 0;
}

int ClassZInput::GetClickEvent(Z_INPUTEVENT* event) {
  for (uint32_t i = 0; i < eventcount; i++) {
    uint32_t code = events[i].code;
    if (code >= CLICK_BASE && code < CLICK_BASE + 3) {
      RemoveEvent(i, event);
      if (event) event->code = static_cast<uint8_t>(event->code + 32);  // 224 + b wraps to b
      return 1;
    }
  }
  return 0;
}

int ClassZInput::KeyHold(uint8_t action) const {
  return action < ZINPUT_ACTIONS && (holdstates[action] & HELD) ? 1 : 0;
}

int ClassZInput::ClickHold(uint8_t button) const {
  if (button >= CLICK_BUTTONS) return 0;
  if (holdstates[CLICK_BASE] & HELD) return 1;
  if (button == 0) {
    for (uint32_t b = 1; b < CLICK_BUTTONS; b++) {
      if (holdstates[CLICK_BASE + b] & HELD) return 1;
    }
    return 0;
  }
  return holdstates[CLICK_BASE + button] & HELD ? 1 : 0;
}

uint16_t ClassZInput::GetChar(uint32_t* value) {
  if (charcount == 0) return 0;
  uint16_t c = chars[0];
  if (value) *value = charvalues[0];
  charcount--;
  std::memmove(chars, chars + 1, charcount * sizeof(chars[0]));
  std::memmove(charvalues, charvalues + 1, charcount * sizeof(charvalues[0]));
  return c;
}

void ClassZInput::GetClickPosition(int32_t& x, int32_t& y) const {
  x = pointerx;
  y = pointery;
}

void ClassZInput::GetTiltAngle(int32_t& x, int32_t& y) const {
  x = tiltx;
  y = tilty;
}

int32_t ClassZInput::GetWheelScroll() {
  int32_t w = wheel;
  wheel = 0;
  return w;
}

void ClassZInput::SetRepeatRates(uint32_t, uint32_t) {}

int ClassZInput::GetTiltData(ZCD*, int32_t*, int32_t*) { return 3; }

const uint16_t* ClassZInput::SlotName(int32_t key) const {
  if (!names || key < 1 || key > 255) return nullptr;
  uint32_t slot = zkeynamelist[key];
  if (slot == 0 || slot >= ZINPUT_NAMESLOTS) return nullptr;
  return names + nameoffsets[slot];
}

namespace {
template <typename Char>
void KeyName(const uint16_t* name, int32_t key, Char* out, uint32_t size) {
  if (!out || size == 0) return;
  const int32_t limit = size > 65536 ? 65536 : static_cast<int32_t>(size);
  if (name) {
    ClassZStd::StrCpy(out, name, limit);
    return;
  }
  char text[36] = "None";
  if (key != 0) {
    text[0] = '#';
    ClassZStd::IntToStr(text + 1, key, 10, true);
  }
  ClassZStd::StrCpy(out, text, limit);
}
}  // namespace

void ClassZInput::GetKeyName(int32_t key, uint16_t* out, uint32_t size) {
  KeyName(SlotName(key), key, out, size);
}

void ClassZInput::GetKeyName(int32_t key, char* out, uint32_t size) {
  KeyName(SlotName(key), key, out, size);
}

int ClassZInput::AddKeyMapping(uint8_t action, uint32_t key) {
  if (action >= ZINPUT_ACTIONS || mappingcount >= ZINPUT_MAPPINGS) return 0;
  mappings[mappingcount++] = key << 16 | action;
  return 1;
}

int ClassZInput::AddKeyMapping(uint8_t action, std::initializer_list<uint32_t> keys) {
  if (keys.size() == 0) return 0;
  for (uint32_t key : keys) {
    if (!AddKeyMapping(action, key)) return 0;
  }
  return 1;
}

template <typename Match>
int ClassZInput::RemoveMappings(Match match) {
  int removed = 0;
  uint32_t i = 0;
  while (i < mappingcount) {
    if (!match(mappings[i])) {
      i++;
      continue;
    }
    uint32_t action = MappingAction(mappings[i]);
    std::memmove(&mappings[i], &mappings[i + 1], (mappingcount - i - 1) * sizeof(uint32_t));
    mappingcount--;
    // Checked after the removal: the removed mapping no longer keeps its action held.
    if (action < ZINPUT_ACTIONS) ReleaseHold(action);
    removed = 1;
  }
  return removed;
}

int ClassZInput::RemoveKeyMapping(uint32_t key) {
  return RemoveMappings([key](uint32_t m) { return MappingKey(m) == key; });
}

int ClassZInput::RemoveActionMapping(uint8_t action) {
  return RemoveMappings([action](uint32_t m) { return MappingAction(m) == action; });
}

void ClassZInput::SetDefaultMappings() {
  for (const DefaultMapping& d : kDefaults) {
    for (int k = 0; k < 4 && d.keys[k]; k++) AddKeyMapping(d.action, d.keys[k]);
  }
}

void ClassZInput::LoadKeyDescriptor(const uint16_t* text) {
  ClassZMemory::DeAlloc(names);
  names = nullptr;
  uint32_t length = text ? ClassZStd::StrLen(text) : 0;
  names = static_cast<uint16_t*>(ClassZMemory::Alloc((CHAR_AREA + length + 1) * 2));
  if (!names) return;
  for (uint32_t i = 0; i < CHAR_SLOTS; i++) {
    names[2 * i] = static_cast<uint16_t>(32 + i);
    names[2 * i + 1] = 0;
    nameoffsets[i] = 2 * i;
  }
  for (uint32_t i = CHAR_SLOTS; i < ZINPUT_NAMESLOTS; i++) nameoffsets[i] = 0;
  uint32_t slot = CHAR_SLOTS;
  bool linestart = true;
  for (uint32_t i = 0; i < length; i++) {
    uint16_t c = text[i];
    bool lineend = c == '\r' || c == '\n';
    names[CHAR_AREA + i] = lineend ? 0 : c;
    if (lineend) {
      linestart = true;
    } else if (linestart) {
      if (slot < ZINPUT_NAMESLOTS) nameoffsets[slot++] = CHAR_AREA + i;
      linestart = false;
    }
  }
  names[CHAR_AREA + length] = 0;
}

void ClassZInput::LoadKeyDescriptor(const char* text) {
  uint16_t local[256];
  uint32_t length = text ? ClassZStd::StrLen(text) : 0;
  if (length < 256) {
    ClassZStd::StrCpy(local, text ? text : "", 256);
    LoadKeyDescriptor(local);
    return;
  }
  uint16_t* wide = static_cast<uint16_t*>(ClassZMemory::Alloc((length + 1) * 2));
  if (!wide) {
    ClassZStd::StrCpy(local, text, 256);  // the first 255 characters and a terminator
    LoadKeyDescriptor(local);
    return;
  }
  ClassZStd::StrCpy(wide, text, static_cast<int32_t>(length + 1));
  LoadKeyDescriptor(wide);
  ClassZMemory::DeAlloc(wide);
}
