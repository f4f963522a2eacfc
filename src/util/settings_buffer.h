// The settings buffer: the sections, keys and values of the settings file
// (ZELKA20.PRA), loaded once at start-up and read by key afterwards. It holds
// at most 100 sections of at most 201 keys; keys that stand before any section
// line belong to the section "PrivateAppBufGeneral".
//
// Settings file lines (leading spaces removed):
//   [name]        starts a section
//   ;…            a comment
//   key<TAB>value a key (a line without TAB is a key with an empty value)
//   <TAB>value    continues the value of the section's last key
// "¶" in a value stands for a line break (CR LF).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "util/warning.h"

namespace zelka {

class Env;

class SettingsBuffer {
 public:
  static constexpr int kMaxSections = 100;
  static constexpr int kMaxKeys = 201;
  static constexpr char kGeneralSection[] = "PrivateAppBufGeneral";

  // Empties the buffer and loads the settings file. A file that cannot be read
  // (or overflows the buffer) is reported once through the warning, and the
  // buffer keeps what was loaded before the error. Returns that error's text
  // (naming the file), or "" when the whole file was loaded.
  //
  // The file is read as UTF-8, the encoding of the file this program delivers;
  // a file that is not UTF-8 is taken as CP932, so a settings file carried
  // over from a Windows installation still reads correctly.
  std::string SetPrivateAppBuf(const std::string& path, Env& env, const Warning& warn);
  // The value of key in section ("" for the general section); "" when absent.
  std::string GetPrivateAppBuf(std::string_view section, std::string_view key) const;
  void ClearPrivateAppBuf();

 private:
  struct Entry {
    std::string key, value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  // Loads the lines; returns "" or the error text to report.
  std::string LoadLines(std::string_view text, const Warning& warn);

  std::vector<Section> sections_;
};

}  // namespace zelka
