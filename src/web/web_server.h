// The local web server of the browser face: it listens on 127.0.0.1 only,
// admits a request only when it carries the per-start token (query or cookie),
// names this server in its Host header and comes from no foreign Origin, serves
// the shell's files and the program directory's page folders, and passes the
// shell page's polls, answers and events to the UiChannel.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "host/host.h"

namespace httplib {
class Server;
}

namespace zelka {

class UiChannel;

// What the security gate looks at in a request.
struct RequestFacts {
  std::string host;    // Host header
  std::string origin;  // Origin header, "" when absent
  std::string cookie;  // Cookie header
  std::string token;   // "token" query parameter, "" when absent
};

// Why a request is refused, or nullopt when it may pass.
std::optional<std::string> RefusalReason(const RequestFacts& request, const std::string& token,
                                         int port);

// The file a URL path names: "/web/…" in the shell's folder, "/MainMenu/…"
// and "/FORM/…" in the program directory, and the blank forms ("/PDF/" and a
// blank form's file name). nullopt for any other path, and for one that tries
// to leave its folder.
std::optional<std::string> ResolveStaticPath(const std::string& url_path,
                                             const std::string& app_dir,
                                             const std::string& web_dir);

// 32 random bytes from the system's CSPRNG, as 64 hex digits.
std::string NewAccessToken();

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
  WebServer(std::string app_dir, std::string web_dir, UiChannel& channel);
  ~WebServer();

  // Binds 127.0.0.1:port (0: any free port) and serves on its own threads.
  bool Start(int port, std::string* error);
  void Stop();
  int Port() const { return port_; }
  const std::string& Token() const { return token_; }
  std::string StartUrl() const;

  // The report the print preview shows: served at ReportPath(serial) until
  // another one is published; an empty document withdraws it.
  void PublishReport(int serial, std::string html);
  static std::string ReportPath(int serial);

 private:
  void Route();

  std::string app_dir_;
  std::string web_dir_;
  UiChannel& channel_;
  std::string token_;
  int port_ = 0;
  std::unique_ptr<httplib::Server> http_;
  std::thread thread_;
  std::atomic<bool> listen_returned_{false};
  std::mutex report_mutex_;
  int report_serial_ = 0;
  std::string report_html_;
};

}  // namespace zelka
