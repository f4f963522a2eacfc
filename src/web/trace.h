// Timing lines for the browser face: with ZELKA_TRACE=1 in the environment,
// each host call that waits on the browser and each step of the UI channel
// (a request opened, delivered, answered) writes one line to stderr with the
// milliseconds since the program started, so a slow step can be found.
#pragma once

#include <chrono>
#include <string>

namespace zelka {

bool TraceEnabled();
// "[trace] 1234.5 <what>"; nothing when tracing is off.
void Trace(const std::string& what);

// Traces "<what> <n> ms" when it goes out of scope.
class TraceScope {
 public:
  explicit TraceScope(std::string what);
  ~TraceScope();
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  std::string what_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace zelka
