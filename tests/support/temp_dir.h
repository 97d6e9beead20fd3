// A fresh folder under the system's temporary folder (or under a base folder given) for
// one test, removed with all its contents when the object goes. path() is empty when the
// folder could not be made.
#pragma once

#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

// A path that engine calls taking an 8-bit name accept directly.
struct TempPath : std::string {
  explicit TempPath(std::string s) : std::string(std::move(s)) {}
  operator const char*() const { return c_str(); }
};

class TempDir {
 public:
  explicit TempDir(std::string base = "") {
    if (base.empty()) {
      const char* tmp = std::getenv("TMPDIR");
      base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = base + "/zolt_test_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data())) path_ = buffer.data();
  }
  ~TempDir() {
    if (!path_.empty()) nftw64(path_.c_str(), Remove, 16, FTW_DEPTH | FTW_PHYS);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Removes everything inside the folder and keeps the folder.
  void Clear() const {
    if (!path_.empty()) nftw64(path_.c_str(), RemoveInside, 16, FTW_DEPTH | FTW_PHYS);
  }
  // The full name of a file inside the folder.
  TempPath operator/(const std::string& name) const { return TempPath(path_ + "/" + name); }

 private:
  // The large-file walk: the plain one fails on 32 bits where positions pass 32 bits.
  static int Remove(const char* path, const struct stat64*, int, struct FTW*) {
    std::remove(path);
    return 0;
  }
  static int RemoveInside(const char* path, const struct stat64*, int, struct FTW* at) {
    if (at->level > 0) std::remove(path);
    return 0;
  }
  std::string path_;
};

inline std::vector<uint8_t> ReadWholeFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline bool WriteWholeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Runs the test body with the working folder changed, and changes back.
class WorkingDir {
 public:
  explicit WorkingDir(const std::string& path) {
    char* cwd = getcwd(nullptr, 0);
    if (cwd) {
      old_ = cwd;
      std::free(cwd);
    }
    if (chdir(path.c_str()) != 0) old_.clear();
  }
  ~WorkingDir() {
    if (!old_.empty() && chdir(old_.c_str()) != 0) std::perror("chdir");
  }
  WorkingDir(const WorkingDir&) = delete;
  WorkingDir& operator=(const WorkingDir&) = delete;

 private:
  std::string old_;
};

// A 16-bit copy of an 8-bit text for the engine's 16-bit calls.
struct Wide {
  uint16_t text[1024];
  explicit Wide(const std::string& s) {
    size_t n = s.size() < 1023 ? s.size() : 1023;
    for (size_t i = 0; i < n; i++) text[i] = static_cast<uint8_t>(s[i]);
    text[n] = 0;
  }
  operator const uint16_t*() const { return text; }
};

inline std::string Narrow(const uint16_t* s) {
  std::string out;
  while (s && *s) out += static_cast<char>(*s++ & 0xFF);
  return out;
}
