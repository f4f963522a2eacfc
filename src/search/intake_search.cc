#include "search/intake_search.h"

#include "search/record_search_dialog.h"

namespace zelka {

namespace {

class IntakeSearchDialog : public RecordSearchDialog {
 public:
  explicit IntakeSearchDialog(RecordContext& ctx)
      : RecordSearchDialog(ctx, {"整理番号", "対象者氏名", "受付日時", "生年月日", "対象者の住所",
                                 "対象者のTEL"}) {
    AddControls({}, {});
  }

 protected:
  bool CollectCriteria(SearchCriteria& criteria, Host&) override {
    if (std::string number = Text("txtSeiriNo"); !number.empty())
      criteria.AddRecordNumber("[整理番号]", number);
    if (std::string name = Text("txtTaisyo"); !name.empty())
      criteria.AddNameContains("[1-1]", name);
    return true;
  }

  std::string SelectSql(const std::string& where) const override {
    return "SELECT [整理番号], [1-1], [受付日時], [1-3-1], [1-4-1], [1-4-2] FROM [相談受付表] WHERE " +
           where + " ORDER BY [整理番号]";
  }

  FoundRow MakeRow(const std::vector<Value>& v) const override {
    FoundRow row;
    row.record_number = RecordNumberOf(v[0]);
    row.name = ValueText(v[1]);
    row.cells = {ValueText(v[0]),     row.name,           ShortDateText(v[2]),
                 ShortDateText(v[3]), ValueText(v[4]),    ValueText(v[5])};
    return row;
  }

  std::string DeleteQuestion(const FoundRow& row) const override {
    return "整理番号[" + std::to_string(row.record_number) + "] 対象者名[" + row.name +
           "]のデータを\r\nすべて削除しますか？";
  }

  void DeleteRow(const FoundRow& row) override { DeleteClient(*ctx_.db, row.record_number); }

  void TakeKeys(const FoundRow& row) override { ctx_.record_number = row.record_number; }
};

}  // namespace

void ShowIntakeSearch(RecordContext& ctx, Host& host) {
  IntakeSearchDialog dialog(ctx);
  host.RunDialog(dialog);
}

}  // namespace zelka
