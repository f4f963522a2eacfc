// The zelka program as a process: its command line contract, the single
// running copy and an orderly end on signals.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "shell_fixture.h"

extern char** environ;

namespace zelka {
namespace {

using testing::ReadBytes;

// The program started with `args`; its standard error goes to a file.
class Process {
 public:
  Process(std::vector<std::string> args, std::string errors) : errors_(std::move(errors)) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, errors_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = fdopen(out[0], "r");
  }
  ~Process() {
    if (pid_ > 0 && status_ == -2) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (out_) fclose(out_);
  }
  std::string ReadLine() {
    char line[4096];
    return out_ && fgets(line, sizeof line, out_) ? line : "";
  }
  void Signal(int signal_number) { kill(pid_, signal_number); }
  // The exit status, or -1 when the process did not exit normally.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    return status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Errors() const { return ReadBytes(errors_); }

 private:
  pid_t pid_ = -1;
  int status_ = -2;
  std::string errors_;
  FILE* out_ = nullptr;
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "zelka-app" / "zelka").string();
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "the zelka program has not been built";
    LayOutProgramDirectory(testing::SourceAppDir(), dir.path(), Env::Default());
  }
  Process Start(std::vector<std::string> args = {}, const std::string& errors = "errors") {
    if (args.empty()) args = {"--app-dir", dir.path(), "--port", "0", "--no-browser"};
    args.insert(args.begin(), program);
    return Process(args, dir.Child(errors));
  }
  testing::TempDir dir;
  std::string program;
};

// A copy killed outright leaves the folder to the next start, which ends in
// order on SIGINT (SIGTERM: the tests below) with a previous copy kept. (The
// URL line itself is read by every browser test.)
TEST_F(ProgramTest, AKilledCopyLeavesTheFolderFreeAndARunEndsInOrderOnSigint) {
  Process killed = Start({}, "killed");
  ASSERT_TRUE(killed.ReadLine().starts_with("http://127.0.0.1:"));
  killed.Signal(SIGKILL);
  EXPECT_EQ(killed.Wait(), -1);
  Process zelka = Start();
  ASSERT_TRUE(zelka.ReadLine().starts_with("http://127.0.0.1:"));
  zelka.Signal(SIGINT);
  EXPECT_EQ(zelka.Wait(), 0);
  EXPECT_EQ(zelka.Errors(), "");
  EXPECT_TRUE(std::filesystem::exists(dir.Child("_ZELKA20.mdb")));
}

TEST_F(ProgramTest, SecondCopyRefusesAndLeavesTheFirstAlone) {
  Process first = Start();
  ASSERT_TRUE(first.ReadLine().starts_with("http://127.0.0.1:"));
  // The first copy's check after start-up completes its rotation.
  for (int i = 0; i < 500 && std::filesystem::exists(dir.Child("_ZELKA20.mdb.new")); ++i) usleep(10000);
  std::string live = ReadBytes(dir.Child("ZELKA20.mdb")), previous = ReadBytes(dir.Child("_ZELKA20.mdb"));
  Process second = Start({}, "second");
  EXPECT_EQ(second.ReadLine(), "");  // no URL: it never serves
  EXPECT_NE(second.Wait(), 0);
  EXPECT_EQ(second.Errors(), "既に起動されているので、終了します。\n");
  EXPECT_TRUE(ReadBytes(dir.Child("ZELKA20.mdb")) == live);
  EXPECT_TRUE(ReadBytes(dir.Child("_ZELKA20.mdb")) == previous);
  first.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(), 0);
}

// A port taken by another program.
struct Listener {
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    listen(fd, 1);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
  }
  ~Listener() { close(fd); }
  int fd, port;
};

// A bad command line ends with status 2.
TEST_F(ProgramTest, MistakesEndWithTheirStatusAndAMessage) {
  Process bad = Start({"--port", "eighty"});
  EXPECT_EQ(bad.Wait(), 2);
  EXPECT_NE(bad.Errors().find("--port"), std::string::npos);
  Process help = Start({"--help"});
  EXPECT_TRUE(help.ReadLine().starts_with("Usage:"));
  EXPECT_EQ(help.Wait(), 0);

  // Failures end with status 1 and a message, before serving, touching
  // neither database file: a taken port, output over a database file, init
  // over a used folder, and (last, as it spoils both) no good copy.
  std::string live = dir.Child("ZELKA20.mdb"), previous = dir.Child("_ZELKA20.mdb");
  std::filesystem::copy_file(live, previous);
  Listener taken;
  std::vector<std::string> cases[] = {
      {"--app-dir", dir.path(), "--port", std::to_string(taken.port), "--no-browser"},
      {"worksheet", "--app-dir", dir.path(), "--id", "1", "--date", "2003-07-01", "--out", live},
      {"verify", "--app-dir", dir.path(), "--out", previous},
      {"init", "--app-dir", dir.path()},
      {},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.empty() ? "no good copy" : args[0]);
    if (args.empty()) testing::WriteBytes(live, "not a database"), testing::WriteBytes(previous, "");
    std::string before_live = ReadBytes(live), before_previous = ReadBytes(previous);
    Process zelka = Start(args);
    EXPECT_EQ(zelka.ReadLine(), "");
    EXPECT_EQ(zelka.Wait(), 1);
    EXPECT_NE(zelka.Errors(), "");
    EXPECT_TRUE(ReadBytes(live) == before_live && ReadBytes(previous) == before_previous);
    EXPECT_FALSE(std::filesystem::exists(live + ".compact"));
  }
}

TEST_F(ProgramTest, ReportCommandWritesAPageOrAPdfAndRefusesADirectoryInUse) {
  Database::Open(dir.Child("ZELKA20.mdb"))->Execute("INSERT INTO [相談受付表] ([整理番号], [1-1]) VALUES (3, '山田 <花子>')");
  auto report = [&](std::vector<std::string> options) {
    options.insert(options.begin(), {"report", "--app-dir", dir.path()});
    return Start(options, "report-errors");
  };
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string out_starts, err_has;
  } cases[] = {
      {{"--form", "intake", "--id", "3", "--out", dir.Child("r.html")}, 0, "<!DOCTYPE html>", ""},
      {{"--form", "intake", "--id", "3", "--out", dir.Child("r.pdf")}, 0, "%PDF", ""},
      {{"--form", "intake", "--id", "4", "--out", dir.Child("none.html")}, 1, "", "整理番号 4 の相談受付表がありません"},
  };
  for (const Case& c : cases) {
    Process run = report(c.options);
    EXPECT_EQ(run.Wait(), c.status) << run.Errors();
    EXPECT_NE(run.Errors().find(c.err_has), std::string::npos) << run.Errors();
    EXPECT_TRUE(ReadBytes(c.options.back()).starts_with(c.out_starts)) << c.options.back();
  }
  EXPECT_NE(ReadBytes(dir.Child("r.html")).find("山田 &lt;花子&gt;"), std::string::npos);

  Process running = Start();
  ASSERT_TRUE(running.ReadLine().starts_with("http://127.0.0.1:"));
  Process refused = report({"--form", "intake", "--id", "3", "--out", dir.Child("again.html")});
  EXPECT_EQ(refused.Wait(), 1);
  EXPECT_EQ(refused.Errors(), "既に起動されているので、終了します。\n");
  EXPECT_FALSE(std::filesystem::exists(dir.Child("again.html")));
  running.Signal(SIGTERM);
  EXPECT_EQ(running.Wait(), 0);
}

}  // namespace
}  // namespace zelka
