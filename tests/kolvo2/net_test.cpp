// The online submission against a server on the loopback interface, run by a thread of
// the test: what is sent, each kind of reply, silence, and the connection's clean-up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "engine/app/zolt.h"
#include "tests/kolvo2/loopback_server.h"
#include "tests/kolvo2/screens_fixture.h"

namespace {

class Submission : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(server.port(), 0) << "no loopback socket";
    setenv(SCORE_SERVER_VARIABLE, server.address().c_str(), 1);
    w.engine.zcd.connect[0] = &connection;
    std::strcpy(w.cfg.names[1][0], "A b&c=d");
    w.cfg.scores[1][0] = 4321;
    w.cfg.scores[1][1] = 4000;
    w.cfg.scores[1][2] = 10;
  }
  void TearDown() override { unsetenv(SCORE_SERVER_VARIABLE); }

  // Frames of the shell and the overlay until the console closes the submission; real
  // time passes only while the reply is awaited, up to 10 ms a frame until the server has
  // answered: the game's time-out then leaves the server thread seconds of a busy machine.
  // Returns the net state the console showed last and counts the frames that cleaned the
  // connection up.
  uint8_t Run(const std::string* reply, uint32_t frame_ms, std::string& request) {
    std::atomic<bool> answered{false};
    std::thread serve([&] {
      request = server.Serve(reply, 10000, 5000);
      answered = true;
    });
    w.console.OpenInternet(1, "0123456789");
    uint8_t shown = 0;
    cleanups = 0;
    for (int frame = 0; frame < 20000 && w.console.Busy() == CONSOLE_ONLINE; ++frame) {
      const uint8_t attached = w.net.attached;
      SubmissionFrame(w.data, &app);
      if (attached && !w.net.attached) ++cleanups;
      connection.CheckSockets(nullptr);
      shown = w.net.netstate;
      w.Console(frame_ms);
      if (w.net.netstate == NET_SENT || w.net.netstate == NET_CONNECTED)
        for (int i = 0; i < 50 && !answered; ++i) usleep(200);
    }
    serve.join();
    return shown;
  }

  LoopbackServer server;
  GameWorld w;
  ClassZolt app;
  ClassZConnect connection;
  int cleanups = 0;
};

TEST_F(Submission, EachReplyEndsInItsStateAndText) {
  // A body of up to 511 bytes is the server's message, whatever header came before it.
  const std::string big(600, 'x'), full(300, 'y'), longest(511, 'z'), over(512, 'z');
  std::string longheader = "HTTP/1.0 200 OK\r\n";
  for (int i = 0; i < 10; ++i) longheader += "X-Padding-" + std::to_string(i) + ": " + std::string(60, 'p') + "\r\n";
  longheader += "\r\n";
  const std::string plain = server.header;
  struct Case {
    const char* what;
    const std::string* reply;
    uint8_t state;
    std::string error;
    const std::string* header;
  } cases[] = {
      {"posted", new std::string("1"), NET_POSTED, "No error", &plain},
      {"a line end is no success", new std::string("1\r\n"), NET_FAILED, "1\r\n", &plain},
      {"the server's message", new std::string("Bad code"), NET_FAILED, "Bad code", &plain},
      {"no body", new std::string(""), NET_FAILED, "Invalid response", &plain},
      {"a body that does not fit", &big, NET_FAILED, "Invalid response", &plain},
      {"a long body, its text cut", &full, NET_FAILED, std::string(255, 'y'), &plain},
      {"the longest body", &longest, NET_FAILED, std::string(255, 'z'), &plain},
      {"the longest body behind a long header", &longest, NET_FAILED, std::string(255, 'z'), &longheader},
      {"posted behind a long header", new std::string("1"), NET_POSTED, "No error", &longheader},
      {"one byte too many", &over, NET_FAILED, "Invalid response", &plain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.header = *c.header;
    std::string request;
    EXPECT_EQ(Run(c.reply, 16, request), c.state);
    EXPECT_EQ(w.net.netstate, c.state);
    EXPECT_EQ(w.net.error, c.error);
    EXPECT_EQ(cleanups, 1);
    EXPECT_EQ(w.net.attached, 0);
    EXPECT_EQ(connection.GetNetCapture(), &w.net);
    // The form: these four in this order, the name of row 0 URL-encoded.
    EXPECT_EQ(request.rfind("POST /highscoresubmit.php HTTP/1.0\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("Host: 127.0.0.1\r\n"), std::string::npos) << request;
    const std::string body = "game_id=12&code=0123456789&name=A+b%26c%3Dd&score=4321";
    EXPECT_EQ(request.substr(request.size() - body.size()), body) << request;
    if (c.reply != &big && c.reply != &full && c.reply != &longest && c.reply != &over) delete c.reply;
  }
}

TEST_F(Submission, SilenceTimesOutAfterThirtySecondsOfFrames) {
  std::string request;
  // Frames of a second: the time-out comes at the 30th whatever the wall clock says.
  EXPECT_EQ(Run(nullptr, 1000, request), NET_FAILED);
  EXPECT_STREQ(w.net.error, "Timeout");
  EXPECT_EQ(cleanups, 1);
}

TEST_F(Submission, NoConnectionFailsAtOnceAndNoServerTimesOut) {
  w.engine.zcd.connect[0] = nullptr;
  w.console.OpenInternet(0, "0123456789");
  SubmissionFrame(w.data, &app);
  EXPECT_EQ(w.net.netstate, NET_FAILED);
  EXPECT_STREQ(w.net.error, "Initialization error");
  w.engine.zcd.connect[0] = &connection;
  w.console.SetIdle();
  // A server that cannot be reached (as one whose name is not found) gives no message:
  // only the time-out ends it.
  setenv(SCORE_SERVER_VARIABLE, "127.0.0.1:1", 1);
  w.console.OpenInternet(0, "0123456789");
  for (int i = 0; i < 40 && w.console.Busy() == CONSOLE_ONLINE; ++i) {
    SubmissionFrame(w.data, &app);
    connection.CheckSockets(nullptr);
    if (w.net.netstate != NET_FAILED) { EXPECT_EQ(w.net.netstate, NET_SENT); }
    w.Console(1000);
  }
  EXPECT_STREQ(w.net.error, "Timeout");
}

}  // namespace
