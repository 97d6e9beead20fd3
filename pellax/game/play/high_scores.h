// The six-entry high-score table, its file "pellax.dat", its screen and the initials entry.
#pragma once

#include <cstdint>

constexpr int kScoreEntries = 6;

struct high_score_table_t {
  int32_t count;  // 1..6
  char initials[kScoreEntries][4];
  int32_t scores[kScoreEntries];
};

extern high_score_table_t high_score_table;
extern int32_t initials_cursor;
extern int32_t initials_tick;
extern int32_t hiscore_music_pending;

int32_t score_qualifies(int32_t score);
// The slot the score takes, or -1 (nothing changed) when it does not make the table.
int32_t insert_high_score(const char* initials, int32_t score);
void load_high_scores();
// Writes the table through a temporary file renamed over "pellax.dat"; returns 0, or -1
// (reported on stderr) when it could not be written, which leaves the old file whole.
int32_t save_high_scores();
void run_high_score_screen(uint16_t* surface, int32_t show_prompt);
void reset_initials_entry();
// One step of the initials cycle (A..Z, 0..9, '-', '.', space): +1 forward, -1 back.
char step_initial(char c, int32_t direction);
