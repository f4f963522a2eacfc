#include "shell/commands.h"

#include <gtest/gtest.h>

#include "shell/main_window.h"
#include "shell_fixture.h"

namespace zelka {
namespace {

using namespace std::string_literals;
using Replies = std::vector<std::pair<int, bool>>;
using CommandTest = testing::AppTest;

constexpr char kMenuUrl[] = "http://127.0.0.1:8080/app/MainMenu/MainMenuFr.htm";

TEST_F(CommandTest, OnlyAQuestionMarkOnTheMainPageIssuesACommand) {
  for (const char* text : {"", "http://127.0.0.1/app/MainMenu/x.htm", "!zlk_A1|yyyy/mm/dd||", "#A|B.HTM", " ?QUIT", "QUIT"})
    app.HandleEvent(Status(View::kMain, text));
  for (const char* text : {"", "http://127.0.0.1/app/FORM/A.HTM", "?QUIT", "done"})
    app.HandleEvent(Status(View::kEntry, text));  // an entry page's texts go to the entry window only
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.status_clears[View::kMain], 0);
  EXPECT_FALSE(app.quit_requested());

  app.HandleEvent(Status(View::kMain, "?"));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "次のコマンドが発行されました\r\n");
  EXPECT_EQ(host.messages[0].icon, Icon::kNone);
  EXPECT_EQ(host.status_clears[View::kMain], 1);  // cleared, so the page can send it again
}

// QUIT from the page's status text or from a navigation: each asks in its own
// way and ends only on Yes.
TEST_F(CommandTest, QuitAsksAndEndsOnlyOnYes) {
  struct Case {
    UiEvent event;
    Icon icon;
    const char* title;
  } cases[] = {{Status(View::kMain, "?quit"), Icon::kInformation, ""},
               {Navigation(View::kMain, kMenuUrl + "?QUIT"s, "", 1), Icon::kExclamation, "ここはVBで表示"}};
  for (const Case& c : cases) {
    host.messages.clear();
    host.QueueAnswer(Answer::kNo);
    app.HandleEvent(c.event);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "終了しますか？");
    EXPECT_EQ(host.messages[0].buttons, Buttons::kYesNo);
    EXPECT_EQ(host.messages[0].icon, c.icon);
    EXPECT_EQ(host.messages[0].title, c.title);
    EXPECT_FALSE(app.quit_requested());
  }
  EXPECT_EQ(host.navigation_replies, (Replies{{1, true}}));
  host.QueueAnswer(Answer::kYes);
  app.HandleEvent(Navigation(View::kMain, kMenuUrl + "?QUIT"s, "", 2));
  EXPECT_TRUE(app.quit_requested());
  EXPECT_EQ(host.navigation_replies.back(), (std::pair{2, false}));
}

TEST(NavigationCommandTest, QueryIsTheSecondQuestionMarkPieceSplitAtEquals) {
  auto c = ParseNavigationCommand(kMenuUrl + "?EXE=notepad%20a.txt=dropped?more"s);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->name, "EXE");
  EXPECT_EQ(c->argument, "notepad a.txt");
  c = ParseNavigationCommand(kMenuUrl + "?HYO"s);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->name + "|" + c->argument, "HYO|");
  EXPECT_FALSE(ParseNavigationCommand(kMenuUrl));
  // Percent escapes are decoded in the argument only, and a stray "%" stays.
  EXPECT_EQ(ParseNavigationCommand("x?EXE=%E3%83%A1%E3%83%A2 100%25 5%")->argument, "メモ 100% 5%");
}

TEST(NavigationCommandTest, ProgramLinesSplitWithoutAShell) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
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
  for (const auto& [line, argv] : cases) {
    std::string error;
    EXPECT_EQ(SplitProgramLine(line, &error), argv) << line << ": " << error;
  }
  for (const char* bad : {"", "   ", "prog \"unclosed", "\"\" arg"}) {
    std::string error;
    EXPECT_FALSE(SplitProgramLine(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

// Every navigation is answered once: commands stop it, anything else (a
// lower-case name, post data, an entry page with the permit) goes ahead.
TEST_F(CommandTest, EveryNavigationIsAnsweredOnce) {
  struct Case {
    View view;
    std::string query, post;
    bool permit, proceeds;
  } cases[] = {
      {View::kMain, "", "", false, true},           {View::kMain, "?JUMP", "", false, false},
      {View::kMain, "?hyo", "", false, true},       {View::kMain, "?HYO=1", "", false, false},
      {View::kMain, "?PHO", "", false, false},      {View::kMain, "?page=2", "", false, true},
      {View::kMain, "?quit", "", false, true},      {View::kMain, "?QUIT", "name=value", false, true},
      {View::kMain, "?EXE=prog", "x\0"s, false, true}, {View::kEntry, "?QUIT", "", false, false},
      {View::kEntry, "?QUIT", "", true, true},  // no commands in the entry window
  };
  Replies expected;
  for (const Case& c : cases) {
    app.context().navigation_permit = c.permit;
    app.HandleEvent(Navigation(c.view, kMenuUrl + c.query, c.post, static_cast<int>(expected.size())));
    expected.emplace_back(static_cast<int>(expected.size()), c.proceeds);
  }
  EXPECT_EQ(host.navigation_replies, expected);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(env.started_programs.empty());

  // Post data that ends at its first NUL is empty: the query is read.
  host.QueueAnswer(Answer::kNo);
  app.HandleEvent(Navigation(View::kMain, kMenuUrl + "?QUIT"s, "\0junk"s, 99));
  EXPECT_EQ(host.messages.size(), 1u);
}

// A page may start a program, but only once the user has seen the command
// line and said はい; いいえ is the default, so a box nobody answers starts
// nothing. A line that names no program is reported without asking.
TEST_F(CommandTest, ExeAsksFirstThenStartsTheProgramDirectlyOrSaysWhyNot) {
  const std::string url = kMenuUrl + "?EXE=%22/opt/care%20tools/view%22%20a.pdf;reboot"s;
  app.HandleEvent(Navigation(View::kMain, url, "", 1));
  EXPECT_TRUE(env.started_programs.empty());
  host.QueueAnswer(Answer::kYes);
  app.HandleEvent(Navigation(View::kMain, url, "", 2));
  ASSERT_EQ(env.started_programs.size(), 1u);
  EXPECT_EQ(env.started_programs[0], (std::vector<std::string>{"/opt/care tools/view", "a.pdf;reboot"}));
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1].text, kExeQuestionHead + "\"/opt/care tools/view\" a.pdf;reboot"s + kExeQuestionTail);
  EXPECT_EQ(host.messages[0].answer, Answer::kNo);
  EXPECT_EQ(host.navigation_replies, (Replies{{1, true}, {2, true}}));

  env.FailNth(EnvOp::kStartProgram, 2);
  host.QueueAnswer(Answer::kYes);
  app.HandleEvent(Navigation(View::kMain, kMenuUrl + "?EXE=viewer%20x"s, "", 3));
  ASSERT_EQ(host.messages.size(), 4u);
  EXPECT_NE(host.messages[3].text.find("起動できませんでした: viewer"), std::string::npos) << host.messages[3].text;
  EXPECT_EQ(host.messages[3].icon, Icon::kCritical);
  app.HandleEvent(Navigation(View::kMain, kMenuUrl + "?EXE=%22unclosed"s, "", 4));
  ASSERT_EQ(host.messages.size(), 5u);
  EXPECT_NE(host.messages[4].text.find("引用符"), std::string::npos) << host.messages[4].text;
  app.HandleEvent(Navigation(View::kMain, kMenuUrl + "?EXE"s, "", 5));
  EXPECT_EQ(host.messages.size(), 6u);
  EXPECT_EQ(env.Calls(EnvOp::kStartProgram), 2);
}

TEST(NavigationCommandTest, TheCommandLineIsShownWithNothingHidden) {
  struct Case {
    std::string line, shown;
  } cases[] = {
      {"viewer \"my file.pdf\"", "viewer \"my file.pdf\""},
      {"メモ帳 記録.txt", "メモ帳 記録.txt"},
      {"safe\r\n\r\nrm -rf ~", "safe\\x0D\\x0A\\x0D\\x0Arm -rf ~"},
      {"a\tb\x7f", "a\\x09b\\x7F"},
      {"x\xff\xe3\x83", "x\\xFF\\xE3\\x83"},
      {"fdp.\xe2\x80\xae" "exe", "fdp.\\u202Eexe"},  // a right-to-left override
      {"\xc2\x85", "\\u0085"},
  };
  for (const Case& c : cases) EXPECT_EQ(ShownCommandLine(c.line), c.shown) << c.line;
}

// --- Commands on a store ---------------------------------------------------------

using StoredCommandTest = testing::StoredAppTest;

DialogEvent Click(const std::string& control, std::map<std::string, std::string> values = {}) {
  return {.control = control, .values = std::move(values)};
}

// The next search dialog finds the record `number` and chooses it.
void QueueChoiceOf(ScriptedHost& host, const std::string& number) {
  host.QueueDialog([number](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", number}}));
    h.Send(d, Click("cmdChoose"));
  });
}

// The two CAP commands store the selection of the assessment chosen (and of
// no other) before the worksheet's save dialog or the list's preview. A search
// closed without a choice does nothing, in these and the other print commands.
TEST_F(StoredCommandTest, CapCommandsStoreTheSelectionOfTheChosenAssessmentFirst) {
  AddAssessment(5, "2003-04-01");
  AddAssessment(6, "2003-04-01");
  for (const char* command : {"?cap_kento", "?CAP_PRINT", "?UKETUKE_PRINT", "?assessment_print"})
    app.HandleEvent(Status(View::kMain, command));
  EXPECT_TRUE(db().OpenTable("CAP選定").Eof()) << "searches closed without a choice";
  EXPECT_TRUE(host.messages.empty() && host.save_dialogs.empty() && host.reports.empty()) << host.LastMessage();

  QueueChoiceOf(host, "5");
  app.HandleEvent(Status(View::kMain, "?CAP_KENTO"));
  EXPECT_EQ(host.dialogs_shown.back(), "登録データの選択");
  EXPECT_FALSE(db().OpenKey("CAP選定", 5, Date{2003, 4, 1}).Eof());
  EXPECT_EQ(host.save_dialogs.size(), 1u);  // cancelled: no file, no message
  EXPECT_TRUE(host.messages.empty()) << host.LastMessage();

  QueueChoiceOf(host, "6");
  app.HandleEvent(Status(View::kMain, "?cap_print"));
  EXPECT_FALSE(db().OpenKey("CAP選定", 6, Date{2003, 4, 1}).Eof());
  EXPECT_EQ(db().OpenTable("CAP選定").RecordCount(), 2);
  ASSERT_EQ(host.reports.size(), 1u) << host.LastMessage();
  EXPECT_EQ(host.reports[0].title, "CAP一覧表");
  EXPECT_NE(host.reports[0].html.find("サトウ ハナコ"), std::string::npos) << "the name the selection read";
  EXPECT_EQ(app.context().record_number, 6) << "the CAP list keeps the chosen assessment";
  EXPECT_TRUE(host.messages.empty()) << host.LastMessage();
  EXPECT_EQ(host.save_dialogs.size(), 1u);
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
  EXPECT_EQ(host.messages[1].text, "ZELKA 2.0 添付CDソフト バージョン：1.0.49");
}

}  // namespace
}  // namespace zelka
