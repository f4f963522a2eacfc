#include "store/program_files.h"

#include <filesystem>

namespace zelka {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOwnFiles[] = {
    kDatabaseFile, kPreviousDatabaseFile, kCheckFailedFile, kSettingsFileName, kLockFileName,
    kBeginTemplate, kBottomTemplate,
    "ZELKA20.mdb-journal", "_ZELKA20.mdb-journal", "ZELKA20.mdb.part", "_ZELKA20.mdb.part",
    "ZELKA20.mdb.compact",
    kXmlDataFile,
};
constexpr const char* kOwnFolders[] = {"MainMenu", "FORM", "PDF", "catalogue", "web"};

// The file a write to `path` would reach: links followed even where their
// target does not exist yet (a dangling link still leads the write there).
fs::path Resolved(const fs::path& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(absolute, ec)); ++hops) {
    fs::path parent = fs::weakly_canonical(absolute.parent_path(), ec);
    absolute = (parent / fs::read_symlink(absolute, ec)).lexically_normal();
  }
  fs::path resolved = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : resolved;
}

// The same file: the same resolved name, or (for files that exist) the same
// file under another name, such as a hard link.
bool SameFile(const fs::path& resolved_target, const fs::path& own) {
  std::error_code ec;
  if (resolved_target == Resolved(own)) return true;
  return fs::equivalent(resolved_target, own, ec) && !ec;
}

bool Inside(const fs::path& resolved_target, const fs::path& folder) {
  fs::path relative = resolved_target.lexically_relative(Resolved(folder));
  return !relative.empty() && *relative.begin() != ".." && relative != ".";
}

std::string Refusal(const std::string& path, const std::string& own) {
  return "出力ファイル " + path + " はプログラムのファイル " + own +
         " です。書き込むと ZELKA が動かなくなるため、書き込みません。ほかのファイル名を指定してください。";
}

}  // namespace

std::string OutputFileProblem(const std::string& app_dir, const std::string& path) {
  fs::path target = Resolved(path);
  fs::path dir(app_dir);
  for (const char* own : kOwnFiles)
    if (SameFile(target, dir / own)) return Refusal(path, own);
  for (const char* folder : kOwnFolders)
    if (SameFile(target, dir / folder) || Inside(target, dir / folder)) return Refusal(path, std::string(folder) + "/");
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && SameFile(target, self)) return Refusal(path, self.filename().string());
  return "";
}

}  // namespace zelka
