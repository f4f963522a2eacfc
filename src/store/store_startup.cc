#include "store/store_startup.h"

#include <sqlite3.h>

#include <filesystem>

namespace zelka {
namespace {

struct StorePaths {
  std::string live, previous, compacted;

  explicit StorePaths(const std::string& app_dir)
      : live(app_dir + "/" + kDatabaseFile),
        previous(app_dir + "/" + kPreviousDatabaseFile),
        compacted(live + ".compact") {}

  // Files only an interrupted start-up leaves behind.
  std::vector<std::string> Leftovers() const {
    return {compacted, compacted + "-journal", Env::TempPathFor(live), Env::TempPathFor(live) + "-journal",
            Env::TempPathFor(previous)};
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

// A new, empty store, made under a temporary name and renamed into place, so
// a crash never leaves a half-made ZELKA20.mdb.
void CreateStore(const StorePaths& paths, Env& env, const Catalogue& catalogue) {
  std::string temp = Env::TempPathFor(paths.live);
  Database::Create(temp, catalogue);
  std::string error;
  Require(env.SyncFile(temp, &error), "新しいデータベースファイル " + temp + " を書き込めません", error);
  Require(env.RenameFile(temp, paths.live, &error),
          "新しいデータベースファイルを " + paths.live + " にできません", error);
}

std::string SqliteMessage(sqlite3* db) { return db ? sqlite3_errmsg(db) : "out of memory"; }

// Writes a compacted copy of the live file to `target` with VACUUM INTO.
void Compact(const std::string& live, const std::string& target) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(live.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  std::string detail;
  if (rc == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(db, "VACUUM INTO ?", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, target.c_str(), -1, SQLITE_TRANSIENT);
      rc = sqlite3_step(stmt);
      if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK) detail = SqliteMessage(db);
    sqlite3_finalize(stmt);
  } else {
    detail = SqliteMessage(db);
  }
  sqlite3_close_v2(db);
  if (rc != SQLITE_OK) throw StoreError("データベースファイル " + live + " を圧縮できません: " + detail);
}

// The compacted copy must read back whole before it may replace anything.
void Verify(const std::string& file) {
  sqlite3* db = nullptr;
  std::string result;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      result = text ? reinterpret_cast<const char*>(text) : "";
    } else {
      result = SqliteMessage(db);
    }
    sqlite3_finalize(stmt);
  } else {
    result = SqliteMessage(db);
  }
  sqlite3_close_v2(db);
  if (result != "ok") throw StoreError("圧縮したデータベースファイル " + file + " が壊れています: " + result);
}

}  // namespace

std::unique_ptr<Database> OpenProgramStore(const std::string& app_dir, Env& env, const Catalogue& catalogue,
                                           StoreStartup* report) {
  StorePaths paths(app_dir);
  StoreStartup done;
  std::string error;

  RemoveLeftovers(paths, env);
  if (!env.FileExists(paths.live)) {
    // A journal of the lost file would be replayed into whatever takes its place.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
      std::string stale = paths.live + suffix;
      if (env.FileExists(stale))
        Require(env.DeleteFile(stale, &error), "古いジャーナルファイル " + stale + " を削除できません", error);
    }
    if (env.FileExists(paths.previous)) {
      Require(env.CopyFile(paths.previous, paths.live, &error),
              "データベースファイル " + paths.live + " を " + paths.previous + " から復元できません", error);
      done.recovered = true;
    } else {
      CreateStore(paths, env, catalogue);
      done.created = true;
    }
  }

  Compact(paths.live, paths.compacted);
  Verify(paths.compacted);
  Require(env.SyncFile(paths.compacted, &error), "圧縮したデータベースファイル " + paths.compacted + " を書き込めません",
          error);
  Require(env.CopyFile(paths.live, paths.previous, &error),
          "圧縮前のデータベースを " + paths.previous + " に保存できません", error);
  Require(env.RenameFile(paths.compacted, paths.live, &error),
          "圧縮したデータベースファイルを " + paths.live + " にできません", error);

  std::unique_ptr<Database> db = Database::Open(paths.live);
  if (report) *report = done;
  return db;
}

void LayOutProgramDirectory(const std::string& source_app_dir, const std::string& app_dir, Env& env) {
  namespace fs = std::filesystem;
  StorePaths paths(app_dir);
  if (env.FileExists(paths.live))
    throw StoreError("データベースファイル " + paths.live + " が既にあるため、プログラムフォルダーを作りません");
  std::error_code ec;
  fs::create_directories(app_dir, ec);
  if (ec) throw StoreError("フォルダー " + app_dir + " を作れません: " + ec.message());
  fs::copy(source_app_dir, app_dir, fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
  if (ec) throw StoreError(source_app_dir + " のファイルを " + app_dir + " に写せません: " + ec.message());
  // A database delivered by mistake in the source folder must not become the store.
  if (env.FileExists(paths.live)) {
    std::string error;
    Require(env.DeleteFile(paths.live, &error), "データベースファイル " + paths.live + " を削除できません", error);
  }
  CreateStore(paths, env, Catalogue::Load(app_dir + "/" + kCatalogueFile));
}

}  // namespace zelka
