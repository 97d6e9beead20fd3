// The high-score view of the title screen: the Classic and Maniac tables with their
// submission codes, and the tools (submit online, erase).
#include <cstdio>
#include <cstring>

#include "engine/core/zmod_input.h"
#include "engine/core/zolt_records.h"
#include "kolvo2/console.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_sound.h"
#include "kolvo2/graphics.h"
#include "kolvo2/highscore_code.h"
#include "kolvo2/title.h"

namespace {

constexpr uint32_t kTabs = 3, kToolItems = 4;
constexpr int32_t kTabWidth = 106;
constexpr uint32_t kGrey = 0x808080, kTabColour = 0xFFC0C0, kCodeColour = 0x2060FF;
const char* const kTabNames[kTabs] = {"Classic", "Maniac", "Tools"};

}  // namespace

void ClassTitle::EncodeCodes() {
  const GAMECONFIG& cfg = *maindata->cfg;
  for (uint32_t t = 0; t < 4; ++t)
    if (!EncodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, HIGHSCORE_TABLE_BASE + t,
                         cfg.scores[t][0], codes[t], CODE_SIZE))
      codes[t][0] = 0;
}

void ClassTitle::EraseTables() {
  GAMECONFIG& cfg = *maindata->cfg;
  GAMECONFIG defaults;
  ResetCfg(defaults, maindata->buttons);
  std::memcpy(cfg.names, defaults.names, sizeof cfg.names);
  std::memcpy(cfg.scores, defaults.scores, sizeof cfg.scores);
  EncodeCodes();
  maindata->saverequest = 1;
}

uint32_t ClassTitle::ProcessHighscores(Z2DSurface& bb) {
  ClassConsole& console = *maindata->console;
  ClassZInput* input = Input();
  const int32_t Hp = static_cast<int32_t>(maindata->gfx->GetFontHeight());
  const int32_t L = Hp * 4 / 3;
  const int32_t strip = 240 - 8 * L;  // the tabs' top
  const int32_t y0 = 240 - 7 * L + L / 2 - Hp / 2;
  const int32_t Y = y0 + (240 - y0) / 2;

  if (console.Busy() == CONSOLE_YES) {
    if (selection == 2) {
      EraseTables();
      console.SetIdle();
    } else {
      console.SetIdle();
      const uint8_t table = selection == 1 ? 1 : 0;
      console.OpenInternet(table, codes[table]);
    }
  }
  uint32_t result = HS_STAY;
  if (console.Busy() == CONSOLE_IDLE && input) {
    for (int32_t d; (d = LastMovedH()) != 0;) {
      const int32_t tab = static_cast<int32_t>(hstab % kTabs) + d;
      if (tab < 0 || tab >= static_cast<int32_t>(kTabs)) continue;
      hstab = static_cast<uint32_t>(tab);
      PlaySfx();
    }
    const bool tools = hstab % kTabs == 2;
    if (tools)
      for (int32_t d; (d = LastMovedV()) != 0;) {
        selection = (selection + d + static_cast<int32_t>(kToolItems)) % static_cast<int32_t>(kToolItems);
        PlaySfx();
      }
    // The stylus: a tab, a tool, or above the strip to leave.
    auto tool = [&](int32_t y) {
      const int32_t i = (y + 2 * L - Y) / L;
      return y >= strip + L && i >= 0 && i < static_cast<int32_t>(kToolItems) ? i : -1;
    };
    int32_t x, y;
    input->GetClickPosition(x, y);
    if (tools && input->ClickHold(0) && tool(y) >= 0 && tool(y) != selection) {
      selection = tool(y);
      PlaySfx();
    }
    Z_INPUTEVENT e;
    while (result == HS_STAY && input->GetClickEvent(&e)) {
      if (e.type < ZINPUT_DOWN || e.type > ZINPUT_REPEAT) continue;
      if (e.type == ZINPUT_DOWN && e.y < strip) {
        input->ResetState();
        PlaySfx();
        result = HS_BACK;
      } else if (e.type == ZINPUT_DOWN && e.y < strip + L) {
        const uint32_t tab = static_cast<uint32_t>(e.x / kTabWidth) < kTabs ? static_cast<uint32_t>(e.x / kTabWidth) : kTabs - 1;
        if (tab != hstab % kTabs) PlaySfx();
        hstab = tab;
      } else if (tools && tool(e.y) >= 0) {
        if (tool(e.y) != selection) PlaySfx();
        selection = tool(e.y);
        if (e.type == ZINPUT_DOWN) {
          PlaySfx();
          result = 2 + static_cast<uint32_t>(selection);
        }
      }
    }
    if (result == HS_STAY) {
      if (tools && PressedKey(MENU_SELECT, false)) {
        PlaySfx();
        result = 2 + static_cast<uint32_t>(selection);
      } else if (!tools && (PressedKey(MENU_SELECT, false) || PressedKey(MENU_SELECT2, false))) {
        PlaySfx();
        result = HS_BACK;
      }
    }
  }
  DrawHighscores(bb);
  return result;
}

void ClassTitle::DrawHighscores(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  const GAMECONFIG& cfg = *maindata->cfg;
  const int32_t Hp = static_cast<int32_t>(gfx.GetFontHeight());
  const int32_t L = Hp * 4 / 3;
  const int32_t strip = 240 - 8 * L, band = 240 - 7 * L;
  const int32_t y0 = band + L / 2 - Hp / 2;
  const uint32_t tab = hstab % kTabs;

  gfx.DrawBackDrop(bb);
  gfx.DrawAlphaBar(bb, 0, band, 320, 240, 0xFFFFFF, 64);
  gfx.DrawLine(bb, 0, 239 - 8 * L, 319, 239 - 8 * L, 0);
  if (tab < 2) {
    const int32_t W = static_cast<int32_t>(gfx.GetFontWidth("9999999"));
    for (uint32_t r = 0; r < CFG_ROWS; ++r) {
      const int32_t y = y0 + static_cast<int32_t>(r) * L;
      // Scores are unsigned in the record and in the code line below: one reading of
      // them everywhere, 2^31 and above included.
      char score[16];
      std::snprintf(score, sizeof score, "%u", cfg.scores[tab][r]);
      char name[CFG_NAME_CHARS + 1];
      std::memcpy(name, cfg.names[tab][r], CFG_NAME_CHARS);
      name[CFG_NAME_CHARS] = 0;
      gfx.DrawGameFont(bb, W + 40 - static_cast<int32_t>(gfx.GetFontWidth(score)), y, score);
      gfx.DrawGameFont(bb, W + 56, y, name);
    }
    char line[64];
    std::snprintf(line, sizeof line, "%u : %s", cfg.scores[tab][0], codes[tab]);
    const char* lines[3] = {"Submission code", line, kScoreSite};
    const int32_t first = 240 + L / 2 + Hp / 4 - 4 * L - Hp / 2;
    for (int32_t i = 0; i < 3; ++i)
      gfx.DrawGameFontColor(bb, 160 - static_cast<int32_t>(gfx.GetFontWidth(lines[i])) / 2,
                            first + i * L, lines[i], kCodeColour);
  } else {
    const int32_t Y = y0 + (240 - y0) / 2;
    for (int32_t i = 0; i < static_cast<int32_t>(kToolItems); ++i)
      DrawItem(bb, 84, Y + i * L - 2 * L, menus[TOOLS].text[i], i == selection);
  }
  // The tabs, kept above the band's line.
  tagRECT all, tabs;
  bb.GetClipper(&all);
  SetRect(&tabs, 0, strip, 320, band);
  bb.SetClipper(&tabs);
  for (uint32_t k = 0; k < kTabs; ++k) {
    const int32_t l = kTabWidth * static_cast<int32_t>(k);
    const int32_t r = k + 1 == kTabs ? 321 : l + kTabWidth;
    const bool chosen = k == tab;
    gfx.DrawAlphaBar(bb, l, strip, r, band, 0xFFFFFF, chosen ? 64 : 32);
    const char* label = kTabNames[k];
    gfx.DrawGameFontColor(bb, (l + r) / 2 - static_cast<int32_t>(gfx.GetFontWidth(label)) / 2,
                          strip + L / 2 - Hp / 2, label, chosen ? kTabColour : kGrey);
    if (chosen) {
      gfx.DrawLine(bb, l, strip, l, band, 0);
      if (k + 1 < kTabs) gfx.DrawLine(bb, r - 1, strip, r - 1, band, 0);
    } else {
      gfx.DrawRectangle(bb, l, strip, r, band, 0);
    }
  }
  bb.SetClipper(&all);
}
