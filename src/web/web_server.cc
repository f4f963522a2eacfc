#include "web/web_server.h"

#include <httplib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "output/blank_forms.h"
#include "store/entry_menus.h"
#include "web/trace.h"
#include "web/web_channel.h"

namespace zelka {

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// How long a state poll waits for a change before it answers anyway; the
// answer doubles as the heartbeat that tells a live tab from a closed one.
constexpr auto kPollWait = std::chrono::seconds(15);
constexpr size_t kMaxBody = 8 * 1024 * 1024;

// The content policies: this origin only. The shell runs no inline script or
// style; the program directory's pages may (the main menu page has its own
// script, the entry pages a handler on their form).
constexpr char kShellPolicy[] =
    "default-src 'self'; script-src 'self'; style-src 'self'; object-src 'self'; "
    "base-uri 'self'; form-action 'self'; frame-ancestors 'none'";
constexpr char kPagePolicy[] =
    "default-src 'self'; script-src 'self' 'unsafe-inline'; style-src 'self' 'unsafe-inline'; "
    "object-src 'self'; base-uri 'self'; form-action 'self'; frame-ancestors 'self'";

constexpr char kReportPolicy[] =
    "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'self'";

// The pattern of the page routes: "/p/" and the 64 hex digits of a page key.
constexpr char kPageRoute[] = "/p/[0-9a-f]{64}";

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

// JSON text of a value that may hold bytes that are no UTF-8 (a file name, a
// decoded URL): those become U+FFFD instead of failing every later answer.
std::string DumpText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
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

std::optional<std::string> RefusalReason(const RequestFacts& request, const Session& session,
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
  const std::string& path = request.path;
  // The shell page and its files hold no data; the exchange checks its code.
  if (path == "/" || path.rfind("/web/", 0) == 0 || path == "/api/session") return std::nullopt;
  if (path.rfind("/api/", 0) == 0) {
    if (session.IsSecret(request.session)) return std::nullopt;
    return "missing or wrong session secret";
  }
  if (session.PagePath(path)) return std::nullopt;
  return "missing or wrong page key";
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

WebServer::WebServer(std::string app_dir, std::string web_dir, UiChannel& channel,
                     ConnectionLimits limits)
    : app_dir_(std::move(app_dir)), web_dir_(std::move(web_dir)), channel_(channel) {
  // A request that carries the session's credentials is served first.
  http_ = std::make_unique<GuardedServer>(limits, [this](std::string_view head) {
    std::string_view target = HeadTarget(head);
    return session_.PagePath(target.substr(0, target.find('?'))).has_value() ||
           session_.IsSecret(HeadField(head, kSessionHeader));
  });
}

WebServer::~WebServer() { Stop(); }

void WebServer::PublishReport(int serial, std::string html) {
  std::lock_guard lock(report_mutex_);
  report_serial_ = serial;
  report_html_ = std::move(html);
}

std::string WebServer::ReportPath(int serial) { return "report/" + std::to_string(serial) + ".html"; }

std::string WebServer::StartUrl() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?start=" + session_.StartCode();
}

bool WebServer::Start(int port, std::string* error) {
  http_->set_payload_max_length(kMaxBody);
  Route();
  port_ = http_->Bind(port);
  if (port_ <= 0) {
    if (error) *error = "127.0.0.1:" + std::to_string(port) + " を使用できません";
    port_ = 0;
    return false;
  }
  http_->Serve();
  serving_ = true;
  return true;
}

void WebServer::Stop() {
  if (!serving_) return;
  serving_ = false;
  channel_.Shutdown();  // ends the open polls, so the workers can finish
  // Give an open tab the moment it needs to hear that the program has ended.
  if (channel_.ClientSeenWithin(std::chrono::seconds(30)))
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  http_->Shutdown();
}

void WebServer::Route() {
  // "same-origin" rather than "no-referrer": without a referrer policy that
  // allows it, a form posted in a page frame carries "Origin: null", which the
  // gate would refuse. It also keeps the page key out of every request to
  // another origin (another port is another origin).
  http_->set_default_headers({{"Cache-Control", "no-store"},
                              {"X-Content-Type-Options", "nosniff"},
                              {"Referrer-Policy", "same-origin"},
                              {"X-Frame-Options", "SAMEORIGIN"},
                              {"Content-Security-Policy", kShellPolicy}});

  http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    RequestFacts facts{req.get_header_value("Host"), req.get_header_value("Origin"), req.path,
                       req.get_header_value(kSessionHeader)};
    if (auto why = RefusalReason(facts, session_, port_)) {
      Refuse(res, 403, "Forbidden: " + *why);
      return httplib::Server::HandlerResponse::Handled;
    }
    // The library reads a chunked body without any limit, and unpacks a
    // compressed one: the shell sends neither.
    if (req.has_header("Transfer-Encoding")) {
      Refuse(res, 411, "Length Required: a body needs a Content-Length");
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string encoding = Lower(req.get_header_value("Content-Encoding"));
    if (!encoding.empty() && encoding != "identity") {
      Refuse(res, 415, "Unsupported Media Type: compressed bodies are not accepted");
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

  // The shell page, also for an address that carries a start code: the page
  // exchanges the code itself, so a tab that merely fetches the address (a
  // link preview) leaves it unused.
  http_->Get("/", [this](const httplib::Request&, httplib::Response& res) {
    std::string page;
    if (!ReadWholeFile((fs::path(web_dir_) / "shell.html").string(), &page))
      return Refuse(res, 500, "shell.html is missing from " + web_dir_);
    res.set_content(page, "text/html; charset=utf-8");
  });

  http_->Post("/api/session", [this](const httplib::Request& req, httplib::Response& res) {
    Json body = Json::parse(req.body, nullptr, false);
    std::string code = body.is_object() && body.contains("start") && body["start"].is_string()
                           ? body["start"].get<std::string>()
                           : "";
    std::string why;
    auto keys = session_.Exchange(code, &why);
    if (!keys) {
      res.status = 403;
      return res.set_content(Json{{"error", why}}.dump(), "application/json");
    }
    res.set_content(Json{{"secret", keys->secret}, {"pages", keys->pages}}.dump(),
                    "application/json");
  });

  auto serve_file = [this](const std::string& path, httplib::Response& res) {
    TraceScope trace("serve " + path);
    auto file = ResolveStaticPath(path, app_dir_, web_dir_);
    std::string contents;
    if (!file || !ReadWholeFile(*file, &contents)) return Refuse(res, 404, "Not Found");
    res.set_content(contents, MimeType(*file, contents));
    if (IsSharedAsset(*file)) {
      res.headers.erase("Cache-Control");
      res.set_header("Cache-Control", "private, max-age=60");
    }
  };
  http_->Get("/web/.*", [serve_file](const httplib::Request& req, httplib::Response& res) {
    serve_file(req.path, res);
  });
  // Pages are files: a form posted to a page shows the page, as a file URL did.
  auto serve_page = [this, serve_file](const httplib::Request& req, httplib::Response& res) {
    serve_file(session_.PagePath(req.path).value_or(""), res);
    res.headers.erase("Content-Security-Policy");
    res.set_header("Content-Security-Policy", kPagePolicy);
  };
  http_->Get(std::string(kPageRoute) + "/(MainMenu|FORM|PDF)/.*", serve_page);
  http_->Post(std::string(kPageRoute) + "/(MainMenu|FORM)/.*", serve_page);

  // The print preview's report, only while it is shown: its own styles, and
  // nothing that runs.
  http_->Get(std::string(kPageRoute) + "/report/[0-9]+\\.html", [this](const httplib::Request& req,
                                                                        httplib::Response& res) {
    std::lock_guard lock(report_mutex_);
    if (report_html_.empty() || session_.PagePath(req.path) != "/" + ReportPath(report_serial_))
      return Refuse(res, 404, "Not Found");
    res.set_content(report_html_, "text/html; charset=utf-8");
    res.headers.erase("Content-Security-Policy");
    res.set_header("Content-Security-Policy", kReportPolicy);
  });

  http_->Get("/api/state", [this](const httplib::Request& req, httplib::Response& res) {
    long since = 0;
    try {
      since = std::stol(req.get_param_value("since"));
    } catch (...) {
    }
    Json state = channel_.Snapshot(since, kPollWait, req.get_param_value("client"));
    TraceScope trace("state dump");
    res.set_content(DumpText(state), "application/json");
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
    res.set_content(DumpText(ListFolder(dir)), "application/json");
  });
}

}  // namespace zelka
