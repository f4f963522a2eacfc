// Times the CAP engine over a filled program directory (see fill_assessments):
//   bench_cap DIR [RECORD_NUMBER DATE]
// Runs the verification batch (every assessment, the export file) and one
// worksheet, and reports wall time, µs per assessment and peak memory.
#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "cap/batch.h"
#include "output/worksheet_batch.h"

using namespace zelka;

namespace {

long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
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
  int status = RunVerifyCommand(dir, dir + "/verify.txt", quiet, quiet);
  double verify = Seconds(start);
  long assessments = Lines(dir + "/verify.txt") - 1;
  std::cout << "verify: status " << status << ", " << assessments << " assessments, " << verify << " s, "
            << (assessments > 0 ? verify * 1e6 / assessments : 0) << " us/assessment, peak RSS "
            << PeakRssKb() / 1024.0 << " MB\n";
  if (status != 0) std::cout << quiet.str();

  int64_t id = argc > 3 ? std::stoll(argv[2]) : 1;
  auto date = Date::FromIso(argc > 3 ? argv[3] : "2003-01-01");
  const int runs = 20;
  std::ostringstream messages;
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) status = RunWorksheetCommand(dir, id, *date, dir + "/worksheet.rtf", messages, messages);
  std::cout << "worksheet: status " << status << ", " << Seconds(start) * 1000 / runs
            << " ms per run (open store, select, write), peak RSS " << PeakRssKb() / 1024.0 << " MB\n";
  return 0;
}
