// Ini files: lines of "key = value", read one at a time through a fixed-size parse window
// from a file or a block of memory, and written (appended) to a file.
//
// Reading: CR, LF and CR LF each end a line. Text before the first '=' outside double
// quotes is the key, after it the value (another unquoted '=' starts the value again).
// '#' or ';' starts a comment that runs to the end of the line, inside quotes too. A
// double quote toggles quoting and stays in the text. Key and value are trimmed of white
// space and lose one pair of surrounding quotes; lines with an empty key are skipped.
// Keys and values longer than the caller's buffers are cut; the rest of the line is
// still consumed.
//
// Writing: key, " = ", the value (texts in double quotes), CR LF; comments as "# " and
// the text. Lines are appended at the end of the file opened with Open, or from the
// start of one made with New.
#pragma once

#include <cstdint>

#include "engine/core/zmod_file.h"

constexpr uint32_t ZINI_WINDOW = 4096;  // default parse window in bytes
constexpr uint32_t ZINI_TEXT = 256;     // buffers FindKey and FindValue use internally

class ClassZIni {
 public:
  ClassZIni();
  ~ClassZIni();
  ClassZIni(const ClassZIni&) = delete;
  ClassZIni& operator=(const ClassZIni&) = delete;

  // Opens a file (mode as ClassZFile::Open) for reading; lines written go to its end.
  uint8_t Open(const uint16_t* name, uint8_t mode = ZFILE_MODE_UPDATE);
  uint8_t Open(const char* name, uint8_t mode = ZFILE_MODE_UPDATE);
  // Reads from the caller's block, which must outlive the reading; 0 for length 0.
  int OpenData(const void* data, uint32_t length);
  // Creates or truncates a file for writing (no parse window until SetParseBufferSize).
  uint8_t New(const uint16_t* name);
  uint8_t New(const char* name);
  void Close();

  // A new window size (0 is refused); reading restarts at the beginning.
  int SetParseBufferSize(uint32_t size);
  void ResetCursor();

  // The next key and value; 1 when a key was read, 0 at the end (or without a window).
  int ReadLine(char* key, uint32_t keysize, char* value, uint32_t valuesize);
  // Reads on from the current place to the first line whose key (or value) matches,
  // and copies its value (or key). 0 at the end.
  int FindKey(const char* key, char* value, uint32_t valuesize, bool casesensitive);
  int FindValue(char* key, uint32_t keysize, const char* value, bool casesensitive);

  // File mode only; 1 when every byte was written.
  int WriteLine(const char* key, const char* text);
  int WriteLine(const char* key, int32_t number);
  int WriteComment(const char* text);
  int WriteNewline();

  // Refills the parse window; 1 when new bytes came in.
  int HandleFilebuf();

 private:
  int NextByte();
  void Restart();

  ClassZFile file;
  const uint8_t* data;  // memory mode: the caller's block
  uint8_t* window;      // file mode: the allocated window; memory mode: the block
  int64_t winoffset;    // memory mode: block offset of window position 0
  uint32_t position;
  uint32_t length;      // source size; also where the next written line goes
  uint32_t consumed;
  uint32_t windowsize;
  uint8_t open;
  uint8_t memorymode;
};

// Writes one line at offset (advanced past it), first a CR LF when the two bytes before
// offset hold no line feed. Value in double quotes when quote is set; a comment writes
// "# " and the key only. 1 when every byte was written.
int ZIni_WriteLine(ClassZFile* file, uint32_t& offset, const char* key, const char* value,
                   bool quote, bool comment);
// Trims white space, then removes one pair of surrounding double quotes. Returns text.
char* ZIni_QuoteTrim(char* text);
