#include "search/record_search_dialog.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "host/controls.h"
#include "host/host.h"
#include "util/japanese_date.h"

namespace zelka {

namespace {

constexpr char kNoCriteria[] = "検索条件が入力されていません";
constexpr char kSearchFailed[] = "データを検索できませんでした。";
constexpr char kDeleteFailed[] = "データを削除できませんでした。何も削除されていません。";
constexpr char kGrid[] = "DBG";

// Escapes the LIKE wildcards so that the pattern matches the text literally.
std::string LikeLiteral(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '%' || c == '_') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

void SearchCriteria::Add(std::string term, Value param) {
  terms_.push_back(std::move(term));
  params_.push_back(std::move(param));
}

void SearchCriteria::AddRecordNumber(std::string_view column, std::string_view text) {
  Add(std::string(column) + " = ?", LeadingNumber(text));
}

void SearchCriteria::AddNameContains(std::string_view column, std::string_view text) {
  Add(std::string(column) + " LIKE ? ESCAPE '\\'", "%" + LikeLiteral(text) + "%");
}

std::string SearchCriteria::Where() const {
  std::string where;
  for (const auto& term : terms_) {
    if (!where.empty()) where += " OR ";
    where += term;
  }
  return where;
}

Value LeadingNumber(std::string_view typed) {
  const std::string text = NarrowWidth(typed);
  auto digits_from = [&](size_t i) {
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    return i;
  };
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return int64_t{0};
  size_t i = start;
  if (text[i] == '+' || text[i] == '-') ++i;
  const size_t whole_end = digits_from(i);
  size_t end = whole_end;
  if (end < text.size() && text[end] == '.') end = digits_from(end + 1);
  const std::string number = text.substr(start, end - start);
  if (number.find_first_of("0123456789") == std::string::npos) return int64_t{0};
  const double value = std::strtod(number.c_str(), nullptr);
  // A whole number that fits is compared as one; anything else (a fraction, a
  // number too long for a record number) as the number it is, matching nothing.
  if (whole_end > i && value == std::floor(value) && std::fabs(value) < 9e15)
    return static_cast<int64_t>(value);
  return value;
}

std::string ShortDateText(const Value& value) {
  if (const auto* text = std::get_if<std::string>(&value))
    if (auto date = Date::FromIso(*text)) return date->Slashed();
  return ValueText(value);
}

int64_t RecordNumberOf(const Value& value) {
  if (const auto* n = std::get_if<int64_t>(&value)) return *n;
  if (const auto* d = std::get_if<double>(&value)) return static_cast<int64_t>(*d);
  if (const auto* text = std::get_if<std::string>(&value)) return std::atoll(text->c_str());
  return 0;
}

Date DateOf(const Value& value) {
  if (const auto* text = std::get_if<std::string>(&value))
    if (auto date = Date::FromIso(*text)) return date->DateOnly();
  return Date{};
}

RecordSearchDialog::RecordSearchDialog(RecordContext& ctx, std::vector<std::string> columns)
    : ctx_(ctx), columns_(std::move(columns)) {
  caption = "登録データの選択";
}

void RecordSearchDialog::AddControls(const std::vector<Control>& own_criteria,
                                     const std::vector<Control>& own_buttons) {
  controls.push_back(TextBox("txtSeiriNo", "整理番号"));
  controls.push_back(Label("lbOr1", "or"));
  controls.push_back(TextBox("txtTaisyo", "対象者氏名(フリガナ)"));
  controls.insert(controls.end(), own_criteria.begin(), own_criteria.end());
  controls.push_back(Button("cmdFind", "データ検索"));
  controls.push_back(Button("cmdChoose", "選択"));
  controls.push_back(Button("cmdDel", "削除"));
  controls.insert(controls.end(), own_buttons.begin(), own_buttons.end());
  Control grid = MakeControl("grid", kGrid);
  grid.columns = columns_;
  controls.push_back(std::move(grid));
}

std::string RecordSearchDialog::Text(const std::string& id) const {
  const Control* c = Find(id);
  return c ? c->value : "";
}

void RecordSearchDialog::OnEvent(const DialogEvent& event, Host& host) {
  using Kind = DialogEvent::Kind;
  switch (event.kind) {
    case Kind::kClose:
      // Whatever a declined deletion left in the keys is no choice.
      if (!chosen_) ctx_.ClearKeys();
      closed = true;
      return;
    case Kind::kDoubleClick:
      if (event.control == kGrid) Choose(event.row >= 0 ? event.row : Highlighted());
      return;
    case Kind::kClick:
      if (event.control == "cmdFind") return Search(host);
      if (event.control == "cmdChoose") return Choose(Highlighted());
      if (event.control == "cmdDel") return Delete(host);
      break;
    case Kind::kKey:
      break;
  }
  OnOtherEvent(event, host);
}

void RecordSearchDialog::Search(Host& host) {
  SearchCriteria criteria;
  if (!CollectCriteria(criteria, host)) return;
  if (criteria.empty()) {
    host.ShowMessage(kNoCriteria, Buttons::kOk, Icon::kCritical);
    return;
  }
  last_search_.emplace(SelectSql(criteria.Where()), criteria.params());
  Refresh(host);
}

// Runs the last search again and shows its rows, the first one highlighted.
void RecordSearchDialog::Refresh(Host& host) {
  if (!last_search_) return;
  std::vector<std::vector<Value>> result;
  try {
    result = ctx_.db->Query(last_search_->first, last_search_->second);
  } catch (const StoreError& e) {
    host.ShowMessage(std::string(kSearchFailed) + "\r\n" + e.what(), Buttons::kOk,
                     Icon::kCritical);
    return;
  }
  rows_.clear();
  Control* grid = Find(kGrid);
  grid->rows.clear();
  for (const auto& values : result) {
    rows_.push_back(MakeRow(values));
    grid->rows.push_back(rows_.back().cells);
  }
  grid->selected = rows_.empty() ? -1 : 0;
}

int RecordSearchDialog::Highlighted() const {
  if (rows_.empty()) return -1;
  int row = Find(kGrid)->selected;
  return row >= 0 && row < static_cast<int>(rows_.size()) ? row : 0;
}

void RecordSearchDialog::Choose(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  TakeKeys(rows_[row]);
  chosen_ = true;
  closed = true;
}

void RecordSearchDialog::Delete(Host& host) {
  int index = Highlighted();
  if (index < 0) return;
  const FoundRow row = rows_[index];
  TakeKeys(row);
  if (host.ShowMessage(DeleteQuestion(row), Buttons::kYesNo, Icon::kExclamation) != Answer::kYes)
    return;
  try {
    DeleteRow(row);
  } catch (const StoreError& e) {
    host.ShowMessage(std::string(kDeleteFailed) + "\r\n" + e.what(), Buttons::kOk,
                     Icon::kCritical);
    return;
  }
  Refresh(host);
  ctx_.ClearKeys();
}

}  // namespace zelka
