// A fresh, empty folder for one test, removed again when the test ends.
#pragma once

#include <string>

namespace zelka::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string Child(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The repository's own app/ folder (delivered data files), for tests that need
// the real catalogue, templates or settings file.
std::string SourceAppDir();

// A whole file as bytes ("" when it cannot be read), and a file written whole.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

}  // namespace zelka::testing
