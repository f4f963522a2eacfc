// Start-up time of the program on a program directory:
//   bench_startup DIR [RUNS=5] [ZELKA=build/zelka-app/zelka] [FROM]
// Starts `ZELKA --app-dir DIR --no-browser` RUNS times and measures each run
// from the start of the process to the URL line on its standard output (the
// moment the user can open the program), then ends it with SIGTERM. Every run
// is a real start: it compacts or copies ZELKA20.mdb and keeps the previous
// state as _ZELKA20.mdb, as the user's starts do. With FROM, every run starts
// from FROM's ZELKA20.mdb (copied over DIR's before the run, untimed), so
// that each run meets the same file.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// One start; returns the seconds until the URL line, or a negative number
// when the program printed no URL.
double TimeOneStart(const std::string& zelka, const std::string& dir) {
  int out[2];
  if (pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<std::string> args{zelka, "--app-dir", dir, "--port", "0", "--no-browser"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int rc = posix_spawn(&pid, zelka.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    return -1;
  }
  std::string line;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  close(out[0]);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  return line.rfind("http://127.0.0.1:", 0) == 0 ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: bench_startup DIR [RUNS] [ZELKA]\n";
    return 2;
  }
  const std::string dir = argv[1];
  const int runs = argc > 2 ? std::stoi(argv[2]) : 5;
  const std::string zelka = argc > 3 ? argv[3] : "build/zelka-app/zelka";
  const std::string from = argc > 4 ? argv[4] : "";
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    if (!from.empty()) {
      namespace fs = std::filesystem;
      for (const char* name : {"ZELKA20.mdb", "_ZELKA20.mdb", "ZELKA20.mdb.check-failed"}) fs::remove(dir + "/" + name);
      fs::copy_file(from + "/ZELKA20.mdb", dir + "/ZELKA20.mdb");
    }
    double seconds = TimeOneStart(zelka, dir);
    if (seconds < 0) {
      std::cerr << "run " << i + 1 << ": the program printed no URL\n";
      return 1;
    }
    std::printf("run %d: %.3f s\n", i + 1, seconds);
    times.push_back(seconds);
  }
  std::sort(times.begin(), times.end());
  std::printf("median of %d: %.3f s\n", runs, times[times.size() / 2]);
  return 0;
}
