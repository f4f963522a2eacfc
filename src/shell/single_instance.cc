#include "shell/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace zelka {

SingleInstanceLock::SingleInstanceLock(SingleInstanceLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

SingleInstanceLock& SingleInstanceLock::operator=(SingleInstanceLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SingleInstanceLock::~SingleInstanceLock() { Release(); }

SingleInstanceLock::Result SingleInstanceLock::Acquire(const std::string& app_dir,
                                                       std::string* error) {
  Release();
  std::string path = app_dir + "/" + kLockFileName;
  // Close-on-exec: a program started from the application (the browser, an
  // EXE page command) must not inherit the lock and keep it after we end.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = "ロックファイル " + path + " を開けません: " + std::strerror(errno);
    return Result::kFailed;
  }
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    int failure = errno;
    close(fd);
    if (failure == EWOULDBLOCK) return Result::kHeldElsewhere;
    if (error) *error = "ロックファイル " + path + " をロックできません: " + std::strerror(failure);
    return Result::kFailed;
  }
  fd_ = fd;
  return Result::kAcquired;
}

void SingleInstanceLock::Release() {
  if (fd_ < 0) return;
  flock(fd_, LOCK_UN);
  close(fd_);
  fd_ = -1;
}

}  // namespace zelka
