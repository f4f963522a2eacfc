// An Env for tests: it passes every call on to another Env (the real one by
// default) but can be told to fail chosen calls, has a clock that stands
// still at a set time, and records the programs it was asked to start
// instead of starting them.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "util/env.h"

namespace zelka {

// The operations of an Env, for counting and failing them.
enum class EnvOp { kFileExists, kFileSize, kFreeSpace, kRename, kDelete, kRead, kWrite, kSync, kCopy, kStartProgram };

const char* EnvOpName(EnvOp op);

class FaultInjectingEnv : public Env {
 public:
  explicit FaultInjectingEnv(Env& base = Env::Default());

  // The nth call (counting from 1) of `op` fails.
  void FailNth(EnvOp op, int n);
  // The nth call of any operation that changes files (rename, delete, write,
  // sync, copy) fails; lets a test fail every step of a sequence in turn.
  void FailNthChange(int n);
  // Every call of `op` whose path (either path, for rename and copy) is `path` fails.
  void FailPath(EnvOp op, const std::string& path);
  void ClearFaults();

  // Called before every operation that changes files, with its running count
  // (from 1); a test can pause or end the process there.
  void OnChange(std::function<void(int count, EnvOp op, const std::string& path)> hook) {
    on_change_ = std::move(hook);
  }

  int Calls(EnvOp op) const;
  int Changes() const { return changes_; }

  // The clock: fixed at `now` once set; the base Env's clock until then.
  void SetNow(const Date& now) {
    now_ = now;
    clock_set_ = true;
  }

  // The free space every file system reports from now on (the real figure until set).
  void SetFreeSpace(uint64_t bytes) {
    free_space_ = bytes;
    free_space_set_ = true;
  }

  // Programs are recorded, not started, unless told otherwise.
  void SetStartPrograms(bool really) { start_programs_ = really; }
  std::vector<std::vector<std::string>> started_programs;

  bool FileExists(const std::string& path) override;
  bool FileSize(const std::string& path, uint64_t* size, std::string* error = nullptr) override;
  bool FreeSpace(const std::string& dir, uint64_t* bytes, std::string* error = nullptr) override;
  bool RenameFile(const std::string& from, const std::string& to, std::string* error = nullptr) override;
  bool DeleteFile(const std::string& path, std::string* error = nullptr) override;
  bool ReadFile(const std::string& path, std::string* contents, std::string* error = nullptr) override;
  bool WriteFile(const std::string& path, const std::string& contents,
                 std::string* error = nullptr) override;
  bool SyncFile(const std::string& path, std::string* error = nullptr) override;
  bool CopyFile(const std::string& from, const std::string& to, std::string* error = nullptr) override;
  Date Now() override;
  bool StartProgram(const std::vector<std::string>& argv, std::string* error = nullptr) override;

 private:
  // Counts the call and says whether it is to fail (filling *error if so).
  bool ShouldFail(EnvOp op, const std::string& path, const std::string& other, std::string* error);

  Env& base_;
  std::map<EnvOp, int> calls_;
  std::set<std::pair<EnvOp, int>> fail_nth_;
  std::set<std::pair<EnvOp, std::string>> fail_path_;
  int changes_ = 0;
  int fail_change_ = 0;
  std::function<void(int, EnvOp, const std::string&)> on_change_;
  Date now_;
  bool clock_set_ = false;
  uint64_t free_space_ = 0;
  bool free_space_set_ = false;
  bool start_programs_ = false;
};

}  // namespace zelka
