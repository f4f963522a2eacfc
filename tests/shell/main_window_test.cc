#include "shell/main_window.h"

#include <gtest/gtest.h>

#include "shell/commands.h"
#include "shell_fixture.h"
#include "support/store.h"

namespace zelka {
namespace {

using testing::AppTest;
using testing::StoredAppTest;
using MainWindowTest = AppTest;

// A scripted host whose pages may fail to load.
class PagesHost : public ScriptedHost {
 public:
  bool Navigate(View view, const std::string& page) override {
    return ScriptedHost::Navigate(view, page) && pages_load;
  }
  bool pages_load = true;
};

using testing::WriteBytes;

// A missing settings file or a main menu that cannot be shown is reported,
// and the start goes on. (What the settings loader says: the settings tests.)
TEST(MainWindowStartTest, MissingSettingsFileAndAMainMenuThatCannotBeShownAreReported) {
  testing::TempDir dir;
  FaultInjectingEnv env;
  PagesHost host;
  App app(env, host, dir.path());
  app.context().navigation_permit = true;
  ShowMainWindow(app);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "SetPrivateAppBuf");
  EXPECT_EQ(host.navigations, (std::vector<std::string>{"main:MainMenu/MainMenuFr.htm"}));
  EXPECT_FALSE(app.context().navigation_permit);

  host.messages.clear();
  host.pages_load = false;
  testing::WriteBytes(dir.Child("ZELKA20.PRA"), "[RTF]\n");
  ShowMainWindow(app);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text,
            std::string(kNoMainMenuMessage) + dir.path() + "/MainMenu/MainMenuFr.htm");
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
}

TEST_F(MainWindowTest, SettingsFileIsLoadedIntoTheBuffer) {
  WriteBytes(dir.Child("ZELKA20.PRA"), "[RTF]\nBEGIN_ITEM\t{\\b x}¶\n\ty\n");
  ShowMainWindow(app);
  EXPECT_TRUE(host.messages.empty()) << host.LastMessage();
  EXPECT_EQ(app.settings().GetPrivateAppBuf("RTF", "BEGIN_ITEM"), "{\\b x}\r\ny");
}

// On a store that is open, so that its closing shows.
TEST_F(StoredAppTest, QuitFromTheMainLoopEndsItAndClosesTheDatabase) {
  ASSERT_NE(app.database(), nullptr);
  host.QueueEvent(Status(View::kMain, "?QUIT"));
  host.QueueAnswer(Answer::kYes);
  host.QueueEvent(Menu("IDM_VerInfo"));  // never reached
  app.Run();
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(app.database(), nullptr);
  EXPECT_EQ(app.context().db, nullptr);
}

TEST_F(MainWindowTest, ShutdownAndTheCloseBoxEndTheLoopWithoutAsking) {
  host.QueueEvent({.kind = UiEvent::Kind::kCloseWindow, .view = View::kMain});
  host.QueueEvent(Menu("IDM_VerInfo"));
  app.Run();
  EXPECT_TRUE(host.messages.empty());

  ScriptedHost idle;  // nothing scripted: the host reports a shutdown at once
  App other(env, idle, dir.path());
  other.Run();
  EXPECT_TRUE(other.quit_requested());
}

// --- The store at start-up ------------------------------------------------------

TEST_F(MainWindowTest, MissingCatalogueForANewStoreIsNamed) {
  std::string error;
  EXPECT_FALSE(OpenStore(app, &error));
  EXPECT_NE(error.find("items.tsv"), std::string::npos) << error;
  EXPECT_FALSE(env.FileExists(dir.Child("ZELKA20.mdb")));
}

// A missing live file is recovered from _ZELKA20.mdb without asking; an
// unusable one is restored only on Yes, the host made reachable first. Each is
// told once the main window shows.
TEST_F(MainWindowTest, StoreRecoveredOrRestoredFromThePreviousCopyIsTold) {
  LayOutProgramDirectory(testing::SourceAppDir(), dir.path(), env);
  WriteBytes(dir.Child("ZELKA20.PRA"), "[RTF]\n");
  ASSERT_TRUE(env.RenameFile(dir.Child("ZELKA20.mdb"), dir.Child("_ZELKA20.mdb")));
  StoreStartup report;
  std::string error;
  ASSERT_TRUE(OpenStore(app, &error, &report)) << error;
  ShowMainWindow(app, report);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, kRecoveredMessage);

  app.CloseDatabase();
  WriteBytes(dir.Child("ZELKA20.mdb"), "");
  for (Answer answer : {Answer::kNo, Answer::kYes}) {
    host.QueueAnswer(answer);
    int reachable = 0;
    bool opened = OpenStore(app, &error, &report, [&] { ++reachable; });
    EXPECT_EQ(reachable, 1);
    EXPECT_EQ(host.messages.back().buttons, Buttons::kYesNo);
    EXPECT_NE(host.messages.back().text.find("_ZELKA20.mdb から復元しますか"), std::string::npos);
    EXPECT_EQ(opened, answer == Answer::kYes) << error;
  }
  ShowMainWindow(app, report);
  EXPECT_EQ(host.LastMessage(), kRestoredMessage + report.set_aside);
}

TEST_F(MainWindowTest, AProblemFoundByTheCheckAfterStartUpIsReportedOnce) {
  LayOutProgramDirectory(testing::SourceAppDir(), dir.path(), env);
  std::string error;
  ASSERT_TRUE(OpenStore(app, &error)) << error;
  testing::DamageAnIndex(dir.Child("_ZELKA20.mdb.new"));  // the copy the check looks at
  auto check = std::make_unique<BackgroundStoreCheck>(dir.path(), Env::Default());
  BackgroundStoreCheck* running = check.get();
  app.WatchStoreCheck(std::move(check));
  while (!running->Result()) usleep(1000);
  host.QueueEvent(Menu("IDM_VerInfo"));
  app.Run();
  ASSERT_EQ(host.messages.size(), 2u);  // the check's report, then the version box
  EXPECT_EQ(host.messages[0].text.rfind(kCheckFailedMessage, 0), 0u) << host.messages[0].text;
}

}  // namespace
}  // namespace zelka
