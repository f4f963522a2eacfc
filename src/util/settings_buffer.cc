#include "util/settings_buffer.h"

#include "util/cp932.h"
#include "util/env.h"
#include "util/piece.h"
#include "util/utf8.h"

namespace zelka {
namespace {

constexpr char kTitle[] = "SetPrivateAppBuf";

// The run-time errors a load can end with, numbered as the classic runtime numbers them.
std::string RuntimeError(int number, const std::string& description) {
  return "実行時エラー " + std::to_string(number) + ": " + description;
}

std::string WithLineBreaks(std::string_view value) { return StrRep(value, "¶", "\r\n"); }

// The file's text as UTF-8 (see the header for the choice of encodings).
bool DecodeSettings(std::string bytes, std::string* text) {
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
  if (IsValidUtf8(bytes)) {
    *text = std::move(bytes);
    return true;
  }
  try {
    *text = Cp932ToUtf8(bytes);
    return true;
  } catch (const Cp932Error&) {
    return false;
  }
}

}  // namespace

void SettingsBuffer::ClearPrivateAppBuf() { sections_.clear(); }

std::string SettingsBuffer::SetPrivateAppBuf(const std::string& path, Env& env, const Warning& warn) {
  ClearPrivateAppBuf();
  std::string error;
  std::string bytes, text;
  if (!env.FileExists(path)) {
    error = RuntimeError(53, "ファイルが見つかりません。");
  } else if (!env.ReadFile(path, &bytes)) {
    error = RuntimeError(57, "デバイス I/O エラーです。");
  } else if (!DecodeSettings(std::move(bytes), &text)) {
    error = RuntimeError(62, "文字コードを判別できません。");
  } else {
    error = LoadLines(text, warn);
  }
  if (error.empty()) return "";
  std::string message = "設定ファイルを読み込めませんでした。\r" + path + "\r" + error;
  if (warn) warn(Notice{message, kTitle, true});
  return message;
}

std::string SettingsBuffer::LoadLines(std::string_view text, const Warning& warn) {
  bool in_named_section = false;  // a section line was read and named the current slot
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (line.empty() || line.front() == ';') continue;

    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      if (static_cast<int>(sections_.size()) >= kMaxSections)
        return RuntimeError(9, "インデックスが有効範囲にありません。");
      sections_.push_back(Section{std::string(line.substr(1, line.size() - 2)), {}});
      in_named_section = !sections_.back().name.empty();
      continue;
    }

    std::string key = Piece2(line, 1, "\t", warn);
    std::string value = Piece2(line, 2, "\t", warn);
    if (key.empty()) {
      if (value.empty()) continue;  // a lone TAB: nothing to store
      if (sections_.empty() || sections_.back().entries.empty()) {
        std::string name = sections_.empty() ? "" : sections_.back().name;
        if (warn)
          warn(Notice{"セクション内でキーワードが１度も出現していないのに、キーワードが省略されています。\r[" +
                          name + "]",
                      kTitle, true});
        continue;
      }
      sections_.back().entries.back().value += WithLineBreaks(value);
      continue;
    }

    if (!in_named_section) {
      if (static_cast<int>(sections_.size()) >= kMaxSections)
        return RuntimeError(9, "インデックスが有効範囲にありません。");
      sections_.push_back(Section{kGeneralSection, {}});
      in_named_section = true;
    }
    Section& section = sections_.back();
    if (static_cast<int>(section.entries.size()) >= kMaxKeys)
      return RuntimeError(9, "インデックスが有効範囲にありません。");
    section.entries.push_back(Entry{std::move(key), WithLineBreaks(value)});
  }
  return "";
}

std::string SettingsBuffer::GetPrivateAppBuf(std::string_view section, std::string_view key) const {
  if (section.empty()) section = kGeneralSection;
  for (const Section& s : sections_) {
    if (s.name != section) continue;
    for (const Entry& e : s.entries)
      if (e.key == key) return e.value;
    return "";
  }
  return "";
}

}  // namespace zelka
