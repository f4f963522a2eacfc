// The CAP review worksheet (CAP検討用紙): an RTF document listing every CAP
// triggered for one assessment and, under each, the answers that triggered it.
// The look lies wholly in the templates CAP_BEGIN_RTF.DAT and
// CAP_BOTTOM_RTF.DAT and in the fragments BEGIN_ITEM and APPEND_LINE of the
// settings section [RTF]; the writer fills their placeholders. The document is
// built whole in memory and written in one go (CP932, CR LF), so a failure
// never leaves half a file behind.
#pragma once

#include <cstdint>
#include <string>

#include "cap/cap_engine.h"
#include "host/host.h"
#include "store/database.h"
#include "store/program_files.h"
#include "util/date.h"
#include "util/env.h"
#include "util/settings_buffer.h"

namespace zelka {

inline constexpr char kWorksheetFilter[] = "RTFファイル|*.rtf|すべてのファイル|*.*";
inline constexpr char kWorksheetDialogTitle[] = "作成するファイル名を指定してください。";
inline constexpr char kNoCapMessage[] = "CAPされた項目はありませんでしたので、RTFファイルは出力されませんでした。";
inline constexpr char kWorksheetDoneMessage[] = "CAP検討用紙を作成しました。";
inline constexpr char kUnknownCapMessage[] = "対応していないCAPです\n";
inline constexpr char kUnknownCapTitle[] = "内部エラー";
inline constexpr char kRetryTitle[] = "エラーが発生しました";

// How the writer talks to the user: message boxes when interactive, the
// standard streams in batch.
class WorksheetReporter {
 public:
  virtual ~WorksheetReporter() = default;
  virtual void Information(const std::string& text) = 0;
  virtual void Critical(const std::string& text, const std::string& title = "") = 0;
  // A failure while preparing the document (CAP選定 row, opening template,
  // output file): true to try the step again, false to abandon the worksheet.
  virtual bool Retry(const std::string& failure) = 0;
};

// Message boxes; Retry asks with OK / キャンセル under the title "エラーが発生しました".
class HostReporter : public WorksheetReporter {
 public:
  explicit HostReporter(Host& host) : host_(host) {}
  void Information(const std::string& text) override;
  void Critical(const std::string& text, const std::string& title) override;
  bool Retry(const std::string& failure) override;

 private:
  Host& host_;
};

enum class WorksheetOutcome { kWritten, kNoCaps, kAbandoned, kFailed };

struct WorksheetContext {
  Database& db;
  CapEngine& engine;  // its evidence collection is filled CAP by CAP
  const SettingsBuffer& settings;
  Env& env;
  std::string app_dir;  // where the templates are
};

// Shows the save dialog ("" when cancelled).
std::string AskSaveFileName(Host& host, const std::string& filter, const std::string& title);

// Writes the worksheet of an assessment (its CAP選定 row must be current) to
// `path`. Reports through `reporter`; the completion message included.
WorksheetOutcome WriteWorksheet(WorksheetContext& context, const AssessmentKey& key, const std::string& path,
                                WorksheetReporter& reporter);

// The interactive worksheet: asks for the file, then writes it; the user's
// cancel ends it without a message.
WorksheetOutcome CreateKento(WorksheetContext& context, Host& host, int64_t record_number,
                             const Date& reference_date);

// The text of one CAP block: the BEGIN_ITEM fragment with the CAP name
// ("number.name") and the evidence now held in `evidence` filled in.
std::string WriteRTF(const std::string& fragment, const std::string& cap_number, const std::string& cap_name,
                     const TriggerCol& evidence);

}  // namespace zelka
