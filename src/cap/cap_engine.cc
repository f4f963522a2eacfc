#include "cap/cap_engine.h"

#include <algorithm>

#include "cap/cap_catalogue.h"
#include "cap/cap_rules.h"
#include "cap/cap_store.h"
#include "util/cp932.h"

namespace zelka {

std::string DescribeFailure(const AssessmentKey& key, const std::exception& failure) {
  return DescribeAssessment(key) + ": " + failure.what();
}

namespace {

// Computes one selection; any failure becomes a CapError naming the assessment.
CapSelection ComputeSelection(CapStore& store, const AssessmentKey& key) {
  try {
    AssessmentRows rows(store, key);
    return SelectCaps(rows);
  } catch (const std::exception& failure) {
    throw CapError(DescribeFailure(key, failure));
  }
}

void SaveSelection(CapStore& store, const CapSelection& selection) {
  try {
    store.SaveSelection(selection);
  } catch (const std::exception& failure) {
    throw CapError(DescribeFailure(selection.key, failure));
  }
}

}  // namespace

CapSelection StoreSelection(Database& db, const AssessmentKey& key) {
  CapSelection selection;
  db.InTransaction([&] {
    CapStore store(db);
    store.DeleteSelection(key);
    selection = ComputeSelection(store, key);
    SaveSelection(store, selection);
  });
  return selection;
}

long RecomputeAllSelections(Database& db, const std::function<void(long, long)>& progress) {
  long total = 0;
  db.InTransaction([&] {
    CapStore store(db);
    std::vector<AssessmentKey> keys = store.Assessments();
    total = static_cast<long>(keys.size());
    store.DeleteAllSelections();
    const long step = std::max(1L, total / 100);
    for (long done = 0; done < total; ++done) {
      if (done % step == 0) progress(done, total);
      SaveSelection(store, ComputeSelection(store, keys[done]));
    }
    progress(total, total);
  });
  return total;
}

std::string VerificationExport(Database& db) {
  std::string text = "整理番号";
  for (const CapEntry& entry : kCapCatalogue) text += "\t" + std::string(entry.number);
  text += "\r\n";
  std::vector<std::string> wanted;
  for (const CapEntry& entry : kCapCatalogue) wanted.push_back(UpperAscii(entry.number));
  CapStore store(db);
  store.ForEachSelection([&](int64_t record_number, const std::vector<std::string>& numbers) {
    text += std::to_string(record_number) + "\t";
    std::vector<std::string> held;
    for (const std::string& number : numbers) held.push_back(UpperAscii(number));
    for (const std::string& number : wanted)
      text += std::find(held.begin(), held.end(), number) != held.end() ? "1\t" : "0\t";
    text += "\r\n";
  });
  return text;
}

bool WriteVerificationExport(Database& db, Env& env, const std::string& path, std::string* error) {
  std::string bytes = Utf8ToCp932(VerificationExport(db), [](char32_t c) -> std::string {
    throw Cp932Error("CP932で書けない文字 U+" + std::to_string(static_cast<unsigned long>(c)));
  });
  return env.WriteFile(path, bytes, error);
}

bool CapEngine::CapCreate(RecordContext& ctx, Host& host,
                          const std::function<void(RecordContext&)>& choose_assessment) {
  ctx.ClearKeys();
  choose_assessment(ctx);
  if (ctx.record_number <= 0) return false;
  AssessmentKey key{ctx.record_number, ctx.reference_date.DateOnly()};
  try {
    client_name_ = StoreSelection(*ctx.db, key).client_name;
    return true;
  } catch (const std::exception& failure) {
    std::string reason = dynamic_cast<const CapError*>(&failure) ? failure.what() : DescribeFailure(key, failure);
    host.ShowMessage("CAPの選定ができませんでした。前回の選定結果はそのまま残っています。\n" + reason,
                     Buttons::kOk, Icon::kCritical);
    ctx.ClearKeys();
    return false;
  }
}

namespace {

// Asks for the export file name until one is given. After a failed write the
// user may cancel instead, which abandons the export (nullopt).
std::optional<std::string> AskExportName(Host& host, bool may_cancel) {
  for (;;) {
    std::optional<std::string> name = host.InputBox(kVerifyPrompt, kVerifyTitle, "");
    if (!name && may_cancel) return std::nullopt;
    if (name && !name->empty()) return name;
  }
}

}  // namespace

void CapEngine::RunVerification(RecordContext& ctx, Host& host, Env& env) {
  const std::string caption = "CAP検定モード";
  try {
    RecomputeAllSelections(*ctx.db, [&](long done, long total) { host.ShowProgress(caption, done, total); });
    host.ShowProgress(caption, 0, 0);
  } catch (const std::exception& failure) {
    host.ShowProgress(caption, 0, 0);
    host.ShowMessage(std::string("CAP選定テーブルを作り直せませんでした。CAP選定テーブルは元のままです。\n") +
                         failure.what(),
                     Buttons::kOk, Icon::kCritical);
    ctx.ClearKeys();
    return;
  }
  host.ShowMessage(kVerifyDoneMessage, Buttons::kOk, Icon::kExclamation);

  std::optional<std::string> path = AskExportName(host, false);
  std::string error;
  while (!WriteVerificationExport(*ctx.db, env, *path, &error)) {
    host.ShowMessage("ファイル " + *path + " に書き込めませんでした。\n" + error +
                         "\n別のファイル名を入力してください。",
                     Buttons::kOk, Icon::kCritical);
    path = AskExportName(host, true);
    if (!path) {
      host.ShowMessage("ファイルの出力を中止しました。CAP選定テーブルの処理は完了しています。", Buttons::kOk,
                       Icon::kExclamation);
      ctx.ClearKeys();
      return;
    }
  }
  host.ShowMessage(*path + kVerifyExportedSuffix, Buttons::kOk, Icon::kExclamation);
  ctx.ClearKeys();
}

void CapEngine::GatherEvidence(int catalogue_index, AssessmentRows& rows) {
  zelka::GatherEvidence(catalogue_index, rows, evidence_);
}

}  // namespace zelka
