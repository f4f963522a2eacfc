#include "shell/cli.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zelka {
namespace {

using Mode = CommandLine::Mode;

std::optional<CommandLine> Parse(std::vector<std::string> args, std::string* error = nullptr) {
  std::string ignored;
  return ParseCommandLine(args, error ? error : &ignored);
}

// Each mode takes its options in any order and either form; a batch mode
// names the option it misses.
TEST(CommandLineTest, ModesAndTheirOptions) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "run 0 0 | 0 0000-00-00"},
      {{"--no-browser", "--port", "8123", "--app-dir", "/tmp/x"}, "run 8123 1 /tmp/x| 0 0000-00-00"},
      {{"--app-dir=/a b", "--port=0"}, "run 0 0 /a b| 0 0000-00-00"},
      {{"verify", "--out", "v.txt", "--app-dir", "d"}, "verify 0 0 d|v.txt 0 0000-00-00"},
      {{"worksheet", "--app-dir", "d", "--id", "42", "--date", "2003-04-01", "--out", "w.rtf"},
       "worksheet 0 0 d|w.rtf 42 2003-04-01"},
      {{"report", "--app-dir", "d", "--form", "cap-list", "--id", "5", "--out", "list.PDF"},
       "report 0 0 d|list.PDF 5 0000-00-00"},  // the date is optional for the CAP list
  };
  const char* modes[] = {"run", "init", "verify", "worksheet", "report", "help"};
  for (const auto& [args, expected] : cases) {
    auto cl = Parse(args);
    ASSERT_TRUE(cl) << expected;
    EXPECT_EQ(std::string(modes[static_cast<int>(cl->mode)]) + " " + std::to_string(cl->port) + " " +
                  std::to_string(cl->no_browser) + " " + cl->app_dir + "|" + cl->out + " " +
                  std::to_string(cl->record_number) + " " + cl->reference_date.IsoDate(),
              expected);
  }
  for (const auto& [args, missing] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"init"}, "--app-dir"}, {{"verify", "--app-dir", "d"}, "--out"},
           {{"worksheet", "--app-dir", "d", "--id", "1", "--out", "w"}, "--date"},
           {{"report", "--app-dir", "d", "--id", "1", "--out", "r.pdf"}, "--form"}}) {
    std::string error;
    EXPECT_FALSE(Parse(args, &error));
    EXPECT_NE(error.find(missing + " is required"), std::string::npos) << error;
  }
}

TEST(CommandLineTest, BadArgumentsAreNamedInTheMessage) {
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {{"--port", "65536"}, "\"65536\""},
      {{"--port", "-1"}, "--port"},
      {{"--port"}, "--port needs a value"},
      {{"--app-dir", ""}, "--app-dir needs a folder"},
      {{"--colour"}, "unknown option --colour"},
      {{"serve"}, "unknown command \"serve\""},
      {{"--port", "1", "extra"}, "unexpected argument \"extra\""},
      {{"--port", "1", "--port", "2"}, "--port is given twice"},
      {{"--no-browser=yes"}, "--no-browser takes no value"},
      {{"init", "--app-dir", "d", "--port", "1"}, "--port cannot be used with init"},
      {{"--out", "x"}, "--out cannot be used with the application"},
      {{"worksheet", "--app-dir", "d", "--id", "0", "--date", "2003-04-01", "--out", "w"}, "--id"},
      {{"worksheet", "--app-dir", "d", "--id", "7x", "--date", "2003-04-01", "--out", "w"}, "\"7x\""},
      {{"worksheet", "--app-dir", "d", "--id", "7", "--date", "2003-02-30", "--out", "w"}, "\"2003-02-30\""},
      {{"worksheet", "--app-dir", "d", "--id", "7", "--date", "2003/04/01", "--out", "w"}, "YYYY-MM-DD"},
      {{"report", "--app-dir", "d", "--form", "plan", "--id", "1", "--out", "r.pdf"}, "\"plan\""},
      {{"report", "--app-dir", "d", "--form", "assessment", "--id", "1", "--out", "r.pdf"}, "--date is required"},
      {{"report", "--app-dir", "d", "--form", "intake", "--id", "1", "--date", "2003-04-01", "--out", "r.pdf"},
       "--date cannot be used with --form intake"},
      {{"report", "--app-dir", "d", "--form", "intake", "--id", "1", "--out", "r.rtf"}, ".html or .pdf"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(Parse(c.args, &error)) << c.expected;
    EXPECT_NE(error.find(c.expected), std::string::npos) << "got: " << error;
    EXPECT_NE(error.find("zelka --help"), std::string::npos) << error;
  }
}

TEST(CommandLineTest, HelpWinsOverEverythingElse) {
  for (auto args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"verify", "--help"}, {"--bogus", "--help"}}) {
    auto cl = Parse(args);
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->mode, Mode::kHelp);
  }
}

TEST(CommandLineTest, ProgramDirectoryIsAbsolute) {
  CommandLine cl;
  cl.app_dir = "some/dir/../app";
  std::string dir = ProgramDirectory(cl);
  EXPECT_EQ(dir.front(), '/');
  EXPECT_TRUE(dir.ends_with("/some/app")) << dir;
  cl.app_dir = "/srv/zelka/";
  EXPECT_EQ(ProgramDirectory(cl), "/srv/zelka");

  cl.app_dir.clear();  // the folder of the running executable
  EXPECT_TRUE(std::filesystem::exists(ProgramDirectory(cl) + "/shell_tests")) << ProgramDirectory(cl);
}

}  // namespace
}  // namespace zelka
