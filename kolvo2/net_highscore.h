// CaptureNetHighscore: posts the best entry of the Classic or Maniac table with its
// submission code to the score server and reads the reply. The high-score view starts it
// through the console (ClassConsole::OpenInternet), the shell's frame opens the
// connection, sends and cleans up, and the console counts the 30-second limit and shows
// the outcome; they meet through the net state:
//
//   254 prepared   0 sent   1 connected   253 posted (the body was "1")   255 failed
//
// The request is an HTTP/1.0 form POST of "game_id" (12), "code", "name" and "score" (row
// 0 of the table) to "/highscoresubmit.php" on the score server. The server's address is
// the environment variable KOLVO2_SCORE_SERVER ("host" or "host:port"; default
// SCORE_SERVER_DEFAULT on port 80). A server name that cannot be looked up gives no
// message at all: the console's time-out ends such a submission with "Timeout".
#pragma once

#include <cstdint>

#include "engine/net/zmod_connect.h"

struct MAINDATA;
class ClassZolt;

enum : uint8_t {
  NET_SENT = 0,
  NET_CONNECTED = 1,
  NET_POSTED = 253,
  NET_READY = 254,
  NET_FAILED = 255,
};

constexpr const char* SCORE_SERVER_DEFAULT = "scores.kolvo2.example";
constexpr const char* SCORE_SERVER_VARIABLE = "KOLVO2_SCORE_SERVER";
constexpr const char* SCORE_PATH = "/highscoresubmit.php";
constexpr int32_t SCORE_GAME_ID = 12;

class CaptureNetHighscore : public ClassZNetCapture {
 public:
  static constexpr uint32_t CODE_SIZE = 32;
  static constexpr uint32_t ERROR_SIZE = 256;
  // The longest body that is a message of the server's; the reply's header comes first
  // into the same buffer and gets room of its own, so that its length never decides.
  static constexpr uint32_t BODY_MAX = 511;
  static constexpr uint32_t HEADER_ROOM = 4096;
  static constexpr uint32_t REPLY_SIZE = HEADER_ROOM + BODY_MAX + 1;

  CaptureNetHighscore();
  ~CaptureNetHighscore() override = default;

  // Table number, net state 254, time 0, "No error", and the code (cut to 31 characters).
  void PrepareSubmit(uint8_t table, const char* code);
  // Net state 255 with the text (cut to 255 characters).
  void SetError(const char* text);
  // Builds the request and hands it to connection slot 0 of the engine; net state 0, or
  // 255 "Not enough memory" / "Initialization error" when it cannot be made.
  void SubmitScore(MAINDATA* data);
  void OnNetMessage(int32_t client, int32_t type, int32_t len, uint8_t* data) override;

  // "http://<server>/highscoresubmit.php" from the setting.
  static void ServerURL(char* out, uint32_t size);

  ZHTTPStack reply;
  MAINDATA* maindata = nullptr;
  char code[CODE_SIZE] = "";
  uint8_t table = 0;
  uint32_t elapsed = 0;  // ms since the submission started; the console advances it
  uint8_t netstate = NET_READY;
  uint8_t attached = 0;  // the connection must still be cleaned up
  char error[ERROR_SIZE] = "No error";
};

// The shell's part of a submission, once a frame while the console shows it: a prepared
// submission initialises connection slot 0 and is sent ("Initialization error" when the
// connection cannot be set up); a finished one has its connection cleaned up, once.
void SubmissionFrame(MAINDATA& data, ClassZolt* framework);
