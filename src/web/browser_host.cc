#include "web/browser_host.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include <nlohmann/json.hpp>

#include "store/entry_menus.h"
#include "util/env.h"
#include "web/trace.h"
#include "web/web_channel.h"
#include "web/web_server.h"

namespace zelka {

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// How many opened documents the state keeps, so that a tab that polls after
// a quick series of openings still opens each one.
constexpr size_t kDocumentsKept = 8;

// A tab that polled this recently is taken to be watching.
constexpr auto kConnectedWindow = std::chrono::seconds(30);
// How long a dialog refresh waits for a tab to pick up the new state.
constexpr auto kRefreshDelivery = std::chrono::milliseconds(250);

const char* ViewKey(View view) { return view == View::kMain ? "main" : "entry"; }

const char* ButtonsName(Buttons buttons) {
  switch (buttons) {
    case Buttons::kOkCancel:
      return "okcancel";
    case Buttons::kYesNo:
    case Buttons::kYesNoDefaultNo:
      return "yesno";
    case Buttons::kOk:
      break;
  }
  return "ok";
}

const char* IconName(Icon icon) {
  switch (icon) {
    case Icon::kCritical:
      return "critical";
    case Icon::kExclamation:
      return "exclamation";
    case Icon::kInformation:
      return "information";
    case Icon::kNone:
      break;
  }
  return "none";
}

// The answer a message box gives when nobody can answer it any more: the
// cancelling one, so that nothing is done on the user's behalf.
Answer CancellingAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::kOkCancel:
      return Answer::kCancel;
    case Buttons::kYesNo:
    case Buttons::kYesNoDefaultNo:
      return Answer::kNo;
    case Buttons::kOk:
      break;
  }
  return Answer::kOk;
}

std::optional<Answer> ParseAnswer(const Json& value, Buttons buttons) {
  if (!value.is_string()) return std::nullopt;
  const std::string name = value;
  switch (buttons) {
    case Buttons::kOk:
      if (name == "ok") return Answer::kOk;
      break;
    case Buttons::kOkCancel:
      if (name == "ok") return Answer::kOk;
      if (name == "cancel") return Answer::kCancel;
      break;
    case Buttons::kYesNo:
    case Buttons::kYesNoDefaultNo:
      if (name == "yes") return Answer::kYes;
      if (name == "no") return Answer::kNo;
      break;
  }
  return std::nullopt;
}

// "RTFファイル|*.rtf|すべてのファイル|*.*" as [{label, patterns: ["*.rtf"]}, …].
Json ParseFilter(const std::string& filter) {
  Json types = Json::array();
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    Json patterns = Json::array();
    size_t from = 0;
    const std::string& list = parts[i + 1];
    while (from <= list.size()) {
      size_t semi = list.find(';', from);
      std::string pattern = list.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
      if (!pattern.empty()) patterns.push_back(pattern);
      if (semi == std::string::npos) break;
      from = semi + 1;
    }
    types.push_back({{"label", parts[i]}, {"patterns", patterns}});
  }
  return types;
}

Json ControlJson(const Control& c) {
  return {{"id", c.id},           {"kind", c.kind},       {"caption", c.caption},
          {"value", c.value},     {"visible", c.visible}, {"options", c.options},
          {"columns", c.columns}, {"rows", c.rows},       {"selected", c.selected}};
}

Json DialogJson(const Dialog& dialog) {
  Json controls = Json::array();
  for (const auto& c : dialog.controls) controls.push_back(ControlJson(c));
  return {{"kind", "dialog"},
          {"caption", dialog.caption},
          {"placement", dialog.placement == Dialog::Placement::kPointer ? "pointer" : "centre"},
          {"controls", controls}};
}

// A dialog event as the shell page posts it; nullopt for anything malformed.
std::optional<DialogEvent> ParseDialogEvent(const Json& answer, const Dialog& dialog) {
  if (!answer.is_object() || !answer.contains("event") || !answer["event"].is_string())
    return std::nullopt;
  const std::string kind = answer["event"];
  DialogEvent event;
  if (kind == "click") {
    event.kind = DialogEvent::Kind::kClick;
  } else if (kind == "dblclick") {
    event.kind = DialogEvent::Kind::kDoubleClick;
  } else if (kind == "key") {
    event.kind = DialogEvent::Kind::kKey;
  } else if (kind == "close") {
    event.kind = DialogEvent::Kind::kClose;
  } else {
    return std::nullopt;
  }
  event.control = answer.value("control", "");
  event.key = answer.value("key", "");
  if (answer.contains("row") && answer["row"].is_number_integer()) event.row = answer["row"];
  if ((event.kind == DialogEvent::Kind::kClick || event.kind == DialogEvent::Kind::kDoubleClick) &&
      !dialog.Find(event.control))
    return std::nullopt;
  if (event.kind == DialogEvent::Kind::kKey && event.key.empty()) return std::nullopt;
  // Only controls the dialog has, and only what the user can change in them.
  if (answer.contains("values") && answer["values"].is_object())
    for (const auto& [id, value] : answer["values"].items()) {
      const Control* c = dialog.Find(id);
      if (c && value.is_string() && (c->kind == "text" || c->kind == "select" || c->kind == "calendar"))
        event.values[id] = value;
    }
  if (answer.contains("selections") && answer["selections"].is_object())
    for (const auto& [id, row] : answer["selections"].items()) {
      const Control* c = dialog.Find(id);
      if (c && c->kind == "grid" && row.is_number_integer() && row >= -1 &&
          row < static_cast<int>(c->rows.size()))
        event.selections[id] = row;
    }
  if (event.kind == DialogEvent::Kind::kDoubleClick) {
    const Control* grid = dialog.Find(event.control);
    if (grid->kind != "grid" || event.row < 0 || event.row >= static_cast<int>(grid->rows.size()))
      return std::nullopt;
  }
  return event;
}

// The colours the program gave fields of the page a view shows (red for a
// refused value, white once right): {"page", "colours": {name: colour}}.
std::string MarksKey(View view) { return view == View::kMain ? "mainMarks" : "entryMarks"; }

// The "elements" of a tab's answer: [{name, type, value, checked}, …].
std::vector<PageElement> FormElements(const std::optional<Json>& reply) {
  std::vector<PageElement> elements;
  if (!reply || !reply->is_object() || !reply->contains("elements") || !(*reply)["elements"].is_array())
    return elements;
  for (const auto& e : (*reply)["elements"]) {
    if (!e.is_object()) continue;
    elements.push_back({e.value("name", ""), e.value("type", ""), e.value("value", ""),
                        e.value("checked", false)});
  }
  return elements;
}

Json EntryMenuJson(EntryMenu menu) {
  Json items = Json::array();
  auto add = [&](const auto& table) {
    for (const auto& item : table)
      items.push_back({{"id", std::string(item.id)},
                       {"caption", std::string(item.caption)},
                       {"enabled", !item.page.empty()}});
  };
  if (menu == EntryMenu::kIntake) add(kIntakeMenu);
  if (menu == EntryMenu::kAssessment) add(kAssessmentMenu);
  if (items.empty()) return nullptr;
  return {{"caption", std::string(kEntryMenuCaption)}, {"items", items}};
}

bool IsServedPage(const std::string& page) {
  for (const char* folder : {"MainMenu/", "FORM/"})
    if (page.rfind(folder, 0) == 0) return true;
  return false;
}

// Why a path chosen in the save dialog cannot be used, or "" when it can.
std::string SavePathProblem(const std::string& path, const SaveDialogSpec& spec) {
  fs::path chosen(path);
  std::error_code ec;
  if (path.empty() || !chosen.is_absolute() || !chosen.has_filename())
    return "ファイル名を入力してください。";
  if (static_cast<long>(path.size()) > spec.max_file_size) return "ファイル名が長すぎます。";
  if (!fs::is_directory(chosen.parent_path(), ec))
    return chosen.parent_path().string() + " というフォルダーはありません。";
  if (fs::is_directory(chosen, ec)) return chosen.filename().string() + " はフォルダーです。";
  return "";
}

}  // namespace

std::string DocumentsFolder() {
  const char* home_env = std::getenv("HOME");
  const std::string home = home_env && *home_env ? home_env : "/";
  std::error_code ec;
  // The desktop's own word first: XDG_DOCUMENTS_DIR="$HOME/ドキュメント".
  const char* config_env = std::getenv("XDG_CONFIG_HOME");
  const fs::path config = config_env && *config_env ? fs::path(config_env) : fs::path(home) / ".config";
  std::ifstream dirs(config / "user-dirs.dirs");
  for (std::string line; std::getline(dirs, line);) {
    const std::string key = "XDG_DOCUMENTS_DIR=\"";
    if (!line.starts_with(key) || line.back() != '"') continue;
    std::string dir = line.substr(key.size(), line.size() - key.size() - 1);
    if (dir.starts_with("$HOME")) dir = home + dir.substr(5);
    if (fs::path(dir).is_absolute() && fs::is_directory(dir, ec)) return dir;
  }
  for (const char* name : {"Documents", "ドキュメント"}) {
    const fs::path dir = fs::path(home) / name;
    if (fs::is_directory(dir, ec)) return dir.string();
  }
  return home;
}

BrowserHost::BrowserHost(Options options)
    : options_(std::move(options)),
      channel_(std::make_unique<UiChannel>()),
      server_(std::make_unique<WebServer>(options_.app_dir, options_.web_dir, *channel_)) {
  channel_->Set("views", {{"main", {{"visible", true}, {"page", ""}}},
                          {"entry", {{"visible", false}, {"page", ""}}}});
  channel_->Set("entryMenu", nullptr);
  channel_->Set("progress", nullptr);
  channel_->Set("windows", Json::array());
  channel_->Set("documents", Json::array());
  save_dir_ = options_.save_dir.empty() ? DocumentsFolder() : options_.save_dir;
}

BrowserHost::~BrowserHost() {
  server_->Stop();
  std::error_code ec;
  if (!start_page_dir_.empty()) fs::remove_all(start_page_dir_, ec);
}

bool BrowserHost::OpenBrowser(Env& env, std::string* error) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  std::string base = runtime && *runtime && fs::is_directory(runtime, ec) ? runtime : "/tmp";
  std::string dir = base + "/zelka-XXXXXX";
  if (!mkdtemp(dir.data())) {  // a folder of mode 0700
    *error = "cannot create a folder in " + base + ": " + std::strerror(errno);
    return false;
  }
  start_page_dir_ = dir;
  const std::string page = dir + "/start.html";
  const std::string url = StartUrl();
  const std::string html =
      "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"refresh\" content=\"0; url=" + url + "\">\n"
      "<title>ZELKA2.0 アセスメント表</title></head>\n"
      "<body><p><a href=\"" + url + "\">ZELKA を開く</a></p></body></html>\n";
  int fd = ::open(page.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool written = fd >= 0 && ::write(fd, html.data(), html.size()) == static_cast<ssize_t>(html.size());
  if (fd >= 0) ::close(fd);
  if (!written) {
    *error = "cannot write " + page + ": " + std::strerror(errno);
    return false;
  }
  return env.StartProgram({"xdg-open", page}, error);
}

bool BrowserHost::Start(std::string* error) { return server_->Start(options_.port, error); }
std::string BrowserHost::StartUrl() const { return server_->StartUrl(); }
int BrowserHost::Port() const { return server_->Port(); }
void BrowserHost::RequestShutdown() { channel_->Shutdown(); }
bool BrowserHost::Stopping() const { return channel_->IsShutdown(); }
bool BrowserHost::BrowserConnected() const { return channel_->ClientSeenWithin(kConnectedWindow); }

std::string BrowserHost::DefaultWebDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("web") : (exe.parent_path() / "web").string();
}

Answer BrowserHost::ShowMessage(const std::string& text, Buttons buttons, Icon icon,
                                const std::string& title) {
  Json box = {{"kind", "message"},
              {"text", text},
              {"buttons", ButtonsName(buttons)},
              {"icon", IconName(icon)},
              {"title", title}};
  if (buttons == Buttons::kYesNoDefaultNo) box["default"] = "no";
  int id = channel_->Open(box);
  Answer answer = CancellingAnswer(buttons);
  while (auto reply = channel_->Await(id)) {
    if (auto parsed = ParseAnswer(*reply, buttons)) {
      answer = *parsed;
      break;
    }
  }
  channel_->Close(id);
  return answer;
}

std::optional<std::string> BrowserHost::InputBox(const std::string& prompt,
                                                 const std::string& title,
                                                 const std::string& default_text) {
  auto reply = channel_->Call(
      {{"kind", "input"}, {"prompt", prompt}, {"title", title}, {"text", default_text}});
  if (!reply || !reply->is_object() || !reply->value("ok", false)) return std::nullopt;
  return reply->value("text", "");
}

std::string BrowserHost::ShowSaveDialog(const SaveDialogSpec& spec) {
  Json request = {{"kind", "save"},         {"title", spec.title},
                  {"types", ParseFilter(spec.filter)}, {"fileName", spec.file_name},
                  {"overwritePrompt", (spec.flags & 0x2) != 0}};
  fs::path suggested(spec.file_name);
  request["dir"] = suggested.is_absolute() ? suggested.parent_path().string() : save_dir_;
  if (suggested.is_absolute()) request["fileName"] = suggested.filename().string();
  int id = channel_->Open(request);
  std::string chosen;
  while (auto reply = channel_->Await(id)) {
    if (!reply->is_object() || reply->value("cancel", false)) break;
    const std::string path = reply->value("path", "");
    request.erase("question");
    request.erase("pending");
    request.erase("error");
    if (reply->value("back", false)) {  // "いいえ" to the overwrite question
      channel_->Update(id, request);
      continue;
    }
    std::string problem = SavePathProblem(path, spec);
    std::error_code ec;
    if (!problem.empty()) {
      request["error"] = problem;
    } else if ((spec.flags & 0x2) && fs::exists(path, ec) && !reply->value("overwrite", false)) {
      request["question"] = fs::path(path).filename().string() + " は既に存在します。上書きしますか？";
      request["pending"] = path;
    } else {
      chosen = path;
      break;
    }
    channel_->Update(id, request);
  }
  channel_->Close(id);
  if (!chosen.empty()) save_dir_ = fs::path(chosen).parent_path().string();
  return chosen;
}

void BrowserHost::RunDialog(Dialog& dialog) {
  int id = channel_->Open(DialogJson(dialog));
  dialogs_.push_back({&dialog, id});
  while (!dialog.closed) {
    auto reply = channel_->Await(id);
    if (!reply) break;  // shutting down: nobody is left to answer
    auto event = ParseDialogEvent(*reply, dialog);
    if (!event) continue;
    dialog.TakeValues(*event);
    dialog.OnEvent(*event, *this);
    if (!dialog.closed) channel_->Update(id, DialogJson(dialog));
  }
  dialogs_.pop_back();
  channel_->Close(id);
}

void BrowserHost::RefreshDialog(const Dialog& dialog) {
  for (const auto& [shown, id] : dialogs_)
    if (shown == &dialog) channel_->Update(id, DialogJson(dialog));
  if (channel_->ClientSeenWithin(kConnectedWindow)) channel_->AwaitDelivery(kRefreshDelivery);
}

void BrowserHost::Pause(int milliseconds) {
  channel_->Sleep(std::chrono::milliseconds(milliseconds));
}

void BrowserHost::ShowWindow(View view, bool visible) {
  Json views = channel_->Get("views");
  views[ViewKey(view)]["visible"] = visible;
  channel_->Set("views", views);
  if (!visible) {  // the window's pending edit ends with it
    channel_->Set(DraftKey(view), nullptr);
    channel_->Set(MarksKey(view), nullptr);
  }
}

void BrowserHost::SetEntryMenu(EntryMenu menu) { channel_->Set("entryMenu", EntryMenuJson(menu)); }

bool BrowserHost::Navigate(View view, const std::string& page) {
  TraceScope trace("Navigate " + page);
  if (!IsServedPage(page) ||
      !ResolveStaticPath("/" + page, options_.app_dir, options_.web_dir))
    return false;
  Json views = channel_->Get("views");
  views[ViewKey(view)]["page"] = page;
  auto& loaded = loaded_forms_[view == View::kMain ? 0 : 1];
  loaded.reset();
  // The page and its load request reach the tabs in one state: a tab that saw
  // the page alone would load it itself, and then again for the request.
  // Typed values belonged to the page shown before.
  auto reply = channel_->Ask({{"kind", "navigate"}, {"view", ViewKey(view)}, {"page", page}},
                             {{"views", views}, {DraftKey(view), nullptr}, {MarksKey(view), nullptr}});
  bool shown = reply && reply->is_object() && reply->value("ok", false);
  if (shown && reply->contains("elements"))
    loaded = LoadedForm{FormElements(reply), channel_->Activity()};
  return shown;
}

std::string BrowserHost::CurrentPage(View view) {
  return channel_->Get("views")[ViewKey(view)].value("page", "");
}

std::vector<PageElement> BrowserHost::ReadForm(View view) {
  TraceScope trace("ReadForm");
  auto& loaded = loaded_forms_[view == View::kMain ? 0 : 1];
  std::optional<LoadedForm> found = std::exchange(loaded, std::nullopt);
  if (found && found->activity == channel_->Activity()) return std::move(found->elements);
  return FormElements(channel_->Ask({{"kind", "readForm"}, {"view", ViewKey(view)}}));
}

void BrowserHost::WriteForm(View view, const std::vector<ElementUpdate>& updates) {
  Trace("WriteForm " + std::to_string(updates.size()) + " updates");
  Json list = Json::array();
  Json marks;  // read only for a write that colours fields: filling a page does not
  for (const auto& u : updates) {
    Json item = {{"name", u.name}};
    if (u.value) item["value"] = *u.value;
    if (u.checked) item["checked"] = *u.checked;
    if (u.background) {
      item["background"] = *u.background;
      if (marks.is_null()) marks = channel_->Get(MarksKey(view));
      if (!marks.is_object()) marks = {{"page", CurrentPage(view)}, {"colours", Json::object()}};
      marks["colours"][u.name] = *u.background;
    }
    list.push_back(item);
  }
  channel_->Post({{"kind", "writeForm"}, {"view", ViewKey(view)}, {"updates", list}});
  // A field marked red stays so in a tab that reloads the page.
  if (!marks.is_null()) channel_->Set(MarksKey(view), marks);
}

void BrowserHost::Focus(View view, const std::string& element_name) {
  channel_->Post({{"kind", "focus"}, {"view", ViewKey(view)}, {"name", element_name}});
}

void BrowserHost::ClearStatus(View view) {
  // Clearing the status leaves the form alone, so a form at hand stays good.
  auto& loaded = loaded_forms_[view == View::kMain ? 0 : 1];
  long quiet_since = loaded ? loaded->activity : -1;
  channel_->Post({{"kind", "clearStatus"}, {"view", ViewKey(view)}}, &quiet_since);
  if (loaded) loaded->activity = quiet_since;
}

UiEvent BrowserHost::WaitEvent() {
  for (;;) {
    long activity = 0;
    UiEvent event = channel_->WaitEvent(&activity);
    if (event.kind == UiEvent::Kind::kWindow && !IsShownWindowEvent(event)) continue;
    event_client_ = event.client;
    if (event.form) {
      loaded_forms_[event.view == View::kMain ? 0 : 1] = LoadedForm{std::move(*event.form), activity};
      event.form.reset();
    }
    return event;
  }
}

bool BrowserHost::IsShownWindowEvent(const UiEvent& event) const {
  for (const auto& shown : windows_) {
    if (shown.window->caption != event.text) continue;
    if (event.window_event.kind != DialogEvent::Kind::kClick) return true;
    const Control* control = shown.window->Find(event.window_event.control);
    return control && control->kind == "button" && control->visible;
  }
  return false;
}

void BrowserHost::ShowModeless(const Dialog& window) {
  auto shown = std::find_if(windows_.begin(), windows_.end(),
                            [&](const ShownWindow& w) { return w.window == &window; });
  if (shown == windows_.end()) shown = windows_.insert(windows_.end(), {&window, ++window_serial_, 0});
  shown->raised = ++window_serial_;
  PublishWindows();
}

void BrowserHost::CloseModeless(const Dialog& window) {
  std::erase_if(windows_, [&](const ShownWindow& w) { return w.window == &window; });
  PublishWindows();
}

void BrowserHost::PublishWindows() {
  Json list = Json::array();
  for (const auto& shown : windows_) {
    Json window = DialogJson(*shown.window);
    window["kind"] = "window";
    window["id"] = "w" + std::to_string(shown.id);
    window["raised"] = shown.raised;
    list.push_back(std::move(window));
  }
  channel_->Set("windows", list);
}

void BrowserHost::ReplyNavigation(int id, bool proceed) { channel_->ReplyNavigation(id, proceed); }

void BrowserHost::ShowReport(const ReportView& report) {
  // The report is served while the preview is open; the request in the state
  // tells every tab to show it in the main window until one answers "back".
  int serial = ++report_serial_;
  server_->PublishReport(serial, report.html);
  int id = channel_->Open({{"kind", "report"}, {"title", report.title}, {"url", WebServer::ReportPath(serial)}});
  while (auto reply = channel_->Await(id))
    if (reply->is_object() && reply->value("back", false)) break;
  channel_->Close(id);
  server_->PublishReport(serial, "");
}

bool BrowserHost::OpenDocument(const std::string& path) {
  if (!ResolveStaticPath("/" + path, options_.app_dir, options_.web_dir)) return false;
  // The tab whose event asked for it opens the document in a new tab; the
  // others only say that it was opened.
  Json documents = channel_->Get("documents");
  if (!documents.is_array()) documents = Json::array();
  documents.push_back({{"serial", ++document_serial_},
                       {"path", path},
                       {"name", fs::path(path).filename().string()},
                       {"client", event_client_}});
  if (documents.size() > kDocumentsKept) documents.erase(documents.begin());
  channel_->Set("documents", documents);
  return true;
}

void BrowserHost::ShowProgress(const std::string& caption, long done, long total) {
  channel_->Set("progress", total <= 0 ? Json(nullptr)
                                        : Json{{"caption", caption}, {"done", done}, {"total", total}});
}

}  // namespace zelka
