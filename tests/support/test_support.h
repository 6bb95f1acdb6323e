// Helpers shared by the tests: a private temporary folder and small file utilities.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orin::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, ending in "/".
  const std::string& Path() const { return path_; }
  // Path() + relative; folders on the way are created.
  std::string Write(const std::string& relative, std::string_view bytes) const;
  std::string operator/(const std::string& relative) const { return path_ + relative; }

 private:
  std::string path_;
};

// Sets (or, with a null value, removes) an environment variable for its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::string saved_;
  bool had_ = false;
};

std::string ReadHostFile(const std::string& path);
void WriteHostFile(const std::string& path, std::string_view bytes);
// Deterministic bytes that compress moderately (like pictures and text), for payloads.
std::string PatternBytes(size_t size, uint32_t seed = 1);
// Random-looking bytes that do not compress.
std::string NoiseBytes(size_t size, uint32_t seed = 1);

}  // namespace orin::test
