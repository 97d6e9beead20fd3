#include "kolvo2/net_highscore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/zolt_records.h"
#include "kolvo2/console.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_records.h"

namespace {

// Copies at most size - 1 bytes of text, always terminated.
void CopyText(char* out, uint32_t size, const char* text, uint32_t length) {
  const uint32_t n = length < size - 1 ? length : size - 1;
  std::memcpy(out, text, n);
  out[n] = 0;
}

}  // namespace

CaptureNetHighscore::CaptureNetHighscore() = default;

void CaptureNetHighscore::ServerURL(char* out, uint32_t size) {
  const char* server = std::getenv(SCORE_SERVER_VARIABLE);
  if (!server || !*server) server = SCORE_SERVER_DEFAULT;
  std::snprintf(out, size, "http://%s%s", server, SCORE_PATH);
}

void CaptureNetHighscore::PrepareSubmit(uint8_t t, const char* c) {
  table = t;
  netstate = NET_READY;
  elapsed = 0;
  std::strcpy(error, "No error");
  CopyText(code, CODE_SIZE, c ? c : "", c ? static_cast<uint32_t>(std::strlen(c)) : 0);
}

void CaptureNetHighscore::SetError(const char* text) {
  netstate = NET_FAILED;
  const char* t = text ? text : "";
  CopyText(error, ERROR_SIZE, t, static_cast<uint32_t>(std::strlen(t)));
}

void CaptureNetHighscore::SubmitScore(MAINDATA* data) {
  maindata = data;
  ClassZConnect* connection = data && data->zcd ? data->zcd->connect[0] : nullptr;
  if (!connection || !data->cfg || table >= CFG_TABLES) {
    SetError("Initialization error");
    return;
  }
  char url[128];
  ServerURL(url, sizeof url);
  ZHTTPRequest request(url);
  attached = 1;
  connection->AttachNetCapture(this);

  const GAMECONFIG& cfg = *data->cfg;
  char name[CFG_NAME_CHARS + 1];
  CopyText(name, sizeof name, cfg.names[table][0], CFG_NAME_CHARS);
  request.AddParam("game_id", SCORE_GAME_ID);
  request.AddParam("code", code);
  request.AddParam("name", name);
  // Unsigned, as the submission code carries it: a best score of 2^31 or more must not
  // reach the server as a negative number its code does not match.
  char score[16];
  std::snprintf(score, sizeof score, "%u", cfg.scores[table][0]);
  request.AddParam("score", score);

  if (!reply.Alloc(REPLY_SIZE)) {
    SetError("Not enough memory");
    return;
  }
  // A reply can only come in a later frame's poll, but the state is set first all the same.
  netstate = NET_SENT;
  connection->SendHTTPPost(&request);
}

void CaptureNetHighscore::OnNetMessage(int32_t, int32_t type, int32_t len, uint8_t* data) {
  switch (type) {
    case ZNET_MSG_CONNECTED:
      netstate = NET_CONNECTED;
      break;
    case ZNET_MSG_DATA:
      // A chunk that does not fit marks the reply overflowed: it then has no body at all.
      if (data && len > 0) reply.Push(data, static_cast<uint32_t>(len));
      break;
    case ZNET_MSG_CLOSED: {
      const uint32_t size = reply.BodySize();
      char body[BODY_MAX + 1];
      uint32_t length = BODY_MAX;
      if (size == 0 || size > BODY_MAX || !reply.GetBody(body, length)) {
        SetError("Invalid response");
        break;
      }
      if (length == 1 && body[0] == '1') {
        netstate = NET_POSTED;
        break;
      }
      netstate = NET_FAILED;
      CopyText(error, ERROR_SIZE, body, length);
      break;
    }
    default:
      break;
  }
}

void SubmissionFrame(MAINDATA& data, ClassZolt* framework) {
  if (!data.console || !data.net || data.console->Busy() != CONSOLE_ONLINE) return;
  CaptureNetHighscore& net = *data.net;
  ClassZConnect* connection = data.zcd ? data.zcd->connect[0] : nullptr;
  if (net.netstate == NET_READY) {
    if (!connection || connection->Init(1, framework) != 0)
      net.SetError("Initialization error");
    else
      net.SubmitScore(&data);
  }
  if (data.console->Busy() == CONSOLE_ONLINE && net.netstate >= 200 &&
      net.netstate != NET_READY && net.attached) {
    if (connection) connection->Cleanup();
    net.attached = 0;
  }
}
