// The default Env: the POSIX operating system.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <thread>

#include "util/env.h"

extern char** environ;

namespace zelka {
namespace {

bool Fail(std::string* error, const std::string& what, const std::string& path, int err = errno) {
  if (error) *error = what + " " + path + ": " + std::strerror(err);
  return false;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Makes a completed rename durable: the directory entry itself is synced.
void SyncDirectoryOf(const std::string& path) {
  int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

class PosixEnv : public Env {
 public:
  bool FileExists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }

  bool FileSize(const std::string& path, uint64_t* size, std::string* error) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Fail(error, "cannot find", path);
    if (!S_ISREG(st.st_mode)) return Fail(error, "not a file:", path, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    *size = static_cast<uint64_t>(st.st_size);
    return true;
  }

  bool FreeSpace(const std::string& dir, uint64_t* bytes, std::string* error) override {
    struct statvfs fs;
    if (::statvfs(dir.c_str(), &fs) != 0) return Fail(error, "cannot measure the free space of", dir);
    *bytes = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    return true;
  }

  bool RenameFile(const std::string& from, const std::string& to, std::string* error) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return Fail(error, "cannot rename " + from + " to", to);
    SyncDirectoryOf(to);
    return true;
  }

  bool DeleteFile(const std::string& path, std::string* error) override {
    if (::unlink(path.c_str()) != 0) return Fail(error, "cannot delete", path);
    return true;
  }

  bool ReadFile(const std::string& path, std::string* contents, std::string* error) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail(error, "cannot open", path);
    contents->clear();
    char buf[1 << 16];
    for (;;) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0) {
        if (errno == EINTR) continue;
        int err = errno;
        ::close(fd);
        return Fail(error, "cannot read", path, err);
      }
      if (n == 0) break;
      contents->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
  }

  bool WriteFile(const std::string& path, const std::string& contents, std::string* error) override {
    return WriteThroughTemp(path, error, [&](int fd) { return WriteAll(fd, contents.data(), contents.size()); });
  }

  bool CopyFile(const std::string& from, const std::string& to, std::string* error) override {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail(error, "cannot open", from);
    bool read_failed = false;
    bool ok = WriteThroughTemp(to, error, [&](int out) {
      char buf[1 << 16];
      for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
          read_failed = true;
          return false;
        }
        if (n == 0) return true;
        if (!WriteAll(out, buf, static_cast<size_t>(n))) return false;
      }
    });
    int err = errno;
    ::close(in);
    if (!ok && read_failed) return Fail(error, "cannot read", from, err);
    return ok;
  }

  bool SyncFile(const std::string& path, std::string* error) override {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail(error, "cannot open", path);
    if (::fsync(fd) != 0) {
      int err = errno;
      ::close(fd);
      return Fail(error, "cannot sync", path, err);
    }
    ::close(fd);
    return true;
  }

  Date Now() override {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return Date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  }

  bool StartProgram(const std::vector<std::string>& argv, std::string* error) override {
    if (argv.empty()) {
      if (error) *error = "no program to start";
      return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own session: the program outlives us and ignores our terminal's signals.
    // The program starts with no signal blocked and the usual dispositions: the
    // application thread blocks SIGINT and SIGTERM for its signal thread, and a
    // started program must not inherit that (it could then not be stopped).
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGPIPE, SIGHUP}) sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return Fail(error, "cannot start", argv[0], rc);
    // Not waited for by the caller; a detached reaper keeps it from lingering as a zombie.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
  }

 private:
  // Writes into a fresh temporary file beside `path`, syncs it and renames it
  // over `path`; on any failure the temporary file is removed and `path` is untouched.
  template <typename Writer>
  bool WriteThroughTemp(const std::string& path, std::string* error, Writer&& write) {
    std::string temp = TempPathFor(path);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Fail(error, "cannot create a temporary file for", path);
    bool ok = write(fd);
    int err = errno;
    if (ok && ::fsync(fd) != 0) {
      ok = false;
      err = errno;
    }
    if (::close(fd) != 0 && ok) {
      ok = false;
      err = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
      ok = false;
      err = errno;
    }
    if (!ok) {
      ::unlink(temp.c_str());
      return Fail(error, "cannot write", path, err);
    }
    SyncDirectoryOf(path);
    return true;
  }
};

}  // namespace

std::string Env::TempPathFor(const std::string& path) { return path + ".part"; }

Env& Env::Default() {
  static PosixEnv env;
  return env;
}

bool Env::CopyFile(const std::string& from, const std::string& to, std::string* error) {
  std::string contents;
  return ReadFile(from, &contents, error) && WriteFile(to, contents, error);
}

}  // namespace zelka
