#include "output/worksheet.h"

#include "cap/answer_reader.h"
#include "cap/cap_catalogue.h"
#include "cap/cap_store.h"
#include "output/rtf_text.h"
#include "util/cp932.h"
#include "util/piece.h"
#include "util/utf8.h"

namespace zelka {

void HostReporter::Information(const std::string& text) {
  host_.ShowMessage(text, Buttons::kOk, Icon::kInformation);
}

void HostReporter::Critical(const std::string& text, const std::string& title) {
  host_.ShowMessage(text, Buttons::kOk, Icon::kCritical, title);
}

bool HostReporter::Retry(const std::string& failure) {
  return host_.ShowMessage(failure, Buttons::kOkCancel, Icon::kCritical, kRetryTitle) == Answer::kOk;
}

std::string AskSaveFileName(Host& host, const std::string& filter, const std::string& title) {
  SaveDialogSpec spec;
  spec.title = title;
  spec.filter = filter;
  spec.max_file_size = 32717;
  spec.flags = 0x280006;
  spec.file_name = "";
  return host.ShowSaveDialog(spec);
}

namespace {

class WorksheetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The lines of a template file (CR LF or LF ends; a last line without an end
// counts). Our templates are UTF-8; one carried over in CP932 is converted.
std::vector<std::string> ReadTemplate(Env& env, const std::string& app_dir, const std::string& name) {
  std::string path = app_dir + "/" + name, bytes, error;
  if (!env.ReadFile(path, &bytes, &error)) throw WorksheetError(path + " を読めません: " + error);
  if (!IsValidUtf8(bytes)) {
    try {
      bytes = Cp932ToUtf8(bytes);
    } catch (const Cp932Error& e) {
      throw WorksheetError(path + " は UTF-8 でも CP932 でもない文字を含むため、読めません（" + e.what() + "）");
    }
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

void AppendLine(std::string& document, const std::string& rtf_line) {
  document += RtfAsciiOnly(rtf_line);
  document += "\r\n";
}

std::string WorksheetClientName(const Answers& answers) {
  const std::string about = "整理番号 " + std::to_string(answers.key().record_number) + " の";
  try {
    if (const std::optional<std::string>& name = answers.ClientName()) return *name;
  } catch (const CapError& missing) {
    throw WorksheetError(about + " " + missing.what());
  }
  throw WorksheetError(about + "利用者名(AA-1)がありません");
}

bool AnySlotFilled(const std::vector<CapSlot>& slots) {
  for (const CapSlot& slot : slots)
    if (!slot.number.empty()) return true;
  return false;
}

// Steps that may be retried: the CAP選定 row and the opening template.
struct Prepared {
  std::vector<CapSlot> slots;
  std::vector<std::string> begin;
};

Prepared Prepare(WorksheetContext& context, CapStore& store, const AssessmentKey& key) {
  Prepared prepared;
  std::optional<std::vector<CapSlot>> slots = store.ReadSlots(key);
  if (!slots) throw WorksheetError(DescribeAssessment(key) + " の CAP選定 の行がありません");
  prepared.slots = std::move(*slots);
  if (AnySlotFilled(prepared.slots)) prepared.begin = ReadTemplate(context.env, context.app_dir, kBeginTemplate);
  return prepared;
}

}  // namespace

std::string WriteRTF(const std::string& fragment, const std::string& cap_number, const std::string& cap_name,
                     const TriggerCol& evidence) {
  std::string triggers;
  bool first_group = true;
  for (TriggerCls& group : evidence) {
    if (!first_group) triggers += "\\par\\par ";
    first_group = false;
    triggers += RtfEscape(group.trigger_name) + "\\par ";
    bool first_item = true;
    for (const TrgFlagCls& item : *group.GetTrgFlagCol()) {
      if (!first_item) triggers += "\\par ";
      first_item = false;
      triggers += " " + RtfEscape(item.key) + "=" + RtfEscape(item.value);
    }
  }
  std::string block = StrRep(fragment, "∈CAP名∋", RtfEscape(cap_number + "." + cap_name));
  return StrRep(block, "∈トリガー名∋", triggers);
}

WorksheetOutcome WriteWorksheet(WorksheetContext& context, const AssessmentKey& key, const std::string& path,
                                WorksheetReporter& reporter) {
  CapStore store(context.db);
  std::string document;
  try {
    const AnswerSheet answers = ReadAnswers(context.db, key, true);
    const std::string client = RtfEscape(WorksheetClientName(answers[0]));

    Prepared prepared;
    for (;;) {
      try {
        prepared = Prepare(context, store, key);
        break;
      } catch (const std::exception& failure) {
        if (!reporter.Retry(failure.what())) return WorksheetOutcome::kAbandoned;
      }
    }
    if (!AnySlotFilled(prepared.slots)) {
      reporter.Information(kNoCapMessage);
      return WorksheetOutcome::kNoCaps;
    }
    for (const std::string& line : prepared.begin) AppendLine(document, StrRep(line, "∈利用者名∋", client));

    const std::string fragment = context.settings.GetPrivateAppBuf("RTF", "BEGIN_ITEM");
    if (fragment.empty())
      throw WorksheetError("設定ファイル " + context.app_dir + "/" + kSettingsFileName +
                           " に [RTF] の BEGIN_ITEM がないため、CAP の欄を書けません");
    const std::string separator = context.settings.GetPrivateAppBuf("RTF", "APPEND_LINE");
    bool first_block = true;
    for (const CapSlot& slot : prepared.slots) {
      if (slot.number.empty()) continue;
      int index = FindCap(slot.number);
      if (index < 0) {
        reporter.Critical(kUnknownCapMessage, kUnknownCapTitle);
        continue;
      }
      try {
        context.engine.GatherEvidence(index, answers[0]);
      } catch (const std::exception& failure) {
        throw WorksheetError("CAP " + slot.number + " の根拠を集められません: " + failure.what());
      }
      if (!first_block) AppendLine(document, separator);
      AppendLine(document, WriteRTF(fragment, slot.number, slot.name, context.engine.evidence()));
      first_block = false;
    }
    for (const std::string& line : ReadTemplate(context.env, context.app_dir, kBottomTemplate))
      AppendLine(document, line);
  } catch (const std::exception& failure) {
    reporter.Critical(std::string("CAP検討用紙を作成できませんでした。\n") + failure.what());
    return WorksheetOutcome::kFailed;
  }

  // The whole document is ASCII; the conversion only confirms it is CP932.
  std::string bytes = Utf8ToCp932(document, [](char32_t c) { return RtfUnicodeEscape(c); });
  if (std::string refused = OutputFileProblem(context.app_dir, path); !refused.empty()) {
    reporter.Critical(refused);
    return WorksheetOutcome::kFailed;
  }
  std::string error;
  while (!context.env.WriteFile(path, bytes, &error)) {
    if (!reporter.Retry(path + " に書き込めません: " + error)) return WorksheetOutcome::kAbandoned;
  }
  reporter.Information(kWorksheetDoneMessage);
  return WorksheetOutcome::kWritten;
}

WorksheetOutcome CreateKento(WorksheetContext& context, Host& host, int64_t record_number,
                             const Date& reference_date) {
  std::string path = AskSaveFileName(host, kWorksheetFilter, kWorksheetDialogTitle);
  if (path.empty()) return WorksheetOutcome::kAbandoned;
  HostReporter reporter(host);
  return WriteWorksheet(context, AssessmentKey{record_number, reference_date.DateOnly()}, path, reporter);
}

}  // namespace zelka
