// The local server's gate: which requests pass, which are refused, which
// files static serving may hand out, and what a client may hold.
#include "web/web_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
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
using namespace std::chrono_literals;

TEST(RefusalReason, AdmitsOnlyOwnHostAndOriginWithTheCredentialsARouteNeeds) {
  Session session;
  std::string why;
  const Session::Keys keys = session.Exchange(session.StartCode(), &why).value();
  const std::string secret = keys.secret;
  const std::string page = keys.pages + "FORM/A.HTM";
  const std::string other_key = "/p/" + std::string(64, 'b') + "/FORM/A.HTM";
  struct Case {
    std::string host, origin, path, session;
    bool admitted;
  } cases[] = {
      // The shell page, its files and the exchange need no credentials.
      {"127.0.0.1:8080", "", "/", "", true},
      {"localhost:8080", "", "/web/shell.js", "", true},
      {"127.0.0.1:8080", "http://127.0.0.1:8080", "/api/session", "", true},
      // Calls need the secret in the header.
      {"127.0.0.1:8080", "http://localhost:8080", "/api/state", secret, true},
      {"127.0.0.1:8080", "", "/api/event", "", false},
      {"127.0.0.1:8080", "", "/api/event", secret.substr(0, 63), false},
      {"127.0.0.1:8080", "", "/api/event", std::string(64, 'b'), false},
      {"127.0.0.1:8080", "", "/api/session/x", "", false},
      // Pages need the page key in the path; the secret does not stand for it.
      {"127.0.0.1:8080", "", page, "", true},
      {"127.0.0.1:8080", "", "/FORM/A.HTM", secret, false},
      {"127.0.0.1:8080", "", other_key, "", false},
      {"127.0.0.1:8080", "", "/p/" + secret + "/FORM/A.HTM", "", false},
      // A foreign Host (DNS rebinding) or Origin is refused whatever it carries.
      {"evil.example:8080", "", "/", "", false},
      {"127.0.0.1:8081", "", "/api/state", secret, false},
      {"", "", "/", "", false},
      {"127.0.0.1:8080.evil.example", "", "/", "", false},
      {"127.0.0.1:8080", "http://evil.example", "/api/state", secret, false},
      {"127.0.0.1:8080", "null", page, "", false},
      {"127.0.0.1:8080", "http://127.0.0.1:9999", "/api/session", "", false},
      {"127.0.0.1:8080", "http://127.0.0.1:8080.evil.example", "/", "", false},
  };
  for (const Case& c : cases) {
    auto refused = RefusalReason({c.host, c.origin, c.path, c.session}, session, 8080);
    EXPECT_EQ(!refused.has_value(), c.admitted) << c.host << " " << c.origin << " " << c.path;
  }
  // Before the exchange nothing stands for the session.
  Session fresh;
  EXPECT_TRUE(RefusalReason({"127.0.0.1:8080", "", "/api/state", ""}, fresh, 8080));
}

TEST(Session, TheStartCodeIsTradedOnceAndOnlyWithinItsLife) {
  auto now = Session::Clock::now();
  auto clock = [&now] { return now; };
  struct Case {
    std::chrono::seconds elapsed;
    bool right_code;
    bool traded;
  } cases[] = {{0s, false, false}, {0s, true, true}, {59s, true, true}, {61s, true, false}};
  for (const Case& c : cases) {
    now = Session::Clock::now();
    Session session(std::chrono::minutes(1), clock);
    now += c.elapsed;
    std::string why;
    auto keys = session.Exchange(c.right_code ? session.StartCode() : std::string(64, '0'), &why);
    EXPECT_EQ(keys.has_value(), c.traded) << c.elapsed.count();
    EXPECT_EQ(why.empty(), c.traded) << why;
    if (!keys) continue;
    EXPECT_TRUE(session.IsSecret(keys->secret));
    EXPECT_FALSE(session.IsSecret(session.StartCode()));
    EXPECT_EQ(session.PagePath(keys->pages + "MainMenu/MainMenuFr.htm"), "/MainMenu/MainMenuFr.htm");
    // The code is worthless once used: a second tab gets nothing.
    EXPECT_FALSE(session.Exchange(session.StartCode(), &why));
    EXPECT_NE(why.find("使用済み"), std::string::npos) << why;
  }
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

// --- A running server over real sockets ---------------------------------------------

class LiveServer : public ::testing::Test {
 protected:
  using Json = nlohmann::json;

  void Start(ConnectionLimits limits = {}) {
    fs::create_directories(app_.Child("FORM"));
    std::ofstream(app_.Child("FORM/A.HTM")) << "<form></form>";
    std::ofstream(web_.Child("shell.html")) << "<title>shell</title>";
    server_ = std::make_unique<WebServer>(app_.path(), web_.path(), channel_, limits);
    ASSERT_TRUE(server_->Start(0, nullptr));
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->Port());
    client_->set_read_timeout(10, 0);
    const std::string url = server_->StartUrl();
    auto res = client_->Post("/api/session", Json{{"start", url.substr(url.find("?start=") + 7)}}.dump(),
                             "application/json");
    ASSERT_TRUE(res && res->status == 200);
    Json keys = Json::parse(res->body);
    secret_ = keys["secret"];
    pages_ = keys["pages"];
    session_ = {{kSessionHeader, secret_}};
  }
  void TearDown() override {
    for (int fd : sockets_) ::close(fd);
  }

  int Status(const std::string& path, const httplib::Headers& headers = {}) {
    auto res = client_->Get(path.c_str(), headers);
    return res ? res->status : -1;
  }

  // A raw connection, closed when the test ends.
  int Connect() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(server_->Port()));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    sockets_.push_back(fd);
    return fd;
  }
  static bool Send(int fd, const std::string& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
      ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }
  // Whether the server has closed the connection (within `wait`); what it
  // answered before closing is skipped.
  static bool ClosedByServer(int fd, std::chrono::milliseconds wait) {
    char buffer[4096];
    for (auto end = std::chrono::steady_clock::now() + wait; std::chrono::steady_clock::now() < end;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return true;
    }
    return false;
  }
  // The status of the whole answer read from a raw connection (0 when none comes).
  static int ReadStatus(int fd) {
    std::string got;
    char buffer[4096];
    for (size_t need = std::string::npos; need == std::string::npos || got.size() < need;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 10000) <= 0) return 0;
      ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
      size_t head = got.find("\r\n\r\n");
      if (need == std::string::npos && head != std::string::npos)
        need = head + 4 + std::atoi(std::string(HeadField(got.substr(0, head), "Content-Length")).c_str());
    }
    return got.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(got.c_str() + 9) : 0;
  }
  std::string HeadOf(const std::string& request_line, const std::string& more = "") {
    return request_line + "\r\nHost: 127.0.0.1:" + std::to_string(server_->Port()) + "\r\n" + more;
  }

  testing::TempDir app_, web_;
  UiChannel channel_;
  std::unique_ptr<WebServer> server_;
  std::unique_ptr<httplib::Client> client_;
  std::string secret_, pages_;
  httplib::Headers session_;
  std::vector<int> sockets_;
};

// The secret opens calls in their header only, never as a cookie, and a page
// key does not open a way out of the program directory.
TEST_F(LiveServer, OnlyTheSessionHeaderOpensCallsAndEveryAnswerAllowsThisOriginOnly) {
  Start();
  EXPECT_EQ(Status("/api/state?since=0", {{"Cookie", "zelka_session=" + secret_}}), 403);
  EXPECT_EQ(Status(pages_ + "FORM/../../ZELKA20.mdb"), 404);

  // Every answer allows this origin only, and none sets a cookie.
  for (const std::string& path : {std::string("/"), pages_ + "FORM/A.HTM", std::string("/api/state"),
                                  std::string("/FORM/A.HTM"), pages_ + "FORM/none.htm"}) {
    auto res = client_->Get(path.c_str(), session_);
    ASSERT_TRUE(res) << path;
    const std::string policy = res->get_header_value("Content-Security-Policy");
    EXPECT_EQ(res->get_header_value_count("Content-Security-Policy"), 1u) << path;
    EXPECT_NE(policy.find("default-src 'self'"), std::string::npos) << path;
    EXPECT_EQ(policy.find("unsafe-inline") != std::string::npos, path.rfind("/p/", 0) == 0) << path;
    EXPECT_FALSE(res->has_header("Set-Cookie")) << path;
  }
}

TEST_F(LiveServer, BodiesAreRefusedOverTheLimitHoweverTheyAreFramed) {
  Start();
  const std::string big(9 * 1024 * 1024, 'x');
  const std::string session = std::string(kSessionHeader) + ": " + secret_ + "\r\n";
  struct Case {
    const char* what;
    std::string head;
    std::string body;
    int status;
  } cases[] = {
      {"chunked", "Transfer-Encoding: chunked\r\n", "900000\r\n" + big, 411},
      {"too long", "Content-Length: " + std::to_string(big.size()) + "\r\n", big, 413},
      {"no length", "", big, 400},
      {"compressed", "Content-Encoding: gzip\r\nContent-Length: 4\r\n", "\x1f\x8b\x08\x00", 415},
  };
  for (const Case& c : cases) {
    int fd = Connect();
    Send(fd, HeadOf("POST /api/event HTTP/1.1", session + c.head + "\r\n"));
    Send(fd, c.body);  // the server may stop reading and close early
    ::shutdown(fd, SHUT_WR);
    EXPECT_EQ(ReadStatus(fd), c.status) << c.what;
  }
  EXPECT_EQ(Status("/api/state?since=0", session_), 200);
}

// Slow clients that never finish a request hold no worker: the tab's own
// calls are answered while 40 of them trickle their headers, each line well
// within any wait for a single read.
TEST_F(LiveServer, TheTabIsAnsweredWhileSlowClientsTrickleTheirHeaders) {
  Start();
  client_->set_read_timeout(4, 0);  // a call that waits for the trickling to end fails
  std::vector<int> slow;
  for (int i = 0; i < 40; ++i) {
    slow.push_back(Connect());
    Send(slow.back(), HeadOf("GET / HTTP/1.1"));
  }
  std::atomic<bool> done{false};
  std::thread trickle([&] {
    for (int line = 0; !done; ++line) {
      for (int fd : slow) Send(fd, "X-Slow-" + std::to_string(line) + ": 1\r\n");
      std::this_thread::sleep_for(300ms);
    }
  });
  for (int round = 0; round < 4; ++round) {
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Status("/api/state?since=0", session_), 200);
    auto res = client_->Post("/api/event", session_, R"({"type":"close","view":"entry"})", "application/json");
    EXPECT_TRUE(res && res->status == 200);
    EXPECT_EQ(Status(pages_ + "FORM/A.HTM"), 200);
  }
  done = true;
  trickle.join();
}

TEST_F(LiveServer, AHeadMustBeCompleteByItsDeadlineHoweverSteadilyItTrickles) {
  ConnectionLimits limits;
  limits.head = 300ms;
  limits.idle = 300ms;
  Start(limits);
  int trickle = Connect(), idle = Connect();
  Send(trickle, HeadOf("GET / HTTP/1.1"));
  bool closed = false;
  for (int line = 0; line < 30 && !closed; ++line) {  // 3 s at a line per 100 ms
    closed = !Send(trickle, "X-Line: " + std::to_string(line) + "\r\n") || ClosedByServer(trickle, 100ms);
  }
  EXPECT_TRUE(closed);
  EXPECT_TRUE(ClosedByServer(idle, 5s));
  int prompt = Connect();
  Send(prompt, HeadOf("GET / HTTP/1.1", "\r\n"));
  EXPECT_EQ(ReadStatus(prompt), 200);
}

TEST_F(LiveServer, AClientHoldsOnlySoManyConnectionsWithoutCredentialsIdleOnesGoFirst) {
  ConnectionLimits limits;
  limits.per_client = 4;
  Start(limits);
  // A connection of the tab's, idle between its calls, is kept.
  int tab = Connect();
  Send(tab, HeadOf("GET /api/state?since=0 HTTP/1.1", std::string(kSessionHeader) + ": " + secret_ + "\r\n\r\n"));
  ASSERT_EQ(ReadStatus(tab), 200);
  int busy = Connect();
  Send(busy, HeadOf("GET / HTTP/1.1"));  // in the middle of its head
  ASSERT_FALSE(ClosedByServer(busy, 100ms));
  std::vector<int> idle;
  for (int i = 0; i < 6; ++i) idle.push_back(Connect());
  // Seven connections without credentials for four places: the three idle
  // ones that came first go, the one in mid-request stays.
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(ClosedByServer(idle[i], 2s)) << i;
  for (int fd : {busy, idle[3], idle[4], idle[5]}) EXPECT_FALSE(ClosedByServer(fd, 100ms));
  Send(tab, HeadOf("GET /api/state?since=0 HTTP/1.1", std::string(kSessionHeader) + ": " + secret_ + "\r\n\r\n"));
  EXPECT_EQ(ReadStatus(tab), 200);
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
