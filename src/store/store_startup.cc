#include "store/store_startup.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "store/schema.h"

namespace zelka {
namespace {

namespace fs = std::filesystem;

struct StorePaths {
  std::string dir, live, previous, compacted, copied, check_failed;

  explicit StorePaths(const std::string& app_dir)
      : dir(app_dir),
        live(app_dir + "/" + kDatabaseFile),
        previous(app_dir + "/" + kPreviousDatabaseFile),
        compacted(live + ".compact"),
        copied(previous + ".new"),
        check_failed(app_dir + "/" + kCheckFailedFile) {}

  // Files only an interrupted start-up leaves behind.
  std::vector<std::string> Leftovers() const {
    return {compacted, compacted + "-journal", Env::TempPathFor(live), Env::TempPathFor(live) + "-journal",
            Env::TempPathFor(previous), copied, Env::TempPathFor(copied)};
  }
};

void Require(bool ok, const std::string& what, const std::string& error) {
  if (!ok) throw StoreError(what + (error.empty() ? "" : " (" + error + ")"));
}

void RemoveLeftovers(const StorePaths& paths, Env& env) {
  for (const std::string& file : paths.Leftovers()) {
    if (!env.FileExists(file)) continue;
    std::string error;
    Require(env.DeleteFile(file, &error), "前回の起動で残った一時ファイル " + file + " を削除できません", error);
  }
}

// Best effort, on the way out of a failure: the failure is what gets reported.
void RemoveQuietly(const std::string& path, Env& env) {
  if (env.FileExists(path)) env.DeleteFile(path);
}

// A new, empty store, made under a temporary name and renamed into place, so
// a crash never leaves a half-made ZELKA20.mdb.
void CreateStore(const std::string& path, Env& env, const Catalogue& catalogue) {
  std::string temp = Env::TempPathFor(path);
  Database::Create(temp, catalogue);
  std::string error;
  Require(env.SyncFile(temp, &error), "新しいデータベースファイル " + temp + " を書き込めません", error);
  Require(env.RenameFile(temp, path, &error), "新しいデータベースファイルを " + path + " にできません", error);
}

// ---- The quick check ---------------------------------------------------------

// Tables any store of the program holds, for a check that has no catalogue
// at hand; a file without them is some other database, or an empty one.
const std::vector<std::string> kCoreTables{"相談受付表", "AA", "A", kCapSelectionTable};

uint32_t BigEndian(const unsigned char* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}

std::string SqliteMessage(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

// Runs a statement on a fresh connection; "" or SQLite's message.
std::string RunOnce(const std::string& path, int flags, const std::string& sql,
                    const std::function<void(sqlite3_stmt*)>& row = {}) {
  sqlite3* db = nullptr;
  std::string problem;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      if (row) row(stmt);
      rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE) problem = SqliteMessage(db);
    sqlite3_finalize(stmt);
  } else {
    problem = SqliteMessage(db);
  }
  sqlite3_close_v2(db);
  return problem;
}

constexpr int kHeaderSize = 100;

bool ReadHeader(const std::string& path, unsigned char (&header)[kHeaderSize]) {
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in.read(reinterpret_cast<char*>(header), kHeaderSize));
}

// The problem with a file's SQLite header, or "" when it is sound and the
// file is as long as it says.
std::string HeaderProblem(const std::string& path, uint64_t size) {
  unsigned char header[kHeaderSize];
  if (size < kHeaderSize || !ReadHeader(path, header))
    return "データベースファイルではありません（" + std::to_string(size) + " バイトしかありません）";
  if (std::memcmp(header, "SQLite format 3", 16) != 0) return "データベースファイルではありません";
  uint32_t page_size = BigEndian(header + 16, 2);
  if (page_size == 1) page_size = 65536;
  if (page_size < 512 || page_size > 65536 || (page_size & (page_size - 1)) != 0)
    return "データベースファイルの先頭が壊れています";
  if (size % page_size != 0)
    return "途中で切れています（" + std::to_string(size) + " バイトはページの大きさ " + std::to_string(page_size) +
           " バイトの倍数ではありません）";
  // The page count in the header is valid when the two counters agree.
  if (BigEndian(header + 24, 4) == BigEndian(header + 92, 4)) {
    uint64_t pages = BigEndian(header + 28, 4);
    if (pages * page_size > size)
      return "途中で切れています（" + std::to_string(pages) + " ページのはずが " +
             std::to_string(size / page_size) + " ページしかありません）";
  }
  return "";
}

std::string MissingTablesProblem(const std::string& path, const std::vector<std::string>& required) {
  std::set<std::string> tables;
  std::string problem = RunOnce(path, SQLITE_OPEN_READONLY, "SELECT name FROM sqlite_master WHERE type='table'",
                                [&](sqlite3_stmt* stmt) {
                                  const unsigned char* name = sqlite3_column_text(stmt, 0);
                                  if (name) tables.insert(FoldName(reinterpret_cast<const char*>(name)));
                                });
  if (!problem.empty()) return "読めません: " + problem;
  std::string missing;
  int count = 0;
  for (const std::string& table : required) {
    if (tables.count(FoldName(table))) continue;
    if (++count <= 3) missing += (missing.empty() ? "" : "、") + table;
  }
  if (count == 0) return "";
  if (count > 3) missing += " ほか " + std::to_string(count - 3) + " 表";
  return "ZELKA の表がありません（" + missing + "）";
}

// ---- Compaction ------------------------------------------------------------------

struct CompactFailure {
  bool damaged;  // the source itself is damaged (not a full disk or the like)
  std::string message;
};

// Writes a compacted copy of `source` to `target` with VACUUM INTO, reading
// the source without changing it.
std::optional<CompactFailure> Compact(const std::string& source, const std::string& target) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(source.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(db, "VACUUM INTO ?", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, target.c_str(), -1, SQLITE_TRANSIENT);
      rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
  }
  std::optional<CompactFailure> failure;
  if (rc != SQLITE_OK) {
    int primary = rc & 0xff;
    failure = CompactFailure{primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB, SqliteMessage(db)};
  }
  sqlite3_close_v2(db);
  return failure;
}

// Compacting a file with few free pages gains little and costs a rewrite of
// the whole file; such a file is copied instead.
bool FewFreePages(const std::string& path) {
  unsigned char header[kHeaderSize];
  if (!ReadHeader(path, header)) return false;
  uint64_t pages = BigEndian(header + 28, 4), free_pages = BigEndian(header + 36, 4);
  return free_pages * 10 < pages;
}

std::string Megabytes(uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB"; }

// The compacted copy needs about the size of its source; checked before
// anything is written, so a full disk stops the start with nothing changed.
void RequireFreeSpace(const StorePaths& paths, const std::string& source, Env& env) {
  uint64_t size = 0, free = 0;
  if (!env.FileSize(source, &size) || !env.FreeSpace(paths.dir, &free)) return;  // VACUUM will tell
  uint64_t needed = size + size / 10 + (1 << 20);
  if (free < needed)
    throw StoreError("空き容量が足りないため、データベースファイル " + source + " の写しを作れません。" + paths.dir +
                     " のあるディスクに " + Megabytes(needed) + " 以上の空きが必要です（今は " + Megabytes(free) +
                     "）。ファイルは何も変えていません。");
}

// ---- Messages --------------------------------------------------------------------

std::string NoGoodCopyMessage(const StorePaths& paths, const StoreFileCheck& live, const StoreFileCheck& previous) {
  std::string text = live.exists ? "データベースファイル " + paths.live + " を開けません（" + live.problem + "）。"
                                 : "データベースファイル " + paths.live + " がありません。";
  text += previous.exists ? "前回起動時の写し " + paths.previous + " も使えません（" + previous.problem + "）。"
                          : "前回起動時の写し " + paths.previous + " もありません。";
  text += "どちらのファイルも変えずに終了します。バックアップから " + std::string(kDatabaseFile) +
          " を戻してから起動してください。";
  if (!live.exists)
    text += "新しい空のデータベースで始めるときは、" + std::string(kPreviousDatabaseFile) +
            " を別の場所へ移してから起動してください。";
  return text;
}

std::string RestoreQuestionText(const StorePaths& paths, const std::string& problem, const std::string& aside) {
  return "データベースファイル " + std::string(kDatabaseFile) + " を開けません。\r\n（" + problem +
         "）\r\n\r\n前回起動時の写し " + kPreviousDatabaseFile + " から復元しますか？\r\n\r\nはい: 開けないファイルは " +
         fs::path(aside).filename().string() + " として残し、" + kPreviousDatabaseFile +
         " から復元して起動します。\r\nいいえ: どちらのファイルも変えずに終了します。\r\n\r\nフォルダー: " + paths.dir;
}

std::string BatchAdvice(const StorePaths& paths, const StoreFileCheck& live) {
  std::string text = live.exists ? "データベースファイル " + paths.live + " を開けません（" + live.problem + "）。"
                                 : "データベースファイル " + paths.live + " がありません。";
  return text + "前回起動時の写し " + paths.previous + " から復元できます: zelka --app-dir " + paths.dir +
         " でプログラムを起動してください" + (live.exists ? "（復元するかの問いに「はい」と答えます）。" : "。") +
         "ファイルは何も変えていません。";
}

// Where an unusable ZELKA20.mdb goes when the user restores: beside it, under
// a name no earlier one took.
std::string SetAsideName(const StorePaths& paths, Env& env) {
  Date now = env.Now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day, now.hour,
                now.minute, now.second);
  std::string base = paths.live + ".unusable-" + stamp;
  std::string name = base;
  for (int n = 2; env.FileExists(name); ++n) name = base + "-" + std::to_string(n);
  return name;
}

}  // namespace

// ---- Checks ------------------------------------------------------------------------

std::vector<std::string> StoreTableNames(const Catalogue& catalogue) {
  std::vector<std::string> names;
  for (const TableDef& table : catalogue.tables()) names.push_back(table.name);
  names.emplace_back(kCapSelectionTable);
  return names;
}

StoreFileCheck CheckStoreFile(const std::string& path, Env& env, const std::vector<std::string>& tables) {
  if (!env.FileExists(path)) return {};
  std::error_code ec;
  if (fs::is_directory(path, ec)) return {true, "ファイルではなくフォルダーです"};
  uint64_t size = 0;
  std::string error;
  if (!env.FileSize(path, &size, &error)) return {true, "大きさを調べられません: " + error};
  if (size == 0) return {true, "空のファイルです（0 バイト）"};
  std::string problem = HeaderProblem(path, size);
  bool sqlite_file = problem.empty() || problem.rfind("途中で切れています", 0) == 0;
  uint64_t journal_size = 0;
  if (sqlite_file && env.FileSize(path + "-journal", &journal_size) && journal_size > 0) {
    // A transaction killed half-way leaves the file as its journal must put
    // right (possibly short of its header's size): roll it back and look again.
    std::string rollback = RunOnce(path, SQLITE_OPEN_READWRITE, "SELECT count(*) FROM sqlite_master");
    if (!rollback.empty()) return {true, "途中の書き込みを取り消せません: " + rollback};
    if (!env.FileSize(path, &size, &error)) return {true, "大きさを調べられません: " + error};
    problem = HeaderProblem(path, size);
  }
  if (problem.empty()) problem = MissingTablesProblem(path, tables);
  return {true, problem};
}

std::string CheckStoreThoroughly(const std::string& path, const std::atomic<bool>* cancel) {
  sqlite3* db = nullptr;
  std::string problems;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    problems = "開けません: " + SqliteMessage(db);
    sqlite3_close_v2(db);
    return problems;
  }
  sqlite3_busy_timeout(db, 5000);
  if (cancel)
    sqlite3_progress_handler(
        db, 1000, [](void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; },
        const_cast<std::atomic<bool>*>(cancel));
  auto run = [&](const std::string& sql, const std::function<void(const std::string&)>& row) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      row(text ? reinterpret_cast<const char*>(text) : "");
      rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE || rc == SQLITE_OK ? std::string() : SqliteMessage(db);
  };
  std::vector<std::string> tables;
  std::string failure = run("SELECT name FROM sqlite_master WHERE type='table'",
                            [&](const std::string& name) { tables.push_back(name); });
  for (size_t i = 0; failure.empty() && i < tables.size() && !(cancel && *cancel); ++i) {
    std::string literal;
    for (char c : tables[i]) literal += c == '\'' ? std::string("''") : std::string(1, c);
    failure = run("PRAGMA integrity_check('" + literal + "')", [&](const std::string& line) {
      if (line != "ok" && std::count(problems.begin(), problems.end(), '\n') < 5)
        problems += (problems.empty() ? "" : "\n") + line;
    });
  }
  sqlite3_close_v2(db);
  if (cancel && *cancel) return "";
  if (!failure.empty()) problems += (problems.empty() ? "" : "\n") + failure;
  return problems;
}

// ---- Start-up ------------------------------------------------------------------------

std::unique_ptr<Database> OpenProgramStore(const std::string& app_dir, Env& env, const Catalogue& catalogue,
                                           const RestoreQuestion& ask, StoreStartup* report) {
  StorePaths paths(app_dir);
  StoreStartup done;
  std::string error;

  const std::vector<std::string> tables = StoreTableNames(catalogue);
  RemoveLeftovers(paths, env);
  StoreFileCheck live = CheckStoreFile(paths.live, env, tables);
  std::string source = paths.live;

  // ZELKA20.mdb cannot be used: restore from _ZELKA20.mdb when the user agrees.
  auto restore = [&](const std::string& problem) {
    live.problem = problem;
    StoreFileCheck previous = CheckStoreFile(paths.previous, env, tables);
    if (!previous.good()) throw StoreError(NoGoodCopyMessage(paths, live, previous));
    if (!ask) throw StoreError(BatchAdvice(paths, live));
    std::string aside = SetAsideName(paths, env);
    if (!ask(RestoreQuestionText(paths, problem, aside)))
      throw StoreDeclined("データベースファイル " + paths.live + " を開けないため、終了します。" + kDatabaseFile +
                          " と " + kPreviousDatabaseFile + " は変えていません。");
    Require(env.RenameFile(paths.live, aside, &error), "開けないデータベースファイル " + paths.live + " を " + aside +
                                                           " に移せません。ファイルは何も変えていません", error);
    // Its journal belongs to it, and would be replayed into the restored file.
    if (env.FileExists(paths.live + "-journal"))
      Require(env.RenameFile(paths.live + "-journal", aside + "-journal", &error),
              "ジャーナルファイル " + paths.live + "-journal を移せません", error);
    done.restored = true;
    done.set_aside = aside;
    source = paths.previous;
  };

  if (!live.exists) {
    // A journal of the lost file would be replayed into whatever takes its place.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
      std::string stale = paths.live + suffix;
      if (env.FileExists(stale))
        Require(env.DeleteFile(stale, &error), "古いジャーナルファイル " + stale + " を削除できません", error);
    }
    StoreFileCheck previous = CheckStoreFile(paths.previous, env, tables);
    if (previous.good()) {
      source = paths.previous;
      done.recovered = true;
    } else if (!previous.exists) {
      CreateStore(paths.live, env, catalogue);
      done.created = true;
    } else {
      throw StoreError(NoGoodCopyMessage(paths, live, previous));
    }
  } else if (!live.good()) {
    restore(live.problem);
  } else if (env.FileExists(paths.check_failed)) {
    // The last start's thorough check found a problem: look again before
    // this file may become _ZELKA20.mdb.
    std::string problem = CheckStoreThoroughly(paths.live);
    if (!problem.empty()) {
      done.suspect = problem;
      std::unique_ptr<Database> db = Database::Open(paths.live);
      if (report) *report = done;
      return db;
    }
    Require(env.DeleteFile(paths.check_failed, &error), "ファイル " + paths.check_failed + " を削除できません", error);
  }
  // A check failure recorded earlier speaks of a file that is about to be replaced.
  auto open_live = [&] {
    if (source != paths.live || done.created) RemoveQuietly(paths.check_failed, env);
    std::unique_ptr<Database> db = Database::Open(paths.live);
    if (report) *report = done;
    return db;
  };
  if (source == paths.live && FewFreePages(paths.live)) {
    // The copy becomes _ZELKA20.mdb once FinishStoreStartup has checked it.
    RequireFreeSpace(paths, source, env);
    Require(env.CopyFile(paths.live, paths.copied, &error),
            "データベースファイル " + paths.live + " を写せません。ファイルは何も変えていません", error);
    return open_live();
  }
  for (;;) {
    RequireFreeSpace(paths, source, env);
    std::optional<CompactFailure> failure = Compact(source, paths.compacted);
    if (!failure) break;
    RemoveQuietly(paths.compacted, env);
    RemoveQuietly(paths.compacted + "-journal", env);
    if (failure->damaged && source == paths.live) {
      restore("読み込み中に壊れた箇所が見つかりました: " + failure->message);
      continue;
    }
    throw StoreError("データベースファイル " + source + " を圧縮できません: " + failure->message + "。" +
                     (done.restored ? "開けなかった " + paths.live + " は " + done.set_aside + " に移してあります。"
                                    : "ファイルは何も変えていません。"));
  }
  StoreFileCheck compacted = CheckStoreFile(paths.compacted, env, tables);
  if (!compacted.good()) {
    RemoveQuietly(paths.compacted, env);
    throw StoreError("圧縮したデータベースファイル " + paths.compacted + " が使えません（" + compacted.problem +
                     "）。ファイルは何も変えていません。");
  }
  if (!env.SyncFile(paths.compacted, &error)) {
    RemoveQuietly(paths.compacted, env);
    throw StoreError("圧縮したデータベースファイル " + paths.compacted + " を書き込めません (" + error + ")");
  }
  if (source == paths.live && !env.RenameFile(paths.live, paths.previous, &error)) {
    RemoveQuietly(paths.compacted, env);
    throw StoreError("圧縮前のデータベースを " + paths.previous + " にできません (" + error +
                     ")。ファイルは何も変えていません。");
  }
  if (!env.RenameFile(paths.compacted, paths.live, &error)) {
    std::string failure = error;
    if (source == paths.live) env.RenameFile(paths.previous, paths.live);  // the next start recovers otherwise
    RemoveQuietly(paths.compacted, env);
    throw StoreError("圧縮したデータベースファイルを " + paths.live + " にできません (" + failure + ")");
  }

  return open_live();
}

std::unique_ptr<Database> OpenStoreForBatch(const std::string& app_dir, Env& env) {
  StorePaths paths(app_dir);
  StoreFileCheck live = CheckStoreFile(paths.live, env, kCoreTables);
  if (live.good()) return Database::Open(paths.live);
  StoreFileCheck previous = CheckStoreFile(paths.previous, env, kCoreTables);
  if (previous.good()) throw StoreError(BatchAdvice(paths, live));
  if (!live.exists && !previous.exists)
    throw StoreError("データベースファイル " + paths.live + " がありません。zelka --app-dir " + app_dir +
                     " でプログラムを起動すると、新しい空のデータベースを作ります。");
  throw StoreError(NoGoodCopyMessage(paths, live, previous));
}

std::string FinishStoreStartup(const std::string& app_dir, Env& env, const std::atomic<bool>* cancel) {
  StorePaths paths(app_dir);
  bool copied = env.FileExists(paths.copied);
  std::string problem = CheckStoreThoroughly(copied ? paths.copied : paths.live, cancel);
  if (cancel && *cancel) return "";
  std::string error;
  if (!problem.empty()) {
    if (copied) RemoveQuietly(paths.copied, env);
    env.WriteFile(paths.check_failed, problem + "\n");
  } else if (copied && !env.RenameFile(paths.copied, paths.previous, &error)) {
    RemoveQuietly(paths.copied, env);
    return "起動前のデータベースの写しを " + paths.previous + " にできません (" + error + ")";
  }
  return problem;
}

BackgroundStoreCheck::BackgroundStoreCheck(const std::string& app_dir, Env& env) {
  thread_ = std::thread([this, app_dir, &env] {
    std::string problem = FinishStoreStartup(app_dir, env, &cancel_);
    std::lock_guard lock(mutex_);
    if (!cancel_) result_ = problem;
  });
}

BackgroundStoreCheck::~BackgroundStoreCheck() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

void BackgroundStoreCheck::Finish() {
  if (thread_.joinable()) thread_.join();
}

std::optional<std::string> BackgroundStoreCheck::Result() {
  std::lock_guard lock(mutex_);
  return result_;
}

void LayOutProgramDirectory(const std::string& source_app_dir, const std::string& app_dir, Env& env) {
  StorePaths paths(app_dir);
  for (const std::string& existing : {paths.live, paths.previous})
    if (env.FileExists(existing))
      throw StoreError(existing + " があるため、プログラムフォルダーを作りません。" +
                       (existing == paths.previous
                            ? "前回の起動が途中で終わったときに残るファイルです。zelka --app-dir " + app_dir +
                                  " で起動すると、ここから復元します。"
                            : ""));
  std::error_code ec;
  fs::create_directories(app_dir, ec);
  if (ec) throw StoreError("フォルダー " + app_dir + " を作れません: " + ec.message());
  // The delivered files only: a database, lock or check file of a program
  // directory used as the source must not come along.
  for (const fs::directory_entry& entry : fs::directory_iterator(source_app_dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(kDatabaseFile, 0) == 0 || name.rfind(kPreviousDatabaseFile, 0) == 0 || name == kLockFileName)
      continue;
    fs::copy(entry.path(), fs::path(app_dir) / name, fs::copy_options::recursive | fs::copy_options::skip_existing,
             ec);
    if (ec) break;
  }
  if (ec) throw StoreError(source_app_dir + " のファイルを " + app_dir + " に写せません: " + ec.message());
  CreateStore(paths.live, env, Catalogue::Load(app_dir + "/" + kCatalogueFile));
}

}  // namespace zelka
