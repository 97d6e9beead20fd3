#include "kolvo2/game_config.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/zolt_records.h"
#include "kolvo2/game_records.h"
#include "seam/regular_file.h"

namespace {

constexpr uint32_t kDefaultScores[CFG_ROWS] = {300, 200, 100};
constexpr uint8_t kDefaultStartLevel = 1;
constexpr uint8_t kDefaultVolume = 32;

// Reads up to `size` bytes; the count read, or -1 on an error.
ssize_t ReadUpTo(const CFGFILECALLS& calls, int fd, uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = calls.read(fd, buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Writes every byte (a short write goes on with the rest); false on an error.
bool WriteAll(const CFGFILECALLS& calls, int fd, const uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = calls.write(fd, buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

uint8_t Clamp(uint8_t v, uint8_t lo, uint8_t hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

uint32_t& CfgKey(GAMECONFIG& cfg, uint8_t action) {
  switch (action) {
    case ACTION_MOVELEFT: return cfg.keyleft;
    case ACTION_MOVERIGHT: return cfg.keyright;
    case ACTION_MOVEDOWN: return cfg.keydown;
    case ACTION_TURN: return cfg.keyturn;
    case ACTION_TURNLEFT: return cfg.keyturnleft;
    case ACTION_TURNRIGHT: return cfg.keyturnright;
    case ACTION_FASTDROP: return cfg.keyfastdrop;
    default: return cfg.keypause;
  }
}

uint32_t CfgKey(const GAMECONFIG& cfg, uint8_t action) {
  return CfgKey(const_cast<GAMECONFIG&>(cfg), action);
}

uint32_t CfgDefaultKey(uint8_t action, const ZBUTTONLIST* buttons) {
  ZBUTTONLIST standard;
  if (!buttons) {
    ZRecord_ButtonDefaults(&standard);
    buttons = &standard;
  }
  switch (action) {
    case ACTION_MOVELEFT: return buttons->button[ZBUTTONLIST_LEFT];
    case ACTION_MOVERIGHT: return buttons->button[ZBUTTONLIST_RIGHT];
    case ACTION_MOVEDOWN: return buttons->button[ZBUTTONLIST_DOWN];
    case ACTION_TURN: return ZBUTTON_Y;
    case ACTION_TURNLEFT: return ZBUTTON_B;
    case ACTION_TURNRIGHT: return ZBUTTON_A;
    case ACTION_FASTDROP: return ZBUTTON_X;
    default: return ZBUTTON_START;
  }
}

void CfgChecksums(const void* record, uint32_t& a, uint32_t& b) {
  const uint8_t* bytes = static_cast<const uint8_t*>(record);
  a = 0;
  b = 0;
  for (uint32_t i = 0; i < CFG_SIZE; ++i) {
    const uint32_t v = i >= CFG_CHECKSUM_OFFSET && i < CFG_CHECKSUM_OFFSET + 8 ? 0 : bytes[i];
    a += ((v * 13) & 511) + 11;
    b += (v & 127) + 34;
  }
}

void ResetCfg(GAMECONFIG& cfg, const ZBUTTONLIST* buttons) {
  // The filler bytes (the rest of each name slot, the three unused ones) are written and
  // summed too; zero keeps files of the same settings alike.
  std::memset(&cfg, 0, sizeof(cfg));
  for (uint32_t t = 0; t < CFG_TABLES; ++t) {
    for (uint32_t r = 0; r < CFG_ROWS; ++r) {
      std::memcpy(cfg.names[t][r], "Player  ", 8);
      cfg.names[t][r][7] = static_cast<char>('1' + r);
      cfg.scores[t][r] = kDefaultScores[r];
    }
  }
  for (uint8_t action = 0; action < GAME_ACTIONS; ++action)
    CfgKey(cfg, action) = CfgDefaultKey(action, buttons);
  cfg.startlevel = kDefaultStartLevel;
  cfg.mode = 0;
  cfg.musicvolume = kDefaultVolume;
  cfg.sfxvolume = kDefaultVolume;
  cfg.directions = 1;
  cfg.alloff = 0;
  cfg.showfps = 0;
  cfg.shadow = 1;
  cfg.gridoff = 0;
}

bool CfgKeyIsButton(uint32_t code) {
  switch (code) {
    case ZBUTTON_UP: case ZBUTTON_UPLEFT: case ZBUTTON_LEFT: case ZBUTTON_DOWNLEFT:
    case ZBUTTON_DOWN: case ZBUTTON_DOWNRIGHT: case ZBUTTON_RIGHT: case ZBUTTON_UPRIGHT:
    case ZBUTTON_START: case ZBUTTON_SELECT: case ZBUTTON_L: case ZBUTTON_R:
    case ZBUTTON_A: case ZBUTTON_B: case ZBUTTON_X: case ZBUTTON_Y:
    case ZBUTTON_VOLDOWN: case ZBUTTON_VOLUP: case ZBUTTON_STICK:
      return true;
    default:
      return false;
  }
}

uint32_t RepairCfg(GAMECONFIG& cfg, const ZBUTTONLIST* buttons) {
  GAMECONFIG before;
  std::memcpy(&before, &cfg, sizeof(cfg));
  // Start level 0 would divide by zero in the fall interval; a mode above 1 indexes past
  // the tables; a name without its terminator is read past its slot.
  cfg.startlevel = Clamp(cfg.startlevel, kDefaultStartLevel, CFG_START_LEVEL_MAX);
  cfg.mode = Clamp(cfg.mode, 0, 1);
  cfg.musicvolume = Clamp(cfg.musicvolume, 0, CFG_VOLUME_MAX);
  cfg.sfxvolume = Clamp(cfg.sfxvolume, 0, CFG_VOLUME_MAX);
  for (uint8_t* flag : {&cfg.directions, &cfg.showfps, &cfg.shadow, &cfg.gridoff})
    *flag = *flag ? 1 : 0;
  for (auto& table : cfg.names)
    for (auto& name : table) name[CFG_NAME_CHARS] = 0;
  // A code no button sends leaves its action without a key, and the controls show a number
  // for it, until the player finds the screen that reassigns it.
  for (uint8_t action = 0; action < GAME_ACTIONS; ++action)
    if (!CfgKeyIsButton(CfgKey(cfg, action))) CfgKey(cfg, action) = CfgDefaultKey(action, buttons);
  // The byte follows the volumes both ways: set with volumes the options show, the game
  // would play silent while the menu says 50 %.
  cfg.alloff = cfg.musicvolume == 0 && cfg.sfxvolume == 0 ? 1 : 0;

  const uint8_t* a = reinterpret_cast<const uint8_t*>(&before);
  const uint8_t* b = reinterpret_cast<const uint8_t*>(&cfg);
  uint32_t changed = 0;
  for (uint32_t i = 0; i < CFG_SIZE; ++i) changed += a[i] != b[i];
  return changed;
}

bool ValidCfg(GAMECONFIG& cfg) {
  const uint32_t storeda = cfg.checksuma;
  const uint32_t storedb = cfg.checksumb;
  cfg.checksuma = 0;
  cfg.checksumb = 0;
  uint32_t a, b;
  CfgChecksums(&cfg, a, b);
  return a == storeda && b == storedb;
}

const CFGFILECALLS& CfgSystemCalls() {
  static const CFGFILECALLS calls = {
      // A FIFO or device of the name would hold the game in the open or the first read.
      [](const char* path, int flags, mode_t mode) { return open_regular_file(path, flags, mode); },
      ::read, ::write, ::fsync, ::close, ::rename, ::unlink,
      [](const char* from, const char* to) {
        return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
      },
      ::link,
      [](int fd, struct stat* st) { return ::fstat(fd, st); },
      [](const char* path, struct stat* st) { return ::lstat(path, st); }};
  return calls;
}

int LoadCfg(GAMECONFIG& cfg, const ZBUTTONLIST* buttons, const char* name,
            const CFGFILECALLS& calls) {
  ResetCfg(cfg, buttons);
  if (!name) return 0;
  int fd = calls.open(name, O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return 0;
  GAMECONFIG file;
  ssize_t got = ReadUpTo(calls, fd, reinterpret_cast<uint8_t*>(&file), sizeof(file));
  calls.close(fd);
  // A short file is never taken: the part it lacks would have to come from elsewhere.
  if (got != static_cast<ssize_t>(sizeof(file)) || !ValidCfg(file)) return 0;
  std::memcpy(&cfg, &file, sizeof(cfg));
  // The sums are order-free and easy to forge: the values still get their ranges.
  RepairCfg(cfg, buttons);
  return 1;
}

int SaveCfg(GAMECONFIG& cfg, const char* name, const CFGFILECALLS& calls) {
  cfg.checksuma = 0;
  cfg.checksumb = 0;
  uint32_t a, b;
  CfgChecksums(&cfg, a, b);
  cfg.checksuma = a;
  cfg.checksumb = b;
  if (!name || !*name) return 0;

  // Writing the file in place would leave it empty or partial when the write fails (a
  // full card, power gone) and with it every score: the new record goes to a temporary
  // file that becomes the file in one rename once it is on the disk.
  const std::string temp = std::string(name) + "_tmp";
  int fd = calls.open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return 0;
  bool ok = WriteAll(calls, fd, reinterpret_cast<const uint8_t*>(&cfg), sizeof(cfg));
  ok = ok && calls.fsync(fd) == 0;
  ok = calls.close(fd) == 0 && ok;
  ok = ok && calls.rename(temp.c_str(), name) == 0;
  if (!ok) {
    const int error = errno;  // the step that failed, for the caller's message
    calls.unlink(temp.c_str());
    errno = error;
  }
  return ok ? 1 : 0;
}

namespace {

enum class Aside { kMoved, kTaken, kRefused };

// Moves `from` to the name `to` unless a file stands there, in the first way the system and
// the file system allow; none of them replaces a file kept before. kRefused with errno (of
// the last way tried) leaves `from` where it was and nothing of ours at `to`.
Aside MoveAside(const char* from, const char* to, const CFGFILECALLS& calls) {
  // One step where there is one. An old kernel lacks it; some file systems cannot; a
  // system-call filter may refuse it (EPERM) where the calls below are let through.
  if (calls.rename_noreplace(from, to) == 0) return Aside::kMoved;
  if (errno == EEXIST) return Aside::kTaken;
  // A link fails on a name that is taken.
  if (calls.link(from, to) == 0) {
    // Both names now hold the file: the next save replaces the old name, the kept one stays.
    calls.unlink(from);
    return Aside::kMoved;
  }
  if (errno == EEXIST) return Aside::kTaken;
  // FAT (the console's own card) and some FUSE file systems have neither: the name is
  // claimed with an exclusive create, and the plain rename that every file system has
  // replaces only that empty file, which is ours.
  const int fd = calls.open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST ? Aside::kTaken : Aside::kRefused;
  struct stat claimed;
  const bool known = calls.fstat(fd, &claimed) == 0;
  int error = errno;
  calls.close(fd);
  // Without knowing the claimed file again nothing may be renamed onto it: a failure
  // could not be told from a move whose reply was lost.
  if (known) {
    if (calls.rename(from, to) == 0) return Aside::kMoved;
    error = errno;  // a folder will not go over a file, for one
  }
  // The empty file goes again, unless what stands there now is something else: the file
  // itself, moved after all, or another program's.
  struct stat now;
  if (calls.lstat(to, &now) == 0 && S_ISREG(now.st_mode) && now.st_size == 0 &&
      (!known || (now.st_dev == claimed.st_dev && now.st_ino == claimed.st_ino)))
    calls.unlink(to);
  errno = error;
  return Aside::kRefused;
}

}  // namespace

int KeepCfgAside(const char* name, std::string& kept, const CFGFILECALLS& calls) {
  kept.clear();
  if (!name || !*name) {
    errno = EINVAL;
    return 0;
  }
  const std::string base = std::string(name) + CFG_DAMAGED_SUFFIX;
  for (uint32_t n = 0; n < CFG_KEEP_TRIES; ++n) {
    const std::string to = n == 0 ? base : base + "." + std::to_string(n);
    switch (MoveAside(name, to.c_str(), calls)) {
      case Aside::kMoved:
        kept = to;
        return 1;
      case Aside::kTaken:
        continue;
      case Aside::kRefused:
        return 0;
    }
  }
  errno = EEXIST;
  return 0;
}
