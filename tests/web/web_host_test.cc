// The browser host end to end over HTTP, with this test playing the shell
// page: it polls the state, answers requests and posts events, while the
// application thread blocks in the host's calls.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <future>

#include <nlohmann/json.hpp>

#include "util/fake_env.h"
#include "web/browser_host.h"
#include "web/session.h"
#include "support/temp_dir.h"

namespace zelka {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono_literals;

class BrowserHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(app_.Child("MainMenu"));
    fs::create_directories(app_.Child("FORM"));
    std::ofstream(app_.Child("MainMenu/MainMenuFr.htm")) << "<p>menu</p>";
    std::ofstream(app_.Child("FORM/A.HTM")) << "<form></form>";
    std::ofstream(web_.Child("shell.html")) << "<title>shell</title>";
    host_ = std::make_unique<BrowserHost>(
        BrowserHost::Options{app_.path(), web_.path(), 0, files_.path()});
    ASSERT_TRUE(host_->Start());
    client_ = std::make_unique<httplib::Client>("127.0.0.1", host_->Port());
    client_->set_read_timeout(20, 0);
    const std::string url = host_->StartUrl();
    auto keys = client_->Post("/api/session", Json{{"start", url.substr(url.find("?start=") + 7)}}.dump(),
                              "application/json");
    ASSERT_TRUE(keys && keys->status == 200);
    secret_ = Json::parse(keys->body)["secret"];
    pages_ = Json::parse(keys->body)["pages"];
    session_ = {{kSessionHeader, secret_}};
  }

  // The state as a tab polling since `since` sees it.
  Json State(long since = 0) {
    auto res = client_->Get(("/api/state?client=t&since=" + std::to_string(since)).c_str(), session_);
    return res && res->status == 200 ? Json::parse(res->body) : Json();
  }
  // The first open request of the kind (that satisfies `wanted`) as a tab sees it.
  Json AwaitRequest(const std::string& kind,
                    const std::function<bool(const Json&)>& wanted = [](const Json&) { return true; }) {
    long version = 0;
    for (int i = 0; i < 50; ++i) {
      Json state = State(version);
      if (state.is_null()) continue;
      version = state["version"];
      for (const auto& r : state["requests"])
        if (r["kind"] == kind && wanted(r)) return r;
    }
    ADD_FAILURE() << "no " << kind << " request appeared";
    return Json();
  }
  // Shows FORM/A.HTM in the entry view; the tab answers the load with
  // `answer` once `before` has looked at the state.
  void ShowA(const Json& answer = {{"ok", true}}, const std::function<void()>& before = {}) {
    auto loaded = std::async(std::launch::async, [&] { return host_->Navigate(View::kEntry, "FORM/A.HTM"); });
    Json navigate = AwaitRequest("navigate");
    if (before) before();
    Answer(navigate, answer);
    EXPECT_TRUE(loaded.get());
  }

  int Post(const std::string& path, const Json& body, httplib::Headers headers = {}) {
    if (headers.empty()) headers = session_;
    auto res = client_->Post(path.c_str(), headers, body.dump(), "application/json");
    return res ? res->status : -1;
  }
  int Answer(const Json& request, const Json& answer) {
    return Post("/api/answer", {{"id", request["id"]}, {"answer", answer}});
  }
  // The tab's report of a value typed into zlk_A1 of FORM/A.HTM.
  int PostDraft(const std::string& value) {
    return Post("/api/event", {{"type", "draft"}, {"view", "entry"}, {"page", "FORM/A.HTM"},
                               {"elements", {{{"name", "zlk_A1"}, {"type", "text"}, {"value", value}, {"checked", false}}}}});
  }
  // A read of the entry form that the tab has to answer (with no elements);
  // it fails the test when the host takes a form it has at hand instead.
  std::vector<PageElement> ReadAnsweredByTab() {
    auto read = std::async(std::launch::async, [&] { return host_->ReadForm(View::kEntry); });
    Answer(AwaitRequest("readForm"), {{"elements", Json::array()}});
    return read.get();
  }
  // A read of the entry form the host answers from the form at hand, without the tab.
  std::vector<PageElement> ReadAtHand() {
    auto read = std::async(std::launch::async, [&] { return host_->ReadForm(View::kEntry); });
    if (read.wait_for(5s) != std::future_status::ready) {
      ADD_FAILURE() << "the form at hand should need no request";
      Answer(AwaitRequest("readForm"), {{"elements", Json::array()}});
    }
    return read.get();
  }

  testing::TempDir app_, web_, files_;
  std::unique_ptr<BrowserHost> host_;
  std::unique_ptr<httplib::Client> client_;
  std::string secret_, pages_;  // pages_: "/p/<page key>/"
  httplib::Headers session_;
};

// The browser is started on a private page that sends it on to the start
// address: the start code is on no command line.
TEST_F(BrowserHostTest, TheBrowserIsStartedOnAPrivatePageNotOnTheAddress) {
  FaultInjectingEnv env;
  std::string error;
  ASSERT_TRUE(host_->OpenBrowser(env, &error)) << error;
  ASSERT_EQ(env.started_programs.size(), 1u);
  const auto& argv = env.started_programs[0];
  ASSERT_EQ(argv.size(), 2u);
  EXPECT_EQ(argv[0], "xdg-open");
  EXPECT_EQ(argv[1].find("start="), std::string::npos);
  const fs::path page = argv[1];
  EXPECT_EQ(fs::status(page).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::status(page.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
  std::ifstream in(page);
  std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(html.find("url=" + host_->StartUrl() + "\""), std::string::npos) << html;
  host_.reset();
  EXPECT_FALSE(fs::exists(page.parent_path()));
}

// The one call let through is a navigation: it arrives with its post data.
TEST_F(BrowserHostTest, RefusedRequestsSendNoEvents) {
  Json navigate = {{"type", "navigate"}, {"view", "main"}, {"url", "http://x/?QUIT"}, {"post", "a=1"}};
  EXPECT_EQ(Post("/api/event", navigate, {{kSessionHeader, "wrong"}}), 403);
  EXPECT_EQ(Post("/api/event", navigate, {{kSessionHeader, secret_}, {"Origin", "http://evil.example"}}), 403);
  EXPECT_EQ(Post("/api/event", {{"type", "menu"}, {"item", "IDM_Format"}}), 400);
  EXPECT_EQ(Post("/api/event", {{"type", "status"}, {"view", "side"}}), 400);
  EXPECT_EQ(Post("/api/event", navigate), 200);

  UiEvent event = host_->WaitEvent();
  EXPECT_EQ(event.kind, UiEvent::Kind::kNavigate);
  EXPECT_EQ(event.post_data, "a=1");
  host_->RequestShutdown();
  EXPECT_EQ(host_->WaitEvent().kind, UiEvent::Kind::kShutdown);  // nothing else was queued
}

// The preview's report is served, to the token holder only, while it is shown.
TEST_F(BrowserHostTest, ReportIsServedUntilTheUserGoesBack) {
  auto shown = std::async(std::launch::async, [&] { host_->ShowReport({"CAP一覧表", "<p>report</p>"}); });
  Json request = AwaitRequest("report");
  const std::string page = request["url"], url = pages_ + page;
  auto served = client_->Get(url.c_str());
  ASSERT_TRUE(served);
  EXPECT_EQ(served->get_header_value("Content-Security-Policy").rfind("default-src 'none'", 0), 0u)
      << "nothing in a report runs";
  EXPECT_EQ(client_->Get(("/p/" + std::string(64, '0') + "/" + page).c_str())->status, 403);
  EXPECT_EQ(Answer(request, {{"print", true}}), 200);
  EXPECT_EQ(Answer(request, {{"back", true}}), 200) << "anything but \"back\" keeps it open";
  shown.get();
  EXPECT_EQ(client_->Get(url.c_str())->status, 404);
}

TEST_F(BrowserHostTest, MessageBoxWaitsForOneOfItsOwnButtons) {
  auto answer = std::async(std::launch::async, [&] {
    return host_->ShowMessage("終了しますか？", Buttons::kYesNo, Icon::kInformation);
  });
  Json box = AwaitRequest("message");
  EXPECT_EQ(Answer(box, "ok"), 200);  // not a button of this box: ignored
  EXPECT_EQ(Answer(box, "no"), 200);
  EXPECT_EQ(answer.get(), Answer::kNo);
  EXPECT_EQ(Answer(box, "yes"), 409);  // closed now

  // A shutdown releases a blocked call with the cancelling answer.
  answer = std::async(std::launch::async, [&] {
    return host_->ShowMessage("上書きしますか？", Buttons::kYesNo, Icon::kExclamation);
  });
  AwaitRequest("message");
  EXPECT_FALSE(host_->Stopping());
  host_->RequestShutdown();
  EXPECT_TRUE(host_->Stopping());
  EXPECT_EQ(answer.get(), Answer::kNo);
  EXPECT_FALSE(host_->Navigate(View::kMain, "MainMenu/MainMenuFr.htm"));
}

// A page move fetches only the page: the style sheets and scripts all pages
// share may be kept by the tab, the pages themselves never. Compressing over
// the loopback only costs time: pages and the state go out as they are,
// whatever encodings the browser offers.
TEST_F(BrowserHostTest, SharedFilesMayBeKeptPagesNotAndNothingIsCompressed) {
  std::ofstream(app_.Child("FORM/form.css")) << "body {}";
  std::ofstream(app_.Child("FORM/form.js")) << "'use strict';";
  std::string page = "<!DOCTYPE html><form>";
  for (int i = 0; i < 2000; ++i) page += "<input name=\"zlk_" + std::to_string(i) + "\">";
  std::ofstream(app_.Child("FORM/B.HTM")) << page;
  httplib::Headers offered = session_;
  offered.emplace("Accept-Encoding", "gzip, deflate, br, zstd");
  client_->set_decompress(false);
  for (const auto& [path, cache] : std::vector<std::pair<std::string, std::string>>{
           {pages_ + "FORM/form.css", "private, max-age=60"}, {pages_ + "FORM/form.js", "private, max-age=60"},
           {pages_ + "FORM/B.HTM", "no-store"}, {pages_ + "MainMenu/MainMenuFr.htm", "no-store"},
           {"/api/state?client=t&since=0", ""}}) {
    auto res = client_->Get(path, offered);
    ASSERT_TRUE(res && res->status == 200) << path;
    if (!cache.empty()) {
      EXPECT_EQ(res->get_header_value("Cache-Control"), cache) << path;
      EXPECT_EQ(res->get_header_value_count("Cache-Control"), 1u) << path;
    }
    EXPECT_FALSE(res->has_header("Content-Encoding")) << path;
    if (path == pages_ + "FORM/B.HTM") {
      EXPECT_EQ(res->body, page);
    }
  }
}

// Navigate answers whether the tab loaded the page, so it waits for that
// answer. A tab that saw the new page without its load request would load the
// page by itself, and then once more for the request: both come in one step.
TEST_F(BrowserHostTest, NavigateRefusesUnknownPagesAndRequestsTheLoadWithThePage) {
  EXPECT_FALSE(host_->Navigate(View::kEntry, "FORM/B.HTM"));
  EXPECT_FALSE(host_->Navigate(View::kEntry, "FORM/../MainMenu/MainMenuFr.htm"));
  EXPECT_FALSE(host_->Navigate(View::kEntry, "ZELKA20.mdb"));
  const long before = State()["version"];
  ShowA({{"ok", true}}, [&] {
    Json seen = State(before);
    EXPECT_EQ(seen["version"], before + 1);
    EXPECT_EQ(seen["views"]["entry"]["page"], "FORM/A.HTM");
    ASSERT_EQ(seen["requests"].size(), 1u);
    EXPECT_EQ(seen["requests"][0]["view"], "entry");
    EXPECT_EQ(seen["requests"][0]["page"], "FORM/A.HTM");
  });
  EXPECT_EQ(host_->CurrentPage(View::kEntry), "FORM/A.HTM");
  EXPECT_EQ(host_->CurrentPage(View::kMain), "");
}

TEST_F(BrowserHostTest, TypedValuesAndMarksAreKeptUntilThePageChangesOrTheWindowCloses) {
  auto show_a = [&] {
    ShowA({{"ok", true}}, [&] {
      EXPECT_TRUE(State()["entryDraft"].is_null()) << "cleared before the page shows";
      EXPECT_TRUE(State()["entryMarks"].is_null()) << "cleared before the page shows";
    });
  };
  auto mark = [&](const char* name, const char* colour) {
    host_->WriteForm(View::kEntry, {{name, std::nullopt, std::nullopt, colour}});
  };
  host_->ShowWindow(View::kEntry, true);
  EXPECT_EQ(PostDraft("あ"), 409);  // the view shows no page yet
  show_a();
  EXPECT_EQ(PostDraft("あ"), 200);
  EXPECT_EQ(State()["entryDraft"]["elements"][0]["value"], "あ");

  mark("zlk_A1", "#FF0000");

  show_a();  // the same page shown anew starts clean
  EXPECT_EQ(PostDraft("あ"), 200);
  mark("zlk_A1", "#FF0000");
  host_->ShowWindow(View::kMain, false);
  EXPECT_FALSE(State()["entryDraft"].is_null()) << "another window's closing keeps it";
  EXPECT_FALSE(State()["entryMarks"].is_null()) << "another window's closing keeps it";
  host_->ShowWindow(View::kEntry, false);
  EXPECT_TRUE(State()["entryDraft"].is_null());
  EXPECT_TRUE(State()["entryMarks"].is_null());
}

// A page load's answer carries the loaded form; the next read of that view takes
// it instead of asking the tab again, but only once, and only when nothing has
// passed between the program and the tab since (typed values, a write, an event).
TEST_F(BrowserHostTest, AFormLoadedWithItsPageIsReadOnceWithoutAskingAgain) {
  // Read as a tab's answer to a read would be: what is no element is dropped.
  const Json form = Json::array({{{"name", "zlk_A1"}, {"type", "text"}, {"value", "2003/04/01"}},
                                 {{"name", "zlk_A2"}, {"type", "checkbox"}, {"value", "on"}, {"checked", true}},
                                 "junk"});

  host_->ShowWindow(View::kEntry, true);
  ShowA({{"ok", true}, {"elements", form}});
  auto elements = ReadAtHand();
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(elements[0].value, "2003/04/01");
  EXPECT_TRUE(elements[1].checked);
  EXPECT_TRUE(ReadAnsweredByTab().empty()) << "used once only";

  ShowA({{"ok", true}, {"elements", form}});
  ASSERT_EQ(PostDraft("2004/01/01"), 200);
  EXPECT_TRUE(ReadAnsweredByTab().empty()) << "typed values make the loaded form stale";

  ShowA({{"ok", true}, {"elements", form}});
  host_->WriteForm(View::kEntry, {{"zlk_A1", std::string("x"), std::nullopt, std::nullopt}});
  Answer(AwaitRequest("writeForm"), Json::object());
  EXPECT_TRUE(ReadAnsweredByTab().empty()) << "a write makes the loaded form stale";
}

// A status text brings the page's form along, as it stood at the click; the
// program reads that one, past its own status clear, without asking the tab.
// Another event in between, or a form missing or not well formed, and it asks.
TEST_F(BrowserHostTest, AFormSentWithItsStatusIsReadWithoutAsking) {
  const Json clicked = Json::array({{{"name", "zlk_A1"}, {"type", "text"}, {"value", "2003/04/01"}, {"checked", false}},
                                    {{"name", "zlk_A2"}, {"type", "checkbox"}, {"value", "on"}, {"checked", true}}});
  auto status = [&](const Json& elements) {
    Json event = {{"type", "status"}, {"view", "entry"}, {"text", "#A|B.HTM"}};
    if (!elements.is_null()) event["elements"] = elements;
    EXPECT_EQ(Post("/api/event", event), 200);
    EXPECT_FALSE(host_->WaitEvent().form) << "the host keeps the form to itself";
  };

  status(clicked);
  host_->ClearStatus(View::kEntry);
  auto elements = ReadAtHand();
  ASSERT_EQ(elements.size(), 2u);
  EXPECT_EQ(elements[0].value, "2003/04/01");
  EXPECT_TRUE(elements[1].checked);

  status(Json());
  EXPECT_TRUE(ReadAnsweredByTab().empty()) << "a status without a form";

  status(Json::array({{{"name", "zlk_A1"}, {"type", "text"}}}));
  EXPECT_TRUE(ReadAnsweredByTab().empty()) << "a form not well formed is not taken";

  status(clicked);
  EXPECT_EQ(Post("/api/event", {{"type", "close"}, {"view", "entry"}}), 200);
  host_->ClearStatus(View::kEntry);
  EXPECT_TRUE(ReadAnsweredByTab().empty()) << "another event came in between";
  EXPECT_EQ(host_->WaitEvent().kind, UiEvent::Kind::kCloseWindow);
}

class ClickCounter : public Dialog {
 public:
  ClickCounter() {
    caption = "登録データの選択";
    controls = {{"txtName", "text", "対象者氏名"}, {"cmdOK", "button", "OK"},
                {"DBG", "grid", "", "", true, {}, {"整理番号"}, {{"1"}, {"2"}}}};
  }
  void OnEvent(const DialogEvent& event, Host& host) override {
    events.push_back(event);
    if (event.kind == DialogEvent::Kind::kClick && event.control == "cmdOK") {
      Find("cmdOK")->caption = "OK!";
      host.RefreshDialog(*this);
      closed = Find("txtName")->value == "done";
    }
    if (event.kind == DialogEvent::Kind::kClose) closed = true;
  }
  std::vector<DialogEvent> events;
};

TEST_F(BrowserHostTest, DialogTakesCheckedValuesAndRefreshes) {
  ClickCounter dialog;
  auto run = std::async(std::launch::async, [&] { host_->RunDialog(dialog); });
  Json shown = AwaitRequest("dialog");

  Answer(shown, {{"event", "click"}, {"control", "nosuch"}});        // ignored
  Answer(shown, {{"event", "dblclick"}, {"control", "DBG"}, {"row", 5}});  // no such row: ignored
  Answer(shown, {{"event", "click"}, {"control", "cmdOK"},
                 {"values", {{"txtName", "田中"}, {"cmdOK", "hacked"}}},
                 {"selections", {{"DBG", 1}}}});
  for (int i = 0; i < 50 && dialog.events.empty(); ++i) std::this_thread::sleep_for(20ms);
  ASSERT_EQ(dialog.events.size(), 1u);
  EXPECT_EQ(dialog.Find("cmdOK")->value, "");  // a button has no value to take
  AwaitRequest("dialog", [](const Json& r) { return r["controls"][1]["caption"] == "OK!"; });

  Answer(shown, {{"event", "click"}, {"control", "cmdOK"}, {"values", {{"txtName", "done"}}}});
  run.get();
  EXPECT_TRUE(dialog.closed);
}

TEST_F(BrowserHostTest, AWindowThatIsNotModalSendsItsButtonsThroughTheEventQueue) {
  struct Panel : Dialog {
    Panel() {
      caption = "空表出力";
      controls = {{"cmdA", "button", "A"}, {"lbMsg", "label", "x"}};
    }
    void OnEvent(const DialogEvent&, Host&) override {}
  } panel;
  host_->ShowModeless(panel);
  Json shown = State()["windows"];
  ASSERT_EQ(shown.size(), 1u);
  host_->ShowModeless(panel);  // again: the same window, raised
  EXPECT_EQ(State()["windows"].size(), 1u);
  EXPECT_NE(State()["windows"][0]["raised"], shown[0]["raised"]);

  auto click = [](const char* window, const char* control) {
    return Json{{"type", "window"}, {"window", window}, {"event", "click"}, {"control", control}, {"client", "tab1"}};
  };
  EXPECT_EQ(Post("/api/event", {{"type", "window"}, {"window", "空表出力"}, {"event", "drag"}}), 400);
  EXPECT_EQ(Post("/api/event", click("空表出力", "lbMsg")), 200);  // no button: dropped
  EXPECT_EQ(Post("/api/event", click("他の窓", "cmdA")), 200);     // no such window: dropped
  EXPECT_EQ(Post("/api/event", click("空表出力", "cmdA")), 200);
  EXPECT_EQ(host_->WaitEvent().window_event.control, "cmdA");  // the first event let through

  // A document opens in the tab the event came from, and only a file static
  // serving hands out is offered.
  fs::create_directories(app_.Child("PDF"));
  std::ofstream(app_.Child("PDF/UKETUKE.pdf")) << "%PDF-1.4";
  std::ofstream(app_.Child("PDF/other.pdf")) << "%PDF-1.4";
  EXPECT_TRUE(host_->OpenDocument("PDF/UKETUKE.pdf"));
  EXPECT_FALSE(host_->OpenDocument("PDF/other.pdf"));
  EXPECT_EQ(State()["documents"].size(), 1u);
}

TEST_F(BrowserHostTest, SaveDialogRefusesARelativeNameAndAsksBeforeOverwriting) {
  std::string existing = files_.Child("kento.rtf");
  std::ofstream(existing) << "old";
  EXPECT_EQ(client_->Get("/api/folder?request=1", session_)->status, 409);  // no dialog open

  auto chosen = std::async(std::launch::async, [&] {
    return host_->ShowSaveDialog({"作成するファイル名を指定してください。",
                                  "RTFファイル|*.rtf|すべてのファイル|*.*", 32717, 0x280006, ""});
  });
  Json dialog = AwaitRequest("save");

  Answer(dialog, {{"path", "relative.rtf"}});
  EXPECT_EQ(AwaitRequest("save", [](const Json& r) { return r.contains("error"); })["error"],
            "ファイル名を入力してください。");
  Answer(dialog, {{"path", existing}});
  Json asked = AwaitRequest("save", [](const Json& r) { return r.contains("question"); });
  EXPECT_EQ(asked["question"], "kento.rtf は既に存在します。上書きしますか？");
  Answer(dialog, {{"back", true}});
  Answer(dialog, {{"path", existing}, {"overwrite", true}});
  EXPECT_EQ(chosen.get(), existing);
}

TEST(DocumentsFolderTest, TheDesktopsWordThenDocumentsThenHome) {
  testing::TempDir home;
  const std::string saved = std::getenv("HOME");
  ::setenv("HOME", home.path().c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(DocumentsFolder(), home.path());
  fs::create_directories(home.Child("Documents"));
  fs::create_directories(home.Child(".config"));
  std::ofstream(home.Child(".config/user-dirs.dirs")) << "XDG_DOCUMENTS_DIR=\"$HOME/文書\"\n";
  EXPECT_EQ(DocumentsFolder(), home.Child("Documents")) << "文書 does not exist";
  fs::create_directory(home.Child("文書"));
  EXPECT_EQ(DocumentsFolder(), home.Child("文書"));
  ::setenv("HOME", saved.c_str(), 1);
}

}  // namespace
}  // namespace zelka
