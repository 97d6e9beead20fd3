// The configuration and high-score record GAMECONFIG and its file "Kolvo2.cfg".
//
// The record is 484 bytes, little-endian, and the file holds it byte for byte: four
// high-score tables of three names and scores, the key codes of the eight game actions,
// two additive checksums over the whole record (the checksum fields counted as 0), and
// the player's settings. Other copies of the game read the same file, so the layout and
// both sums never change.
//
//   ResetCfg   the defaults: "Player 1".."Player 3" with 300/200/100 in every table,
//              the default keys, start level 1, Classic, volumes 32, shadow on.
//   LoadCfg    the file when both sums match, repaired (RepairCfg); the defaults for a
//              missing, short or damaged file, and for a folder, FIFO or device of its
//              name (found without waiting on it). 1 when the file was used, else 0.
//   KeepCfgAside  sets a file that cannot be used aside under the first free name of
//              "Kolvo2.cfg.bad", "Kolvo2.cfg.bad.1", "Kolvo2.cfg.bad.2", ...: a file kept
//              aside before is never replaced, on any file system. 1 when it went; 0 when
//              nothing let it go, the file then staying where it was.
//   SaveCfg    stores both sums in the record and writes it to a temporary file beside
//              the target, syncs it to the disk and renames it over the target: the file
//              on disk is always the old record or the new one, whole. 1 on success; 0
//              when any step failed (the old file is then untouched; errno tells why).
//   ValidCfg   whether the sums stored in the record match its contents.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

struct ZBUTTONLIST;

constexpr uint32_t CFG_SIZE = 484;
constexpr uint32_t CFG_TABLES = 4;  // 0 Classic and 1 Maniac are filled; 2 and 3 keep defaults
constexpr uint32_t CFG_ROWS = 3;    // row 0 is the best
constexpr uint32_t CFG_NAME_SLOT = 32;
constexpr uint32_t CFG_NAME_CHARS = 8;  // a name slot's byte 8 always ends the text
constexpr uint32_t CFG_CHECKSUM_OFFSET = 464;
constexpr uint32_t CFG_START_LEVEL_MAX = 9;
constexpr uint32_t CFG_VOLUME_MAX = 64;
constexpr const char* CFG_FILENAME = "Kolvo2.cfg";
// A file that is there but cannot be used is set aside under its name with this added,
// and then ".1", ".2", ... while that name is taken.
constexpr const char* CFG_DAMAGED_SUFFIX = ".bad";
constexpr uint32_t CFG_KEEP_TRIES = 1000;  // names tried before giving up

struct GAMECONFIG {
  char names[CFG_TABLES][CFG_ROWS][CFG_NAME_SLOT];  // 0
  uint32_t scores[CFG_TABLES][CFG_ROWS];            // 384
  // Key codes of the actions (button codes), in the file's order.
  uint32_t keyturn;       // 432, action 3
  uint32_t keydown;       // 436, action 2
  uint32_t keyleft;       // 440, action 0
  uint32_t keyright;      // 444, action 1
  uint32_t keyturnleft;   // 448, action 4
  uint32_t keyturnright;  // 452, action 5
  uint32_t keypause;      // 456, action 7
  uint32_t keyfastdrop;   // 460, action 6
  uint32_t checksuma;     // 464
  uint32_t checksumb;     // 468
  uint8_t startlevel;     // 472: 1-9
  uint8_t mode;           // 0 Classic, 1 Maniac; also the table a game fills
  uint8_t musicvolume;    // 0-64 in steps of 16
  uint8_t sfxvolume;      // 0-64 in steps of 16
  uint8_t directions;     // 1: the button list's extra directions act as left/right
  uint8_t alloff;         // 1 when both volumes are 0
  uint8_t showfps;
  uint8_t shadow;
  uint8_t gridoff;        // 480: 0 shows the grid
  uint8_t unused[3];
};

static_assert(sizeof(GAMECONFIG) == CFG_SIZE, "the record is stored byte for byte");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the file is little-endian");

// The key code field of a game action (0-7, ACTION_* of game_records.h).
uint32_t& CfgKey(GAMECONFIG& cfg, uint8_t action);
uint32_t CfgKey(const GAMECONFIG& cfg, uint8_t action);
// The default key of an action; the three direction keys come from the button list
// (null: the list as it stands after start-up).
uint32_t CfgDefaultKey(uint8_t action, const ZBUTTONLIST* buttons);

// Both sums over the 484 bytes with bytes 464-471 taken as 0:
// A = sum of ((13 b) & 511) + 11, B = sum of (b & 127) + 34.
void CfgChecksums(const void* record, uint32_t& a, uint32_t& b);

// The whole record, filler included, cleared and set to the defaults.
void ResetCfg(GAMECONFIG& cfg, const ZBUTTONLIST* buttons);
// Brings every value the other screens count on into its range, keeping valid values as
// they are: start level 1-9, mode 0-1, volumes 0-64, the five flag bytes 0 or 1, byte 8
// of every name slot 0, all-off 1 exactly when both volumes are 0, and each key a button
// of the console's (CfgKeyIsButton; another code becomes the action's default).
// Returns how many bytes changed.
uint32_t RepairCfg(GAMECONFIG& cfg, const ZBUTTONLIST* buttons);
// Whether a key code names one of the console's buttons (the ZBUTTON_* codes but none).
bool CfgKeyIsButton(uint32_t code);
bool ValidCfg(GAMECONFIG& cfg);

// The system calls the file operations make, each step one call, so that a test can
// make any of them fail. CfgSystemCalls() gives the real ones.
struct CFGFILECALLS {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* buffer, size_t count);
  ssize_t (*write)(int fd, const void* buffer, size_t count);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
  // A rename that fails with EEXIST rather than replace the target; EINVAL or ENOSYS where
  // the system or the file system cannot do that in one step.
  int (*rename_noreplace)(const char* from, const char* to);
  int (*link)(const char* from, const char* to);
  int (*fstat)(int fd, struct stat* st);
  int (*lstat)(const char* path, struct stat* st);
};
const CFGFILECALLS& CfgSystemCalls();

// name: relative to the working folder unless absolute. The temporary file is the name
// followed by "_tmp"; one left by an interrupted save is overwritten.
int LoadCfg(GAMECONFIG& cfg, const ZBUTTONLIST* buttons, const char* name = CFG_FILENAME,
            const CFGFILECALLS& calls = CfgSystemCalls());
int SaveCfg(GAMECONFIG& cfg, const char* name = CFG_FILENAME,
            const CFGFILECALLS& calls = CfgSystemCalls());
// Sets the file (or whatever stands at the name) aside under the first free name. Each
// name is tried three ways, each of which fails on a name that is taken (then the next
// name is tried), so a kept file, even one that appears meanwhile, is never replaced: the
// one-step rename that keeps its target; where that is missing or refused, a link under
// the new name and an unlink of the old; where links are refused too (FAT, some FUSE file
// systems), an exclusive create of the new name and a plain rename over that empty file.
// 1 with the new name in kept. 0 with errno (the last way's reason) when every way was
// refused or no name was free: the file stays at its name, and an empty file claimed is
// removed again while it is still the one made (a plain rename reported as failed that
// moved the file after all leaves it under the new name).
int KeepCfgAside(const char* name, std::string& kept, const CFGFILECALLS& calls = CfgSystemCalls());
