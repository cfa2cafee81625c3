#pragma once
// A fresh folder for one test, removed with everything in it afterwards, and
// a snapshot of a folder's files to prove that nothing on disk changed.

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

namespace tavro::check {

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tavro-test-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every file and folder below root with its content ("<folder>" for
// folders) and permission bits.
inline std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> result;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const auto perms = static_cast<unsigned>(entry.status().permissions());
    result[entry.path().string()] =
        std::to_string(perms) + ":" +
        (entry.is_directory() ? std::string("<folder>") : ReadWholeFile(entry.path().string()));
  }
  return result;
}

}  // namespace tavro::check
