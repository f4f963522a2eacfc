#include "shell/commands.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "output/blank_forms.h"
#include "output/printed_reports.h"
#include "output/worksheet.h"
#include "search/intake_search.h"
#include "shell/app.h"
#include "shell/main_window.h"
#include "store/store_startup.h"
#include "util/piece.h"
#include "util/utf8.h"

namespace zelka {

namespace {

std::string ToUpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

void Quit(App& app) { AppQuit(app); }
void UketukeNew(App& app) { app.entry_window().UketukeNew(); }
void UketukeEdit(App& app) { app.entry_window().UketukeEdit(); }
void AssessmentNew(App& app) { app.entry_window().AssessmentNew(); }
void AssessmentEdit(App& app) { app.entry_window().AssessmentEdit(); }

// The CAP review worksheet: choose an assessment and store its CAP selection,
// then write the worksheet of that assessment.
void CapKento(App& app) {
  RecordContext& ctx = app.context();
  if (!app.cap_engine().CapCreate(ctx, app.host(), [&app](RecordContext& c) { app.ChooseAssessment(c); }))
    return;
  WorksheetContext worksheet{*ctx.db, app.cap_engine(), app.settings(), app.env(), app.app_dir()};
  CreateKento(worksheet, app.host(), ctx.record_number, ctx.reference_date);
}

// Runs one print with the reports' context: the store, and the item
// catalogue the layouts are made from.
template <typename Print>
void WithReports(App& app, Print print) {
  Catalogue catalogue = Catalogue::Load(app.app_dir() + "/" + kCatalogueFile);
  ReportContext reports{*app.context().db, app.env(), app.app_dir(), catalogue};
  print(reports);
}

// The intake sheet of a record chosen in the intake search.
void UketukePrint(App& app) {
  RecordContext& ctx = app.context();
  ctx.ClearKeys();
  ShowIntakeSearch(ctx, app.host());
  if (ctx.record_number > 0)
    WithReports(app, [&](ReportContext& r) { StageIntakeReport(r, app.host(), ctx.record_number); });
  ctx.ClearKeys();
}

// The assessment chosen in the assessment search.
void AssessmentPrint(App& app) {
  RecordContext& ctx = app.context();
  ctx.ClearKeys();
  app.ChooseAssessment(ctx);
  if (ctx.record_number > 0)
    WithReports(app, [&](ReportContext& r) {
      StageAssessmentReport(r, app.host(), ctx.reference_date, ctx.record_number);
    });
  ctx.ClearKeys();
}

// The CAP list: choose an assessment and store its CAP selection, then print
// the client's CAP list with the name the selection run read.
void CapPrint(App& app) {
  RecordContext& ctx = app.context();
  if (!app.cap_engine().CapCreate(ctx, app.host(), [&app](RecordContext& c) { app.ChooseAssessment(c); }))
    return;
  WithReports(app, [&](ReportContext& r) {
    StageCapListReport(r, app.host(), ctx.record_number, app.cap_engine().client_name());
  });
}

// The blank forms window. It is not modal: the main menu stays usable beside it.
void PdfPrint(App& app) {
  app.ShowModeless(std::make_unique<BlankFormsWindow>(app.app_dir(), app.env()));
}

constexpr MainCommand kMainCommandTable[] = {
    // name               context table    new   closes entry  action
    {"QUIT",              "",              false, false,       Quit},
    {"UKETUKE_NEW",       kIntakeTable,    true,  false,       UketukeNew},
    {"UKETUKE_EDIT",      kIntakeTable,    false, false,       UketukeEdit},
    {"ASSESSMENT_NEW",    "AA",            false, false,       AssessmentNew},
    {"ASSESSMENT_EDIT",   "AA",            false, false,       AssessmentEdit},
    {"UKETUKE_PRINT",     "",              false, true,        UketukePrint},
    {"ASSESSMENT_PRINT",  "",              false, true,        AssessmentPrint},
    {"CAP_PRINT",         "",              false, true,        CapPrint},
    {"CAP_KENTO",         "",              false, true,        CapKento},
    {"PDF_PRINT",         "",              false, true,        PdfPrint},
};

// --- Navigation commands ----------------------------------------------------

inline constexpr const char kPageQuitTitle[] = "ここはVBで表示";

bool AskQuitFromPage(App& app, const std::string&) {
  Answer answer = app.host().ShowMessage(kQuitQuestion, Buttons::kYesNo, Icon::kExclamation,
                                         kPageQuitTitle);
  if (answer != Answer::kYes) return true;
  app.RequestQuit();
  return false;  // the program is ending: the page stays where it is
}

bool StartPageProgram(App& app, const std::string& line) {
  std::string error;
  auto argv = SplitProgramLine(line, &error);
  if (argv) {
    Answer answer = app.host().ShowMessage(kExeQuestionHead + ShownCommandLine(line) + kExeQuestionTail,
                                           Buttons::kYesNoDefaultNo, Icon::kExclamation);
    if (answer != Answer::kYes || app.env().StartProgram(*argv, &error)) return true;
  }
  std::string program = ShownCommandLine(argv ? argv->front() : line);
  app.host().ShowMessage("次のプログラムを起動できませんでした: " + program + "\r\n" +
                             ShownCommandLine(error),
                         Buttons::kOk, Icon::kCritical);
  return true;
}

bool CancelNavigation(App&, const std::string&) { return false; }

struct NavigationRow {
  std::string_view name;  // compared exactly, case-sensitive
  bool (*action)(App&, const std::string& argument);  // returns whether to proceed
};

constexpr NavigationRow kNavigationTable[] = {
    {"QUIT", AskQuitFromPage},
    {"EXE", StartPageProgram},
    {"HYO", CancelNavigation},
    {"JUMP", CancelNavigation},
    {"PHO", CancelNavigation},
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes %XX escapes; a "%" not followed by two hex digits stays as it is.
std::string PercentDecode(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::span<const MainCommand> MainCommands() { return kMainCommandTable; }

const MainCommand* FindMainCommand(std::string_view name) {
  std::string upper = ToUpperAscii(name);
  for (const auto& row : kMainCommandTable)
    if (row.name == upper) return &row;
  return nullptr;
}

void HandleMainStatusText(App& app, const std::string& text) {
  if (text.empty() || text[0] != '?') return;
  app.host().ClearStatus(View::kMain);
  RunMainCommand(app, text.substr(1));
}

void RunMainCommand(App& app, const std::string& command) {
  const MainCommand* row = FindMainCommand(command);
  Host& host = app.host();
  if (!row) {
    host.ShowMessage(kUnknownCommandPrefix + command, Buttons::kOk);
    return;
  }
  if (!row->action) {
    host.ShowMessage(kNotReadyPrefix + std::string(row->name), Buttons::kOk, Icon::kInformation);
    return;
  }
  RecordContext& ctx = app.context();
  if (!row->table.empty()) {
    ctx.table_name = row->table;
    ctx.new_intake = row->new_intake;
  }
  if (row->closes_entry_window && !app.entry_window().CloseIfOpen()) return;
  row->action(app);
}

void HandleEntryStatusText(App& app, const std::string& text) {
  if (text.empty() || (text[0] != '!' && text[0] != '#')) return;
  app.entry_window().OnStatusText(text);
}

std::optional<NavigationCommand> ParseNavigationCommand(const std::string& url) {
  if (url.find('?') == std::string::npos) return std::nullopt;
  std::string query = Piece2(url, 2, "?");
  return NavigationCommand{Piece2(query, 1, "="), PercentDecode(Piece2(query, 2, "="))};
}

bool HandleMainNavigation(App& app, const std::string& url, const std::string& post_data) {
  // Post data is read up to its first NUL, as the browser hands it over.
  if (!post_data.substr(0, post_data.find('\0')).empty()) return true;
  auto command = ParseNavigationCommand(url);
  if (!command) return true;
  for (const auto& row : kNavigationTable)
    if (row.name == command->name) return row.action(app, command->argument);
  return true;
}

std::string ShownCommandLine(const std::string& line) {
  std::string shown;
  char escape[16];
  for (size_t pos = 0; pos < line.size();) {
    const size_t start = pos;
    const char32_t c = NextChar(line, pos);
    const bool malformed = c == 0xFFFD && pos == start + 1;
    const bool reorders = c == 0x061C || c == 0x200E || c == 0x200F ||
                          (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    if (malformed || c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(line[start]));
      shown += escape;
    } else if ((c >= 0x80 && c < 0xA0) || reorders) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      shown += escape;
    } else {
      shown.append(line, start, pos - start);
    }
  }
  return shown;
}

std::optional<std::vector<std::string>> SplitProgramLine(const std::string& line,
                                                         std::string* error) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c != '"') {
        word += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        word += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      in_word = true;
      if (c == '"')
        quoted = true;
      else
        word += c;
    }
  }
  if (quoted) {
    if (error) *error = "引用符 (\") が閉じられていません: " + line;
    return std::nullopt;
  }
  if (in_word) words.push_back(std::move(word));
  if (words.empty() || words.front().empty()) {
    if (error) *error = "起動するプログラムが指定されていません";
    return std::nullopt;
  }
  return words;
}

}  // namespace zelka
