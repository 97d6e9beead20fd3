// ZHTTPRequest: what an HTTP/1.0 request needs: host, path, port, optional headers and a
// list of parameters, files and data blocks. ClassZConnect turns it into request text.
//
// The text fields are public; callers may set them directly, terminated within their
// size. A request whose texts are unterminated, hold CR or LF, or whose port is outside
// 1..65535 is refused when sent (nothing goes out).
#pragma once

#include <cstddef>
#include <cstdint>

class ClassZFile;

enum : uint32_t {
  ZHTTP_HOST_SIZE = 512,
  ZHTTP_PATH_SIZE = 512,
  ZHTTP_REFERER_SIZE = 1024,
  ZHTTP_AGENT_SIZE = 128,
  ZHTTP_USER_SIZE = 128,
  ZHTTP_PASSWORD_SIZE = 128,
  ZHTTP_MIME_SIZE = 32,          // room for any type GetMimeType writes
  ZHTTP_MIME_EXT_SIZE = 8,       // an extension row of AddMimeArray
  ZHTTP_LIST_BLOCK = 32,         // the lists grow by this many entries
  ZHTTP_URL_QUERY_LIMIT = 767,   // a URL whose last '?' lies beyond is ignored
};

// Values of ZHTTPRequest::connection.
enum : uint8_t { ZHTTP_CONNECTION_NONE = 0, ZHTTP_CONNECTION_KEEPALIVE = 1, ZHTTP_CONNECTION_CLOSE = 2 };

class ZHTTPRequest {
 public:
  ZHTTPRequest();
  // Host, port, path and query parameters from a URL text:
  // [http://]host[:port][/path][?name=value&...]. Values are URL-decoded, names not.
  // A URL longer than 65535 characters, whose last '?' lies beyond position 767, or whose
  // host or path does not fit its field, leaves the defaults (empty host: the request
  // cannot be sent). A query pair whose value is too long to copy is skipped.
  explicit ZHTTPRequest(const char* url);
  ~ZHTTPRequest();
  ZHTTPRequest(const ZHTTPRequest&) = delete;
  ZHTTPRequest& operator=(const ZHTTPRequest&) = delete;

  // Empty host, referer, user and password; user agent "Zolt/2.87"; port 80; no gzip;
  // no Connection header.
  void DefaultData();

  // Adds a plain form parameter (copies of both texts). 1, or 0 when out of memory or a
  // text is longer than the engine's text limit (nothing added).
  int AddParam(const char* name, const char* value);
  int AddParam(const char* name, int32_t value);
  // Adds a file part read whole from path; type null picks it by the extension. 1, or 0
  // for an empty, missing or unreadable file.
  int AddFile(const char* name, const char* path, const char* type = nullptr);
  // The same from an open file, from its current position to its end; the part's file
  // name is the name the file was opened under.
  int AddFile(const char* name, ClassZFile* file, const char* type = nullptr);
  // Adds a data part (the block is copied). fileName null: "file"; type null: by the
  // extension of fileName.
  int AddData(const char* name, const uint8_t* data, uint32_t length,
              const char* fileName = nullptr, const char* type = nullptr);

  // The MIME type of a file name by its extension (case-sensitive), into out (room for
  // ZHTTP_MIME_SIZE bytes); "application/octet-stream" when unknown or null.
  static void GetMimeType(char* out, const char* fileName);
  static void GetMimeType(char* out, const uint16_t* fileName);
  // Appends one row to a caller's table of `capacity` rows. 1, or 0 when the table is
  // full or a text does not fit its row.
  static int AddMimeArray(uint32_t& count, char extensions[][ZHTTP_MIME_EXT_SIZE],
                          char types[][ZHTTP_MIME_SIZE], uint32_t capacity,
                          const char* extension, const char* type);

  // Entry i: name, value or data bytes, byte length (a parameter's counts its terminating
  // zero), file name and type (both null for a plain parameter).
  uint32_t Count() const { return count; }
  const char* Name(uint32_t i) const { return names[i]; }
  const uint8_t* Value(uint32_t i) const { return values[i]; }
  int32_t Length(uint32_t i) const { return lengths[i]; }
  const char* FileName(uint32_t i) const { return fileNames[i]; }
  const char* Type(uint32_t i) const { return types[i]; }
  bool IsParam(uint32_t i) const { return types[i] == nullptr; }

  uint8_t gzip = 0;
  char host[ZHTTP_HOST_SIZE];
  char path[ZHTTP_PATH_SIZE];
  char referer[ZHTTP_REFERER_SIZE];
  char userAgent[ZHTTP_AGENT_SIZE];
  char user[ZHTTP_USER_SIZE];
  char password[ZHTTP_PASSWORD_SIZE];
  uint8_t connection = ZHTTP_CONNECTION_NONE;
  uint32_t port = 80;

 private:
  int ExpandList(size_t blocks);
  // Takes ownership of value; copies name, fileName and type.
  int AddEntry(const char* name, uint8_t* value, int32_t length, const char* fileName,
               const char* type);
  // AddEntry for a file part; type null picks it by the extension of fileName.
  int AddFilePart(const char* name, uint8_t* value, uint32_t length, const char* fileName,
                  const char* type);

  int32_t* lengths = nullptr;
  uint8_t** values = nullptr;
  char** fileNames = nullptr;
  char** names = nullptr;
  char** types = nullptr;
  uint32_t count = 0;
  size_t listCapacity = 0;
};
