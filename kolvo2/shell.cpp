#include "kolvo2/shell.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/zmod_devptr.h"
#include "engine/core/zmod_std.h"
#include "engine/core/zmod_vtimer.h"
#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "engine/net/zmod_connect.h"
#include "seam/gp2x_seam.h"

ClassMain::ClassMain(const ZOLTDATA* data) : ClassZolt(data) { ResetCfg(cfg, nullptr); }

int ClassMain::OnCreate(ZOLTCONFIG* config, ZOLTDATA* data) {
  config->fps = 60;
  config->flags = 0;
  config->width = ClassGraphics::SCREEN_W;
  config->height = ClassGraphics::SCREEN_H;
  config->depth = 32;
  config->rotation = 0;
  config->shortsleep = 0;
  config->reserved17 = config->reserved18 = config->reserved19 = 0;
  config->fullscreen = 0;
  config->reserved21 = 1;
  config->reserved22 = 0;
  const char* command = data ? data->commandline : "";
  if (ClassZStd::StrEqual(command, "-f", false) || ClassZStd::StrEqual(command, "-fullscreen", false))
    config->fullscreen = 1;
  return 0;
}

int ClassMain::OnPluginLoad(ClassZDisplay* d) {
  ClassZLoaderBase* loaders[] = {new ZLoader_BMP, new ZLoader_PNG, new ZLoader_3DS};
  for (ClassZLoaderBase* l : loaders)
    if (!d->RegisterLoader(l)) delete l;
  return 0;
}

void ClassMain::WManageIntro(void* main, Z2DSurface& bb, uint32_t* next, uint32_t* status,
                             int32_t* keys, uint32_t elapsed) {
  static_cast<ClassMain*>(main)->intro.Manage(bb, next, status, keys, elapsed);
}
void ClassMain::WManageTitle(void* main, Z2DSurface& bb, uint32_t* next, uint32_t* status,
                             int32_t* keys, uint32_t elapsed) {
  static_cast<ClassMain*>(main)->title.Manage(bb, next, status, keys, elapsed);
}
void ClassMain::WManageLevel(void* main, Z2DSurface& bb, uint32_t* next, uint32_t* status,
                             int32_t* keys, uint32_t elapsed) {
  static_cast<ClassMain*>(main)->level.Manage(bb, next, status, keys, elapsed);
}

void ClassMain::AttachModules() {
  modules.table[0] = WManageIntro;
  modules.table[1] = WManageTitle;
  modules.table[2] = WManageLevel;
  Z2DSurface empty;
  uint32_t status = MODULE_ATTACH;
  modules.Attach(this, empty, &maindata, &status);
  console.Manage(nullptr, nullptr, &status, reinterpret_cast<int32_t*>(&maindata), 0);
}

int ClassMain::OnInit(int) {
  maindata.net = &net;
  maindata.gfx = &gfx;
  maindata.sound = &sound;
  maindata.console = &console;
  maindata.stats = &stats;
  maindata.buttons = &buttonlist;
  maindata.cfg = &cfg;
  maindata.zcd = &zcd;
  maindata.random = &random;
  maindata.hidefps = 0;
  maindata.saverequest = 0;
  random.Seed(ClassZRTimer::Count());
  AttachModules();
  return 0;
}

int ClassMain::LoadCfg() {
  const int used = ::LoadCfg(cfg, &buttonlist, CFG_FILENAME, *cfgcalls);
  cfgloaded = true;
  struct stat st;
  if (!used && stat(CFG_FILENAME, &st) == 0) {
    // The game starts from the defaults and will write them over the file at its next
    // save: the player's old scores and settings go aside first, where they can be had back.
    // Something else of the name (a folder, a FIFO) goes aside too: the save could not
    // replace it.
    const char* what = S_ISREG(st.st_mode) ? "cannot be used (damaged, cut short or unreadable)"
                       : S_ISDIR(st.st_mode) ? "is a folder, not a file"
                                             : "is not a regular file (a FIFO, a device or a socket)";
    std::string kept;
    if (KeepCfgAside(CFG_FILENAME, kept, *cfgcalls)) {
      std::fprintf(stderr, "kolvo2: %s %s: the game starts from the defaults; the old file is kept as %s\n",
                   CFG_FILENAME, what, kept.c_str());
    } else {
      // A save would write the defaults over the only copy of the player's scores: this
      // run's are the ones lost instead.
      std::fprintf(stderr,
                   "kolvo2: %s %s: the game starts from the defaults and saves nothing this run, so as not "
                   "to write over it (it cannot be set aside: %s)\n",
                   CFG_FILENAME, what, std::strerror(errno));
      cfgleftalone = true;
    }
  }
  return used;
}

int ClassMain::SaveCfg() {
  if (!cfgloaded || cfgleftalone) return 0;
  errno = 0;
  if (::SaveCfg(cfg, CFG_FILENAME, *cfgcalls)) return 1;
  // The game plays on; the player learns why the scores and settings will be gone next time.
  std::fprintf(stderr, "kolvo2: cannot save %s: %s\n", CFG_FILENAME,
               errno ? std::strerror(errno) : "the write did not complete");
  return 0;
}

int ClassMain::OnDisplayInit(int, ClassZDisplay* d) {
  LoadCfg();
  if (!sound.IsOpen() && !sound.IsFailed())
    sound.Initialize(cfg.alloff != 0, cfg.sfxvolume, cfg.musicvolume, &zcd);
  gfx.Init(d, &maindata);
  intro.LoadAhead();
  gfx.Preload();
  return 0;
}

void ClassMain::CheckInputRates(int32_t* words, uint32_t elapsed) { KeyWordsStep(words, elapsed); }

int ClassMain::OnNextFrame(ClassZDisplay* d, uint32_t elapsed) {
  if (maindata.saverequest) {
    SaveCfg();
    maindata.skipnextelapsed = 1;
    maindata.saverequest = 0;
  }
  if (maindata.skipnextelapsed) {
    maindata.skipnextelapsed = 0;
    elapsed = 0;
  }
  SubmissionFrame(maindata, this);
  if (modules.Ended()) {
    SaveCfg();
    cfgsaved = true;
    Quit();
    return 0;
  }
  const uint32_t fps = GetFPS();
  Z2DSurface& bb = d->backbuffer;
  modules.Run(this, bb, keys, elapsed);
  console.Manage(&bb, &modules.index, &modules.status, keys, elapsed);
  CheckInputRates(keys, elapsed);
  sound.Update(cfg.alloff != 0);
  if (cfg.showfps && !maindata.hidefps && modules.index != 0) gfx.Flip(bb, fps);
  if (modules.TakeMinimizeRequest()) Minimize();
  keys[KEYWORD_LASTCODE] = 0;
  return 0;
}

int ClassMain::OnMinimize() {
  if (modules.index == 0)
    Quit();
  else
    sound.Suspend();
  return 0;
}

int ClassMain::OnRestore() {
  std::memset(keys, 0, sizeof keys);
  modules.Restore(this, display.backbuffer, keys);
  sound.Resume();
  return 0;
}

void ClassMain::OnExit(int) {
  // A quit the system asked for comes here without passing the game's own quit.
  if (!cfgsaved) SaveCfg();
  cfgsaved = true;
  sound.Cleanup();
}

void ClassMain::OnButtonDown(uint32_t code, ZBUTTONLIST* list) {
  if (list) KeyWordsButton(keys, cfg, *list, code, true);
}

void ClassMain::OnButtonUp(uint32_t code, ZBUTTONLIST* list) {
  if (list) KeyWordsButton(keys, cfg, *list, code, false);
}

void ClassMain::OnWheel(int32_t steps) { keys[KEYWORD_WHEEL] = steps; }

void ClassMain::OnStylusDown(tagPOINT p) {
  keys[KEYWORD_STYLUSX] = p.x;
  keys[KEYWORD_STYLUSY] = p.y;
  keys[KEYWORD_STYLUS] = 1;
}

void ClassMain::OnStylusUp(tagPOINT p) {
  keys[KEYWORD_STYLUSX] = p.x;
  keys[KEYWORD_STYLUSY] = p.y;
  keys[KEYWORD_STYLUS] = 0;
}

void ClassMain::OnStylusDouble(tagPOINT) {}

void ClassMain::OnStylusMove(tagPOINT p) {
  keys[KEYWORD_STYLUSX] = p.x;
  keys[KEYWORD_STYLUSY] = p.y;
}

// ---------------------------------------------------------------------------------------

void HandOverToMenu() {
  gp2x::chdir("/usr/gp2x");
  gp2x::execl("gp2xmenu", "gp2xmenu", static_cast<char*>(nullptr));
}

ClassZolt* ZoltMain(ZOLTDATA* data) {
  ClassMain* app = new ClassMain(data);
  return app->Start();
}

int Kolvo2Main(HANDOVER handover) {
  if (HandleDevicePtr(false)) {
    ZOLTDATA data;
    ZRecord_StartData(&data, "Untitled", "");
    delete ZoltMain(&data);
    HandleDevicePtr(true);
  } else {
    std::fprintf(stderr, "kolvo2: cannot open the console's devices\n");
  }
  if (handover) handover();
  return 0;
}
