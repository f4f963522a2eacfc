// The blank forms window against the scripted host: opened by PDF_PRINT
// without blocking the main window, each button opens its own file, a
// missing file is named, and closing ends the window's events.
#include "output/blank_forms.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "shell_fixture.h"

namespace zelka {
namespace {

using testing::AppTest;

class BlankFormsTest : public AppTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.Child("PDF"));
    for (const auto& form : kBlankForms) testing::WriteBytes(dir.Child("PDF/" + std::string(form.file)), "%PDF");
  }
  UiEvent Window(DialogEvent::Kind kind, std::string control = "", std::string key = "") {
    return {.kind = UiEvent::Kind::kWindow, .text = kBlankFormsCaption,
            .window_event = {kind, std::move(control), std::move(key)}};
  }
  UiEvent Click(std::string control) { return Window(DialogEvent::Kind::kClick, std::move(control)); }
  Dialog* Shown() { return app.Modeless(kBlankFormsCaption); }
};

TEST_F(BlankFormsTest, OpensBesideTheMainWindowAndEachButtonOpensItsFile) {
  app.HandleEvent(Status(View::kMain, "?pdf_print"));
  ASSERT_NE(Shown(), nullptr);
  std::vector<std::string> captions, labels;
  for (const auto& c : Shown()->controls) (c.kind == "button" ? captions : labels).push_back(c.caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"相談受付表", "アセスメント表", "CAP選定表",
                                                "居宅サービス計画表(1)", "居宅サービス計画表(2)",
                                                "週間サービス計画表"}));
  EXPECT_EQ(labels.size(), 3u);

  // Asking again shows the same window.
  Dialog* first = Shown();
  app.HandleEvent(Status(View::kMain, "?PDF_PRINT"));
  EXPECT_EQ(Shown(), first);
  EXPECT_EQ(host.windows_shown.size(), 2u);
  EXPECT_EQ(host.windows_open.size(), 1u);

  // Each button opens its own file, as often as it is pressed, and the window stays.
  const std::pair<const char*, const char*> cases[] = {
      {"cmdUketuke", "PDF/UKETUKE.pdf"},       {"CmdAssessment", "PDF/Assessment.pdf"},
      {"cmdCapSelect", "PDF/CapSelect.pdf"},   {"Kyotaku1", "PDF/KyoKeikaku1.pdf"},
      {"Kyotaku2", "PDF/KyoKeikaku2.pdf"},     {"Syukan", "PDF/SyuKeikaku.pdf"},
      {"Syukan", "PDF/SyuKeikaku.pdf"},  // twice: opened twice
  };
  for (const auto& [button, file] : cases) {
    host.opened_documents.clear();
    app.HandleEvent(Click(button));
    EXPECT_EQ(host.opened_documents, std::vector<std::string>{file}) << button;
    EXPECT_NE(Shown(), nullptr) << button;
  }
  app.HandleEvent(Click("lbMsg"));  // a label is no button
  EXPECT_EQ(host.opened_documents.size(), 1u);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(BlankFormsTest, AFileThatIsMissingOrCannotBeOpenedIsNamed) {
  app.HandleEvent(Status(View::kMain, "?PDF_PRINT"));
  std::filesystem::remove(dir.Child("PDF/CapSelect.pdf"));
  app.HandleEvent(Click("cmdCapSelect"));
  EXPECT_TRUE(host.opened_documents.empty());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, kBlankFormMissing + dir.Child("PDF/CapSelect.pdf"));
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);

  host.open_document_result = false;
  app.HandleEvent(Click("Kyotaku2"));
  EXPECT_EQ(host.LastMessage(), kBlankFormNotOpened + dir.Child("PDF/KyoKeikaku2.pdf"));
  EXPECT_NE(Shown(), nullptr);
}

TEST_F(BlankFormsTest, EscapeOrTheCloseBoxClosesAndLaterEventsFindNothing) {
  for (auto close : {Window(DialogEvent::Kind::kKey, "", "Escape"), Window(DialogEvent::Kind::kClose)}) {
    app.HandleEvent(Status(View::kMain, "?PDF_PRINT"));
    app.HandleEvent(Window(DialogEvent::Kind::kKey, "", "Enter"));
    ASSERT_NE(Shown(), nullptr);
    app.HandleEvent(close);
    EXPECT_EQ(Shown(), nullptr);
    EXPECT_TRUE(host.windows_open.empty());
  }
  app.HandleEvent(Click("cmdUketuke"));
  EXPECT_TRUE(host.opened_documents.empty());
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace zelka
