#include "util/fake_env.h"

namespace zelka {

const char* EnvOpName(EnvOp op) {
  switch (op) {
    case EnvOp::kFileExists: return "FileExists";
    case EnvOp::kFileSize: return "FileSize";
    case EnvOp::kFreeSpace: return "FreeSpace";
    case EnvOp::kRename: return "RenameFile";
    case EnvOp::kDelete: return "DeleteFile";
    case EnvOp::kRead: return "ReadFile";
    case EnvOp::kWrite: return "WriteFile";
    case EnvOp::kSync: return "SyncFile";
    case EnvOp::kCopy: return "CopyFile";
    case EnvOp::kStartProgram: return "StartProgram";
  }
  return "?";
}

FaultInjectingEnv::FaultInjectingEnv(Env& base) : base_(base) {}

void FaultInjectingEnv::FailNth(EnvOp op, int n) { fail_nth_.insert({op, n}); }
void FaultInjectingEnv::FailNthChange(int n) { fail_change_ = n; }
void FaultInjectingEnv::FailPath(EnvOp op, const std::string& path) { fail_path_.insert({op, path}); }

void FaultInjectingEnv::ClearFaults() {
  fail_nth_.clear();
  fail_path_.clear();
  fail_change_ = 0;
}

int FaultInjectingEnv::Calls(EnvOp op) const {
  auto it = calls_.find(op);
  return it == calls_.end() ? 0 : it->second;
}

bool FaultInjectingEnv::ShouldFail(EnvOp op, const std::string& path, const std::string& other,
                                   std::string* error) {
  int n = ++calls_[op];
  bool fail = fail_nth_.count({op, n}) > 0 || fail_path_.count({op, path}) > 0 ||
              (!other.empty() && fail_path_.count({op, other}) > 0);
  bool changes = op == EnvOp::kRename || op == EnvOp::kDelete || op == EnvOp::kWrite ||
                 op == EnvOp::kSync || op == EnvOp::kCopy;
  if (changes) {
    ++changes_;
    if (on_change_) on_change_(changes_, op, path);
    if (changes_ == fail_change_) fail = true;
  }
  if (fail && error) *error = std::string("injected failure of ") + EnvOpName(op) + " on " + path;
  return fail;
}

bool FaultInjectingEnv::FileExists(const std::string& path) {
  if (ShouldFail(EnvOp::kFileExists, path, "", nullptr)) return false;
  return base_.FileExists(path);
}

bool FaultInjectingEnv::FileSize(const std::string& path, uint64_t* size, std::string* error) {
  if (ShouldFail(EnvOp::kFileSize, path, "", error)) return false;
  return base_.FileSize(path, size, error);
}

bool FaultInjectingEnv::FreeSpace(const std::string& dir, uint64_t* bytes, std::string* error) {
  if (ShouldFail(EnvOp::kFreeSpace, dir, "", error)) return false;
  if (!free_space_set_) return base_.FreeSpace(dir, bytes, error);
  *bytes = free_space_;
  return true;
}

bool FaultInjectingEnv::RenameFile(const std::string& from, const std::string& to, std::string* error) {
  if (ShouldFail(EnvOp::kRename, from, to, error)) return false;
  return base_.RenameFile(from, to, error);
}

bool FaultInjectingEnv::DeleteFile(const std::string& path, std::string* error) {
  if (ShouldFail(EnvOp::kDelete, path, "", error)) return false;
  return base_.DeleteFile(path, error);
}

bool FaultInjectingEnv::ReadFile(const std::string& path, std::string* contents, std::string* error) {
  if (ShouldFail(EnvOp::kRead, path, "", error)) return false;
  return base_.ReadFile(path, contents, error);
}

bool FaultInjectingEnv::WriteFile(const std::string& path, const std::string& contents,
                                  std::string* error) {
  if (ShouldFail(EnvOp::kWrite, path, "", error)) return false;
  return base_.WriteFile(path, contents, error);
}

bool FaultInjectingEnv::SyncFile(const std::string& path, std::string* error) {
  if (ShouldFail(EnvOp::kSync, path, "", error)) return false;
  return base_.SyncFile(path, error);
}

bool FaultInjectingEnv::CopyFile(const std::string& from, const std::string& to, std::string* error) {
  if (ShouldFail(EnvOp::kCopy, from, to, error)) return false;
  return base_.CopyFile(from, to, error);
}

Date FaultInjectingEnv::Now() { return clock_set_ ? now_ : base_.Now(); }

bool FaultInjectingEnv::StartProgram(const std::vector<std::string>& argv, std::string* error) {
  if (ShouldFail(EnvOp::kStartProgram, argv.empty() ? "" : argv[0], "", error)) return false;
  started_programs.push_back(argv);
  return start_programs_ ? base_.StartProgram(argv, error) : true;
}

}  // namespace zelka
