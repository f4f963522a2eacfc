#include "web/web_server.h"

#include <httplib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "output/blank_forms.h"
#include "store/entry_menus.h"
#include "web/trace.h"
#include "web/web_channel.h"

namespace zelka {

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

constexpr const char* kCookieName = "zelka_token";
// How long a state poll waits for a change before it answers anyway; the
// answer doubles as the heartbeat that tells a live tab from a closed one.
constexpr auto kPollWait = std::chrono::seconds(15);
// Every open poll and every keep-alive connection holds a worker thread.
constexpr size_t kWorkerThreads = 32;
constexpr size_t kMaxBody = 8 * 1024 * 1024;

// Style sheets and scripts every page links: a tab may keep them for a
// minute, so a page move fetches only the page itself.
bool IsSharedAsset(const std::string& path) {
  const std::string ext = fs::path(path).extension().string();
  return ext == ".css" || ext == ".js";
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Compares without stopping at the first difference, so the time taken says
// nothing about how much of a guessed token was right.
bool SameSecret(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::string CookieValue(const std::string& header, const std::string& name) {
  std::istringstream in(header);
  std::string part;
  while (std::getline(in, part, ';')) {
    size_t start = part.find_first_not_of(' ');
    if (start == std::string::npos) continue;
    part = part.substr(start);
    if (part.compare(0, name.size() + 1, name + "=") == 0) return part.substr(name.size() + 1);
  }
  return "";
}

bool IsValidUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = text[i];
    size_t extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2
                                   : (lead >> 3) == 0x1E ? 3 : 4;
    if (extra == 4 || i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
    i += extra + 1;
  }
  return true;
}

std::string MimeType(const std::string& path, const std::string& contents) {
  std::string ext = Lower(fs::path(path).extension().string());
  if (ext == ".htm" || ext == ".html")
    // Pages without a declared charset that read as UTF-8 are UTF-8; others
    // (Shift_JIS pages) are left to their own <meta charset>.
    return IsValidUtf8(contents) ? "text/html; charset=utf-8" : "text/html";
  if (ext == ".css") return "text/css; charset=utf-8";
  if (ext == ".js" || ext == ".mjs") return "text/javascript; charset=utf-8";
  if (ext == ".json") return "application/json";
  if (ext == ".pdf") return "application/pdf";
  if (ext == ".png") return "image/png";
  if (ext == ".gif") return "image/gif";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".ico") return "image/x-icon";
  return "application/octet-stream";
}

bool ReadWholeFile(const std::string& path, std::string* contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  *contents = out.str();
  return true;
}

void Refuse(httplib::Response& res, int status, const std::string& why) {
  res.status = status;
  res.set_content(why + "\n", "text/plain; charset=utf-8");
}

std::optional<View> ParseView(const Json& value) {
  if (value == "main") return View::kMain;
  if (value == "entry") return View::kEntry;
  return std::nullopt;
}

bool IsKnownMenuItem(const std::string& id) {
  if (id == "IDM_VerInfo") return true;
  for (const auto& item : kIntakeMenu)
    if (item.id == id) return true;
  for (const auto& item : kAssessmentMenu)
    if (item.id == id) return true;
  return false;
}

// One element of a draft, checked field by field.
bool IsDraftElement(const Json& e) {
  return e.is_object() && e.size() == 4 && e.contains("name") && e["name"].is_string() &&
         e.contains("type") && e["type"].is_string() && e.contains("value") &&
         e["value"].is_string() && e.contains("checked") && e["checked"].is_boolean();
}

constexpr size_t kMaxDraftElements = 10000;

// The form an event brings along (a page's move, a jump from the menu), so
// that the program need not ask for it; one not well formed is left out, and
// the program asks.
std::optional<std::vector<PageElement>> FormSentAlong(const Json& body) {
  const Json& form = body.contains("elements") ? body["elements"] : Json();
  if (!form.is_array() || form.size() > kMaxDraftElements ||
      !std::all_of(form.begin(), form.end(), IsDraftElement))
    return std::nullopt;
  std::vector<PageElement> elements;
  elements.reserve(form.size());
  for (const Json& e : form) elements.push_back({e["name"], e["type"], e["value"], e["checked"]});
  return elements;
}

// A user event posted by the shell page, checked field by field.
std::optional<UiEvent> ParseEvent(const Json& body, std::string* why) {
  if (!body.is_object() || !body.contains("type") || !body["type"].is_string()) {
    *why = "event without a type";
    return std::nullopt;
  }
  const std::string type = body["type"];
  auto text = [&](const char* key) {
    return body.contains(key) && body[key].is_string() ? body[key].get<std::string>() : "";
  };
  UiEvent event;
  if (type == "menu") {
    event.kind = UiEvent::Kind::kMenu;
    event.view = text("item") == "IDM_VerInfo" ? View::kMain : View::kEntry;
    event.text = text("item");
    if (!IsKnownMenuItem(event.text)) {
      *why = "unknown menu item";
      return std::nullopt;
    }
    event.form = FormSentAlong(body);
    return event;
  }
  if (type == "window") {  // a window that is not modal; the host checks the rest
    static const std::pair<const char*, DialogEvent::Kind> kKinds[] = {
        {"click", DialogEvent::Kind::kClick},
        {"key", DialogEvent::Kind::kKey},
        {"close", DialogEvent::Kind::kClose}};
    event.kind = UiEvent::Kind::kWindow;
    event.text = text("window");
    event.client = text("client");
    event.window_event.control = text("control");
    event.window_event.key = text("key");
    const std::string what = text("event");
    auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                             [&](const auto& k) { return what == k.first; });
    if (kind == std::end(kKinds) ||
        (kind->second == DialogEvent::Kind::kKey && event.window_event.key.empty())) {
      *why = "a window event needs a click, key or close";
      return std::nullopt;
    }
    event.window_event.kind = kind->second;
    return event;
  }
  auto view = ParseView(body.value("view", Json()));
  if (!view) {
    *why = "event without a valid view";
    return std::nullopt;
  }
  event.view = *view;
  if (type == "status") {
    event.kind = UiEvent::Kind::kStatusText;
    event.text = text("text");
    event.form = FormSentAlong(body);
  } else if (type == "navigate") {
    event.kind = UiEvent::Kind::kNavigate;
    event.url = text("url");
    event.post_data = text("post");
  } else if (type == "close") {
    event.kind = UiEvent::Kind::kCloseWindow;
  } else {
    *why = "unknown event type";
    return std::nullopt;
  }
  return event;
}

// The folders and files of a folder, for the save dialog's chooser.
Json ListFolder(const std::string& dir) {
  Json listing = {{"dir", dir}, {"entries", Json::array()}};
  std::error_code ec;
  fs::path path = fs::weakly_canonical(fs::path(dir), ec);
  if (ec || !fs::is_directory(path, ec)) {
    listing["error"] = "フォルダーを開けません: " + dir;
    return listing;
  }
  listing["dir"] = path.string();
  listing["parent"] = path.has_parent_path() && path != path.root_path()
                          ? path.parent_path().string()
                          : "";
  std::vector<Json> entries;
  for (fs::directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code kind_ec;
    entries.push_back({{"name", name}, {"folder", it->is_directory(kind_ec)}});
  }
  std::sort(entries.begin(), entries.end(), [](const Json& a, const Json& b) {
    if (a["folder"] != b["folder"]) return a["folder"].get<bool>();
    return a["name"].get<std::string>() < b["name"].get<std::string>();
  });
  listing["entries"] = entries;
  return listing;
}

}  // namespace

std::optional<std::string> RefusalReason(const RequestFacts& request, const std::string& token,
                                         int port) {
  const std::string suffix = ":" + std::to_string(port);
  const std::string host = Lower(request.host);
  if (host != "127.0.0.1" + suffix && host != "localhost" + suffix)
    return "foreign Host header";
  if (!request.origin.empty()) {
    const std::string origin = Lower(request.origin);
    if (origin != "http://127.0.0.1" + suffix && origin != "http://localhost" + suffix)
      return "foreign Origin";
  }
  if (!SameSecret(request.token, token) && !SameSecret(CookieValue(request.cookie, kCookieName), token))
    return "missing or wrong access token";
  return std::nullopt;
}

std::optional<std::string> ResolveStaticPath(const std::string& url_path,
                                             const std::string& app_dir,
                                             const std::string& web_dir) {
  static const std::pair<const char*, bool> kFolders[] = {
      {"web", true}, {"MainMenu", false}, {"FORM", false}, {"PDF", false}};
  if (url_path.empty() || url_path[0] != '/') return std::nullopt;
  if (url_path.find('\\') != std::string::npos || url_path.find('\0') != std::string::npos)
    return std::nullopt;
  std::vector<std::string> segments;
  std::istringstream in(url_path.substr(1));
  std::string segment;
  while (std::getline(in, segment, '/')) {
    if (segment.empty() || segment == "." || segment == "..") return std::nullopt;
    segments.push_back(segment);
  }
  if (segments.size() < 2 || url_path.back() == '/') return std::nullopt;
  // The PDF folder serves the blank forms and nothing else.
  if (segments[0] == kBlankFormFolder && (segments.size() != 2 || !IsBlankFormFile(segments[1])))
    return std::nullopt;
  for (const auto& [folder, in_web] : kFolders) {
    if (segments[0] != folder) continue;
    fs::path root = in_web ? fs::path(web_dir) : fs::path(app_dir) / folder;
    fs::path file = root;
    for (size_t i = 1; i < segments.size(); ++i) file /= segments[i];
    // A symbolic link must not lead out of the folder either.
    std::error_code ec;
    fs::path real_root = fs::canonical(root, ec);
    if (ec) return std::nullopt;
    fs::path real_file = fs::canonical(file, ec);
    if (ec || !fs::is_regular_file(real_file, ec)) return std::nullopt;
    auto rel = real_file.lexically_relative(real_root);
    if (rel.empty() || *rel.begin() == "..") return std::nullopt;
    return real_file.string();
  }
  return std::nullopt;
}

std::string NewAccessToken() {
  unsigned char bytes[32];
  std::ifstream random("/dev/urandom", std::ios::binary);
  if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes))
    throw std::runtime_error("cannot read /dev/urandom for the access token");
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 0xF];
  }
  return token;
}

std::string DraftKey(View view) { return view == View::kMain ? "mainDraft" : "entryDraft"; }

bool KeepDraft(UiChannel& channel, const Json& body, std::string* why) {
  auto view = ParseView(body.value("view", Json()));
  const Json& elements = body.contains("elements") ? body["elements"] : Json();
  if (!view || !body.contains("page") || !body["page"].is_string() || !elements.is_array() ||
      elements.size() > kMaxDraftElements ||
      !std::all_of(elements.begin(), elements.end(), IsDraftElement)) {
    *why = "a draft needs a view, a page and a list of elements";
    return false;
  }
  const std::string page = body["page"];
  const Json views = channel.Get("views");
  const char* key = *view == View::kMain ? "main" : "entry";
  if (page.empty() || !views.contains(key) || views[key].value("page", "") != page) {
    *why = "the view no longer shows that page";
    return false;
  }
  channel.Set(DraftKey(*view), Json{{"page", page}, {"elements", elements}});
  return true;
}

WebServer::WebServer(std::string app_dir, std::string web_dir, UiChannel& channel)
    : app_dir_(std::move(app_dir)),
      web_dir_(std::move(web_dir)),
      channel_(channel),
      token_(NewAccessToken()),
      http_(std::make_unique<httplib::Server>()) {}

WebServer::~WebServer() { Stop(); }

void WebServer::PublishReport(int serial, std::string html) {
  std::lock_guard lock(report_mutex_);
  report_serial_ = serial;
  report_html_ = std::move(html);
}

std::string WebServer::ReportPath(int serial) { return "/report/" + std::to_string(serial) + ".html"; }

std::string WebServer::StartUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_;
}

bool WebServer::Start(int port, std::string* error) {
  http_->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  http_->set_payload_max_length(kMaxBody);
  // Answers go out at once: with Nagle's delay every reply that is written in
  // more than one piece waits for the browser's delayed ACK (about 40 ms), and
  // a page move takes several round trips.
  http_->set_tcp_nodelay(true);
  Route();
  if (port == 0) {
    port_ = http_->bind_to_any_port("127.0.0.1");
  } else if (http_->bind_to_port("127.0.0.1", port)) {
    port_ = port;
  } else {
    port_ = -1;
  }
  if (port_ <= 0) {
    if (error) *error = "127.0.0.1:" + std::to_string(port) + " を使用できません";
    port_ = 0;
    return false;
  }
  thread_ = std::thread([this] {
    http_->listen_after_bind();
    listen_returned_ = true;
  });
  // The library's stop() does nothing until its listening loop has begun, so
  // a stop that came sooner (a signal right at start-up) would leave that
  // loop waiting in accept() for ever, and Stop() waiting for it. Start
  // returns once the loop runs.
  while (!http_->is_running() && !listen_returned_)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void WebServer::Stop() {
  if (!thread_.joinable()) return;
  channel_.Shutdown();  // ends the open polls, so the workers can finish
  // Give an open tab the moment it needs to hear that the program has ended.
  if (channel_.ClientSeenWithin(std::chrono::seconds(30)))
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  http_->stop();
  thread_.join();
}

void WebServer::Route() {
  // "same-origin" rather than "no-referrer": without a referrer policy that
  // allows it, a form posted in a page frame carries "Origin: null", which the
  // gate would refuse.
  http_->set_default_headers({{"Cache-Control", "no-store"},
                              {"X-Content-Type-Options", "nosniff"},
                              {"Referrer-Policy", "same-origin"},
                              {"X-Frame-Options", "SAMEORIGIN"}});

  http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    RequestFacts facts{req.get_header_value("Host"), req.get_header_value("Origin"),
                       req.get_header_value("Cookie"), req.get_param_value("token")};
    if (auto why = RefusalReason(facts, token_, port_)) {
      Refuse(res, 403, "Forbidden: " + *why);
      return httplib::Server::HandlerResponse::Handled;
    }
    // Answers go out uncompressed. The library compresses every text answer
    // the browser accepts compressed, with brotli at its strongest setting:
    // about 60 ms for a 23 KB page and several ms for each state, where the
    // loopback would carry the plain bytes in well under a millisecond. The
    // library decides from this header when it writes the answer; the request
    // object is the server's own (not const), so dropping the header is safe.
    const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
    return httplib::Server::HandlerResponse::Unhandled;
  });

  // The start address: keep the token in a cookie and drop it from the
  // address bar, so it does not linger in the history.
  http_->Get("/", [this](const httplib::Request& req, httplib::Response& res) {
    if (req.has_param("token")) {
      res.set_header("Set-Cookie", std::string(kCookieName) + "=" + token_ +
                                       "; Path=/; HttpOnly; SameSite=Strict");
      res.set_redirect("/", 303);
      return;
    }
    std::string page;
    if (!ReadWholeFile((fs::path(web_dir_) / "shell.html").string(), &page))
      return Refuse(res, 500, "shell.html is missing from " + web_dir_);
    res.set_content(page, "text/html; charset=utf-8");
  });

  auto serve_file = [this](const httplib::Request& req, httplib::Response& res) {
    TraceScope trace("serve " + req.path);
    auto file = ResolveStaticPath(req.path, app_dir_, web_dir_);
    std::string contents;
    if (!file || !ReadWholeFile(*file, &contents)) return Refuse(res, 404, "Not Found");
    res.set_content(contents, MimeType(*file, contents));
    if (IsSharedAsset(*file)) {
      res.headers.erase("Cache-Control");
      res.set_header("Cache-Control", "private, max-age=60");
    }
  };
  // Pages are files: a form posted to a page shows the page, as a file URL did.
  http_->Get("/(web|MainMenu|FORM|PDF)/.*", serve_file);
  http_->Post("/(web|MainMenu|FORM)/.*", serve_file);

  // The print preview's report, only while it is shown.
  http_->Get("/report/([0-9]+)\\.html", [this](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(report_mutex_);
    if (report_html_.empty() || req.path != ReportPath(report_serial_)) return Refuse(res, 404, "Not Found");
    res.set_content(report_html_, "text/html; charset=utf-8");
  });

  http_->Get("/api/state", [this](const httplib::Request& req, httplib::Response& res) {
    long since = 0;
    try {
      since = std::stol(req.get_param_value("since"));
    } catch (...) {
    }
    Json state = channel_.Snapshot(since, kPollWait, req.get_param_value("client"));
    TraceScope trace("state dump");
    res.set_content(state.dump(), "application/json");
    if (TraceEnabled()) Trace("state of " + std::to_string(res.body.size()) + " bytes");
  });

  auto parse_body = [](const httplib::Request& req, httplib::Response& res) -> std::optional<Json> {
    Json body = Json::parse(req.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
      Refuse(res, 400, "Bad Request: the body is not a JSON object");
      return std::nullopt;
    }
    return body;
  };

  http_->Post("/api/answer", [this, parse_body](const httplib::Request& req,
                                                httplib::Response& res) {
    auto body = parse_body(req, res);
    if (!body) return;
    if (!body->contains("id") || !(*body)["id"].is_number_integer())
      return Refuse(res, 400, "Bad Request: answer without an id");
    if (!channel_.Answer((*body)["id"].get<int>(), body->value("answer", Json())))
      return Refuse(res, 409, "Conflict: no such request is open");
    res.set_content("{}", "application/json");
  });

  http_->Post("/api/event", [this, parse_body](const httplib::Request& req,
                                               httplib::Response& res) {
    auto body = parse_body(req, res);
    if (!body) return;
    std::string why;
    if (body->value("type", Json()) == "draft") {
      if (!KeepDraft(channel_, *body, &why)) return Refuse(res, 409, "Conflict: " + why);
      return res.set_content("{}", "application/json");
    }
    auto event = ParseEvent(*body, &why);
    if (!event) return Refuse(res, 400, "Bad Request: " + why);
    int id = channel_.PushEvent(*event);
    res.set_content(Json{{"id", id}}.dump(), "application/json");
  });

  // Folder listings, only for an open save dialog.
  http_->Get("/api/folder", [this](const httplib::Request& req, httplib::Response& res) {
    int id = 0;
    try {
      id = std::stoi(req.get_param_value("request"));
    } catch (...) {
    }
    auto request = channel_.Request(id);
    if (!request || request->value("kind", "") != "save")
      return Refuse(res, 409, "Conflict: no save dialog is open");
    std::string dir = req.get_param_value("dir");
    if (dir.empty()) dir = request->value("dir", "/");
    res.set_content(ListFolder(dir).dump(), "application/json");
  });
}

}  // namespace zelka
