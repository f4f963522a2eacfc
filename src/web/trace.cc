#include "web/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zelka {

namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point kStart = Clock::now();

double MillisecondsSince(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

}  // namespace

bool TraceEnabled() {
  static const bool enabled = [] {
    const char* value = std::getenv("ZELKA_TRACE");
    return value && *value && std::strcmp(value, "0") != 0;
  }();
  return enabled;
}

void Trace(const std::string& what) {
  if (!TraceEnabled()) return;
  std::fprintf(stderr, "[trace] %9.1f %s\n", MillisecondsSince(kStart), what.c_str());
}

TraceScope::TraceScope(std::string what) : start_(Clock::now()) {
  if (TraceEnabled()) what_ = std::move(what);
}

TraceScope::~TraceScope() {
  if (!TraceEnabled()) return;
  char took[32];
  std::snprintf(took, sizeof took, " %.1f ms", MillisecondsSince(start_));
  Trace(what_ + took);
}

}  // namespace zelka
