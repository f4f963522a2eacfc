#include "util/env.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <thread>

#include "support/temp_dir.h"

namespace zelka {
namespace {

// Waits up to three seconds for a file a started program writes.
bool Appears(const std::string& path) {
  for (int i = 0; i < 300 && !std::filesystem::exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return std::filesystem::exists(path);
}

TEST(PosixEnvTest, FilesAreWrittenWholeAndFailuresNameThePath) {
  testing::TempDir dir;
  Env& env = Env::Default();
  std::string a = dir.Child("a.txt"), b = dir.Child("b.txt"), c = dir.Child("c.txt"), read, error;
  const std::string contents("line\r\n\0binary", 14);
  ASSERT_TRUE(env.WriteFile(a, contents));
  EXPECT_FALSE(env.FileExists(Env::TempPathFor(a)));
  ASSERT_TRUE(env.CopyFile(a, c));
  ASSERT_TRUE(env.ReadFile(c, &read));
  EXPECT_EQ(read, contents);
  ASSERT_TRUE(env.RenameFile(a, b));
  EXPECT_FALSE(env.FileExists(a));
  EXPECT_TRUE(env.SyncFile(b));
  ASSERT_TRUE(env.DeleteFile(b));
  EXPECT_FALSE(env.FileExists(b));

  EXPECT_FALSE(env.ReadFile(a, &read, &error));
  EXPECT_NE(error.find(a), std::string::npos) << error;
  EXPECT_FALSE(env.DeleteFile(a, &error));
  EXPECT_FALSE(env.RenameFile(a, b, &error));
  EXPECT_FALSE(env.CopyFile(a, b, &error));
  EXPECT_FALSE(env.FileExists(b));
  EXPECT_FALSE(env.WriteFile(dir.Child("no/such/dir/file"), "x", &error));
  EXPECT_NE(error.find("no/such/dir/file"), std::string::npos) << error;

  // A write that fails (here: a directory where its temporary file would go)
  // leaves the old file.
  std::filesystem::create_directory(Env::TempPathFor(c));
  EXPECT_FALSE(env.WriteFile(c, "new"));
  ASSERT_TRUE(env.ReadFile(c, &read));
  EXPECT_EQ(read, contents);
}

TEST(PosixEnvTest, StartsAProgramWithoutAShell) {
  testing::TempDir dir;
  Env& env = Env::Default();
  std::string marker = dir.Child("started; echo injected");
  // The argument reaches the program as one word, shell characters and all.
  ASSERT_TRUE(env.StartProgram({"touch", marker}));
  EXPECT_TRUE(Appears(marker));
  std::string error;
  EXPECT_FALSE(env.StartProgram({"/no/such/program"}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(env.StartProgram({}, &error));
}

// The application thread blocks SIGINT and SIGTERM for its signal thread; a
// program it starts (the browser, a page's EXE command) must still be stoppable.
TEST(PosixEnvTest, StartedProgramDoesNotInheritBlockedSignals) {
  testing::TempDir dir;
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  sigaddset(&blocked, SIGTERM);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &previous), 0);
  std::string out = dir.Child("status");
  bool started = Env::Default().StartProgram(
      {"/bin/sh", "-c", "grep SigBlk /proc/self/status > \"$0.part\" && mv \"$0.part\" \"$0\"", out});
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ASSERT_TRUE(started);
  ASSERT_TRUE(Appears(out));
  EXPECT_EQ(testing::ReadBytes(out), "SigBlk:\t0000000000000000\n");
}

}  // namespace
}  // namespace zelka
