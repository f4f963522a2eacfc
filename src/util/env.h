// The operating system as the program uses it: files, the clock and starting
// other programs. Code that touches any of these goes through an Env, so that
// tests can run against a fake clock and inject file-system failures (for
// example in the middle of the start-up compaction).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/date.h"

namespace zelka {

class Env {
 public:
  virtual ~Env() = default;

  // The real operating system.
  static Env& Default();

  virtual bool FileExists(const std::string& path) = 0;
  // The size of a regular file; false (with the reason) for a missing file,
  // a folder or anything else that is not a plain file.
  virtual bool FileSize(const std::string& path, uint64_t* size, std::string* error = nullptr) = 0;
  // The bytes the user may still write on the file system that holds `dir`.
  virtual bool FreeSpace(const std::string& dir, uint64_t* bytes, std::string* error = nullptr) = 0;
  // Each returns false (and leaves errno-style detail in *error when given)
  // instead of throwing, so callers decide what a failure means.
  virtual bool RenameFile(const std::string& from, const std::string& to,
                          std::string* error = nullptr) = 0;
  virtual bool DeleteFile(const std::string& path, std::string* error = nullptr) = 0;
  virtual bool ReadFile(const std::string& path, std::string* contents,
                        std::string* error = nullptr) = 0;
  // Writes through a temporary file and a rename, so a reader never sees half a file.
  virtual bool WriteFile(const std::string& path, const std::string& contents,
                         std::string* error = nullptr) = 0;
  virtual bool SyncFile(const std::string& path, std::string* error = nullptr) = 0;
  // Copies a file the way WriteFile writes one (temporary file, sync, rename),
  // so `to` is either its old self or a complete copy. The default reads the
  // whole file and writes it; the real Env streams it.
  virtual bool CopyFile(const std::string& from, const std::string& to,
                        std::string* error = nullptr);

  // The temporary file WriteFile and CopyFile write before renaming it over
  // `path`. A crash can leave it behind; whoever owns `path` may delete it.
  static std::string TempPathFor(const std::string& path);

  // Local wall-clock time.
  virtual Date Now() = 0;
  Date Today() { return Now().DateOnly(); }

  // Starts a program with its arguments, never through a shell. Returns false
  // when it could not be started.
  virtual bool StartProgram(const std::vector<std::string>& argv,
                            std::string* error = nullptr) = 0;
};

}  // namespace zelka
