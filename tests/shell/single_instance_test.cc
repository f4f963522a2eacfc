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
