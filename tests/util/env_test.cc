#include "util/env.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "support/temp_dir.h"
#include "util/fake_env.h"

namespace zelka {
namespace {

TEST(PosixEnvTest, WriteReadRenameCopyDelete) {
  testing::TempDir dir;
  Env& env = Env::Default();
  std::string a = dir.Child("a.txt"), b = dir.Child("b.txt"), c = dir.Child("c.txt");
  std::string contents("line\r\n\0binary", 14);
  ASSERT_TRUE(env.WriteFile(a, contents));
  EXPECT_FALSE(env.FileExists(Env::TempPathFor(a)));
  std::string read;
  ASSERT_TRUE(env.ReadFile(a, &read));
  EXPECT_EQ(read, contents);
  ASSERT_TRUE(env.CopyFile(a, c));
  ASSERT_TRUE(env.ReadFile(c, &read));
  EXPECT_EQ(read, contents);
  ASSERT_TRUE(env.RenameFile(a, b));
  EXPECT_FALSE(env.FileExists(a));
  EXPECT_TRUE(env.FileExists(b));
  EXPECT_TRUE(env.SyncFile(b));
  ASSERT_TRUE(env.DeleteFile(b));
  EXPECT_FALSE(env.FileExists(b));
}

TEST(PosixEnvTest, FailuresAreReportedWithThePath) {
  testing::TempDir dir;
  Env& env = Env::Default();
  std::string missing = dir.Child("missing");
  std::string error, read;
  EXPECT_FALSE(env.ReadFile(missing, &read, &error));
  EXPECT_NE(error.find(missing), std::string::npos);
  EXPECT_FALSE(env.DeleteFile(missing, &error));
  EXPECT_FALSE(env.RenameFile(missing, dir.Child("x"), &error));
  EXPECT_FALSE(env.CopyFile(missing, dir.Child("x"), &error));
  EXPECT_FALSE(env.FileExists(dir.Child("x")));
  EXPECT_FALSE(env.WriteFile(dir.Child("no/such/dir/file"), "x", &error));
  EXPECT_NE(error.find("no/such/dir/file"), std::string::npos);
}

TEST(PosixEnvTest, AFailedWriteLeavesTheOldFile) {
  testing::TempDir dir;
  Env& env = Env::Default();
  std::string path = dir.Child("keep.txt");
  ASSERT_TRUE(env.WriteFile(path, "old"));
  // A directory where the temporary file would go makes the write fail.
  std::filesystem::create_directory(Env::TempPathFor(path));
  EXPECT_FALSE(env.WriteFile(path, "new"));
  std::string read;
  ASSERT_TRUE(env.ReadFile(path, &read));
  EXPECT_EQ(read, "old");
}

TEST(PosixEnvTest, StartsAProgramWithoutAShell) {
  testing::TempDir dir;
  Env& env = Env::Default();
  std::string marker = dir.Child("started; echo injected");
  // The argument reaches the program as one word, shell characters and all.
  ASSERT_TRUE(env.StartProgram({"touch", marker}));
  for (int i = 0; i < 200 && !env.FileExists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(env.FileExists(marker));
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
  for (int i = 0; i < 300 && !std::filesystem::exists(out); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ifstream in(out);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "SigBlk:\t0000000000000000");
}

TEST(PosixEnvTest, NowIsAPlausibleLocalTime) {
  Date now = Env::Default().Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(Date::IsValid(now.year, now.month, now.day));
  EXPECT_EQ(Env::Default().Today(), now.DateOnly());
}

TEST(FaultInjectingEnvTest, FailsTheChosenCallsOnly) {
  testing::TempDir dir;
  FaultInjectingEnv env;
  std::string a = dir.Child("a"), b = dir.Child("b");
  env.FailNth(EnvOp::kWrite, 2);
  std::string error;
  EXPECT_TRUE(env.WriteFile(a, "1"));
  EXPECT_FALSE(env.WriteFile(a, "2", &error));
  EXPECT_NE(error.find("WriteFile"), std::string::npos);
  EXPECT_TRUE(env.WriteFile(a, "3"));
  std::string read;
  ASSERT_TRUE(env.ReadFile(a, &read));
  EXPECT_EQ(read, "3");
  EXPECT_EQ(env.Calls(EnvOp::kWrite), 3);

  env.FailPath(EnvOp::kRename, b);
  EXPECT_FALSE(env.RenameFile(a, b));  // the target path counts too
  EXPECT_TRUE(env.FileExists(a));
  env.ClearFaults();
  EXPECT_TRUE(env.RenameFile(a, b));
}

TEST(FaultInjectingEnvTest, CountsChangesAndCallsTheHook) {
  testing::TempDir dir;
  FaultInjectingEnv env;
  std::vector<std::string> seen;
  env.OnChange([&](int count, EnvOp op, const std::string&) {
    seen.push_back(std::to_string(count) + EnvOpName(op));
  });
  env.FailNthChange(2);
  std::string a = dir.Child("a");
  EXPECT_TRUE(env.WriteFile(a, "x"));
  EXPECT_TRUE(env.FileExists(a));      // not a change
  EXPECT_FALSE(env.SyncFile(a));       // change 2 fails
  EXPECT_TRUE(env.DeleteFile(a));
  EXPECT_EQ(seen, (std::vector<std::string>{"1WriteFile", "2SyncFile", "3DeleteFile"}));
  EXPECT_EQ(env.Changes(), 3);
}

TEST(FaultInjectingEnvTest, FixedClockAndRecordedPrograms) {
  FaultInjectingEnv env;
  env.SetNow(Date{2026, 12, 6, 9, 30, 0});
  EXPECT_EQ(env.Now(), (Date{2026, 12, 6, 9, 30, 0}));
  EXPECT_EQ(env.Today(), (Date{2026, 12, 6}));
  EXPECT_TRUE(env.StartProgram({"xdg-open", "/tmp/x.pdf"}));
  ASSERT_EQ(env.started_programs.size(), 1u);
  EXPECT_EQ(env.started_programs[0][1], "/tmp/x.pdf");
  env.FailNth(EnvOp::kStartProgram, 2);
  EXPECT_FALSE(env.StartProgram({"xdg-open", "y"}));
}

}  // namespace
}  // namespace zelka
