// The keys of one run of the program. The address the program prints and
// hands to the browser carries a one-time start code; the first tab that
// presents it, within a minute, receives the session: a secret that the tab
// sends in the X-Zelka-Session header of every call, and a page key, the first
// path segment under which its frames load the program's pages (a frame that
// loads a page by its address cannot send a header). Neither ever goes into a
// cookie, so no other service on 127.0.0.1 receives them, and neither appears
// on a command line. After the exchange the start code is worthless.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace zelka {

// The request header that carries the session's secret.
inline constexpr char kSessionHeader[] = "X-Zelka-Session";

// 32 random bytes from the system's CSPRNG, as 64 hex digits.
std::string NewAccessToken();

class Session {
 public:
  using Clock = std::chrono::steady_clock;

  struct Keys {
    std::string secret;
    std::string pages;  // "/p/<page key>/": where the tab's frames load pages from
  };

  explicit Session(Clock::duration start_life = std::chrono::minutes(1),
                   std::function<Clock::time_point()> now = Clock::now);

  const std::string& StartCode() const { return start_code_; }

  // The session for the start code; nullopt with a message for the user in
  // *why when the code is wrong, has been used or has expired.
  std::optional<Keys> Exchange(const std::string& code, std::string* why);

  // Whether the value is this session's secret (and the session has begun).
  bool IsSecret(std::string_view value) const;
  // "/p/<page key>/FORM/A.HTM" -> "/FORM/A.HTM"; nullopt for a path that does
  // not begin with this session's page prefix.
  std::optional<std::string> PagePath(std::string_view url_path) const;

 private:
  const std::string start_code_;
  const std::string secret_;
  const std::string page_prefix_;  // "/p/<page key>/"
  const Clock::time_point start_expiry_;
  const std::function<Clock::time_point()> now_;
  mutable std::mutex mutex_;
  bool begun_ = false;
};

// Compares without stopping at the first difference, so the time taken says
// nothing about how much of a guessed secret was right.
bool SameSecret(std::string_view a, std::string_view b);

}  // namespace zelka
