// The local web server of the browser face: it listens on 127.0.0.1 only,
// admits a request only when it names this server in its Host header, comes
// from no foreign Origin and carries the session's credentials (session.h:
// the secret in a header for calls, the page key in the path for pages; the
// shell page itself and the exchange of the start code need none), serves the
// shell's files and the program directory's page folders, and passes the
// shell page's polls, answers and events to the UiChannel.
//
// Routes:
//   GET  /, /web/…                  the shell page and its files (no data in them)
//   POST /api/session               {"start": code} -> {"secret", "pages"}, once
//   …    /api/…                     calls of the shell page; header X-Zelka-Session
//   GET/POST /p/<page key>/MainMenu/…, FORM/…, PDF/…   files of the program directory
//   GET  /p/<page key>/report/N.html  the report the print preview shows
// Every answer carries a Content-Security-Policy that allows only this
// origin; page files may also run their own inline scripts and styles.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "host/host.h"
#include "web/guarded_server.h"
#include "web/session.h"

namespace zelka {

class UiChannel;

// What the security gate looks at in a request.
struct RequestFacts {
  std::string host;     // Host header
  std::string origin;   // Origin header, "" when absent
  std::string path;     // the URL path, without the query
  std::string session;  // X-Zelka-Session header, "" when absent
};

// Why a request is refused, or nullopt when it may pass.
std::optional<std::string> RefusalReason(const RequestFacts& request, const Session& session,
                                         int port);

// The file a URL path names: "/web/…" in the shell's folder, "/MainMenu/…"
// and "/FORM/…" in the program directory, and the blank forms ("/PDF/" and a
// blank form's file name). nullopt for any other path, and for one that tries
// to leave its folder.
std::optional<std::string> ResolveStaticPath(const std::string& url_path,
                                             const std::string& app_dir,
                                             const std::string& web_dir);

// The form values of a page as the user types them (a "draft"), kept in the
// UI state under DraftKey(view) so that a tab that reloads or reconnects can put
// them back before the user sees the page. The body is {"view", "page",
// "elements": [{"name", "type", "value", "checked"}]}; a draft is kept only for
// the page its view shows now. The host drops it when it shows another page
// or hides the window. False with *why for a body that is no draft of that page.
std::string DraftKey(View view);
bool KeepDraft(UiChannel& channel, const nlohmann::json& body, std::string* why);

class WebServer {
 public:
  WebServer(std::string app_dir, std::string web_dir, UiChannel& channel,
            ConnectionLimits limits = {});
  ~WebServer();

  // Binds 127.0.0.1:port (0: any free port) and serves on its own threads.
  bool Start(int port, std::string* error);
  void Stop();
  int Port() const { return port_; }
  // "http://127.0.0.1:PORT/?start=CODE": the address to print and open.
  std::string StartUrl() const;

  // The report the print preview shows: served under the page key at
  // ReportPath(serial) (a page path, "report/N.html") until another one is
  // published; an empty document withdraws it.
  void PublishReport(int serial, std::string html);
  static std::string ReportPath(int serial);

 private:
  void Route();

  std::string app_dir_;
  std::string web_dir_;
  UiChannel& channel_;
  Session session_;
  int port_ = 0;
  bool serving_ = false;
  std::unique_ptr<GuardedServer> http_;
  std::mutex report_mutex_;
  int report_serial_ = 0;
  std::string report_html_;
};

}  // namespace zelka
