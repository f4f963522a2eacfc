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

TEST(CommandLineTest, RunModeTakesItsThreeOptionsInAnyOrderAndForm) {
  auto cl = Parse({});
  ASSERT_TRUE(cl);
  EXPECT_EQ(cl->mode, Mode::kRun);
  EXPECT_EQ(cl->port, 0);
  EXPECT_FALSE(cl->no_browser);
  EXPECT_EQ(cl->app_dir, "");

  cl = Parse({"--no-browser", "--port", "8123", "--app-dir", "/tmp/x"});
  ASSERT_TRUE(cl);
  EXPECT_EQ(cl->mode, Mode::kRun);
  EXPECT_EQ(cl->port, 8123);
  EXPECT_TRUE(cl->no_browser);
  EXPECT_EQ(cl->app_dir, "/tmp/x");

  cl = Parse({"--app-dir=/a b", "--port=0"});
  ASSERT_TRUE(cl);
  EXPECT_EQ(cl->app_dir, "/a b");
  EXPECT_EQ(cl->port, 0);
}

TEST(CommandLineTest, BatchModesRequireTheirOptions) {
  auto cl = Parse({"init", "--app-dir", "d"});
  ASSERT_TRUE(cl);
  EXPECT_EQ(cl->mode, Mode::kInit);

  cl = Parse({"verify", "--out", "v.txt", "--app-dir", "d"});
  ASSERT_TRUE(cl);
  EXPECT_EQ(cl->mode, Mode::kVerify);
  EXPECT_EQ(cl->out, "v.txt");

  cl = Parse({"worksheet", "--app-dir", "d", "--id", "42", "--date", "2003-04-01", "--out", "w.rtf"});
  ASSERT_TRUE(cl);
  EXPECT_EQ(cl->mode, Mode::kWorksheet);
  EXPECT_EQ(cl->record_number, 42);
  EXPECT_EQ(cl->reference_date, (Date{2003, 4, 1}));
  EXPECT_EQ(cl->out, "w.rtf");

  std::string error;
  EXPECT_FALSE(Parse({"init"}, &error));
  EXPECT_NE(error.find("--app-dir is required"), std::string::npos) << error;
  EXPECT_FALSE(Parse({"verify", "--app-dir", "d"}, &error));
  EXPECT_NE(error.find("--out is required"), std::string::npos) << error;
  EXPECT_FALSE(Parse({"worksheet", "--app-dir", "d", "--id", "1", "--out", "w"}, &error));
  EXPECT_NE(error.find("--date is required"), std::string::npos) << error;

  cl = Parse({"report", "--app-dir", "d", "--form", "cap-list", "--id", "5", "--out", "list.PDF"});
  ASSERT_TRUE(cl);
  EXPECT_EQ(cl->mode, Mode::kReport);
  EXPECT_EQ(cl->form, ReportForm::kCapList);
  EXPECT_TRUE(cl->reference_date.IsZero()) << "the date is optional for the CAP list";
}

TEST(CommandLineTest, BadArgumentsAreNamedInTheMessage) {
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {{"--port", "http"}, "\"http\""},
      {{"--port", "65536"}, "--port"},
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
      {{"report", "--app-dir", "d", "--id", "1", "--out", "r.pdf"}, "--form is required"},
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
  std::string usage = UsageText();
  for (const char* line : {"zelka [--app-dir DIR] [--port N] [--no-browser]", "zelka init --app-dir DIR",
                           "zelka verify --app-dir DIR --out FILE",
                           "zelka worksheet --app-dir DIR --id N --date YYYY-MM-DD --out FILE",
                           "zelka report --app-dir DIR --form intake|assessment|cap-list --id N"})
    EXPECT_NE(usage.find(line), std::string::npos) << line;
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
