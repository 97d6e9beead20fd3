// The results of the sound library's calls: 0 for success, or one of these negative codes.
// Each call's comment says which of them it returns. The values are part of the library's
// interface (callers and saved logs compare them), so a code never changes its number.
#pragma once

enum qssResult : int {
  QSS_OK = 0,
  // Unsupported sample format, channel count or rate; a bad MS-ADPCM header or block; the
  // output device cannot be opened.
  QSS_ERR_FORMAT = -1,
  QSS_ERR_ALREADY_OPEN = -2,
  QSS_ERR_NOT_OPEN = -3,
  QSS_ERR_NO_DRIVER = -5,
  // No memory, or no image to load from.
  QSS_ERR_NO_MEMORY = -10,
  QSS_ERR_NULL_ARGUMENT = -11,
  // Not a module, or a sample format this library does not play.
  QSS_ERR_UNSUPPORTED = -100,
  QSS_ERR_CANNOT_OPEN_FILE = -200,
  // Shorter than its own structure says, or empty.
  QSS_ERR_BAD_STRUCTURE = -300,
  // No channel free, busy, or nothing loaded to play.
  QSS_ERR_CANNOT_PLAY = -1000,
  // An output buffer below 60 ms.
  QSS_ERR_BUFFER_TOO_SHORT = -10000,
};
