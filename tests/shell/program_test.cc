// The zelka program as a process: its command line contract, the single
// running copy and an orderly end on signals.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "shell_fixture.h"

extern char** environ;

namespace zelka {
namespace {

using testing::ReadBytes;

// The program built beside this test program, or "" when it has not been built.
std::string ProgramPath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / "zelka-app" / "zelka";
  return std::filesystem::exists(path, ec) ? path.string() : "";
}

class Process {
 public:
  explicit Process(std::vector<std::string> args) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = fdopen(out[0], "r");
    err_ = fdopen(err[0], "r");
  }
  ~Process() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (out_) fclose(out_);
    if (err_) fclose(err_);
  }
  std::string ReadLine() {
    char line[4096];
    return out_ && fgets(line, sizeof line, out_) ? line : "";
  }
  std::string ReadAllErrors() {
    std::string text;
    char buffer[4096];
    while (err_ && fgets(buffer, sizeof buffer, err_)) text += buffer;
    return text;
  }
  void Signal(int signal_number) { kill(pid_, signal_number); }
  // The exit status, or -1 when the process did not exit normally.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool waited_ = false;
  FILE* out_ = nullptr;
  FILE* err_ = nullptr;
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program = ProgramPath();
    if (program.empty()) GTEST_SKIP() << "the zelka program has not been built";
    FaultInjectingEnv env;
    LayOutProgramDirectory(testing::SourceAppDir(), dir.path(), env);
  }
  std::vector<std::string> Run() {
    return {program, "--app-dir", dir.path(), "--port", "0", "--no-browser"};
  }

  testing::TempDir dir;
  std::string program;
};

TEST_F(ProgramTest, PrintsItsUrlAndEndsInOrderOnEitherSignal) {
  for (int signal_number : {SIGTERM, SIGINT}) {
    Process zelka(Run());
    std::string url = zelka.ReadLine();
    EXPECT_TRUE(url.starts_with("http://127.0.0.1:")) << url;
    EXPECT_NE(url.find("token="), std::string::npos) << url;
    EXPECT_TRUE(url.ends_with("\n"));
    zelka.Signal(signal_number);
    EXPECT_EQ(zelka.Wait(), 0) << strsignal(signal_number);
    EXPECT_EQ(zelka.ReadAllErrors(), "");
    EXPECT_TRUE(std::filesystem::exists(dir.Child("_ZELKA20.mdb")));
  }
}

TEST_F(ProgramTest, SecondCopyRefusesAndLeavesTheFirstAlone) {
  Process first(Run());
  ASSERT_TRUE(first.ReadLine().starts_with("http://127.0.0.1:"));
  std::string live = ReadBytes(dir.Child("ZELKA20.mdb"));
  std::string previous = ReadBytes(dir.Child("_ZELKA20.mdb"));

  Process second(Run());
  EXPECT_EQ(second.ReadLine(), "");  // no URL: it never serves
  EXPECT_EQ(second.ReadAllErrors(), "既に起動されているので、終了します。\n");
  EXPECT_NE(second.Wait(), 0);
  EXPECT_EQ(ReadBytes(dir.Child("ZELKA20.mdb")), live);
  EXPECT_EQ(ReadBytes(dir.Child("_ZELKA20.mdb")), previous);

  first.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(), 0);
}

TEST_F(ProgramTest, CommandLineMistakesExitWithStatusTwo) {
  Process bad({program, "--port", "eighty"});
  EXPECT_NE(bad.ReadAllErrors().find("--port"), std::string::npos);
  EXPECT_EQ(bad.Wait(), 2);

  Process help({program, "--help"});
  EXPECT_TRUE(help.ReadLine().starts_with("Usage:"));
  EXPECT_EQ(help.Wait(), 0);
}

TEST_F(ProgramTest, StoreThatCannotBeOpenedEndsBeforeServing) {
  testing::WriteBytes(dir.Child("ZELKA20.mdb"), "not a database");
  Process zelka(Run());
  EXPECT_EQ(zelka.ReadLine(), "");
  EXPECT_NE(zelka.ReadAllErrors().find(dir.Child("ZELKA20.mdb")), std::string::npos);
  EXPECT_EQ(zelka.Wait(), 1);
  EXPECT_EQ(ReadBytes(dir.Child("ZELKA20.mdb")), "not a database");
}

TEST_F(ProgramTest, ReportCommandWritesAPageOrAPdfAndRefusesADirectoryInUse) {
  Database::Open(dir.Child("ZELKA20.mdb"))->Execute("INSERT INTO [相談受付表] ([整理番号], [1-1]) VALUES (3, '山田 <花子>')");
  auto report = [&](std::vector<std::string> options) {
    std::vector<std::string> args{program, "report", "--app-dir", dir.path()};
    args.insert(args.end(), options.begin(), options.end());
    return args;
  };
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string out_starts, err_has;
  } cases[] = {
      {{"--form", "intake", "--id", "3", "--out", dir.Child("r.html")}, 0, "<!DOCTYPE html>", ""},
      {{"--form", "intake", "--id", "3", "--out", dir.Child("r.pdf")}, 0, "%PDF", ""},
      {{"--form", "intake", "--id", "4", "--out", dir.Child("none.html")}, 1, "", "整理番号 4 の相談受付表がありません"},
      {{"--form", "assessment", "--id", "3", "--out", dir.Child("none.html")}, 2, "", "--date is required"},
      {{"--form", "cap-list", "--id", "3", "--out", dir.Child("none.txt")}, 2, "", ".html or .pdf"},
  };
  for (const Case& c : cases) {
    Process run(report(c.options));
    std::string errors = run.ReadAllErrors();
    EXPECT_EQ(run.Wait(), c.status) << errors;
    EXPECT_NE(errors.find(c.err_has), std::string::npos) << errors;
    EXPECT_TRUE(ReadBytes(c.options.back()).starts_with(c.out_starts)) << c.options.back();
  }
  EXPECT_NE(ReadBytes(dir.Child("r.html")).find("山田 &lt;花子&gt;"), std::string::npos);

  Process running(Run());
  ASSERT_TRUE(running.ReadLine().starts_with("http://127.0.0.1:"));
  Process refused(report({"--form", "intake", "--id", "3", "--out", dir.Child("again.html")}));
  EXPECT_EQ(refused.ReadAllErrors(), "既に起動されているので、終了します。\n");
  EXPECT_EQ(refused.Wait(), 1);
  EXPECT_FALSE(std::filesystem::exists(dir.Child("again.html")));
  running.Signal(SIGTERM);
  EXPECT_EQ(running.Wait(), 0);
}

}  // namespace
}  // namespace zelka
