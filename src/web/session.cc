#include "web/session.h"

#include <fstream>
#include <stdexcept>

namespace zelka {

std::string NewAccessToken() {
  unsigned char bytes[32];
  std::ifstream random("/dev/urandom", std::ios::binary);
  if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes))
    throw std::runtime_error("cannot read /dev/urandom for the access keys");
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 0xF];
  }
  return token;
}

bool SameSecret(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a.empty()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

Session::Session(Clock::duration start_life, std::function<Clock::time_point()> now)
    : start_code_(NewAccessToken()),
      secret_(NewAccessToken()),
      page_prefix_("/p/" + NewAccessToken() + "/"),
      start_expiry_(now() + start_life),
      now_(std::move(now)) {}

std::optional<Session::Keys> Session::Exchange(const std::string& code, std::string* why) {
  std::lock_guard lock(mutex_);
  if (!SameSecret(code, start_code_)) {
    *why = "開始コードが正しくありません。ZELKA が表示したアドレスを開いてください。";
    return std::nullopt;
  }
  if (begun_) {
    *why = "この開始コードは使用済みです。ZELKA は既に別のタブで開かれています。";
    return std::nullopt;
  }
  if (now_() > start_expiry_) {
    *why = "開始コードの有効期限 (1分) が切れました。ZELKA を起動し直してください。";
    return std::nullopt;
  }
  begun_ = true;
  return Keys{secret_, page_prefix_};
}

bool Session::IsSecret(std::string_view value) const {
  std::lock_guard lock(mutex_);
  return begun_ && SameSecret(value, secret_);
}

std::optional<std::string> Session::PagePath(std::string_view url_path) const {
  {
    std::lock_guard lock(mutex_);
    if (!begun_) return std::nullopt;
  }
  if (url_path.size() <= page_prefix_.size() ||
      !SameSecret(url_path.substr(0, page_prefix_.size()), page_prefix_))
    return std::nullopt;
  return std::string(url_path.substr(page_prefix_.size() - 1));
}

}  // namespace zelka
