// Compiles a tune written in a small text notation into a MOD module ("M.K." for 4
// channels, "nCHN" otherwise) whose instruments are synthesised (instruments.h).
//
// A tune is a list of lines; "#" starts a comment, a line ending in "\" goes on.
//   title TEXT                          song name (20 characters at most)
//   speed N / tempo N                   ticks per row (6) and tempo (125)
//   restart N                           order position the song loops back to (0)
//   instrument NAME PRESET VOLUME       instrument numbers follow the order of lines
//   drum LETTER INSTRUMENT NOTE VOLUME  a drum for step lines, e.g. "drum k kick c4 56"
//   channel N ROLE notes|drums [DEFAULTS...]   what a channel plays; the defaults start
//                                       every line of the role (e.g. "@lead o5 l8")
//   channel N ROLE copy SOURCE DELAY PERCENT   the source role's line, DELAY rows later
//                                       and PERCENT as loud, unless a pattern gives one
//   phrase NAME TEXT...                 text that "$NAME" stands for in a line
//   pattern NAME, then "ROLE: TEXT" lines, then "end"
//   order NAME...                       the song, pattern by pattern (lines add up)
//
// Every role line fills one pattern: 64 rows, a row a sixteenth note.
//   notes: c d e f g a b (+ sharp, - flat), a length 1 2 4 8 16 with dots, e.g. "e8."
//          "[ace]4" a chord (arpeggio on its root), "r" a rest (a fast fade), "&" a tie,
//          "oN" ">" "<" octave, "lN" default length, "@NAME" instrument, "vN" volume,
//          ":EPP" an effect on a note's first row, ";EPP" on its other rows (hex),
//          "|" asserts a bar line (16 rows)
//   drums: a letter a row (upper case accented), "." nothing, "|" a bar line
//
// Errors throw std::runtime_error("NAME:LINE: what").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace k2audio {

std::vector<uint8_t> CompileTune(const std::string& source, const std::string& name);

}  // namespace k2audio
