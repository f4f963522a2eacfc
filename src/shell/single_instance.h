// Keeps the program to one running copy per program directory: the first copy
// holds an exclusive lock on a lock file in the directory for its whole run.
// The operating system releases the lock when the process ends in any way, so
// a crashed copy never blocks the next start. The lock file itself stays.
#pragma once

#include <string>

#include "store/program_files.h"

namespace zelka {

inline constexpr const char kAlreadyRunningMessage[] = "既に起動されているので、終了します。";

class SingleInstanceLock {
 public:
  enum class Result { kAcquired, kHeldElsewhere, kFailed };

  SingleInstanceLock() = default;
  SingleInstanceLock(SingleInstanceLock&& other) noexcept;
  SingleInstanceLock& operator=(SingleInstanceLock&& other) noexcept;
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
  ~SingleInstanceLock();

  // Takes the lock of the program directory. kHeldElsewhere when another
  // copy (or another holder in this process) has it; kFailed, with a message
  // in *error, when the lock file cannot be opened at all.
  Result Acquire(const std::string& app_dir, std::string* error = nullptr);
  bool held() const { return fd_ >= 0; }
  void Release();

 private:
  int fd_ = -1;
};

}  // namespace zelka
