// The program kolvo2 played end to end, headless on the host layer's virtual clock with a
// button script: the intro, the title, a Classic game played to its end by hard drops, the
// name typed on the on-screen keyboard, the options and the key assignment, the high
// scores with a submission to a server on the loopback interface, erasing the tables,
// the credits, the closing screen and the hand-over to the menu. Then the same with a
// hostile "Kolvo2.cfg" and with packs missing or damaged: the game repairs what it can,
// or stops with a message naming what it could not load, and never crashes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zldr_png.h"
#include "kolvo2/highscore_code.h"
#include "tests/kolvo2/data_folder.h"
#include "tests/kolvo2/loopback_server.h"
#include "tests/support/fifo_guard.h"
#include "tests/tools/tool_run.h"

#ifndef KOLVO2_PROGRAM
#error "KOLVO2_PROGRAM: the program under test"
#endif

extern char** environ;

namespace {

// ---- the record, written here from its layout ------------------------------------------

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The 484 bytes: names "Player 1".."Player 3" and these scores in every table, the
// default keys, start level 1, Classic, volumes 32, directions 1, shadow on; both sums.
struct Record {
  Bytes b = Bytes(484, 0);
  explicit Record(uint32_t s0 = 300, uint32_t s1 = 200, uint32_t s2 = 100) {
    for (int t = 0; t < 4; ++t)
      for (int r = 0; r < 3; ++r) {
        Name(t, r, "Player " + std::to_string(r + 1));
        Put32(b, 384 + 12 * t + 4 * r, r == 0 ? s0 : r == 1 ? s1 : s2);
      }
    const uint32_t keys[8] = {16, 5, 3, 7, 14, 13, 9, 15};  // offsets 432 ... 460
    for (int k = 0; k < 8; ++k) Put32(b, 432 + 4 * k, keys[k]);
    const uint8_t settings[9] = {1, 0, 32, 32, 1, 0, 0, 1, 0};  // offsets 472 ... 480
    std::memcpy(&b[472], settings, sizeof settings);
  }
  void Name(int t, int r, const std::string& n) {
    std::memset(&b[96 * t + 32 * r], 0, 32);
    std::memcpy(&b[96 * t + 32 * r], n.data(), n.size());
  }
  // Both sums over all bytes, the sum fields counted as 0.
  Bytes Sealed() const {
    Bytes out = b;
    Put32(out, 464, 0);
    Put32(out, 468, 0);
    uint32_t a = 0, s = 0;
    for (uint8_t v : out) {
      a += ((13u * v) & 511u) + 11u;
      s += (v & 127u) + 34u;
    }
    Put32(out, 464, a);
    Put32(out, 468, s);
    return out;
  }
};

// ---- the route --------------------------------------------------------------------------

struct Tap {
  uint32_t at;
  const char* button;
};

// The reply to the submission sent at 22.3 s comes in real time, while the virtual clock
// runs as fast as the frames go: on a busy machine it can come late in virtual time, or
// not before the 30-s time-out. The route goes on only once even a time-out's box has
// gone (52.3 s + 4.1 s), so that every run takes the same keys.
constexpr uint32_t kLater = 57000;

// Presses of 50 ms. The intro ends near 9.6 s; the first game's pieces fall in the middle
// and it ends after a few hard drops.
std::vector<Tap> Route(bool whole) {
  std::vector<Tap> taps = {{10000, "b"}};  // "Classic game"
  for (uint32_t i = 0; i < 10; ++i) taps.push_back({11000 + 100 * i, "x"});
  // The name: right onto "1", type it, down twice onto caps lock, left round to enter.
  const char* name[] = {"right", "b", "down", "down", "left", "b"};
  for (uint32_t i = 0; i < 6; ++i) taps.push_back({14000 + 200 * i, name[i]});
  if (!whole) return taps;
  const std::vector<Tap> rest = {
      // Options: music up, then "Done" by wrapping upwards.
      {16500, "down"}, {16700, "down"}, {16900, "b"}, {17200, "right"}, {17400, "up"}, {17600, "b"},
      // Keys: "Done" is chosen first; up eight times to "Move left", which takes Start.
      {18000, "down"}, {18200, "b"}, {18400, "up"}, {18550, "up"}, {18700, "up"}, {18850, "up"},
      {19000, "up"}, {19150, "up"}, {19300, "up"}, {19450, "up"}, {19700, "b"}, {20000, "start"},
      {20300, "up"}, {20500, "b"},
      // High scores, then the tools: submit Classic, yes.
      {20800, "down"}, {21000, "b"}, {21500, "right"}, {21700, "right"}, {21900, "b"},
      {22100, "left"}, {22300, "b"},
      // Once the result has gone (4 s after it): erase, yes; then "Exit".
      {kLater, "down"}, {kLater + 200, "down"}, {kLater + 400, "b"}, {kLater + 600, "left"},
      {kLater + 800, "b"}, {kLater + 1000, "down"}, {kLater + 1200, "b"},
      // Credits, left with A; then "Quit" and A on the closing screen.
      {kLater + 1500, "down"}, {kLater + 1700, "b"}, {kLater + 5000, "a"}, {kLater + 5300, "down"},
      {kLater + 5500, "b"}, {kLater + 6800, "a"},
  };
  taps.insert(taps.end(), rest.begin(), rest.end());
  return taps;
}

std::string Script(const std::vector<Tap>& taps) {
  std::ostringstream s;
  for (const Tap& t : taps) s << t.at << " " << t.button << "\n" << t.at + 50 << " none\n";
  return s.str();
}

// ---- running the program ----------------------------------------------------------------

struct Outcome {
  int exitcode = -1;
  std::string said;  // standard error
};

// Runs the program in folder with the host layer's settings given (and the rest of this
// process's environment, without its GP2X_ and KOLVO2_ settings).
Outcome RunGame(const std::string& folder, const std::map<std::string, std::string>& settings,
                void (*whilerunning)(const std::string& folder, pid_t child) = nullptr) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "GP2X_", 5) != 0 && std::strncmp(*e, "KOLVO2_", 7) != 0) env.push_back(*e);
  env.push_back("GP2X_HEADLESS=1");
  for (const auto& [k, v] : settings) env.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string errors = folder + "/stderr.txt";
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0 || !std::freopen(errors.c_str(), "w", stderr)) _exit(127);
    char* argv[] = {const_cast<char*>(KOLVO2_PROGRAM), nullptr};
    execve(KOLVO2_PROGRAM, argv, envp.data());
    _exit(127);
  }
  Outcome out;
  int status = 0;
  if (child > 0 && whilerunning) whilerunning(folder, child);
  if (child > 0 && waitpid(child, &status, 0) == child)
    out.exitcode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const Bytes said = ReadWholeFile(errors);
  out.said.assign(said.begin(), said.end());
  return out;
}

// The server in a process of its own: one request, written to a file, answered "1".
struct ScoreServer {
  LoopbackServer socket;
  std::string requestfile;
  pid_t child = -1;
  explicit ScoreServer(const std::string& file) : requestfile(file) {
    child = fork();
    if (child == 0) {
      const std::string reply = "1";
      const std::string request = socket.Serve(&reply, 60000);
      std::ofstream(requestfile) << request;
      _exit(0);
    }
  }
  ~ScoreServer() {
    if (child > 0) {
      kill(child, SIGTERM);
      waitpid(child, nullptr, 0);
    }
  }
  std::string Request() {
    if (child > 0) waitpid(child, nullptr, 0);
    child = -1;
    const Bytes r = ReadWholeFile(requestfile);
    return std::string(r.begin(), r.end());
  }
};

// A run's folder: the game's packs (linked) unless told otherwise, a record, a script.
struct Playground {
  TempDir dir;
  explicit Playground(bool packs = true) {
    EXPECT_EQ(mkdir((dir.path() + "/res").c_str(), 0755), 0);
    if (packs)
      for (const char* pack : {"gfx", "games", "sfx", "bgm"}) Link(pack);
  }
  void Link(const std::string& pack) {
    const std::string from = std::string(KOLVO2_DATA_DIR) + "/res/" + pack + ".zpk";
    EXPECT_EQ(symlink(from.c_str(), (dir.path() + "/res/" + pack + ".zpk").c_str()), 0);
  }
  std::string operator/(const std::string& name) const { return dir.path() + "/" + name; }
  Outcome Play(const std::vector<Tap>& taps, uint32_t until, const std::string& shots,
               const std::string& server = "127.0.0.1:1") {
    const std::string script = Script(taps);
    WriteWholeFile(*this / "script.txt", Bytes(script.begin(), script.end()));
    std::map<std::string, std::string> settings = {
        {"GP2X_SCRIPT", "script.txt"}, {"GP2X_UNTIL", std::to_string(until)}, {"KOLVO2_SCORE_SERVER", server}};
    if (!shots.empty()) {
      settings["GP2X_SHOTS"] = "shots";
      settings["GP2X_SHOT_AT"] = shots;
    }
    return RunGame(dir.path(), settings);
  }
};

// A screenshot's pixels, decoded, as one number (FNV-1a over the colour words).
uint64_t PictureSum(const std::string& png) {
  ZStandaloneDisplay engine(0, ZFMT_XRGB8888);
  engine.display.RegisterLoader(new ZLoader_PNG);
  Z2DSurface picture;
  const Bytes data = ReadWholeFile(png);
  if (data.empty() || engine.display.CreateSurface(&picture, data.data(), static_cast<uint32_t>(data.size()), 0))
    return 0;
  uint64_t h = 1469598103934665603ull;
  for (int32_t y = 0; y < static_cast<int32_t>(picture.GetHeight()); ++y)
    for (int32_t x = 0; x < static_cast<int32_t>(picture.GetWidth()); ++x) {
      h ^= picture.GetPixel(x, y);
      h *= 1099511628211ull;
    }
  return h;
}

std::string ShotName(uint32_t ms) {
  char name[32];
  std::snprintf(name, sizeof name, "shots/shot-%08u.png", ms);
  return name;
}

// Golden sums of chosen moments. No oracle can draw a whole screen independently, so the
// screens are pinned as they were looked at: a change of the drawing, the pictures or
// the rules changes them; look at the new shots (the failure names them), then update.
struct Golden {
  uint32_t at;
  const char* what;
  uint64_t sum;
};
const Golden kGolden[] = {
    {1000, "the splash and its full bar", 4980731388114999744u},
    {6500, "the engine's logo in flight", 3720881675046835788u},
    {9800, "the title's main menu", 4889001372582847564u},
    {11500, "a Classic game in play", 3788460463592488107u},
    {14700, "the name typed on the keyboard", 16087643769618841735u},
    {17300, "the options, music at 75%", 5708822321699226434u},
    {20400, "the keys after the swap", 12765983715580712656u},
    {21200, "the Classic table and its code", 16726758275848050888u},
    {kLater + 1100, "the tools after the erase", 5165937439957470204u},
    {kLater + 3500, "the credits scrolling", 3821208310431062942u},
    {kLater + 6500, "the closing screen", 6466011996724026263u},
};

std::string GoldenTimes() {
  std::string s;
  for (const Golden& g : kGolden) s += (s.empty() ? "" : ",") + std::to_string(g.at);
  return s;
}

class PlayThrough : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The whole route, twice over: once here and once in the test that compares.
    first = new Playground;
    ResultOf(*first, firstoutcome, firstrequest);
  }
  static void TearDownTestSuite() {
    delete first;
    first = nullptr;
  }
  static void ResultOf(Playground& p, Outcome& out, std::string& request) {
    WriteWholeFile(p / "Kolvo2.cfg", Record(0, 0, 0).Sealed());
    ScoreServer server(p / "request.txt");
    out = p.Play(Route(true), kLater + 12000, GoldenTimes(), server.socket.address());
    request = server.Request();
  }
  static inline Playground* first = nullptr;
  static inline Outcome firstoutcome;
  static inline std::string firstrequest;
};

TEST_F(PlayThrough, TheRouteEndsInTheHandOverWithTheRecordWrittenAsExpected) {
  EXPECT_EQ(firstoutcome.exitcode, 0) << firstoutcome.said;
  EXPECT_NE(firstoutcome.said.find("gp2xmenu"), std::string::npos) << firstoutcome.said;
  // Erased tables, music at 48, "Move left" on Start and "Pause" on Left.
  Record expected;
  expected.b[474] = 48;
  Put32(expected.b, 440, 9);
  Put32(expected.b, 456, 3);
  EXPECT_EQ(ReadWholeFile(*first / "Kolvo2.cfg"), expected.Sealed());
}

TEST(Program, TheGameEndsInTheTableWithTheNameTyped) {
  Playground p;
  WriteWholeFile(p / "Kolvo2.cfg", Record(0, 0, 0).Sealed());
  const Outcome out = p.Play(Route(false), 16000, "");
  EXPECT_EQ(out.exitcode, 0) << out.said;
  const Bytes saved = ReadWholeFile(p / "Kolvo2.cfg");
  ASSERT_EQ(saved.size(), 484u);
  // With no row cleared at level 1 every lock scores 1: a handful of hard drops.
  const uint32_t score = Get32(saved, 384);
  EXPECT_GE(score, 5u);
  EXPECT_LE(score, 10u);
  Record expected(0, 0, 0);
  Put32(expected.b, 384, score);
  expected.Name(0, 0, "1");
  expected.Name(0, 1, "Player 1");
  expected.Name(0, 2, "Player 2");
  EXPECT_EQ(saved, expected.Sealed());
}

TEST_F(PlayThrough, TheScoreIsSubmittedToTheServer) {
  ASSERT_EQ(firstrequest.rfind("POST /highscoresubmit.php HTTP/1.0\r\n", 0), 0u) << firstrequest;
  // Row 0 of the Classic table, as the game had it then: the name typed, its score and
  // the code the table's value and that score make.
  std::smatch form;
  ASSERT_TRUE(std::regex_search(firstrequest, form, std::regex("\r\n\r\ngame_id=12&code=([0-9A-F]{10})&name=1&score=([0-9]+)$")))
      << firstrequest;
  const uint32_t score = static_cast<uint32_t>(std::stoul(form[2]));
  char code[32];
  ASSERT_TRUE(EncodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, 44, score, code, sizeof code));
  EXPECT_EQ(form[1], code);
}

TEST_F(PlayThrough, ChosenMomentsLookAsTheyWereSeen) {
  std::string failed;
  for (const Golden& g : kGolden) {
    const uint64_t sum = PictureSum(*first / ShotName(g.at));
    if (sum != g.sum) failed += "\n  {" + std::to_string(g.at) + ", \"" + g.what + "\", " + std::to_string(sum) + "u},";
  }
  if (failed.empty()) return;
  // Kept for a look: the run's folder goes with the test.
  const char* tmp = std::getenv("TMPDIR");
  const std::string keep = std::string(tmp && *tmp ? tmp : "/tmp") + "/kolvo2-playthrough-shots";
  mkdir(keep.c_str(), 0755);
  for (const Golden& g : kGolden)
    WriteWholeFile(keep + "/" + ShotName(g.at).substr(6), ReadWholeFile(*first / ShotName(g.at)));
  ADD_FAILURE() << "shots (kept in " << keep << ") differ:" << failed;
}

TEST_F(PlayThrough, ASecondRunIsTheSameShotForShotAndByteForByte) {
  Playground second;
  Outcome out;
  std::string request;
  ResultOf(second, out, request);
  EXPECT_EQ(out.exitcode, 0) << out.said;
  for (const Golden& g : kGolden) EXPECT_EQ(ReadWholeFile(second / ShotName(g.at)), ReadWholeFile(*first / ShotName(g.at))) << g.at;
  EXPECT_EQ(ReadWholeFile(second / "Kolvo2.cfg"), ReadWholeFile(*first / "Kolvo2.cfg"));
  EXPECT_EQ(request, firstrequest);
}

// Sums that match, values out of every range: the game repairs them and plays.
TEST(Program, AHostileRecordIsRepairedAndTheGamePlays) {
  Playground p;
  Record hostile(0, 0, 0);
  hostile.b[472] = 0;    // start level 0 would divide by zero
  hostile.b[473] = 7;    // mode beyond the tables
  hostile.b[474] = 200;  // volumes above 64
  hostile.b[475] = 255;
  for (int f = 476; f <= 480; ++f) hostile.b[f] = 5;
  std::memset(&hostile.b[0], 'A', 32);  // a name with no end
  WriteWholeFile(p / "Kolvo2.cfg", hostile.Sealed());
  const Outcome out = p.Play(Route(false), 16000, "9800");
  EXPECT_EQ(out.exitcode, 0) << out.said;
  const Bytes saved = ReadWholeFile(p / "Kolvo2.cfg");
  ASSERT_EQ(saved.size(), 484u);
  EXPECT_GE(saved[472], 1);
  EXPECT_LE(saved[472], 9);
  EXPECT_LE(saved[473], 1);
  EXPECT_LE(saved[474], 64);
  EXPECT_LE(saved[475], 64);
  for (int f = 476; f <= 480; ++f) EXPECT_LE(saved[f], 1) << f;
  for (int slot = 0; slot < 12; ++slot) EXPECT_EQ(saved[32 * slot + 8], 0) << slot;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&saved[0])), "1") << "the game's score took row 0";
  EXPECT_NE(PictureSum(p / ShotName(9800)), 0u);
}

// Runs the game in folder and asks it to quit with SIGTERM once a picture of the title is
// taken: the game has loaded its record by then.
Outcome QuitAtTheTitle(const std::string& folder) {
  return RunGame(folder, {{"GP2X_SHOTS", "shots"}, {"GP2X_SHOT_AT", "9800"}},
                 [](const std::string& where, pid_t child) {
                   const std::string shot = where + "/" + ShotName(9800);
                   for (int i = 0; i < 3000 && access(shot.c_str(), F_OK) != 0; ++i) usleep(10000);
                   kill(child, SIGTERM);
                 });
}

// The system asks the game to quit (the window closed, SIGTERM): the game leaves through
// its own quit, which saves the record (here repaired from a hostile one) and hands over.
TEST(Program, AQuitTheSystemAsksForSavesTheRecord) {
  Playground p;
  Record hostile;
  hostile.b[472] = 0;  // start level 0: repaired to 1 when loaded
  WriteWholeFile(p / "Kolvo2.cfg", hostile.Sealed());
  const Outcome out = QuitAtTheTitle(p.dir.path());
  EXPECT_EQ(out.exitcode, 0) << out.said;
  EXPECT_NE(out.said.find("gp2xmenu"), std::string::npos) << out.said;
  Record expected;
  EXPECT_EQ(ReadWholeFile(p / "Kolvo2.cfg"), expected.Sealed());
}

// The program takes no arguments: --help shows what it is and how it runs, anything else
// is refused with that text rather than starting a game that nothing ends; the full-screen
// request a launcher may send is taken (the game is always full screen).
TEST(Program, TakesNoArgumentsButTheFullScreenRequest) {
  const struct Case {
    const char* arguments;
    int status;
    const char* says;  // on standard output when status is 0, else on standard error
  } cases[] = {
      {"--help", 0, "usage: kolvo2"},
      {"-h", 0, "usage: kolvo2"},
      {"--fast", 2, "usage: kolvo2"},
      {"--help extra", 2, "usage: kolvo2"},
      {"-f", 0, "cannot open res/gfx.zpk"},
      {"-fullscreen", 0, "cannot open res/gfx.zpk"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    // Run where there is no data: a game that starts ends at once with the intro's message.
    const std::string program = std::string("GP2X_HEADLESS=1 GP2X_UNTIL=200 ") + KOLVO2_PROGRAM + " " + c.arguments;
    const ToolRun run =
        RunTool("cd " + dir.path() + " && { " + program + (c.status ? " 2>&1 >/dev/null; }" : "; }"), "");
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.arguments << ": " << run.output;
  }
}

// A record the game cannot use (damaged, cut short, empty) is set aside under ".bad" with a
// message before the defaults are saved over it, so the player's scores can be had back.
TEST(Program, ADamagedRecordIsSetAsideBeforeTheDefaultsReplaceIt) {
  Bytes flipped = Record(9000, 8000, 7000).Sealed();
  flipped[384] ^= 0x40;  // a score changed behind the sums' back
  const Bytes cut(flipped.begin(), flipped.begin() + 300);
  const struct Case {
    const char* what;
    Bytes file;
  } cases[] = {{"a changed byte", flipped}, {"cut short", cut}, {"empty", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Playground p;
    WriteWholeFile(p / "Kolvo2.cfg", c.file);
    const Outcome out = QuitAtTheTitle(p.dir.path());
    EXPECT_EQ(out.exitcode, 0) << out.said;
    EXPECT_NE(out.said.find("kolvo2: Kolvo2.cfg cannot be used (damaged, cut short or unreadable): the game "
                            "starts from the defaults; the old file is kept as Kolvo2.cfg.bad"),
              std::string::npos)
        << out.said;
    EXPECT_EQ(ReadWholeFile(p / "Kolvo2.cfg.bad"), c.file);
    EXPECT_EQ(ReadWholeFile(p / "Kolvo2.cfg"), Record().Sealed());
  }
}

// A good record says nothing and is set aside nowhere.
TEST(Program, AGoodRecordIsNotSetAside) {
  Playground p;
  WriteWholeFile(p / "Kolvo2.cfg", Record(9000, 8000, 7000).Sealed());
  const Outcome out = QuitAtTheTitle(p.dir.path());
  EXPECT_EQ(out.said.find("damaged"), std::string::npos) << out.said;
  EXPECT_NE(access((p / "Kolvo2.cfg.bad").c_str(), F_OK), 0);
  EXPECT_EQ(ReadWholeFile(p / "Kolvo2.cfg"), Record(9000, 8000, 7000).Sealed());
}

// A second damaged record goes aside beside the first one kept, never over it.
TEST(Program, ASecondDamagedRecordKeepsTheFirstOneSetAside) {
  Playground p;
  const Bytes first = {'f', 'i', 'r', 's', 't'};
  const Bytes second = {'s', 'e', 'c', 'o', 'n', 'd'};
  WriteWholeFile(p / "Kolvo2.cfg.bad", first);
  WriteWholeFile(p / "Kolvo2.cfg", second);
  const Outcome out = QuitAtTheTitle(p.dir.path());
  EXPECT_EQ(out.exitcode, 0) << out.said;
  EXPECT_NE(out.said.find("the old file is kept as Kolvo2.cfg.bad.1\n"), std::string::npos) << out.said;
  EXPECT_EQ(ReadWholeFile(p / "Kolvo2.cfg.bad"), first);
  EXPECT_EQ(ReadWholeFile(p / "Kolvo2.cfg.bad.1"), second);
  EXPECT_EQ(ReadWholeFile(p / "Kolvo2.cfg"), Record().Sealed());
}

// A folder or a FIFO of the record's name: the game starts from the defaults at once (a
// FIFO's open would wait for a writer for ever), says so, sets it aside and saves its record.
TEST(Program, AFolderOrFifoOfTheRecordsNameIsSetAside) {
  const struct Case {
    const char* what;
    const char* says;
    bool fifo;
  } cases[] = {
      {"a FIFO", "kolvo2: Kolvo2.cfg is not a regular file (a FIFO, a device or a socket): the game starts "
                 "from the defaults; the old file is kept as Kolvo2.cfg.bad\n", true},
      {"a folder", "kolvo2: Kolvo2.cfg is a folder, not a file: the game starts from the defaults; the old "
                   "file is kept as Kolvo2.cfg.bad\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Playground p;
    std::unique_ptr<FifoGuard> fifo;
    if (c.fifo)
      fifo = std::make_unique<FifoGuard>(p / "Kolvo2.cfg");
    else
      ASSERT_EQ(mkdir((p / "Kolvo2.cfg").c_str(), 0755), 0);
    const Outcome out = QuitAtTheTitle(p.dir.path());
    EXPECT_EQ(out.exitcode, 0) << out.said;
    EXPECT_NE(out.said.find(c.says), std::string::npos) << out.said;
    struct stat st;
    ASSERT_EQ(lstat((p / "Kolvo2.cfg.bad").c_str(), &st), 0);
    EXPECT_TRUE(c.fifo ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode));
    EXPECT_EQ(ReadWholeFile(p / "Kolvo2.cfg"), Record().Sealed());
  }
}

// A record that cannot be saved (a folder where its temporary file goes): the player is
// told so at the quit, and the game still ends normally, leaving the folder as it was.
TEST(Program, ARecordThatCannotBeSavedIsReported) {
  Playground p;
  ASSERT_EQ(mkdir((p / "Kolvo2.cfg_tmp").c_str(), 0755), 0);
  const Outcome out = QuitAtTheTitle(p.dir.path());
  EXPECT_EQ(out.exitcode, 0) << out.said;
  EXPECT_NE(out.said.find("kolvo2: cannot save Kolvo2.cfg: Is a directory"), std::string::npos) << out.said;
  EXPECT_NE(out.said.find("gp2xmenu"), std::string::npos) << out.said;
  struct stat st;
  EXPECT_EQ(stat((p / "Kolvo2.cfg_tmp").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_NE(access((p / "Kolvo2.cfg").c_str(), F_OK), 0);
}

// Packs missing or damaged: a picture that cannot be loaded ends the program with its
// name; sound that cannot be loaded leaves a silent game that looks the same.
TEST(Program, MissingOrDamagedPacksStopWithTheirNameOrPlaySilently) {
  uint64_t title = 0;
  for (const Golden& g : kGolden)
    if (g.at == 9800) title = g.sum;
  struct Case {
    const char* what;
    const char* named;  // in the message, or null: the game plays
    void (*make)(Playground&);
  } cases[] = {
      {"no packs", "res/gfx.zpk", [](Playground&) {}},
      {"a cut graphics pack", "gfx",
       [](Playground& p) {
         const Bytes whole = ReadWholeFile(kGfx);
         WriteWholeFile(p / "res/gfx.zpk", Bytes(whole.begin(), whole.begin() + 4000));
       }},
      {"a damaged splash", "splash.bmp",
       [](Playground& p) {
         std::vector<std::pair<std::string, Bytes>> entries;
         for (const auto& [name, bytes] : GamePictures())
           entries.emplace_back(name, name == "splash.bmp" ? Bytes(bytes.begin(), bytes.begin() + 900) : bytes);
         WriteNamedPack(p / "res/gfx.zpk", entries);
       }},
      {"no sound packs", nullptr,
       [](Playground& p) {
         p.Link("gfx");
         p.Link("games");
       }},
      {"sound packs of junk", nullptr,
       [](Playground& p) {
         p.Link("gfx");
         p.Link("games");
         const Bytes junk(3000, 0x5A);
         WriteNamedPack(p / "res/sfx.zpk", {{"a.wav", junk}, {"b.wav", Bytes(12, 'R')}});
         WriteNamedPack(p / "res/bgm.zpk", {{"a.mod", junk}});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Playground p(false);
    c.make(p);
    const Outcome out = p.Play({}, 10000, c.named ? "" : "9800");
    EXPECT_EQ(out.exitcode, 0) << out.said;
    if (c.named) {
      EXPECT_NE(out.said.find(c.named), std::string::npos) << out.said;
      EXPECT_NE(out.said.find("gp2xmenu"), std::string::npos) << out.said;
    } else {
      EXPECT_EQ(PictureSum(p / ShotName(9800)), title);
    }
  }
}

}  // namespace
