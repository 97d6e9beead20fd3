#include "kolvo2/intro.h"

#include <cstdio>

#include "engine/graphics/zdsp_base.h"

#include "kolvo2/game_sound.h"
#include "kolvo2/graphics.h"

namespace {

constexpr int32_t kBarLeft = 35, kBarTop = 200, kBarRight = 285, kBarBottom = 216;

}  // namespace

void ClassIntro::Gradient(Z2DSurface& surface) {
  surface.GradientRect(nullptr, 0xA47354, 0x8E5434, 0xEEDEC6, 0xEEDEC6, 0x40);
}

void ClassIntro::LoadStepSounds(uint32_t s) {
  if (s == 10) maindata->sound->LoadSfxFiles("");
  if (s == 11) maindata->sound->LoadBgmFiles("");
}

int ClassIntro::ScriptLoad(uint32_t elapsed) {
  if (step >= STEPS) return 1;
  ClassGraphics& gfx = *maindata->gfx;
  if (step == 0) introtime = splashwait = 0;
  if (ahead ? step >= aheadsteps : !gfx.ScriptLoad(step)) {
    if (gfx.FailedPack())
      std::fprintf(stderr, "kolvo2: cannot open res/gfx.zpk: missing, or not a pack\n");
    else
      std::fprintf(stderr, "kolvo2: cannot load %s from res/gfx.zpk\n", gfx.FailedName());
    return 0;
  }
  if (!ahead) LoadStepSounds(step);
  if (step == 3) {
    // The splash stays at least this long, however fast the rest loads.
    splashwait += elapsed;
    if (splashwait < SPLASH_MS) return 1;
  }
  ++step;
  return 1;
}

void ClassIntro::LoadAhead() {
  if (!maindata || !maindata->gfx || !maindata->sound) return;
  ClassGraphics& gfx = *maindata->gfx;
  uint8_t s = 0;
  for (; s < STEPS && gfx.ScriptLoad(s); ++s) LoadStepSounds(s);
  ahead = true;
  aheadsteps = s;
  Z2DSurface* back = nullptr;
  gfx.GetBackSurface(back);
  if (s < STEPS || !back->Created()) return;
  Gradient(*back);
  ClassZDisplay* display = maindata->zcd ? maindata->zcd->display : nullptr;
  if (display && display->CreateSurface(&gradient, back->GetWidth(), back->GetHeight(), 0) == Z2D_OK)
    gradient.BltFast(0, 0, back, nullptr, 0, 0);
  gfx.DrawLogo(*back, 0u);
  gfx.DrawZoltBanner(*back);
  backready = true;
}

void ClassIntro::RenderZoltLogo(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  gfx.DrawBackDrop(bb);
  if (introtime < LOGO_MS) gfx.DrawLogo(bb, introtime);
  gfx.DrawZoltBanner(bb);
}

void ClassIntro::Manage(Z2DSurface& bb, uint32_t* next, uint32_t* status, int32_t* keys,
                        uint32_t elapsed) {
  switch (*status) {
    case MODULE_ATTACH:
      maindata = reinterpret_cast<MAINDATA*>(keys);
      return;
    case MODULE_ENTER:
      step = 0;
      phase = INTRO_LOADING;
      *status = MODULE_RUN;
      return;
    case MODULE_RUN:
      break;
    default:
      return;
  }
  ClassGraphics& gfx = *maindata->gfx;
  Z2DSurface* back = nullptr;
  gfx.GetBackSurface(back);
  switch (phase) {
    case INTRO_LOADING:
      introtime += elapsed;
      if (!ScriptLoad(elapsed)) {
        *next = MODULE_QUIT;
        return;
      }
      if (step == STEPS && introtime >= LOADING_MS) {
        introtime = 0;
        if (!backready) {
          Gradient(*back);
          gfx.DrawLogo(*back, 0u);
          gfx.DrawZoltBanner(*back);
        }
        gfx.Transition(bb, ClassGraphics::TRANSITION_RESET, false);
        phase = INTRO_FADEIN;
        maindata->skipnextelapsed = 1;
      }
      RenderAll(bb);
      break;
    case INTRO_FADEIN:
      if (gfx.Transition(bb, elapsed, false)) {
        Z2DSurface* backdrop = nullptr;
        gfx.GetBackDrop(backdrop);
        if (gradient.Created() && gradient.GetWidth() == backdrop->GetWidth() &&
            gradient.GetHeight() == backdrop->GetHeight())
          backdrop->BltFast(0, 0, &gradient, nullptr, 0, 0);
        else
          Gradient(*backdrop);
        gradient.Free();
        maindata->skipnextelapsed = 1;
        phase = INTRO_LOGO;
        maindata->sound->PlaySfx(5);
      }
      break;
    case INTRO_LOGO:
      introtime += elapsed;
      if (introtime >= LOGO_MS) {
        maindata->skipnextelapsed = 1;
        phase = INTRO_FADEOUT;
        introtime = LOGO_MS;
        gfx.Transition(bb, ClassGraphics::TRANSITION_RESET, false);
      }
      RenderZoltLogo(bb);
      break;
    case INTRO_FADEOUT:
      if (gfx.Transition(bb, elapsed, true)) {
        *next = 1;
        *status = MODULE_ENTER;
      }
      break;
    default:
      break;
  }
}

void ClassIntro::RenderAll(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  if (step < 2) {
    gfx.Clear(bb, 0);
    return;
  }
  gfx.DrawBackDrop(bb);
  gfx.DrawBar(bb, kBarLeft, kBarTop, kBarLeft + step * (kBarRight - kBarLeft) / STEPS, kBarBottom, 0);
  gfx.DrawRectangle(bb, kBarLeft, kBarTop, kBarRight, kBarBottom, 0);
  if (splashwait < SPLASH_MS)
    gfx.ScreenAlpha(bb, 0, static_cast<uint8_t>(255 - splashwait * 255 / SPLASH_MS));
}
