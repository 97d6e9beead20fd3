// Floating score texts: grow, hold, shrink, then free themselves.
#pragma once

#include <cstdint>

void update_score_popups();
// Each popup's text (at most its 4 characters) centred on its position, shadow first.
void draw_score_popups(uint16_t* surface);
