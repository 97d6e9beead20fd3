#include "engine/core/zolt_records.h"

#include <cstring>
#include <unistd.h>

tagRECT* SetRect(tagRECT* rect, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (rect == nullptr) return nullptr;
  rect->left = left;
  rect->top = top;
  rect->right = right;
  rect->bottom = bottom;
  return rect;
}

static bool RectEmpty(const tagRECT* r) { return r->left >= r->right || r->top >= r->bottom; }

int RectIntersect(const tagRECT* a, const tagRECT* b, tagRECT* out) {
  if (a == nullptr || b == nullptr || RectEmpty(a) || RectEmpty(b)) return 0;
  if (b->left >= a->right || a->left >= b->right || b->top >= a->bottom || a->top >= b->bottom)
    return 0;
  if (out != nullptr) {
    tagRECT r = *a;  // a and out may be the same rectangle
    if (b->left > r.left) r.left = b->left;
    if (b->top > r.top) r.top = b->top;
    if (b->right < r.right) r.right = b->right;
    if (b->bottom < r.bottom) r.bottom = b->bottom;
    *out = r;
  }
  return 1;
}

int InRect(const tagRECT* rect, const tagPOINT* point) {
  if (rect == nullptr || point == nullptr) return 0;
  return point->x >= rect->left && point->x < rect->right && point->y >= rect->top &&
         point->y < rect->bottom;
}

// Widens an 8-bit text into a 16-bit field of size characters, cutting it to fit.
static void WidenInto(uint16_t* field, uint32_t size, const char* text) {
  uint32_t i = 0;
  for (; text[i] != 0 && i + 1 < size; i++) field[i] = static_cast<unsigned char>(text[i]);
  field[i] = 0;
}

void ZRecord_StartData(ZOLTDATA* data, const char* name, const char* commandline) {
  if (data == nullptr) return;
  std::memset(data, 0, sizeof(*data));
  WidenInto(data->name, ZOLTDATA_NAMESIZE, name != nullptr ? name : "Untitled");

  // A cut folder would name a different place, so a folder that does not fit (with its
  // "/" and terminator) falls back to the root like one that cannot be read.
  char cwd[ZOLTDATA_FOLDERSIZE];
  const char* folder = "/";
  if (getcwd(cwd, sizeof(cwd) - 1) != nullptr) {
    size_t n = std::strlen(cwd);
    if (n == 0 || cwd[n - 1] != '/') {
      cwd[n] = '/';
      cwd[n + 1] = 0;
    }
    folder = cwd;
  }
  WidenInto(data->folder, ZOLTDATA_FOLDERSIZE, folder);

  if (commandline != nullptr) {
    size_t n = strnlen(commandline, ZOLTDATA_COMMANDSIZE - 1);
    std::memcpy(data->commandline, commandline, n);
    data->commandline[n] = 0;
  }
}

void ZRecord_ConfigDefaults(ZOLTCONFIG* config) {
  if (config == nullptr) return;
  std::memset(config, 0, sizeof(*config));
  config->fps = 60;
  config->width = 240;
  config->height = 320;
  config->depth = 32;
  config->backbufferformat = 32;
  config->connections = 1;
  config->surfaceflags = 1;
  config->shortsleep = 1;
  config->reserved17 = 1;
  config->reserved18 = 1;
  config->reserved19 = 1;
  config->fullscreen = 1;
  config->reserved22 = 1;
  config->pauseidles = 1;
  config->reserved24 = 1;
}

void ZRecord_ButtonDefaults(ZBUTTONLIST* list) {
  if (list == nullptr) return;
  std::memset(list, 0, sizeof(*list));
  list->button[ZBUTTONLIST_A] = ZBUTTON_A;
  list->button[ZBUTTONLIST_B] = ZBUTTON_B;
  list->button[ZBUTTONLIST_X] = ZBUTTON_X;
  list->button[ZBUTTONLIST_START] = ZBUTTON_START;
  list->button[ZBUTTONLIST_UP] = ZBUTTON_UP;
  list->button[ZBUTTONLIST_DOWN] = ZBUTTON_DOWN;
  list->button[ZBUTTONLIST_LEFT] = ZBUTTON_LEFT;
  list->button[ZBUTTONLIST_RIGHT] = ZBUTTON_RIGHT;
  list->button[ZBUTTONLIST_L] = ZBUTTON_L;
  list->button[ZBUTTONLIST_R] = ZBUTTON_R;
}
