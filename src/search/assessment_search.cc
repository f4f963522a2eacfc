#include "search/assessment_search.h"

#include <algorithm>
#include <cctype>

#include "host/controls.h"
#include "search/date_dialogs.h"
#include "search/record_search_dialog.h"

namespace zelka {

namespace {

constexpr char kBadDate[] = "アセスメント基準日の指定がおかしいです";
constexpr char kVerifyButton[] = "cmdKentei";

std::string Upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

// A chord matches when it holds the same keys, in any order and case.
bool IsChord(std::string_view pressed, std::string_view wanted) {
  auto keys = [](std::string_view chord) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= chord.size()) {
      size_t plus = chord.find('+', start);
      if (plus == std::string_view::npos) plus = chord.size();
      parts.push_back(Upper(chord.substr(start, plus - start)));
      start = plus + 1;
    }
    std::sort(parts.begin(), parts.end());
    return parts;
  };
  return keys(pressed) == keys(wanted);
}

class AssessmentSearchDialog : public RecordSearchDialog {
 public:
  AssessmentSearchDialog(RecordContext& ctx, Env& env, const std::function<void()>& verification_run)
      : RecordSearchDialog(ctx, {"整理番号", "基準日", "対象者氏名", "生年月日"}),
        env_(env),
        verification_run_(verification_run) {
    Control verify = Button(kVerifyButton, "CAP検定モード");
    verify.visible = false;
    AddControls({Label("lbOr2", "or"), TextBox("txtAssDate", "アセスメント基準日"),
                 Button("cmdDTPICK", "...")},
                {verify});
  }

 protected:
  bool CollectCriteria(SearchCriteria& criteria, Host& host) override {
    const std::string number = Text("txtSeiriNo");
    const std::string name = Text("txtTaisyo");
    const std::string date_text = Text("txtAssDate");
    std::optional<Date> date;
    if (!date_text.empty()) {
      date = ParseReferenceDate(date_text);
      if (!date) {
        host.ShowMessage(kBadDate, Buttons::kOk, Icon::kCritical);
        return false;
      }
    }
    if (!number.empty()) criteria.AddRecordNumber("[AA].[整理番号]", number);
    if (!name.empty()) criteria.AddNameContains("[AA].[AA-1]", name);
    // date() also finds a reference date stored with a time of day.
    if (date) criteria.Add("date([A].[基準日]) = ?", date->IsoDate());
    return true;
  }

  std::string SelectSql(const std::string& where) const override {
    return "SELECT [AA].[整理番号], [A].[基準日], [AA].[AA-1], [AA].[AA-3-1] FROM [AA] INNER JOIN "
           "[A] ON [AA].[整理番号] = [A].[整理番号] WHERE " +
           where + " ORDER BY [AA].[整理番号], [A].[基準日]";
  }

  FoundRow MakeRow(const std::vector<Value>& v) const override {
    FoundRow row;
    row.record_number = RecordNumberOf(v[0]);
    row.reference_date = DateOf(v[1]);
    row.name = ValueText(v[2]);
    row.cells = {ValueText(v[0]), ShortDateText(v[1]), row.name, ShortDateText(v[3])};
    return row;
  }

  std::string DeleteQuestion(const FoundRow& row) const override {
    return "整理番号[" + std::to_string(row.record_number) + "] 対象者名[" + row.name +
           "] 基準日[" + row.cells[1] + "]を\r\n削除しますか？";
  }

  void DeleteRow(const FoundRow& row) override {
    AssessmentDel(*ctx_.db, row.record_number, row.reference_date);
  }

  void TakeKeys(const FoundRow& row) override {
    ctx_.record_number = row.record_number;
    ctx_.reference_date = row.reference_date;
  }

  void OnOtherEvent(const DialogEvent& event, Host& host) override {
    if (event.kind == DialogEvent::Kind::kKey && IsChord(event.key, kVerificationChord))
      return RevealVerifyButton(host);
    if (event.kind != DialogEvent::Kind::kClick) return;
    if (event.control == "cmdDTPICK") {
      if (auto text = PickReferenceDateText(ctx_, host, env_)) Find("txtAssDate")->value = *text;
    } else if (event.control == kVerifyButton && Find(kVerifyButton)->visible &&
               verification_run_) {
      verification_run_();
    }
  }

 private:
  // Flashes the hidden button ever faster, then leaves it shown.
  void RevealVerifyButton(Host& host) {
    Control* button = Find(kVerifyButton);
    auto show = [&](bool visible) {
      button->visible = visible;
      host.RefreshDialog(*this);
    };
    for (int pause = 1000; pause >= 0; pause -= 50) {
      show(false);
      host.Pause(pause);
      show(true);
      host.Pause(10);
      show(false);
    }
    show(true);
  }

  Env& env_;
  const std::function<void()>& verification_run_;
};

}  // namespace

void ShowAssessmentSearch(RecordContext& ctx, Host& host, Env& env,
                          const std::function<void()>& verification_run) {
  AssessmentSearchDialog dialog(ctx, env, verification_run);
  host.RunDialog(dialog);
}

}  // namespace zelka
