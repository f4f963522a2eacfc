// The program's store at start-up: find, recover or create ZELKA20.mdb in the
// program directory, compact it, keep the previous state as _ZELKA20.mdb and
// open it.
//
// The rule the sequence keeps: a file that is not a complete, openable store
// holding the program's tables never replaces _ZELKA20.mdb, and at every
// moment a complete copy of the data exists under one of the two names,
// whatever fails or wherever the process is killed.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "store/catalogue.h"
#include "store/database.h"
#include "store/program_files.h"
#include "util/env.h"

namespace zelka {

// What the quick check found in one of the two database files.
struct StoreFileCheck {
  bool exists = false;  // something, file or not, is there under the name
  std::string problem;  // "" when it is a complete store holding the program's tables
  bool good() const { return exists && problem.empty(); }
};

// The quick check, cheap at any size: the file is a regular SQLite file, its
// header is sound and the file is as long as the header says, and it holds
// the given tables. A transaction an earlier run left unfinished (a hot
// journal beside a sound file) is rolled back first, as any open would.
StoreFileCheck CheckStoreFile(const std::string& path, Env& env, const std::vector<std::string>& tables);

// The tables every store made from the catalogue holds: the catalogue's
// tables and CAP選定.
std::vector<std::string> StoreTableNames(const Catalogue& catalogue);

// The thorough check: every table with its indexes read and cross-checked,
// one table at a time, so that the program's own writes wait at most for one
// table. Returns "" when sound (or when `cancel` became true), else the
// problems found.
std::string CheckStoreThoroughly(const std::string& path, const std::atomic<bool>* cancel = nullptr);

// What the start-up did besides compacting, for the caller to tell the user.
struct StoreStartup {
  bool recovered = false;  // ZELKA20.mdb was missing and was restored from _ZELKA20.mdb
  bool created = false;    // neither file existed; a new, empty store was created
  bool restored = false;   // ZELKA20.mdb could not be used; the user had it restored
  std::string set_aside;   // when restored: where the unusable ZELKA20.mdb now is
  // ZELKA20.mdb failed the thorough check after the last start and fails it
  // again: it was opened as it is, neither compacted nor rotated, so that
  // _ZELKA20.mdb stays the last sound copy. The problem found.
  std::string suspect;
};

// Asked when ZELKA20.mdb cannot be used and _ZELKA20.mdb can: gets the
// question (naming both files and what each answer does), returns true to
// restore.
using RestoreQuestion = std::function<bool(const std::string& question)>;

// The user answered the restore question with No; neither file was touched.
class StoreDeclined : public StoreError {
 public:
  using StoreError::StoreError;
};

// The start-up sequence:
//  1. remove temporary files a killed start left behind;
//  2. choose the source: ZELKA20.mdb when the quick check finds it good;
//     _ZELKA20.mdb when ZELKA20.mdb is missing, or is unusable and `ask`
//     agrees to restore (the unusable file is then moved aside, never
//     deleted); a new store when neither file exists. Without `ask`, or when
//     no good copy exists, StoreError says what is wrong and what to do, and
//     neither file is touched;
//  3. check the free space, compact the source with VACUUM INTO into
//     ZELKA20.mdb.compact, quick-check and sync that copy;
//  4. rename ZELKA20.mdb to _ZELKA20.mdb (when it was the source) and the
//     compacted copy to ZELKA20.mdb, and open it.
// A source that turns out damaged while it is compacted counts as unusable.
// A good ZELKA20.mdb with few free pages (under a tenth) is not compacted:
// it is copied to _ZELKA20.mdb.new, which FinishStoreStartup checks and
// renames to _ZELKA20.mdb, and opened; a big store starts much sooner so.
// Any failure throws StoreError naming the file and leaves no temporary file.
std::unique_ptr<Database> OpenProgramStore(const std::string& app_dir, Env& env, const Catalogue& catalogue,
                                           const RestoreQuestion& ask = {}, StoreStartup* report = nullptr);

// The store for a batch command: ZELKA20.mdb opened as it is, never compacted,
// restored or created, since a batch command asks nobody. A missing or
// unusable file throws StoreError naming it and saying how to recover.
std::unique_ptr<Database> OpenStoreForBatch(const std::string& app_dir, Env& env);

// What comes after the store is open and the program serves: the thorough
// check of what the start made, the copy _ZELKA20.mdb.new when there is one
// (which then becomes _ZELKA20.mdb), else ZELKA20.mdb. A problem found is
// written to ZELKA20.mdb.check-failed, so that the next start keeps
// _ZELKA20.mdb, and returned ("" when sound, or when cancelled).
std::string FinishStoreStartup(const std::string& app_dir, Env& env, const std::atomic<bool>* cancel = nullptr);

// Runs FinishStoreStartup on a thread of its own while the program works.
// `env` must allow calls from another thread (the real one does).
class BackgroundStoreCheck {
 public:
  BackgroundStoreCheck(const std::string& app_dir, Env& env);
  ~BackgroundStoreCheck();  // stops the check and waits for its thread
  BackgroundStoreCheck(const BackgroundStoreCheck&) = delete;
  BackgroundStoreCheck& operator=(const BackgroundStoreCheck&) = delete;

  // Waits until the check has run to its end.
  void Finish();
  // nullopt while the check runs; then "" when sound, else the problem.
  std::optional<std::string> Result();

 private:
  std::atomic<bool> cancel_{false};
  std::mutex mutex_;
  std::optional<std::string> result_;
  std::thread thread_;
};

// Lays out a fresh program directory: copies the delivered data files of
// source_app_dir (files already in app_dir are kept; the program's own state
// files, such as databases and the lock, are never copied) and creates an
// empty store from the catalogue. Refuses (StoreError) when app_dir already
// holds ZELKA20.mdb or _ZELKA20.mdb.
void LayOutProgramDirectory(const std::string& source_app_dir, const std::string& app_dir, Env& env);

}  // namespace zelka
