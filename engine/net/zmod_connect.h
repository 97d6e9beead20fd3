// ClassZConnect: the engine's network object. IPv4 TCP sockets in a server role (a
// listening socket and up to 16 clients) or a client role (one socket), polled once a
// frame from the framework's main loop on the game thread, every event delivered as a
// net message. No call waits: sockets are non-blocking, a connect completes in a later
// poll, unsent bytes wait for the socket to become writable. A client's host name is
// looked up on a thread of its own (ZNetLookup) while the connection waits in its
// connecting state; only a server's lookup of its own name is made in the call.
//
// Net messages (client 0 is the main socket, 1..16 a server's clients):
//   0 connected (client role; data: the peer's dotted address)
//   1 listening (server role; data: the own dotted address)
//   2 a client was accepted (data: its dotted address)
//   3 a socket was closed
//   4 data arrived (1..1024 bytes of one recv)
//   255 the pending request is about to be sent (to the framework only)
// Message texts are zero-terminated; len excludes the zero. The data pointer is valid only
// during the call. A connect or lookup failure gives no message (the connection just
// closes; a request waiting for it is dropped).
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "engine/net/zhttp_request.h"
#include "engine/net/zhttp_stack.h"
#include "engine/net/znet_frame.h"
#include "engine/net/znet_lookup.h"
#include "engine/net/znet_stack.h"

class ClassZolt;
class ClassZConnect;

enum : int32_t {
  ZNET_MSG_CONNECTED = 0,
  ZNET_MSG_LISTENING = 1,
  ZNET_MSG_ACCEPTED = 2,
  ZNET_MSG_CLOSED = 3,
  ZNET_MSG_DATA = 4,
  ZNET_MSG_REQUEST = 255,
};

enum : uint32_t {
  ZNET_MAX_CLIENTS = 16,
  ZNET_RECEIVE_SIZE = 1024,
  ZNET_BACKLOG = 128,
  ZNET_QUEUE_LIMIT = 1u << 20,  // unsent bytes kept per socket before sends are refused
};

// A receiver of net messages. Attached to at most one connection; either side detaches
// the other when destroyed.
class ClassZNetCapture {
 public:
  virtual void OnNetMessage(int32_t client, int32_t type, int32_t len, uint8_t* data) = 0;
  virtual ~ClassZNetCapture();
  ClassZConnect* GetConnection() const { return connection; }

 private:
  friend class ClassZConnect;
  ClassZConnect* connection = nullptr;
};

class ClassZConnect {
 public:
  ClassZConnect();
  ~ClassZConnect();
  ClassZConnect(const ClassZConnect&) = delete;
  ClassZConnect& operator=(const ClassZConnect&) = delete;

  // --- Connection and polling -------------------------------------------------------

  void SetConnectID(uint8_t id);  // values above 15 are stored as 15
  // transport 1 TCP/IP, 2 a second transport without an implementation. Cleans up first;
  // 3 for another transport, 4 for a null framework, else 0.
  int Init(uint16_t transport, ClassZolt* framework);
  // Closes every socket, frees the pending request, forgets transport and framework.
  void Cleanup();
  void AttachNetCapture(ClassZNetCapture* capture);
  void DetachNetCapture();
  ClassZNetCapture* GetNetCapture() const { return capture; }

  // Server role when host is null (listens on the bind address, or the own host's first
  // address), else client role (connects to host: a dotted address, or a name looked up
  // on a thread of its own, the connect following in the poll that sees the answer). port
  // 0 lets a server take any free port. 1 when the socket was set up or the lookup
  // started, else 0 (no message).
  int SearchHost(const char* host, int32_t port);
  // The server's bind address (dotted text); null goes back to the own host's address.
  // 1, or 0 for text that is not a dotted address.
  int SetBindAddress(const char* dotted);
  // The port a listening server is bound to, 0 when none.
  uint16_t GetBoundPort() const { return boundPort; }
  int Startup(bool server, const char* name, int32_t port, int* window, bool addressGiven);
  // The per-frame poll: accepts, reads, completes a connect, flushes unsent bytes.
  int CheckSockets(int* window);
  void SocketMessage(int socket, int* window, bool readEvent);
  // Handles one event on a socket: 1 read, 2 writable, 8 accept, 32 close.
  void OnAsync(int* window, int socket, int32_t event);
  // Client 1..16 (server): closes that slot. 0: every client slot, the main socket and the
  // pending request.
  void Disconnect(uint8_t client);
  int CreateSocket();
  // Shuts the sending side down, drains what is readable now (bounded), closes; -1 after.
  void CloseSocket(int& socket);
  int EstablishConnection();
  void ReleaseConnection();
  bool IsConnected() const { return connected; }
  bool IsServer() const { return server; }

  // Dotted decimal text of address (first number from the most significant byte),
  // zero-terminated; returns the index of the last character written.
  static int32_t IPAtoA(char* text, uint32_t address);
  // Dotted decimal to a value with the first number in the most significant byte, each
  // number modulo 256; 0xFFFFFFFF for more than three dots or a stray character.
  static uint32_t AtoIPA(const char* text);
  // Placeholders of the second transport.
  int SearchWireless(uint32_t address);
  char* BTAtoA(char* text, int32_t address);
  uint32_t AtoBTA(const char* text);
  // Routes one message: type 255 or no capture to the framework (dropped when there is
  // none), else to the capture.
  void CallNetMessage(int32_t client, int32_t type, int32_t len, uint8_t* data);

  // --- HTTP client -------------------------------------------------------------------

  // Each builds the request text into the pending buffer (an earlier connection is closed
  // first) and starts the connection; the text goes out once connected. 1 when started;
  // 0 when the request is refused (bad port, host missing, CR or LF in a header text),
  // out of memory, or the host cannot be set up.
  int SendHTTPGet(const ZHTTPRequest* request);
  int SendHTTPPost(const ZHTTPRequest* request);
  int SendHTTPPostMultipart(const ZHTTPRequest* request);
  int SendHTTPGet(const char* url, bool unused = false);
  int SendHTTPPost(const char* url, bool unused = false);
  // The request text waiting to be sent (what message 255 hands out).
  const uint8_t* GetPending() const { return pending; }
  int32_t GetPendingLength() const { return pendingLength; }

  // A-Z a-z 0-9 ! ' ( ) * - . _ ~ stay, a blank becomes '+', any other byte %XX.
  // out needs room for 3 * length + 1. Returns the characters written.
  static uint32_t UrlEncode(char* out, const char* in);
  // '+' becomes a blank, '%' with two hex digits one byte, anything else is copied (a '%'
  // without two hex digits too). out may be in; zero-terminated. Returns the bytes written.
  static uint32_t UrlDecode(char* out, const char* in);
  // Base64 (standard alphabet, '=' padding) of a zero-terminated text; out needs room for
  // 4 * ceil(length / 3) + 1. Returns the characters written.
  static uint32_t Base64Encode(char* out, const char* in);
  // Stops at '=' or a character outside the alphabet; drops a last group of one
  // character; zero-terminated. Returns the bytes written.
  static uint32_t Base64Decode(char* out, const char* in);
  // Host and path of the first length characters of a URL. 1, or 0 when the host or the
  // path does not fit its buffer (both left empty).
  static int SplitURL(const char* url, char* host, char* path, uint32_t length,
                      uint32_t hostSize = ZHTTP_HOST_SIZE, uint32_t pathSize = ZHTTP_PATH_SIZE);
  // Copies text to buffer + offset (nothing with a null buffer) and advances offset.
  static void ExpandString(char* buffer, uint32_t& offset, const char* text);
  // length dashes with the upper-case hex text of the clock written over the last ones.
  static void GenerateBoundary(char* out, uint8_t length);

  // Byte-array forms of the codecs (no terminators read or written).
  static uint32_t UrlEncodeBytes(char* out, const uint8_t* in, uint32_t length);
  static uint32_t UrlEncodedLength(const uint8_t* in, uint32_t length);
  static uint32_t Base64EncodeBytes(char* out, const uint8_t* in, uint32_t length);

  // --- Framed messages and ping --------------------------------------------------------
  // destination: on a server 0 = every connected client, 1..16 = that client; a client
  // always sends on its socket. Results: 1 sent or queued, 0 nothing sent.

  int Send(const uint8_t* data, int32_t length, uint8_t destination);
  // measureOnly: frameLength = the frame's length, nothing sent. Frames over 65535 bytes
  // are refused (0).
  int ZoltSend(uint8_t destination, const uint8_t* data, int32_t length, int32_t& frameLength,
               bool measureOnly);
  int SendRaw(const uint8_t* data, int32_t length, uint8_t destination);
  // Stamps the ping time and sends a ping request.
  int RequestPing(uint8_t destination);
  // Answers a ping request; this side's own outstanding ping is left alone.
  int RespondPing(uint8_t destination);
  int SendPingData(uint8_t destination, bool request);
  // Half the time since RequestPing, once; 0 when no ping is outstanding.
  uint32_t GetPingTime();

 private:
  struct OutQueue {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t capacity = 0;
  };

  int* SocketFor(int socket, uint8_t& client);
  int SendOn(int& socket, OutQueue& queue, const uint8_t* data, uint32_t length);
  int SendToDestination(const uint8_t* data, uint32_t length, uint8_t destination);
  void Flush(int& socket, OutQueue& queue);
  void FlushPending();
  void CompleteConnect();
  // Sets the address up from hostAddress and port and starts the socket (Startup).
  int Connect(int32_t port, bool addressGiven);
  // The poll's step while a name is looked up: connects once the address has come, or
  // closes the connection (no message) when there is none.
  void FinishLookup();
  void ClearQueue(OutQueue& queue);
  // A request builder's first step (refuses an unsafe request, closes the old connection)
  // and last (takes the built text, null when out of memory, and connects).
  bool BeginRequest(const ZHTTPRequest* r, bool multipart);
  int StartRequest(const ZHTTPRequest* r, uint8_t* text, uint32_t length);
  int SetPending(uint8_t* text, uint32_t length);
  void FreePending();

  int clients[ZNET_MAX_CLIENTS];
  int main = -1;
  sockaddr_in address{};
  uint32_t hostAddress = 0;     // the looked-up IPv4 address, host byte order
  char hostText[16] = {};       // its dotted text, for message 0
  uint8_t receive[ZNET_RECEIVE_SIZE];
  ClassZolt* framework = nullptr;
  ClassZNetCapture* capture = nullptr;
  uint8_t connectID = 0;
  uint8_t* pending = nullptr;
  int32_t pendingLength = 0;
  int32_t pendingSent = 0;
  uint32_t pingTime = 0;
  uint16_t transport = 0;
  uint8_t pingState = 0;
  bool server = false;
  bool connected = false;
  bool connecting = false;      // a client's connect is in progress
  uint32_t bindAddress = 0;     // host byte order
  bool bindGiven = false;       // false: bind to the own host's first address
  uint16_t boundPort = 0;
  uint32_t generation = 0;      // grows whenever every socket is closed
  ZNetLookup lookup;            // a client's host name being looked up
  int32_t lookupPort = 0;       // the port to connect to once it has come
  OutQueue mainQueue;
  OutQueue clientQueues[ZNET_MAX_CLIENTS];
};
