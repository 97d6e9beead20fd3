// The configuration record and "Kolvo2.cfg": the default bytes and sums, the round trip,
// what a damaged, short or forged file gives, and saves that fail at every step.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/zolt_records.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_records.h"
#include "tests/engine/core/file_size_limit.h"
#include "tests/kolvo2/refusing_cfg_calls.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const GAMECONFIG& cfg) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&cfg);
  return Bytes(p, p + sizeof(cfg));
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The default record written out from the file layout alone.
Bytes DefaultImage() {
  Bytes b(484, 0);
  for (int t = 0; t < 4; ++t)
    for (int r = 0; r < 3; ++r) {
      std::string name = "Player " + std::to_string(r + 1);
      std::memcpy(&b[96 * t + 32 * r], name.data(), name.size());
      Put32(b, 384 + 12 * t + 4 * r, 300 - 100 * r);
    }
  const uint32_t keys[8] = {16, 5, 3, 7, 14, 13, 9, 15};  // at 432, 436, ..., 460
  for (int k = 0; k < 8; ++k) Put32(b, 432 + 4 * k, keys[k]);
  const uint8_t settings[9] = {1, 0, 32, 32, 1, 0, 0, 1, 0};  // at 472 .. 480
  std::memcpy(&b[472], settings, sizeof(settings));
  return b;
}

class CfgTest : public ::testing::Test {
 protected:
  GAMECONFIG Defaults() {
    GAMECONFIG c;
    ResetCfg(c, nullptr);
    return c;
  }
  // Saves `cfg` as the file and returns its bytes.
  Bytes SaveAs(GAMECONFIG cfg) {
    EXPECT_EQ(SaveCfg(cfg, path), 1);
    return ReadWholeFile(path);
  }
  GAMECONFIG Load(int expected) {
    GAMECONFIG c;
    std::memset(&c, 0xA5, sizeof(c));  // nothing of what was there may survive
    EXPECT_EQ(LoadCfg(c, nullptr, path), expected);
    return c;
  }
  // The record as it stands in memory after a successful load: sums cleared. A file too
  // short to hold them stays as read, so that it compares unequal to any whole record.
  static Bytes AsLoaded(Bytes file) {
    if (file.size() < 472) return file;
    std::fill(file.begin() + 464, file.begin() + 472, 0);
    return file;
  }

  TempDir dir;
  TempPath path = dir / "Kolvo2.cfg";
};

TEST_F(CfgTest, DefaultRecordIsByteExactWithKnownSums) {
  EXPECT_EQ(BytesOf(Defaults()), DefaultImage());
  Bytes file = SaveAs(Defaults());
  ASSERT_EQ(file.size(), 484u);
  EXPECT_EQ(Get32(file, 464), 32469u);
  EXPECT_EQ(Get32(file, 468), 25909u);
  EXPECT_EQ(AsLoaded(file), DefaultImage());
}

TEST_F(CfgTest, DirectionDefaultsComeFromTheButtonList) {
  ZBUTTONLIST list;
  ZRecord_ButtonDefaults(&list);
  list.button[ZBUTTONLIST_DOWN] = 21;
  list.button[ZBUTTONLIST_LEFT] = 22;
  list.button[ZBUTTONLIST_RIGHT] = 25;
  GAMECONFIG c;
  ResetCfg(c, &list);
  EXPECT_EQ(c.keydown, 21u);
  EXPECT_EQ(c.keyleft, 22u);
  EXPECT_EQ(c.keyright, 25u);
  // The offsets are not in action order: 432 is "Turn".
  EXPECT_EQ(CfgKey(c, ACTION_TURN), 16u);
  EXPECT_EQ(&CfgKey(c, ACTION_TURN), reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(&c) + 432));
  EXPECT_EQ(&CfgKey(c, ACTION_FASTDROP), reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(&c) + 460));
  EXPECT_EQ(&CfgKey(c, ACTION_PAUSE), reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(&c) + 456));
}

TEST_F(CfgTest, SaveLoadSaveGivesTheSameBytes) {
  GAMECONFIG c = Defaults();
  std::memcpy(c.names[1][0], "ZORRO123", 9);  // eight characters and the terminator
  c.scores[1][0] = 999999;
  c.keyturn = 28;
  c.startlevel = 7;
  c.mode = 1;
  c.musicvolume = 0;
  c.sfxvolume = 48;
  c.showfps = 1;
  c.gridoff = 1;
  c.unused[1] = 0x5A;  // filler is kept and summed
  Bytes first = SaveAs(c);
  GAMECONFIG loaded = Load(1);
  EXPECT_EQ(BytesOf(loaded), AsLoaded(first));
  EXPECT_EQ(loaded.names[1][0][8], 0);
  // Saving stores the sums in the record too.
  EXPECT_EQ(SaveCfg(loaded, path), 1);
  EXPECT_EQ(ReadWholeFile(path), first);
  EXPECT_TRUE(ValidCfg(loaded));
}

// A file held in memory, for loads that need no disk.
struct MemoryFile {
  static inline Bytes content;
  static inline size_t at = 0;
  static int Open(const char*, int, mode_t) { return at = 0, 99; }
  static ssize_t Read(int, void* b, size_t n) {
    n = std::min(n, content.size() - at);
    std::memcpy(b, content.data() + at, n);
    at += n;
    return static_cast<ssize_t>(n);
  }
  static int Close(int) { return 0; }
  static CFGFILECALLS Calls() {
    return {Open, Read, nullptr, nullptr, Close, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  }
};

TEST_F(CfgTest, AnySingleChangedByteResetsEverything) {
  GAMECONFIG c = Defaults();
  c.scores[0][0] = 12345;
  c.startlevel = 4;
  const Bytes good = SaveAs(c);
  for (size_t at = 0; at < good.size(); ++at) {
    MemoryFile::content = good;
    MemoryFile::content[at] = static_cast<uint8_t>(good[at] + 1);
    GAMECONFIG loaded;
    EXPECT_EQ(LoadCfg(loaded, nullptr, "Kolvo2.cfg", MemoryFile::Calls()), 0) << "byte " << at;
    EXPECT_EQ(BytesOf(loaded), DefaultImage()) << "byte " << at;
  }
  MemoryFile::content = good;
  GAMECONFIG loaded;
  EXPECT_EQ(LoadCfg(loaded, nullptr, "Kolvo2.cfg", MemoryFile::Calls()), 1);
}

TEST_F(CfgTest, SwappedBytesKeepBothSumsAndAreTaken) {
  // The sums do not see order: a swap goes unnoticed, as in every copy of the game.
  GAMECONFIG c = Defaults();
  Bytes file = SaveAs(c);
  std::swap(file[0], file[388]);  // "P" of the first name and a score byte
  ASSERT_NE(file[0], file[388]);
  ASSERT_TRUE(WriteWholeFile(path, file));
  EXPECT_EQ(BytesOf(Load(1)), AsLoaded(file));
}

TEST_F(CfgTest, MissingShortOrEmptyFilesGiveTheDefaults) {
  const Bytes good = SaveAs(Defaults());
  for (size_t size : {size_t{0}, size_t{1}, size_t{464}, size_t{472}, size_t{483}}) {
    ASSERT_TRUE(WriteWholeFile(path, Bytes(good.begin(), good.begin() + size)));
    EXPECT_EQ(BytesOf(Load(0)), DefaultImage()) << size << " bytes";
  }
  std::remove(path.c_str());
  EXPECT_EQ(BytesOf(Load(0)), DefaultImage());
  // A longer file: its first 484 bytes are the record.
  Bytes longer = good;
  longer.push_back(7);
  ASSERT_TRUE(WriteWholeFile(path, longer));
  EXPECT_EQ(BytesOf(Load(1)), AsLoaded(good));
}

struct HostileCase {
  const char* name;
  std::function<void(GAMECONFIG&)> forge;
  size_t offset;     // the byte that gets repaired (unused when kept)
  int repaired;      // its value after the load; -1: the record is kept as it is
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class CfgHostile : public CfgTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(CfgHostile, RepairedAfterAValidLoadWithTheRestKept) {
  const HostileCase& k = GetParam();
  GAMECONFIG c = Defaults();
  k.forge(c);
  // Both sums are right: only the values are wrong.
  const Bytes file = SaveAs(c);
  Bytes expected = AsLoaded(file);
  if (k.repaired >= 0) {
    ASSERT_NE(expected[k.offset], k.repaired) << "the case forges nothing";
    expected[k.offset] = static_cast<uint8_t>(k.repaired);
  }
  EXPECT_EQ(BytesOf(Load(1)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cfg, CfgHostile,
    ::testing::Values(
        HostileCase{"StartLevel0", [](GAMECONFIG& c) { c.startlevel = 0; }, 472, 1},
        HostileCase{"StartLevel10", [](GAMECONFIG& c) { c.startlevel = 10; }, 472, 9},
        HostileCase{"StartLevel255", [](GAMECONFIG& c) { c.startlevel = 255; }, 472, 9},
        HostileCase{"Mode7", [](GAMECONFIG& c) { c.mode = 7; }, 473, 1},
        HostileCase{"MusicVolume200", [](GAMECONFIG& c) { c.musicvolume = 200; }, 474, 64},
        HostileCase{"SfxVolume65", [](GAMECONFIG& c) { c.sfxvolume = 65; }, 475, 64},
        HostileCase{"Directions5", [](GAMECONFIG& c) { c.directions = 5; }, 476, 1},
        HostileCase{"AllOff5", [](GAMECONFIG& c) { c.alloff = 5; }, 477, 0},  // volumes are on
        HostileCase{"Fps255", [](GAMECONFIG& c) { c.showfps = 255; }, 478, 1},
        HostileCase{"Shadow5", [](GAMECONFIG& c) { c.shadow = 5; }, 479, 1},
        HostileCase{"GridOff2", [](GAMECONFIG& c) { c.gridoff = 2; }, 480, 1},
        HostileCase{"NineCharacterName",
                    [](GAMECONFIG& c) { std::memcpy(c.names[1][2], "ABCDEFGHI", 10); },
                    96 + 64 + 8, 0},
        HostileCase{"BothVolumesZeroSoundOn",
                    [](GAMECONFIG& c) { c.musicvolume = c.sfxvolume = 0; }, 477, 1},
        HostileCase{"SoundOffWithVolumes", [](GAMECONFIG& c) { c.alloff = 1; }, 477, 0},
        HostileCase{"SoundOffWithOnlyMusic", [](GAMECONFIG& c) {
                      c.sfxvolume = 0;
                      c.alloff = 1;
                    }, 477, 0},
        // Valid values, however unusual, stay byte for byte.
        HostileCase{"Valid", [](GAMECONFIG& c) {
                      c.startlevel = 9;
                      c.mode = 1;
                      c.musicvolume = 64;
                      c.sfxvolume = 0;
                      c.directions = 0;
                      c.shadow = 0;
                      c.gridoff = 1;
                    }, 0, -1},
        HostileCase{"VolumeOffTheSteps", [](GAMECONFIG& c) { c.musicvolume = 20; }, 0, -1},
        HostileCase{"ScoresAndKeysAsForged", [](GAMECONFIG& c) {
                      c.scores[3][2] = 0xFFFFFFFF;
                      c.keypause = ZBUTTON_STICK;  // a button, however unusual
                      std::memset(c.names[0][0] + 9, 'x', 23);
                    }, 0, -1}),
    [](const ::testing::TestParamInfo<HostileCase>& i) { return i.param.name; });

// ---- saves that fail ----

// The real calls, with one step made to fail: `failAt` counts the steps of a save (the
// temporary file's open, every write, the sync, the close, the rename) from 0. Writes
// move at most `chunk` bytes each, as a device may.
struct FaultyCalls {
  static inline int failAt = -1;
  static inline int steps = 0;
  static inline size_t chunk = SIZE_MAX;
  static inline bool crash = false;  // after the failing step nothing more happens at all

  static bool Fails() {
    if (crash && steps > failAt && failAt >= 0) return true;
    return steps++ == failAt;
  }
  static int Open(const char* p, int flags, mode_t mode) {
    if ((flags & O_ACCMODE) != O_RDONLY && Fails()) return errno = EIO, -1;
    return ::open(p, flags, mode);
  }
  static ssize_t Read(int fd, void* b, size_t n) { return ::read(fd, b, std::min<size_t>(n, chunk)); }
  static ssize_t Write(int fd, const void* b, size_t n) {
    if (Fails()) return errno = ENOSPC, -1;
    return ::write(fd, b, std::min(n, chunk));
  }
  static int Fsync(int fd) { return Fails() ? (errno = EIO, -1) : ::fsync(fd); }
  static int Close(int fd) {
    int r = ::close(fd);  // the descriptor is gone either way
    return Fails() ? (errno = EIO, -1) : r;
  }
  static int Rename(const char* a, const char* b) {
    return Fails() ? (errno = EIO, -1) : ::rename(a, b);
  }
  static int Unlink(const char* p) { return crash ? 0 : ::unlink(p); }
  static CFGFILECALLS Calls() {
    return {Open, Read, Write, Fsync, Close, Rename, Unlink, nullptr, nullptr, nullptr, nullptr};
  }
};

class CfgSaveFault : public CfgTest, public ::testing::WithParamInterface<size_t> {
 protected:
  void SetUp() override {
    FaultyCalls::chunk = GetParam();
    FaultyCalls::crash = false;
  }
  void TearDown() override {
    FaultyCalls::failAt = -1;
    FaultyCalls::chunk = SIZE_MAX;
    FaultyCalls::crash = false;
  }
};

TEST_P(CfgSaveFault, EveryFailingStepLeavesTheOldFileWhole) {
  GAMECONFIG old = Defaults();
  GAMECONFIG next = Defaults();
  next.scores[0][0] = 777777;
  std::memcpy(next.names[0][0], "NEWBEST", 8);
  const Bytes newbytes = [&] {
    GAMECONFIG copy = next;
    SaveCfg(copy, (dir / "reference.cfg").c_str());
    return ReadWholeFile(dir / "reference.cfg");
  }();
  const CFGFILECALLS calls = FaultyCalls::Calls();
  int failAt = 0;
  for (;; ++failAt) {
    ASSERT_LT(failAt, 1000);
    const Bytes oldbytes = SaveAs(old);
    FaultyCalls::failAt = failAt;
    FaultyCalls::steps = 0;
    GAMECONFIG attempt = next;
    const int saved = SaveCfg(attempt, path, calls);
    const int error = errno;
    const bool injected = FaultyCalls::steps > failAt;
    EXPECT_EQ(saved, injected ? 0 : 1) << "step " << failAt;
    // The reason is the failing step's, not that of the clean-up after it.
    EXPECT_TRUE(!injected || error == EIO || error == ENOSPC) << "step " << failAt << ": " << std::strerror(error);
    EXPECT_EQ(ReadWholeFile(path), injected ? oldbytes : newbytes) << "step " << failAt;
    EXPECT_FALSE(std::ifstream(path + "_tmp").good()) << "step " << failAt;
    if (!injected) break;
  }
  // open, the writes, sync, close, rename
  const size_t writes = GetParam() >= 484 ? 1 : (484 + GetParam() - 1) / GetParam();
  EXPECT_EQ(failAt, static_cast<int>(4 + writes));
}

TEST_P(CfgSaveFault, ACrashAtAnyStepLeavesAFileTheNextStartReads) {
  FaultyCalls::crash = true;
  const CFGFILECALLS calls = FaultyCalls::Calls();
  GAMECONFIG next = Defaults();
  next.scores[1][1] = 4242;
  // Every save has at least these five steps: open, write, sync, close, rename.
  for (int failAt = 0; failAt < 5; ++failAt) {
    GAMECONFIG old = Defaults();
    const Bytes oldbytes = SaveAs(old);
    FaultyCalls::failAt = failAt;
    FaultyCalls::steps = 0;
    GAMECONFIG attempt = next;
    EXPECT_EQ(SaveCfg(attempt, path, calls), 0);
    // What a crash leaves: the old file, and maybe a partial temporary one beside it.
    EXPECT_EQ(ReadWholeFile(path), oldbytes) << "step " << failAt;
    EXPECT_EQ(BytesOf(Load(1)), AsLoaded(oldbytes));
    // The next save is not stopped by the leftover.
    attempt = next;
    EXPECT_EQ(SaveCfg(attempt, path), 1);
    EXPECT_EQ(Load(1).scores[1][1], 4242u);
  }
}

// 161: three writes of it and a last one of a single byte.
INSTANTIATE_TEST_SUITE_P(Cfg, CfgSaveFault, ::testing::Values(SIZE_MAX, 161),
                         [](const ::testing::TestParamInfo<size_t>& i) {
                           return i.param == SIZE_MAX ? std::string("WholeWrites")
                                                      : "Chunks" + std::to_string(i.param);
                         });

TEST_F(CfgTest, AFullDiskKeepsTheOldFile) {
  GAMECONFIG old = Defaults();
  const Bytes oldbytes = SaveAs(old);
  GAMECONFIG next = Defaults();
  next.mode = 1;
  {
    FileSizeLimit full(100);
    EXPECT_EQ(SaveCfg(next, path), 0);
  }
  EXPECT_EQ(ReadWholeFile(path), oldbytes);
  EXPECT_FALSE(std::ifstream(path + "_tmp").good());
}

TEST_F(CfgTest, ReadsInPiecesAndSavesIntoAFolderThatCannotTakeIt) {
  const Bytes file = SaveAs(Defaults());
  FaultyCalls::chunk = 7;
  GAMECONFIG c;
  EXPECT_EQ(LoadCfg(c, nullptr, path, FaultyCalls::Calls()), 1);
  FaultyCalls::chunk = SIZE_MAX;
  EXPECT_EQ(BytesOf(c), AsLoaded(file));
  // No folder there: nothing is written and the failure is reported.
  EXPECT_EQ(SaveCfg(c, (dir / "missing/Kolvo2.cfg").c_str()), 0);
}

// ---- keys that name no button ----

// Sealed records whose sums match: a key no button sends becomes its action's default (the
// direction defaults from the button list given), and the other keys stay.
TEST_F(CfgTest, KeysThatNameNoButtonGetTheirDefaults) {
  ZBUTTONLIST list;
  ZRecord_ButtonDefaults(&list);
  list.button[ZBUTTONLIST_LEFT] = ZBUTTON_L;  // a turned display's left
  const struct Case {
    uint8_t action;
    uint32_t code;
    uint32_t loaded;  // the key after the load
  } cases[] = {
      {ACTION_TURN, 0xFFFFFFFFu, ZBUTTON_Y},        // -1
      {ACTION_PAUSE, 0x80000000u, ZBUTTON_START},   // the smallest 32-bit number
      {ACTION_FASTDROP, 0, ZBUTTON_X},              // no key at all
      {ACTION_TURNLEFT, 17, ZBUTTON_B},             // between Y and the volume
      {ACTION_TURNRIGHT, 29, ZBUTTON_A},            // past the stick's push
      {ACTION_MOVEDOWN, 255, ZBUTTON_DOWN},
      {ACTION_MOVELEFT, 33, ZBUTTON_L},             // from the list
      // Codes of buttons stay, however unusual.
      {ACTION_MOVERIGHT, ZBUTTON_STICK, ZBUTTON_STICK},
      {ACTION_TURN, ZBUTTON_UPLEFT, ZBUTTON_UPLEFT},
      {ACTION_PAUSE, ZBUTTON_VOLDOWN, ZBUTTON_VOLDOWN},
      {ACTION_FASTDROP, ZBUTTON_SELECT, ZBUTTON_SELECT},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << "action " << int(k.action) << ", code " << k.code);
    GAMECONFIG c = Defaults();
    c.keyturnleft = ZBUTTON_R;  // another key, set by the player, that must stay
    if (k.action == ACTION_TURNLEFT) c.keyturn = ZBUTTON_R;
    CfgKey(c, k.action) = k.code;
    const Bytes file = SaveAs(c);
    GAMECONFIG loaded;
    ASSERT_EQ(LoadCfg(loaded, &list, path), 1);  // the sums match: the record is used
    EXPECT_EQ(CfgKey(loaded, k.action), k.loaded);
    Bytes expected = AsLoaded(file);
    Put32(expected, reinterpret_cast<uint8_t*>(&CfgKey(c, k.action)) - reinterpret_cast<uint8_t*>(&c), k.loaded);
    EXPECT_EQ(BytesOf(loaded), expected) << "only the bad key changes";
  }
}

// ---- what stands at the file's name ----

// A folder or a FIFO of the file's name gives the defaults at once: a FIFO's open would wait
// for a writer that never comes.
TEST_F(CfgTest, AFolderOrFifoOfTheNameGivesTheDefaultsWithoutWaiting) {
  {
    FifoGuard fifo(path);
    ASSERT_TRUE(fifo.Made());
    GAMECONFIG c = Load(0);
    EXPECT_FALSE(fifo.Rescued()) << "the load waited on the FIFO";
    EXPECT_EQ(BytesOf(c), DefaultImage());
    // Nor does a save wait on a FIFO left at the temporary name.
    ASSERT_EQ(std::rename(path, (path + "_tmp").c_str()), 0);
    EXPECT_EQ(SaveCfg(c, path), 0);
    EXPECT_FALSE(fifo.Rescued()) << "the save waited on the FIFO";
    EXPECT_NE(access(path, F_OK), 0);
  }
  ASSERT_EQ(mkdir(path, 0755), 0);
  EXPECT_EQ(BytesOf(Load(0)), DefaultImage());
}

struct KeepCalls {
  static inline std::string racer;  // a name another process takes just before the rename
  static int Racing(const char* from, const char* to) {
    if (racer == to) WriteWholeFile(racer, Bytes{'r'});
    return CfgSystemCalls().rename_noreplace(from, to);
  }
};

// A file set aside takes the first free name and never replaces one kept before: with the
// one-step rename; with the link and unlink that stand in for it where the system lacks
// it or a filter refuses it; with a claim of the name by an exclusive create and the plain
// rename over that empty file where links are refused too (FAT, the console's card); and
// when another process takes a name at the last moment. Where every way is refused the
// file stays at its name, and no way tried leaves anything behind.
TEST_F(CfgTest, AFileSetAsideNeverReplacesOneKeptBefore) {
  using Refusals = RefusingCfgCalls::Refusals;
  const Refusals none;
  const struct Case {
    const char* what;
    std::vector<std::string> before;  // suffixes kept already
    const char* kept;                 // null: the file cannot be set aside
    Refusals refused;
    const char* racer;
    bool folder;  // a folder of the name, not a file
    int error;    // when it cannot be set aside
  } cases[] = {
      {"none kept", {}, ".bad", none, nullptr, false, 0},
      {"one kept", {".bad"}, ".bad.1", none, nullptr, false, 0},
      {"two kept", {".bad", ".bad.1"}, ".bad.2", none, nullptr, false, 0},
      {"a gap", {".bad", ".bad.2"}, ".bad.1", none, nullptr, false, 0},
      {"by link, one kept", {".bad"}, ".bad.1", {EINVAL, 0, 0, 0}, nullptr, false, 0},
      {"by link, none kept", {}, ".bad", {EINVAL, 0, 0, 0}, nullptr, false, 0},
      {"a name taken meanwhile", {".bad"}, ".bad.2", none, ".bad.1", false, 0},
      {"the one-step rename refused, by link", {".bad"}, ".bad.1", {EPERM, 0, 0, 0}, nullptr, false, 0},
      {"by claim, none kept", {}, ".bad", {ENOSYS, EPERM, 0, 0}, nullptr, false, 0},
      {"by claim, one kept", {".bad"}, ".bad.1", {ENOSYS, EPERM, 0, 0}, nullptr, false, 0},
      {"by claim after a filter, two kept", {".bad", ".bad.1"}, ".bad.2", {EPERM, EPERM, 0, 0}, nullptr, false,
       0},
      {"every way refused", {".bad"}, nullptr, {EPERM, EPERM, 0, EPERM}, nullptr, false, EPERM},
      {"the claim refused", {}, nullptr, {EPERM, EPERM, EACCES, 0}, nullptr, false, EACCES},
      // The real link refuses a folder, and the plain rename will not put one over a file.
      {"a folder, by claim", {}, nullptr, {ENOSYS, 0, 0, 0}, nullptr, true, ENOTDIR},
  };
  const Bytes damaged = {'d', 'a', 'm', 'a', 'g', 'e', 'd'};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    dir.Clear();
    std::vector<std::string> expected = {"Kolvo2.cfg"};
    for (size_t i = 0; i < k.before.size(); ++i) {
      ASSERT_TRUE(WriteWholeFile(path + k.before[i], Bytes(3, static_cast<uint8_t>('a' + i))));
      expected.push_back("Kolvo2.cfg" + k.before[i]);
    }
    if (k.folder) {
      ASSERT_EQ(mkdir(path, 0755), 0);
    } else {
      ASSERT_TRUE(WriteWholeFile(path, damaged));
    }
    CFGFILECALLS calls = RefusingCfgCalls::Calls(k.refused);
    KeepCalls::racer = k.racer ? path + k.racer : "";
    if (k.racer) {
      calls.rename_noreplace = KeepCalls::Racing;
      expected.push_back(std::string("Kolvo2.cfg") + k.racer);
    }
    std::string kept;
    errno = 0;
    const int result = KeepCfgAside(path, kept, calls);
    const int error = errno;
    for (size_t i = 0; i < k.before.size(); ++i)
      EXPECT_EQ(ReadWholeFile(path + k.before[i]), Bytes(3, static_cast<uint8_t>('a' + i))) << k.before[i];
    if (k.racer) {
      EXPECT_EQ(ReadWholeFile(path + k.racer), Bytes{'r'});
    }
    if (k.kept) {
      EXPECT_EQ(result, 1) << std::strerror(error);
      EXPECT_EQ(kept, path + k.kept);
      EXPECT_EQ(ReadWholeFile(path + k.kept), damaged);
      EXPECT_NE(access(path, F_OK), 0) << "the name is free for the next save";
      expected[0] = std::string("Kolvo2.cfg") + k.kept;
    } else {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(error, k.error) << std::strerror(error);
      EXPECT_TRUE(kept.empty());
      struct stat st;
      ASSERT_EQ(lstat(path, &st), 0) << "the file stays at its name";
      if (k.folder) {
        EXPECT_TRUE(S_ISDIR(st.st_mode));
      } else {
        EXPECT_EQ(ReadWholeFile(path), damaged);
      }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderNames(dir.path()), expected) << "a claimed name left behind, or a file gone";
  }
  // Nothing to set aside: a failure, and nothing made.
  dir.Clear();
  std::string kept;
  EXPECT_EQ(KeepCfgAside(path, kept), 0);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_TRUE(kept.empty());
  EXPECT_TRUE(FolderNames(dir.path()).empty());
}

// A plain rename onto the claimed name that went through although it was reported as
// failed (a network file system's reply lost): what stands at the claimed name is no
// longer the empty file made for it, and stays.
TEST_F(CfgTest, AMoveReportedAsFailedIsNotUndone) {
  const Bytes damaged = {'l', 'o', 's', 't', '?'};
  ASSERT_TRUE(WriteWholeFile(path, damaged));
  CFGFILECALLS calls = RefusingCfgCalls::Calls({ENOSYS, EPERM, 0, 0});
  calls.rename = [](const char* from, const char* to) {
    return ::rename(from, to) == 0 ? (errno = EIO, -1) : -1;
  };
  std::string kept;
  EXPECT_EQ(KeepCfgAside(path, kept, calls), 0);
  EXPECT_EQ(errno, EIO);
  EXPECT_EQ(ReadWholeFile(path + ".bad"), damaged);
}

}  // namespace
