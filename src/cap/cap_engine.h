// The CAP engine's run state and its two runs over the store: the selection run
// for one chosen assessment (CapCreate) and the verification run over every
// assessment with its TAB-separated export. One CapEngine lives for the whole
// program; it holds the one evidence collection the worksheet reads.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "cap/answers.h"
#include "cap/evidence.h"
#include "cap/selection.h"
#include "host/host.h"
#include "store/record_context.h"
#include "util/env.h"

namespace zelka {

// "整理番号 12 基準日 2003/04/01 …: " + the failure's own text.
std::string DescribeFailure(const AssessmentKey& key, const std::exception& failure);

// Computes and stores the CAP選定 row of one assessment as one transaction:
// the old row is replaced only when the new one is complete. Throws CapError
// (naming the assessment) or StoreError, and then the old row is kept.
CapSelection StoreSelection(Database& db, const AssessmentKey& key);

// What the verification run computed, in the stored order of table A: the
// key of each assessment and its triggered catalogue positions as bits.
struct VerificationResult {
  std::vector<AssessmentKey> keys;
  std::vector<uint64_t> caps;
};

// Recomputes the CAP選定 rows of every assessment (every row of table A, in
// stored order) as one transaction, reporting progress as (done, total). On a
// failure nothing has changed and the CapError names the first assessment in
// that order that broke. The rows are added in that order.
VerificationResult RecomputeAllSelections(Database& db, const std::function<void(long done, long total)>& progress);

// The verification export: a header line ("整理番号" and the 33 CAP numbers,
// TAB-separated) and one line per CAP選定 row (整理番号, then "1" or "0" and a
// TAB for each catalogue entry), every line ended by CR LF. UTF-8 text. Made
// from the rows a run has just added, which CAP選定 returns in the order they
// were added; or read back from CAP選定 as it stands.
std::string VerificationExport(const VerificationResult& result);
std::string VerificationExport(Database& db);

// Writes the export of a run in CP932; false with *error when the file cannot be written.
bool WriteVerificationExport(const VerificationResult& result, Env& env, const std::string& path,
                             std::string* error);

inline constexpr char kVerifyDoneMessage[] = "全データをCAP選定テーブルに処理しました";
inline constexpr char kVerifyPrompt[] = "ファイル名を入力してください";
inline constexpr char kVerifyTitle[] = "検定モード:様式.xsl(様式2に合う様に)出力します";
inline constexpr char kVerifyExportedSuffix[] = "に様式.xsl(シート様式2)に似せたテキストTAB区切ファイルを作成完了";

class CapEngine {
 public:
  // The shared evidence collection: the evidence of the CAP whose evidence
  // routine ran last.
  TriggerCol& evidence() { return evidence_; }
  // The client name (AA-1) of the last assessment the selection run handled.
  const std::string& client_name() const { return client_name_; }

  // The interactive selection run: clears the current keys, lets the user
  // choose an assessment, and stores its CAP選定 row. Returns true when the row
  // was stored (the current keys then name the assessment); false when nothing
  // was chosen, or when the run failed, which is reported and leaves the
  // previous row as it was and the current keys cleared.
  bool CapCreate(RecordContext& ctx, Host& host,
                 const std::function<void(RecordContext&)>& choose_assessment);

  // The verification run behind the hidden button of the assessment search:
  // recomputes every selection, then asks for a file name and writes the export.
  void RunVerification(RecordContext& ctx, Host& host, Env& env);

  // Runs the evidence routine of a catalogue position for an assessment.
  void GatherEvidence(int catalogue_index, const Answers& answers);

 private:
  TriggerCol evidence_;
  std::string client_name_;
};

}  // namespace zelka
