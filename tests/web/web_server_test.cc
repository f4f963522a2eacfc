// The local server's gate: which requests pass, which are refused, and which
// files static serving may hand out.
#include "web/web_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <thread>

#include "web/web_channel.h"
#include "support/temp_dir.h"

namespace zelka {
namespace {

namespace fs = std::filesystem;

const std::string kToken(64, 'a');

RequestFacts Facts(std::string host, std::string origin = "", std::string cookie = "",
                   std::string token = "") {
  return {std::move(host), std::move(origin), std::move(cookie), std::move(token)};
}

// The own host (127.0.0.1 or localhost, on the port) with the token in the
// query or the cookie passes; anything else is refused, token or not.
TEST(RefusalReason, AdmitsOnlyTheOwnHostWithTheToken) {
  const std::string cookie = "zelka_token=" + kToken;
  const RequestFacts admitted[] = {
      Facts("127.0.0.1:8080", "", "", kToken), Facts("localhost:8080", "", cookie),
      Facts("127.0.0.1:8080", "http://127.0.0.1:8080", "other=1; " + cookie + "; x=2"),
      Facts("127.0.0.1:8080", "http://localhost:8080", "", kToken)};
  for (const RequestFacts& facts : admitted) EXPECT_EQ(RefusalReason(facts, kToken, 8080), std::nullopt) << facts.host;
  std::vector<RequestFacts> refused = {
      Facts("127.0.0.1:8080"), Facts("127.0.0.1:8080", "", "", std::string(64, 'b')),
      // A prefix of the token, or the token as part of another cookie's name, is no token.
      Facts("127.0.0.1:8080", "", "", kToken.substr(0, 63)), Facts("127.0.0.1:8080", "", "x" + cookie)};
  for (const char* host : {"evil.example:8080", "127.0.0.1:8081", "127.0.0.1", "", "127.0.0.1:8080.evil.example",
                           "0.0.0.0:8080"})
    refused.push_back(Facts(host, "", "", kToken));
  for (const char* origin : {"http://evil.example", "null", "http://127.0.0.1:9999", "https://127.0.0.1:8080",
                             "http://127.0.0.1:8080.evil.example"})
    refused.push_back(Facts("127.0.0.1:8080", origin, "", kToken));
  for (const RequestFacts& facts : refused)
    EXPECT_TRUE(RefusalReason(facts, kToken, 8080)) << facts.host << " " << facts.origin << " " << facts.cookie;
  EXPECT_TRUE(RefusalReason(Facts("127.0.0.1:8080"), "", 8080)) << "an empty secret never matches an empty token";
}

TEST(AccessToken, IsLongRandomHex) {
  std::string a = NewAccessToken(), b = NewAccessToken();
  EXPECT_EQ(a.size(), 64u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(a, b);
}

class StaticPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(app_.Child("MainMenu"));
    fs::create_directories(app_.Child("FORM"));
    fs::create_directories(app_.Child("PDF/sub"));
    fs::create_directories(web_.Child("img"));
    Write(app_.Child("MainMenu/MainMenuFr.htm"));
    Write(app_.Child("FORM/A.HTM"));
    for (const char* file : {"PDF/UKETUKE.pdf", "PDF/notes.pdf", "PDF/sub/UKETUKE.pdf"}) Write(app_.Child(file));
    Write(app_.Child("ZELKA20.mdb"));
    Write(web_.Child("shell.js"));
    Write(outside_.Child("secret.txt"));
  }
  static void Write(const std::string& path) { std::ofstream(path) << "x"; }
  std::optional<std::string> Resolve(const std::string& url) {
    return ResolveStaticPath(url, app_.path(), web_.path());
  }
  testing::TempDir app_, web_, outside_;
};

TEST_F(StaticPaths, ServesPageFoldersAndShellFilesAndNothingElse) {
  EXPECT_EQ(Resolve("/MainMenu/MainMenuFr.htm"), fs::canonical(app_.Child("MainMenu/MainMenuFr.htm")).string());
  EXPECT_EQ(Resolve("/FORM/A.HTM"), fs::canonical(app_.Child("FORM/A.HTM")).string());
  EXPECT_EQ(Resolve("/web/shell.js"), fs::canonical(web_.Child("shell.js")).string());
  EXPECT_EQ(Resolve("/PDF/UKETUKE.pdf"), fs::canonical(app_.Child("PDF/UKETUKE.pdf")).string());
  fs::create_symlink(outside_.Child("secret.txt"), app_.Child("FORM/link.htm"));
  fs::create_directory_symlink(outside_.path(), app_.Child("FORM/out"));
  for (const char* url : {"/ZELKA20.mdb", "/FORM/../ZELKA20.mdb", "/MainMenu/../../etc/passwd", "/FORM/./A.HTM",
                          "/FORM//A.HTM", "/FORM/", "/FORM", "/web/img", "/FORM/B.HTM", "FORM/A.HTM",
                          "/FORM\\..\\ZELKA20.mdb", "/form/A.HTM", "/etc/passwd", "", "/FORM/link.htm",
                          "/FORM/out/secret.txt",
                          // only the blank forms of the PDF folder, by their exact names
                          "/PDF/notes.pdf", "/PDF/uketuke.pdf", "/PDF/sub/UKETUKE.pdf", "/PDF/Assessment.pdf"})
    EXPECT_EQ(Resolve(url), std::nullopt) << url;
}

// --- Pending edits -------------------------------------------------------------

TEST(Drafts, KeptOnlyForThePageTheViewShowsAndOnlyWhenWellFormed) {
  using Json = nlohmann::json;
  UiChannel channel;
  channel.Set("views", {{"main", {{"visible", false}, {"page", "MainMenu/MainMenuFr.htm"}}},
                        {"entry", {{"visible", true}, {"page", "FORM/A.HTM"}}}});
  const Json element = {{"name", "zlk_A1"}, {"type", "text"}, {"value", "あ"}, {"checked", false}};
  auto draft = [&](Json page, Json elements, Json view = "entry") {
    return Json{{"type", "draft"}, {"view", view}, {"page", page}, {"elements", elements}};
  };
  std::string why;
  EXPECT_TRUE(KeepDraft(channel, draft("FORM/A.HTM", {element}), &why)) << why;
  EXPECT_EQ(channel.Get(DraftKey(View::kEntry)),
            (Json{{"page", "FORM/A.HTM"}, {"elements", {element}}}));
  EXPECT_TRUE(channel.Get(DraftKey(View::kMain)).is_null());

  // Each refusal leaves the kept draft as it was.
  Json other = element;
  other["value"] = "い";
  Json wrong_checked = other;
  wrong_checked["checked"] = "yes";
  Json extra = other;
  extra["background"] = "red";
  const Json refused[] = {
      draft("FORM/B.HTM", {other}),          // a page the view has left
      draft("", {other}),                    // no page
      draft("FORM/A.HTM", {other}, "side"),  // no such view
      draft("FORM/A.HTM", other),            // not a list
      draft("FORM/A.HTM", {wrong_checked}),
      draft("FORM/A.HTM", {extra}),
      draft("FORM/A.HTM", Json::array({other, 5})),
      draft(5, {other}),
  };
  for (const Json& body : refused) {
    why.clear();
    EXPECT_FALSE(KeepDraft(channel, body, &why)) << body.dump();
    EXPECT_FALSE(why.empty());
  }
  EXPECT_EQ(channel.Get(DraftKey(View::kEntry))["elements"][0]["value"], "あ");
}

// A stop that comes the moment the server has started (a signal right at
// start-up) must end it, not leave it listening for ever.
TEST(WebServerLifetime, StopsEvenRightAfterStart) {
  testing::TempDir dir;
  for (int i = 0; i < 100; ++i) {
    // On the heap: a server that does not stop is left behind, not destroyed.
    auto* channel = new UiChannel;
    auto* server = new WebServer(dir.path(), dir.path(), *channel);
    ASSERT_TRUE(server->Start(0, nullptr));
    auto stopped = std::make_shared<std::promise<void>>();
    std::future<void> done = stopped->get_future();
    std::thread([server, stopped] {
      server->Stop();
      stopped->set_value();
    }).detach();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "round " << i;
    delete server;
    delete channel;
  }
}

}  // namespace
}  // namespace zelka
