#include "cap/cap_engine.h"

#include <algorithm>
#include <bit>
#include <tuple>

#include "cap/cap_catalogue.h"
#include "cap/cap_rules.h"
#include "cap/cap_store.h"
#include "cap/key_ordered_rows.h"
#include "store/program_files.h"
#include "util/cp932.h"

namespace zelka {

std::string DescribeFailure(const AssessmentKey& key, const std::exception& failure) {
  return DescribeAssessment(key) + ": " + failure.what();
}

namespace {

// Computes one selection; any failure becomes a CapError naming the assessment.
CapSelection ComputeSelection(RowSource& source, const AssessmentKey& key) {
  try {
    AssessmentRows rows(source, key);
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

namespace {

// What the verification run keeps of one assessment until its row is written:
// the triggered catalogue positions as bits, and the client's name.
struct CompactSelection {
  uint64_t caps = 0;
  std::string client_name;
};

CompactSelection Compact(CapSelection&& selection) {
  return CompactSelection{selection.triggered, std::move(selection.client_name)};
}

// The selection again, its slots in catalogue order as SelectCaps fills them.
CapSelection Expand(const AssessmentKey& key, CompactSelection&& compact) {
  CapSelection selection{key, std::move(compact.client_name), {}, compact.caps};
  selection.slots.reserve(static_cast<size_t>(std::popcount(compact.caps)));
  for (int i = 0; i < kCapCount; ++i)
    if (compact.caps >> i & 1) WriteCap(selection, kCapCatalogue[i].number, kCapCatalogue[i].name);
  return selection;
}

// The positions of the keys in the order the streaming queries read rows, by
// 整理番号 and 基準日 (for four-digit years the order of the date text; any
// other order only costs speed: KeyOrderedRows looks up a key behind it).
std::vector<size_t> KeyOrder(const std::vector<AssessmentKey>& keys) {
  std::vector<size_t> order(keys.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return std::tie(keys[a].record_number, keys[a].reference_date) <
           std::tie(keys[b].record_number, keys[b].reference_date);
  });
  return order;
}


}  // namespace

// The selections are computed in key order, so that every section table is
// read by one streaming query, and written in the stored order of table A. A
// failure is reported for the first assessment in that stored order, as if
// they had been handled one by one: assessments after a known failure are not
// computed, and rows before it are written before it is raised.
long RecomputeAllSelections(Database& db, const std::function<void(long, long)>& progress) {
  long total = 0;
  SmallPageCache small_cache(db);
  db.InTransaction([&] {
    CapStore store(db);
    std::vector<AssessmentKey> keys = store.Assessments();
    total = static_cast<long>(keys.size());
    std::vector<CompactSelection> selections(keys.size());
    size_t first_failure = keys.size();
    std::string failure_text;
    KeyOrderedRows rows(store);
    const long step = std::max(1L, total / 100);
    long done = 0;
    for (size_t position : KeyOrder(keys)) {
      if (done++ % step == 0) progress(done - 1, total);
      if (position > first_failure) continue;
      try {
        selections[position] = Compact(ComputeSelection(rows, keys[position]));
      } catch (const CapError& failure) {
        first_failure = position;
        failure_text = failure.what();
      }
    }
    store.DeleteAllSelections();
    for (size_t position = 0; position < keys.size(); ++position) {
      if (position == first_failure) throw CapError(failure_text);
      SaveSelection(store, Expand(keys[position], std::move(selections[position])));
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
  SmallPageCache small_cache(db);
  CapStore store(db);
  std::vector<std::string> held;
  store.ForEachSelection([&](int64_t record_number, const std::vector<std::string>& numbers) {
    text += std::to_string(record_number) + "\t";
    held.clear();  // the filled slots; an empty one matches no catalogue entry
    for (const std::string& number : numbers)
      if (!number.empty()) held.push_back(UpperAscii(number));
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
  auto write = [&] {
    error = OutputFileProblem(ctx.app_dir, *path);  // the program's own files stay as they are
    return error.empty() && WriteVerificationExport(*ctx.db, env, *path, &error);
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

void CapEngine::GatherEvidence(int catalogue_index, AssessmentRows& rows) {
  zelka::GatherEvidence(catalogue_index, rows, evidence_);
}

}  // namespace zelka
