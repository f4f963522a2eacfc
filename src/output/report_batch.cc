#include "output/report_batch.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "cap/cap_engine.h"
#include "output/printed_reports.h"
#include "output/report_xml.h"
#include "store/program_files.h"
#include "store/schema.h"
#include "store/store_startup.h"

extern char** environ;

namespace zelka {
namespace {

namespace fs = std::filesystem;

// A PDF of 19 sheets takes a few seconds; a Chromium that hangs is stopped.
constexpr auto kPrintLimit = std::chrono::seconds(120);

// A private folder for one print, removed with everything in it.
class WorkFolder {
 public:
  WorkFolder() {
    std::string pattern = (fs::temp_directory_path() / "zelka-report-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw ReportError("一時フォルダーを作れません: " + pattern);
    path_ = pattern;
  }
  ~WorkFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string Child(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string Tail(const std::string& path, size_t bytes) {
  std::string text;
  Env::Default().ReadFile(path, &text);
  return text.size() > bytes ? text.substr(text.size() - bytes) : text;
}

bool EndsWith(std::string text, const std::string& suffix) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string StoredClientName(Database& db, int64_t record_number) {
  auto rows = db.Query("SELECT [利用者名] FROM [CAP選定] WHERE [整理番号]=?1 ORDER BY [基準日] DESC LIMIT 1",
                       {record_number});
  return rows.empty() ? "" : ValueText(rows[0][0]);
}

ReportView BuildReport(ReportContext& context, ReportForm form, int64_t record_number, const Date& date) {
  switch (form) {
    case ReportForm::kIntake:
      return IntakeReport(context, record_number);
    case ReportForm::kAssessment:
      return AssessmentReport(context, date, record_number);
    case ReportForm::kCapList:
      break;
  }
  std::string name;
  if (date.IsZero()) {
    name = StoredClientName(context.db, record_number);
  } else {
    AssessmentKey key{record_number, date.DateOnly()};
    if (context.db.Query("SELECT 1 FROM [A] WHERE [整理番号]=?1 AND [基準日]=?2", {record_number, date.IsoDate()})
            .empty())
      throw ReportError(DescribeAssessment(key) + " のアセスメントはありません");
    name = StoreSelection(context.db, key).client_name;
  }
  return CapListReport(context, record_number, name);
}

}  // namespace

std::optional<ReportForm> ParseReportForm(const std::string& name) {
  if (name == "intake") return ReportForm::kIntake;
  if (name == "assessment") return ReportForm::kAssessment;
  if (name == "cap-list") return ReportForm::kCapList;
  return std::nullopt;
}

std::string FindChromium() {
  std::error_code ec;
  if (fs::exists("/usr/bin/chromium", ec)) return "/usr/bin/chromium";
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (size_t start = 0; start <= dirs.size();) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    for (const char* name : {"chromium", "chromium-browser"}) {
      fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return "";
}

bool PrintHtmlToPdf(const std::string& chromium, const std::string& html_path, const std::string& pdf_path,
                    std::string* error) {
  WorkFolder work;
  std::string log = work.Child("chromium.log");
  std::vector<std::string> args = {chromium,
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--disable-quic",
                                   "--no-first-run",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   "--user-data-dir=" + work.Child("profile"),
                                   "--no-pdf-header-footer",
                                   "--print-to-pdf=" + pdf_path,
                                   "file://" + fs::absolute(html_path).string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, chromium.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    *error = chromium + " を起動できません";
    return false;
  }
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + kPrintLimit;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      *error = chromium + " が応答しません";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::error_code ec;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || fs::file_size(pdf_path, ec) == 0 || ec) {
    *error = chromium + " でPDFを作れませんでした\n" + Tail(log, 2000);
    return false;
  }
  return true;
}

int RunReportCommand(const std::string& app_dir, ReportForm form, int64_t record_number,
                     const Date& reference_date, const std::string& out_path, std::ostream& out,
                     std::ostream& err) {
  if (std::string refused = OutputFileProblem(app_dir, out_path); !refused.empty()) {
    err << refused << "\n";
    return 1;
  }
  try {
    bool pdf = EndsWith(out_path, ".pdf");
    std::string chromium = pdf ? FindChromium() : "";
    if (pdf && chromium.empty()) {
      err << "PDFを作るには Chromium が必要です (/usr/bin/chromium が見つかりません)\n";
      return 1;
    }
    std::unique_ptr<Database> db = OpenStoreForBatch(app_dir, Env::Default());
    Catalogue catalogue = Catalogue::Load(app_dir + "/" + kCatalogueFile);
    ReportContext context{*db, Env::Default(), app_dir, catalogue};
    ReportView report = BuildReport(context, form, record_number, reference_date);
    std::string error;
    if (!pdf) {
      if (!Env::Default().WriteFile(out_path, report.html, &error))
        throw ReportError("ファイル " + out_path + " に書き込めませんでした: " + error);
    } else {
      WorkFolder work;
      std::string html = work.Child("report.html"), printed = work.Child("report.pdf");
      if (!Env::Default().WriteFile(html, report.html, &error)) throw ReportError(error);
      if (!PrintHtmlToPdf(chromium, html, printed, &error)) throw ReportError(error);
      if (!Env::Default().CopyFile(printed, out_path, &error))
        throw ReportError("ファイル " + out_path + " に書き込めませんでした: " + error);
    }
    out << report.title << " を " << out_path << " に出力しました\n";
    return 0;
  } catch (const std::exception& failure) {
    err << failure.what() << "\n";
    return 1;
  }
}

}  // namespace zelka
