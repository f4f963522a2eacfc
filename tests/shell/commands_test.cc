#include "shell/commands.h"

#include <gtest/gtest.h>

#include "shell/main_window.h"
#include "shell_fixture.h"

namespace zelka {
namespace {

using namespace std::string_literals;
using testing::AppTest;
using CommandTest = AppTest;

constexpr char kMenuUrl[] = "http://127.0.0.1:8080/app/MainMenu/MainMenuFr.htm";

TEST_F(CommandTest, StatusTextsWithoutQuestionMarkAreIgnored) {
  for (const char* text : {"", "http://127.0.0.1/app/MainMenu/x.htm", "!zlk_A1|yyyy/mm/dd||",
                           "#A|B.HTM", " ?QUIT", "QUIT"})
    app.HandleEvent(Status(View::kMain, text));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.status_clears[View::kMain], 0);
  EXPECT_FALSE(app.quit_requested());
}

TEST_F(CommandTest, UnknownCommandIsShownAsWritten) {
  app.HandleEvent(Status(View::kMain, "?Open_Door"));
  ASSERT_EQ(host.messages.size(), 1u);
  const auto& m = host.messages[0];
  EXPECT_EQ(m.text, "次のコマンドが発行されました\r\nOpen_Door");
  EXPECT_EQ(m.buttons, Buttons::kOk);
  EXPECT_EQ(m.icon, Icon::kNone);
  EXPECT_EQ(m.title, "");
  EXPECT_EQ(host.status_clears[View::kMain], 1);  // cleared, so the page can send it again

  app.HandleEvent(Status(View::kMain, "?"));
  EXPECT_EQ(host.LastMessage(), "次のコマンドが発行されました\r\n");
}

TEST_F(CommandTest, CommandsNotInThisBuildSayItAndChangeNothing) {
  RecordContext& ctx = app.context();
  for (const auto& row : MainCommands()) {
    if (row.action) continue;
    for (std::string written : {std::string(row.name), std::string("x")}) {
      if (written == "x") {  // the same command in lower case
        written = row.name;
        for (char& c : written) c = static_cast<char>(std::tolower(c));
      }
      ctx.table_name = "before";
      ctx.new_intake = true;
      ctx.record_number = 7;
      host.messages.clear();
      app.HandleEvent(Status(View::kMain, "?" + written));
      ASSERT_EQ(host.messages.size(), 1u) << written;
      EXPECT_EQ(host.messages[0].text, std::string(kNotReadyPrefix) + std::string(row.name));
      EXPECT_EQ(host.messages[0].icon, Icon::kInformation);
      EXPECT_EQ(ctx.table_name, "before");
      EXPECT_TRUE(ctx.new_intake);
      EXPECT_EQ(ctx.record_number, 7);
    }
  }
}

TEST_F(CommandTest, QuitAsksAndEndsOnlyOnYes) {
  host.QueueAnswer(Answer::kNo);
  app.HandleEvent(Status(View::kMain, "?QUIT"));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "終了しますか？");
  EXPECT_EQ(host.messages[0].buttons, Buttons::kYesNo);
  EXPECT_EQ(host.messages[0].icon, Icon::kInformation);
  EXPECT_EQ(host.messages[0].title, "");
  EXPECT_FALSE(app.quit_requested());

  host.QueueAnswer(Answer::kYes);
  app.HandleEvent(Status(View::kMain, "?quit"));
  EXPECT_TRUE(app.quit_requested());
}

TEST_F(CommandTest, EntryWindowTextsGoOnlyToTheEntryWindow) {
  // Ordinary status texts of an entry page (link targets) pass silently.
  for (const char* text : {"", "http://127.0.0.1/app/FORM/A.HTM", "?QUIT", "done"})
    app.HandleEvent(Status(View::kEntry, text));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(app.quit_requested());
}

// --- Navigation ---------------------------------------------------------------

TEST(NavigationCommandTest, QueryIsTheSecondQuestionMarkPieceSplitAtEquals) {
  auto c = ParseNavigationCommand(std::string(kMenuUrl) + "?EXE=notepad%20a.txt=dropped?more");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->name, "EXE");
  EXPECT_EQ(c->argument, "notepad a.txt");

  c = ParseNavigationCommand(std::string(kMenuUrl) + "?HYO");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->name, "HYO");
  EXPECT_EQ(c->argument, "");

  EXPECT_FALSE(ParseNavigationCommand(kMenuUrl));

  // Percent escapes are decoded in the argument only, and a stray "%" stays.
  c = ParseNavigationCommand("x?EXE=%E3%83%A1%E3%83%A2 100%25 5%");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->argument, "メモ 100% 5%");
}

TEST(NavigationCommandTest, ProgramLinesSplitWithoutAShell) {
  struct Case {
    std::string line;
    std::vector<std::string> argv;
  } cases[] = {
      {"xdg-open /tmp/a.pdf", {"xdg-open", "/tmp/a.pdf"}},
      {"  prog\t a  b ", {"prog", "a", "b"}},
      {"\"/opt/my tools/run\" \"two words\" x", {"/opt/my tools/run", "two words", "x"}},
      {"a\"b c\"d", {"ab cd"}},
      {"say \"he said \"\"hi\"\"\"", {"say", "he said \"hi\""}},
      {"c:\\tools\\x.exe c:\\data", {"c:\\tools\\x.exe", "c:\\data"}},
      {"prog \"\"", {"prog", ""}},
      // Shell syntax is nothing but text here.
      {"echo $(id);rm -rf ~ | cat > /tmp/x &", {"echo", "$(id);rm", "-rf", "~", "|", "cat", ">", "/tmp/x", "&"}},
  };
  for (const auto& c : cases) {
    std::string error;
    auto argv = SplitProgramLine(c.line, &error);
    ASSERT_TRUE(argv) << c.line << ": " << error;
    EXPECT_EQ(*argv, c.argv) << c.line;
  }
  for (const char* bad : {"", "   ", "prog \"unclosed", "\"\" arg"}) {
    std::string error;
    EXPECT_FALSE(SplitProgramLine(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

using NavigationTest = AppTest;

TEST_F(NavigationTest, EveryNavigationIsAnsweredOnce) {
  app.HandleEvent(Navigation(View::kMain, kMenuUrl, "", 11));
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?JUMP", "", 12));
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?hyo", "", 13));
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?HYO=1", "", 14));
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?PHO", "", 15));
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?page=2", "", 16));
  EXPECT_EQ(host.navigation_replies, (std::vector<std::pair<int, bool>>{
                                         {11, true}, {12, false}, {13, true}, {14, false},
                                         {15, false}, {16, true}}));
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(NavigationTest, QuitInLowerCaseOrWithPostDataIsNoCommand) {
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?quit", "", 1));
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?QUIT", "name=value", 2));
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?EXE=prog", "x\0"s, 3));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(env.started_programs.empty());
  EXPECT_EQ(host.navigation_replies,
            (std::vector<std::pair<int, bool>>{{1, true}, {2, true}, {3, true}}));

  // Post data that ends at its first NUL is empty: the query is read.
  host.QueueAnswer(Answer::kNo);
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?QUIT", "\0junk"s, 4));
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(NavigationTest, QuitAsksWithItsOwnTitleAndEndsOnYes) {
  host.QueueAnswer(Answer::kNo);
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?QUIT", "", 1));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "終了しますか？");
  EXPECT_EQ(host.messages[0].buttons, Buttons::kYesNo);
  EXPECT_EQ(host.messages[0].icon, Icon::kExclamation);
  EXPECT_EQ(host.messages[0].title, "ここはVBで表示");
  EXPECT_FALSE(app.quit_requested());

  host.QueueAnswer(Answer::kYes);
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?QUIT", "", 2));
  EXPECT_TRUE(app.quit_requested());
  EXPECT_EQ(host.navigation_replies, (std::vector<std::pair<int, bool>>{{1, true}, {2, false}}));
}

TEST_F(NavigationTest, ExeStartsProgramAndArgumentsDirectly) {
  app.HandleEvent(Navigation(
      View::kMain, std::string(kMenuUrl) + "?EXE=%22/opt/care%20tools/view%22%20a.pdf;reboot", "", 1));
  ASSERT_EQ(env.started_programs.size(), 1u);
  EXPECT_EQ(env.started_programs[0],
            (std::vector<std::string>{"/opt/care tools/view", "a.pdf;reboot"}));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.navigation_replies, (std::vector<std::pair<int, bool>>{{1, true}}));
}

TEST_F(NavigationTest, ProgramThatCannotStartIsReported) {
  env.FailNth(EnvOp::kStartProgram, 1);
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?EXE=viewer%20x", "", 1));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("起動できませんでした: viewer"), std::string::npos)
      << host.messages[0].text;
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);

  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?EXE=%22unclosed", "", 2));
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_NE(host.messages[1].text.find("引用符"), std::string::npos) << host.messages[1].text;
  app.HandleEvent(Navigation(View::kMain, std::string(kMenuUrl) + "?EXE", "", 3));
  ASSERT_EQ(host.messages.size(), 3u);
  EXPECT_EQ(env.Calls(EnvOp::kStartProgram), 1);
}

TEST_F(NavigationTest, EntryWindowNavigatesOnlyWithThePermit) {
  app.context().navigation_permit = false;
  app.HandleEvent(Navigation(View::kEntry, "http://127.0.0.1/app/FORM/A.HTM?QUIT", "", 1));
  app.context().navigation_permit = true;
  app.HandleEvent(Navigation(View::kEntry, "http://127.0.0.1/app/FORM/B.HTM", "", 2));
  EXPECT_EQ(host.navigation_replies, (std::vector<std::pair<int, bool>>{{1, false}, {2, true}}));
  EXPECT_TRUE(host.messages.empty());  // no navigation commands in the entry window
}

// --- Commands on a store ---------------------------------------------------------

using StoredCommandTest = testing::StoredAppTest;

DialogEvent Click(const std::string& control, std::map<std::string, std::string> values = {}) {
  DialogEvent e;
  e.control = control;
  e.values = std::move(values);
  return e;
}

TEST_F(StoredCommandTest, OpeningCommandsSetTheContextFirst) {
  RecordContext& ctx = app.context();
  struct Case {
    const char* command;
    const char* table;
    bool new_intake;
  } cases[] = {{"?UKETUKE_EDIT", kIntakeTable, false},
               {"?assessment_new", "AA", false},
               {"?Assessment_Edit", "AA", false}};
  for (const auto& c : cases) {  // each search dialog is closed without a choice
    ctx.new_intake = !c.new_intake;
    app.HandleEvent(Status(View::kMain, c.command));
    EXPECT_EQ(ctx.table_name, c.table) << c.command;
    EXPECT_EQ(ctx.new_intake, c.new_intake) << c.command;
    EXPECT_EQ(ctx.record_number, 0) << c.command;
  }
  EXPECT_EQ(host.dialogs_shown.size(), 3u);
  EXPECT_TRUE(host.navigations.empty());
  EXPECT_FALSE(app.entry_window().IsOpen());

  app.HandleEvent(Status(View::kMain, "?uketuke_new"));
  EXPECT_EQ(ctx.table_name, kIntakeTable);
  EXPECT_TRUE(ctx.new_intake);
  EXPECT_TRUE(app.entry_window().IsOpen());
  EXPECT_EQ(host.navigations, (std::vector<std::string>{"entry:FORM/UKETUKE1.HTM"}));
  EXPECT_FALSE(host.visible[View::kMain]);
  EXPECT_TRUE(host.messages.empty()) << host.LastMessage();
}

TEST_F(StoredCommandTest, CapKentoStoresTheSelectionThenAsksForTheWorksheetFile) {
  AddAssessment(5, "2003-04-01");
  host.QueueDialog([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "5"}}));
    h.Send(d, Click("cmdChoose"));
  });
  app.HandleEvent(Status(View::kMain, "?CAP_KENTO"));
  EXPECT_EQ(host.dialogs_shown, (std::vector<std::string>{"登録データの選択"}));
  EXPECT_FALSE(db().OpenKey("CAP選定", 5, Date{2003, 4, 1}).Eof());
  ASSERT_EQ(host.save_dialogs.size(), 1u);  // cancelled: no file, no message
  EXPECT_TRUE(host.messages.empty()) << host.LastMessage();
}

TEST_F(StoredCommandTest, CapKentoCancelledDoesNothing) {
  AddAssessment(5, "2003-04-01");
  app.HandleEvent(Status(View::kMain, "?cap_kento"));
  EXPECT_TRUE(db().OpenTable("CAP選定").Eof());
  EXPECT_TRUE(host.save_dialogs.empty());
  EXPECT_TRUE(host.messages.empty()) << host.LastMessage();
}

TEST_F(StoredCommandTest, PrintCommandsChooseThroughTheirSearchThenShowTheReport) {
  AddAssessment(6, "2003-04-01");
  db().Execute("INSERT INTO [相談受付表] ([整理番号]) VALUES (6)");
  auto choose_six = [](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "6"}}));
    h.Send(d, Click("cmdChoose"));
  };
  struct Case {
    const char* command;
    const char* title;
  } cases[] = {{"?UKETUKE_PRINT", "相談受付表"},
               {"?assessment_print", "在宅ケアアセスメント表(ZELKA2.0)"},
               {"?CAP_PRINT", "CAP一覧表"}};
  for (const Case& c : cases) {
    host.reports.clear();
    app.HandleEvent(Status(View::kMain, c.command));  // the search closed without a choice
    EXPECT_TRUE(host.reports.empty()) << c.command;
    host.QueueDialog(choose_six);
    app.HandleEvent(Status(View::kMain, c.command));
    ASSERT_EQ(host.reports.size(), 1u) << c.command << ": " << host.LastMessage();
    EXPECT_EQ(host.reports[0].title, c.title);
    EXPECT_EQ(host.dialogs_shown.back(), "登録データの選択");
  }
  EXPECT_TRUE(host.messages.empty()) << host.LastMessage();
  EXPECT_FALSE(db().OpenKey("CAP選定", 6, Date{2003, 4, 1}).Eof()) << "the CAP list runs the selection first";
  EXPECT_NE(host.reports[0].html.find("サトウ ハナコ"), std::string::npos) << "the name the selection read";
  EXPECT_EQ(app.context().record_number, 6) << "the CAP list keeps the chosen assessment";

  host.QueueDialog(choose_six);
  app.HandleEvent(Status(View::kMain, "?UKETUKE_PRINT"));
  EXPECT_EQ(app.context().record_number, 0) << "an intake print clears the keys again";
}

TEST_F(StoredCommandTest, HiddenVerificationRunIsReachableFromTheAssessmentSearch) {
  AddAssessment(5, "2003-04-01");
  std::string export_path = dir.Child("verify.txt");
  host.QueueDialog([](Dialog& d, ScriptedHost& h) {
    DialogEvent chord;
    chord.kind = DialogEvent::Kind::kKey;
    chord.key = "Shift+Ctrl+Alt+K";
    h.Send(d, chord);
    h.Send(d, Click("cmdKentei"));
  });
  host.QueueInput(export_path);
  app.HandleEvent(Status(View::kMain, "?ASSESSMENT_EDIT"));
  EXPECT_TRUE(env.FileExists(export_path)) << host.LastMessage();
  EXPECT_FALSE(db().OpenTable("CAP選定").Eof());
  EXPECT_FALSE(app.entry_window().IsOpen());
}

TEST_F(StoredCommandTest, FailingCommandIsReportedAndTheLoopGoesOn) {
  host.QueueDialog([](Dialog&, ScriptedHost&) { throw std::runtime_error("disk unplugged"); });
  host.QueueEvent(Status(View::kMain, "?UKETUKE_EDIT"));
  host.QueueEvent(Menu("IDM_VerInfo"));
  app.Run();
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_NE(host.messages[0].text.find("disk unplugged"), std::string::npos) << host.messages[0].text;
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  EXPECT_EQ(host.messages[1].title, "ZELKA 2.0 バージョン情報");
}

}  // namespace
}  // namespace zelka
