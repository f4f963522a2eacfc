// Times the CAP engine over a filled program directory (see fill_assessments):
//   bench_cap DIR [RECORD_NUMBER DATE]
// Runs the verification batch (every assessment, the export file), then the
// same run step by step to show where its time goes, and one worksheet, and
// reports wall time, µs per assessment and peak memory. The worksheet is
// timed twice: as the batch command (opening the store each time) and as
// inside the program, where the store is open already.
#include <sys/resource.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "cap/answer_reader.h"
#include "cap/batch.h"
#include "cap/cap_store.h"
#include "output/worksheet.h"
#include "output/worksheet_batch.h"
#include "store/store_startup.h"

using namespace zelka;

namespace {

long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// User and system CPU time of this process so far: unlike wall time, it does
// not grow when other programs share the machine.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long Lines(const std::string& path) {
  std::ifstream in(path);
  long n = 0;
  for (std::string line; std::getline(in, line);) ++n;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: bench_cap DIR [RECORD_NUMBER YYYY-MM-DD]\n";
    return 2;
  }
  const std::string dir = argv[1];
  std::ostringstream quiet;
  auto start = std::chrono::steady_clock::now();
  double cpu_start = CpuSeconds();
  int status = RunVerifyCommand(dir, dir + "/verify.txt", quiet, quiet);
  double verify = Seconds(start), verify_cpu = CpuSeconds() - cpu_start;
  long assessments = Lines(dir + "/verify.txt") - 1;
  std::cout << "verify: status " << status << ", " << assessments << " assessments, " << verify << " s ("
            << verify_cpu << " s CPU), " << (assessments > 0 ? verify * 1e6 / assessments : 0)
            << " us/assessment, peak RSS " << PeakRssKb() / 1024.0 << " MB\n";
  if (status != 0) std::cout << quiet.str();

  {
    // The run again, step by step, each step timed as wall (CPU) seconds.
    std::unique_ptr<Database> db = Database::Open(dir + "/" + kDatabaseFile);
    SmallPageCache small_cache(*db);
    std::string split;
    auto step = [&, start = std::chrono::steady_clock::now(), cpu = CpuSeconds()](const char* name) mutable {
      std::ostringstream line;
      line << " " << name << " " << Seconds(start) << " (" << CpuSeconds() - cpu << ")";
      split += line.str();
      start = std::chrono::steady_clock::now();
      cpu = CpuSeconds();
    };
    VerificationResult result;
    db->Begin();
    CapStore store(*db);
    result.keys = store.Assessments();
    step("keys");
    AnswerSheet sheet = ReadAllAnswers(*db, result.keys);
    step("read");
    for (size_t i = 0; i < sheet.size(); ++i) {
      ClientName(sheet[i]);
      result.caps.push_back(TriggeredCaps(sheet[i]));
    }
    step("select");
    store.DeleteAllSelections();
    for (size_t i = 0; i < sheet.size(); ++i) store.SaveSelection(sheet.key(i), ClientName(sheet[i]), result.caps[i]);
    db->Commit();
    step("write");
    std::string error;
    WriteVerificationExport(result, Env::Default(), dir + "/verify.txt", &error);
    step("export");
    std::cout << "verify, step by step: s (CPU s):" << split << "\n";
  }

  int64_t id = argc > 3 ? std::stoll(argv[2]) : 1;
  auto date = Date::FromIso(argc > 3 ? argv[3] : "2003-01-01");
  const int runs = 20;
  std::ostringstream messages;
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) status = RunWorksheetCommand(dir, id, *date, dir + "/worksheet.rtf", messages, messages);
  std::cout << "worksheet command: status " << status << ", " << Seconds(start) * 1000 / runs
            << " ms per run (open store, select, write)\n";

  std::unique_ptr<Database> db = Database::Open(dir + "/" + kDatabaseFile);
  SettingsBuffer settings;
  settings.SetPrivateAppBuf(dir + "/ZELKA20.PRA", Env::Default(), nullptr);
  CapEngine engine;
  WorksheetContext context{*db, engine, settings, Env::Default(), dir};
  class Quiet : public WorksheetReporter {
    void Information(const std::string&) override {}
    void Critical(const std::string& text, const std::string&) override { std::cout << text << "\n"; }
    bool Retry(const std::string& text) override { std::cout << text << "\n"; return false; }
  } quiet_reporter;
  AssessmentKey key{id, date->DateOnly()};
  WorksheetOutcome outcome = WorksheetOutcome::kFailed;
  start = std::chrono::steady_clock::now();
  cpu_start = CpuSeconds();
  for (int i = 0; i < runs; ++i) {
    StoreSelection(*db, key);
    outcome = WriteWorksheet(context, key, dir + "/worksheet.rtf", quiet_reporter);
  }
  std::cout << "CAP_KENTO in program: outcome " << static_cast<int>(outcome) << ", "
            << Seconds(start) * 1000 / runs << " ms per run (" << (CpuSeconds() - cpu_start) * 1000 / runs
            << " ms CPU; select, write; store open), peak RSS "
            << PeakRssKb() / 1024.0 << " MB\n";
  return 0;
}
