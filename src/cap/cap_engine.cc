#include "cap/cap_engine.h"

#include <algorithm>

#include "cap/answer_reader.h"
#include "cap/cap_catalogue.h"
#include "cap/cap_rules.h"
#include "cap/cap_store.h"
#include "store/program_files.h"
#include "util/cp932.h"

namespace zelka {

std::string DescribeFailure(const AssessmentKey& key, const std::exception& failure) {
  return DescribeAssessment(key) + ": " + failure.what();
}

namespace {

// Runs work for an assessment; any failure becomes a CapError naming it.
template <typename Work>
auto ForAssessment(const AssessmentKey& key, Work&& work) {
  try {
    return work();
  } catch (const std::exception& failure) {
    throw CapError(DescribeFailure(key, failure));
  }
}

}  // namespace

CapSelection StoreSelection(Database& db, const AssessmentKey& key) {
  CapSelection selection;
  db.InTransaction([&] {
    CapStore store(db);
    store.DeleteSelection(key);
    AnswerSheet sheet = ReadAnswers(db, key);
    selection = ForAssessment(key, [&] { return SelectCaps(sheet[0]); });
    ForAssessment(key, [&] { store.SaveSelection(key, selection.client_name, selection.triggered); });
  });
  return selection;
}

// Every table is read once into the sheet, the selections are computed in
// the stored order of table A, and the rows are added in that order. The
// first failure in that order is raised; the transaction then leaves CAP選定
// as it was.
VerificationResult RecomputeAllSelections(Database& db, const std::function<void(long, long)>& progress) {
  VerificationResult result;
  SmallPageCache small_cache(db);
  db.InTransaction([&] {
    CapStore store(db);
    std::vector<AssessmentKey> keys = store.Assessments();
    const long total = static_cast<long>(keys.size());
    progress(0, total);
    AnswerSheet sheet = ReadAllAnswers(db, std::move(keys));
    result.caps.resize(sheet.size());
    for (size_t i = 0; i < sheet.size(); ++i)
      result.caps[i] = ForAssessment(sheet.key(i), [&] {
        ClientName(sheet[i]);
        return TriggeredCaps(sheet[i]);
      });
    // Progress counts the rows written, the longest step after the reading.
    store.DeleteAllSelections();
    const long step = std::max(1L, total / 100);
    for (size_t i = 0; i < sheet.size(); ++i) {
      if (i > 0 && static_cast<long>(i) % step == 0) progress(static_cast<long>(i), total);
      ForAssessment(sheet.key(i), [&] { store.SaveSelection(sheet.key(i), ClientName(sheet[i]), result.caps[i]); });
    }
    progress(total, total);
    result.keys = sheet.keys();
  });
  return result;
}

namespace {

std::string ExportHeader() {
  std::string text = "整理番号";
  for (const CapEntry& entry : kCapCatalogue) text += "\t" + std::string(entry.number);
  return text + "\r\n";
}

// One data line: the 整理番号, then "1\t" or "0\t" for each catalogue position.
void AppendExportLine(std::string& text, int64_t record_number, uint64_t caps) {
  text += std::to_string(record_number);
  text += '\t';
  for (int i = 0; i < kCapCount; ++i) {
    text += (caps >> i & 1) ? '1' : '0';
    text += '\t';
  }
  text += "\r\n";
}

// Appends the data lines of a run's export: ASCII, the same bytes in UTF-8 and CP932.
void AppendExportLines(std::string& text, const VerificationResult& result) {
  text.reserve(text.size() + result.keys.size() * (2 * kCapCount + 12));
  for (size_t i = 0; i < result.keys.size(); ++i) AppendExportLine(text, result.keys[i].record_number, result.caps[i]);
}

}  // namespace

std::string VerificationExport(const VerificationResult& result) {
  std::string text = ExportHeader();
  AppendExportLines(text, result);
  return text;
}

std::string VerificationExport(Database& db) {
  std::string text = ExportHeader();
  std::vector<std::string> wanted;
  for (const CapEntry& entry : kCapCatalogue) wanted.push_back(UpperAscii(entry.number));
  SmallPageCache small_cache(db);
  CapStore store(db);
  store.ForEachSelection([&](int64_t record_number, const std::vector<std::string>& numbers) {
    uint64_t caps = 0;  // a position is held when a filled slot holds its number, in any case
    for (const std::string& number : numbers) {
      if (number.empty()) continue;
      for (int i = 0; i < kCapCount; ++i)
        if (UpperAscii(number) == wanted[i]) caps |= uint64_t{1} << i;
    }
    AppendExportLine(text, record_number, caps);
  });
  return text;
}

bool WriteVerificationExport(const VerificationResult& result, Env& env, const std::string& path,
                             std::string* error) {
  std::string bytes = Utf8ToCp932(ExportHeader(), [](char32_t c) -> std::string {
    throw Cp932Error("CP932で書けない文字 U+" + std::to_string(static_cast<unsigned long>(c)));
  });
  AppendExportLines(bytes, result);
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
// user may cancel instead, which abandons the export (nullopt); a program that
// is ending gets nullopt too, since every box then answers as cancelled.
std::optional<std::string> AskExportName(Host& host, bool may_cancel) {
  for (;;) {
    std::optional<std::string> name = host.InputBox(kVerifyPrompt, kVerifyTitle, "");
    if (!name && (may_cancel || host.Stopping())) return std::nullopt;
    if (name && !name->empty()) return name;
  }
}

}  // namespace

void CapEngine::RunVerification(RecordContext& ctx, Host& host, Env& env) {
  const std::string caption = "CAP検定モード";
  VerificationResult result;
  try {
    result = RecomputeAllSelections(*ctx.db, [&](long done, long total) { host.ShowProgress(caption, done, total); });
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
  if (!path) {  // the program is ending; the rebuilt table stays
    ctx.ClearKeys();
    return;
  }
  std::string error;
  auto write = [&] {
    error = OutputFileProblem(ctx.app_dir, *path);  // the program's own files stay as they are
    return error.empty() && WriteVerificationExport(result, env, *path, &error);
  };
  while (!write()) {
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

void CapEngine::GatherEvidence(int catalogue_index, const Answers& answers) {
  zelka::GatherEvidence(catalogue_index, answers, evidence_);
}

}  // namespace zelka
