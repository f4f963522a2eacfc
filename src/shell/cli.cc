#include "shell/cli.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <set>
#include <string_view>

namespace zelka {

namespace {

using Mode = CommandLine::Mode;

struct ModeName {
  std::string_view name;
  Mode mode;
};

constexpr ModeName kModes[] = {
    {"init", Mode::kInit},
    {"verify", Mode::kVerify},
    {"worksheet", Mode::kWorksheet},
    {"report", Mode::kReport},
};

// What each option means and in which modes it is allowed or required.
struct OptionDef {
  std::string_view name;
  bool takes_value;
  std::initializer_list<Mode> allowed;
  std::initializer_list<Mode> required;
  // Stores the value; returns an error message, or "" when it is good.
  std::string (*store)(CommandLine&, const std::string&);
};

bool ParseInteger(const std::string& text, int64_t* out) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && end == text.data() + text.size();
}

std::string StoreAppDir(CommandLine& cl, const std::string& v) {
  if (v.empty()) return "--app-dir needs a folder";
  cl.app_dir = v;
  return "";
}

std::string StorePort(CommandLine& cl, const std::string& v) {
  int64_t port = -1;
  if (!ParseInteger(v, &port) || port < 0 || port > 65535)
    return "--port needs a port number from 0 to 65535 (0 picks a free port), not \"" + v + "\"";
  cl.port = static_cast<int>(port);
  return "";
}

std::string StoreNoBrowser(CommandLine& cl, const std::string&) {
  cl.no_browser = true;
  return "";
}

std::string StoreOut(CommandLine& cl, const std::string& v) {
  if (v.empty()) return "--out needs a file name";
  cl.out = v;
  return "";
}

std::string StoreId(CommandLine& cl, const std::string& v) {
  int64_t id = 0;
  if (!ParseInteger(v, &id) || id < 1)
    return "--id needs a record number (整理番号) of 1 or more, not \"" + v + "\"";
  cl.record_number = id;
  return "";
}

std::string StoreDate(CommandLine& cl, const std::string& v) {
  auto date = Date::FromIso(v);
  if (!date || date->IsZero() || v.size() != 10)
    return "--date needs a reference date (基準日) written YYYY-MM-DD, not \"" + v + "\"";
  cl.reference_date = *date;
  return "";
}

std::string StoreForm(CommandLine& cl, const std::string& v) {
  auto form = ParseReportForm(v);
  if (!form) return "--form needs intake, assessment or cap-list, not \"" + v + "\"";
  cl.form = *form;
  return "";
}

const OptionDef kOptions[] = {
    {"--app-dir", true, {Mode::kRun, Mode::kInit, Mode::kVerify, Mode::kWorksheet, Mode::kReport},
     {Mode::kInit, Mode::kVerify, Mode::kWorksheet, Mode::kReport}, StoreAppDir},
    {"--port", true, {Mode::kRun}, {}, StorePort},
    {"--no-browser", false, {Mode::kRun}, {}, StoreNoBrowser},
    {"--form", true, {Mode::kReport}, {Mode::kReport}, StoreForm},
    {"--out", true, {Mode::kVerify, Mode::kWorksheet, Mode::kReport}, {Mode::kVerify, Mode::kWorksheet, Mode::kReport},
     StoreOut},
    {"--id", true, {Mode::kWorksheet, Mode::kReport}, {Mode::kWorksheet, Mode::kReport}, StoreId},
    {"--date", true, {Mode::kWorksheet, Mode::kReport}, {Mode::kWorksheet}, StoreDate},
};



bool Contains(std::initializer_list<Mode> modes, Mode mode) {
  for (Mode m : modes)
    if (m == mode) return true;
  return false;
}

std::string_view ModeLabel(Mode mode) {
  for (const auto& m : kModes)
    if (m.mode == mode) return m.name;
  return "the application";
}

const OptionDef* FindOption(std::string_view name) {
  for (const auto& o : kOptions)
    if (o.name == name) return &o;
  return nullptr;
}

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message + "\nTry 'zelka --help'.";
  return false;
}

bool ParseOptions(const std::vector<std::string>& args, size_t first, CommandLine& cl,
                  std::string* error) {
  std::set<std::string_view> seen;
  for (size_t i = first; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name = arg, value;
    bool inline_value = false;
    if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      inline_value = true;
    }
    const OptionDef* def = FindOption(name);
    if (!def) {
      if (arg.rfind("-", 0) == 0) return Fail(error, "zelka: unknown option " + name);
      return Fail(error, "zelka: unexpected argument \"" + arg + "\"");
    }
    if (!Contains(def->allowed, cl.mode))
      return Fail(error, "zelka: " + name + " cannot be used with " + std::string(ModeLabel(cl.mode)));
    if (!seen.insert(def->name).second) return Fail(error, "zelka: " + name + " is given twice");
    if (def->takes_value && !inline_value) {
      if (i + 1 >= args.size()) return Fail(error, "zelka: " + name + " needs a value");
      value = args[++i];
    } else if (!def->takes_value && inline_value) {
      return Fail(error, "zelka: " + name + " takes no value");
    }
    if (std::string problem = def->store(cl, value); !problem.empty())
      return Fail(error, "zelka: " + problem);
  }
  for (const auto& o : kOptions)
    if (Contains(o.required, cl.mode) && !seen.count(o.name))
      return Fail(error, "zelka " + std::string(ModeLabel(cl.mode)) + ": " + std::string(o.name) +
                             " is required");
  return true;
}

// What the report options must say together: a date for the assessment,
// none for the intake sheet, and an output file the report can be written as.
bool CheckReport(const CommandLine& cl, std::string* error) {
  bool dated = !cl.reference_date.IsZero();
  if (cl.form == ReportForm::kAssessment && !dated)
    return Fail(error, "zelka report: --date is required for --form assessment");
  if (cl.form == ReportForm::kIntake && dated)
    return Fail(error, "zelka report: --date cannot be used with --form intake");
  std::string ext = std::filesystem::path(cl.out).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext != ".html" && ext != ".pdf")
    return Fail(error, "zelka report: --out needs a file name ending in .html or .pdf, not \"" + cl.out + "\"");
  return true;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string* error) {
  CommandLine cl;
  for (const auto& arg : args)
    if (arg == "--help" || arg == "-h") {
      cl.mode = Mode::kHelp;
      return cl;
    }
  size_t first = 0;
  if (!args.empty() && args[0].rfind("-", 0) != 0) {
    const ModeName* found = nullptr;
    for (const auto& m : kModes)
      if (m.name == args[0]) found = &m;
    if (!found) {
      Fail(error, "zelka: unknown command \"" + args[0] + "\"");
      return std::nullopt;
    }
    cl.mode = found->mode;
    first = 1;
  }
  if (!ParseOptions(args, first, cl, error)) return std::nullopt;
  if (cl.mode == Mode::kReport && !CheckReport(cl, error)) return std::nullopt;
  return cl;
}

std::string ProgramDirectory(const CommandLine& command_line) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!command_line.app_dir.empty()) {
    fs::path dir = fs::absolute(command_line.app_dir, ec).lexically_normal();
    return dir.has_filename() ? dir : dir.parent_path();  // "dir/" names "dir"
  }
  return fs::read_symlink("/proc/self/exe", ec).parent_path();
}

std::string UsageText() {
  return "Usage:\n"
         "  zelka [--app-dir DIR] [--port N] [--no-browser]\n"
         "      Runs ZELKA on the program directory DIR (default: the folder of the\n"
         "      executable), serving its pages on http://127.0.0.1:N (0 or no --port:\n"
         "      a free port). Prints the URL to open, with its access token, and opens\n"
         "      the browser unless --no-browser is given or no desktop is present.\n"
         "  zelka init --app-dir DIR\n"
         "      Lays out a fresh program directory with a new, empty database.\n"
         "      Refuses a directory that already holds ZELKA20.mdb or _ZELKA20.mdb.\n"
         "  zelka verify --app-dir DIR --out FILE\n"
         "      Recomputes the CAP selection of every assessment and writes the\n"
         "      TAB-separated verification export to FILE.\n"
         "  zelka worksheet --app-dir DIR --id N --date YYYY-MM-DD --out FILE\n"
         "      Runs the CAP selection for the assessment of record number N on\n"
         "      reference date YYYY-MM-DD and writes its CAP review worksheet to FILE.\n"
         "  zelka report --app-dir DIR --form intake|assessment|cap-list --id N\n"
         "               [--date YYYY-MM-DD] --out FILE\n"
         "      Stages record number N as the print command does and writes the\n"
         "      printed report: the intake sheet, the assessment of reference date\n"
         "      YYYY-MM-DD (--date required), or the CAP list (with --date: after\n"
         "      running the CAP selection of that assessment). FILE ending in .html\n"
         "      gets one self-contained page, FILE ending in .pdf the PDF printed by\n"
         "      the installed Chromium.\n"
         "  zelka --help\n"
         "      Prints this text.\n"
         "verify and worksheet never write over one of the program directory's own\n"
         "files (databases, lock, settings, templates, pages).\n"
         "Exit status: 0 on success, 1 when a run fails, 2 for a bad command line.\n";
}

}  // namespace zelka
