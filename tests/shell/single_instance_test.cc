#include "shell/single_instance.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <sstream>

#include "shell/main_window.h"
#include "support/temp_dir.h"

extern char** environ;

namespace zelka {
namespace {

using testing::TempDir;
using Result = SingleInstanceLock::Result;

TEST(SingleInstanceTest, OnlyOneHolderAtATimeAndReleaseFreesIt) {
  TempDir dir;
  SingleInstanceLock first, second;
  EXPECT_EQ(first.Acquire(dir.path()), Result::kAcquired);
  EXPECT_EQ(second.Acquire(dir.path()), Result::kHeldElsewhere);
  EXPECT_FALSE(second.held());

  SingleInstanceLock moved = std::move(first);  // moving keeps the lock
  EXPECT_EQ(second.Acquire(dir.path()), Result::kHeldElsewhere);
  moved.Release();
  EXPECT_EQ(second.Acquire(dir.path()), Result::kAcquired);

  // A folder that cannot hold the lock file is a failure with its reason.
  SingleInstanceLock lock;
  std::string error;
  EXPECT_EQ(lock.Acquire(dir.Child("missing"), &error), Result::kFailed);
  EXPECT_NE(error.find(dir.Child("missing")), std::string::npos) << error;
  std::ostringstream missing;
  EXPECT_FALSE(ClaimProgramDirectory(dir.Child("nowhere"), lock, missing));
  EXPECT_NE(missing.str().find("がありません"), std::string::npos) << missing.str();
}

// Another process holds the lock; when it dies without releasing it, the
// operating system frees the lock for the next start.
TEST(SingleInstanceTest, LockOfAProcessThatDiesIsFreed) {
  TempDir dir;
  int ready[2], finish[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(finish), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SingleInstanceLock lock;
    char c = lock.Acquire(dir.path()) == Result::kAcquired ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    (void)!read(finish[0], &c, 1);
    _exit(0);  // dies holding the lock
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');

  SingleInstanceLock lock;
  std::ostringstream err;
  EXPECT_FALSE(ClaimProgramDirectory(dir.path(), lock, err));
  EXPECT_EQ(err.str(), std::string(kAlreadyRunningMessage) + "\n");

  (void)!write(finish[1], "x", 1);
  waitpid(child, nullptr, 0);
  std::ostringstream none;
  EXPECT_TRUE(ClaimProgramDirectory(dir.path(), lock, none));
  EXPECT_EQ(none.str(), "");
  for (int fd : {ready[0], ready[1], finish[0], finish[1]}) close(fd);
}

// A program started while the lock is held (the browser, a page's EXE
// command) must not inherit it and keep the directory locked after we end.
TEST(SingleInstanceTest, StartedProgramsDoNotInheritTheLock) {
  TempDir dir;
  SingleInstanceLock lock;
  ASSERT_EQ(lock.Acquire(dir.path()), Result::kAcquired);
  pid_t pid = 0;
  char sleep_name[] = "sleep", seconds[] = "30";
  char* argv[] = {sleep_name, seconds, nullptr};
  ASSERT_EQ(posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ), 0);
  lock.Release();

  SingleInstanceLock next;
  EXPECT_EQ(next.Acquire(dir.path()), Result::kAcquired);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace
}  // namespace zelka
