#include "shell/entry_window.h"

#include <array>
#include <utility>

#include "store/entry_menus.h"
#include "store/binding.h"
#include "util/japanese_date.h"
#include "util/piece.h"

namespace zelka {

namespace {

constexpr const char kClientTable[] = "AA";
constexpr const char kFirstSectionTable[] = "A";
constexpr char kFirstSection = 'A', kLastSection = 'S';

constexpr std::string_view kIntakeFirstPage = kIntakeMenu[0].page;        // UKETUKE1.HTM
constexpr std::string_view kClientPage = kAssessmentMenu[0].page;         // AA.HTM
constexpr std::string_view kFirstSectionPage = kAssessmentMenu[1].page;   // A.HTM

// What a new assessment copies from the intake row into the client's AA row.
constexpr std::array<std::pair<const char*, const char*>, 5> kCopiedIntakeItems{{
    {"AA-1", "1-1"},
    {"AA-2", "1-2"},
    {"AA-3-1", "1-3-1"},
    {"AA-3-2", "1-3-2"},
    {"AA-4", "受付日時"},
}};

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Age in completed years on `day` of someone born on `birth`; the year
// counts once the birthday is reached.
int CompletedYears(const Date& birth, const Date& day) {
  int years = day.year - birth.year;
  if (std::pair(day.month, day.day) < std::pair(birth.month, birth.day)) --years;
  return years;
}

const EntryMenuItem* FindMenuItem(std::string_view id) {
  for (const auto& item : kIntakeMenu)
    if (item.id == id) return &item;
  for (const auto& item : kAssessmentMenu)
    if (item.id == id) return &item;
  return nullptr;
}

}  // namespace

EntryWindow::EntryWindow(RecordContext& ctx, Host& host, Env& env, EntryDialogs dialogs)
    : ctx_(ctx), host_(host), env_(env), dialogs_(std::move(dialogs)) {}

void EntryWindow::UketukeNew() {
  if (!CloseIfOpen()) return;
  ctx_.table_name = kIntakeTable;
  ctx_.new_intake = true;
  ctx_.ClearKeys();
  Recordset rows = ctx_.db->OpenTable(kIntakeTable);
  rows.AddNew();
  ctx_.current = std::move(rows);
  ShowFirstPage(kIntakeFirstPage, EntryMenu::kIntake, false);
}

void EntryWindow::UketukeEdit() {
  if (!CloseIfOpen()) return;
  ctx_.table_name = kIntakeTable;
  ctx_.new_intake = false;
  ctx_.ClearKeys();
  dialogs_.intake_search(ctx_, host_);
  if (ctx_.record_number < 1) return;
  if (!OpenRecord(ctx_.db->OpenKey(kIntakeTable, ctx_.record_number))) return;
  ShowFirstPage(kIntakeFirstPage, EntryMenu::kIntake, true);
}

void EntryWindow::AssessmentNew() {
  if (!CloseIfOpen()) return;
  ctx_.table_name = kClientTable;
  ctx_.new_intake = false;
  ctx_.ClearKeys();
  dialogs_.intake_search(ctx_, host_);
  if (ctx_.record_number < 1) return;
  ctx_.reference_date = Date{};
  dialogs_.reference_date(ctx_, host_, env_);
  if (ctx_.reference_date.IsZero()) return;

  const int64_t number = ctx_.record_number;
  const Date date = ctx_.reference_date.DateOnly();
  const bool client_row_existed = !ctx_.db->OpenKey(kClientTable, number).Eof();
  if (client_row_existed && !ctx_.db->OpenKey(kFirstSectionTable, number, date).Eof()) {
    host_.ShowMessage("既に、整理番号[" + std::to_string(number) + "]、アセスメント基準日[" +
                          FormatDate(date, "ggge年mm月dd日") + "]でデータが登録されています",
                      Buttons::kOk, Icon::kCritical, "");
    return;
  }
  // All rows of the assessment or none: a failure part way leaves nothing behind.
  try {
    ctx_.db->InTransaction([&] { CreateAssessmentRows(number, date, !client_row_existed); });
  } catch (const StoreError& e) {
    ReportStoreError(host_, "", e);
    return;
  }
  if (client_row_existed) {
    if (OpenRecord(ctx_.db->OpenKey(kFirstSectionTable, number, date)))
      ShowFirstPage(kFirstSectionPage, EntryMenu::kAssessment, true);
  } else if (OpenRecord(ctx_.db->OpenKey(kClientTable, number))) {
    ShowFirstPage(kClientPage, EntryMenu::kAssessment, true);
  }
}

void EntryWindow::CreateAssessmentRows(int64_t number, const Date& date, bool create_client_row) {
  Database& db = *ctx_.db;
  auto add_row = [&](const std::string& table, std::optional<Date> key_date) {
    Recordset rows = db.OpenKey(table, number, key_date);
    rows.AddNew();
    rows.Set(kRecordNumberColumn, number);
    if (key_date) rows.Set(kReferenceDateColumn, key_date->IsoDate());
    rows.Update();
  };
  if (create_client_row) add_row(kClientTable, std::nullopt);
  for (char section = kFirstSection; section <= kLastSection; ++section)
    add_row(std::string(1, section), date);

  Recordset intake = db.OpenKey(kIntakeTable, number);
  if (intake.Eof())
    throw StoreError("整理番号[" + std::to_string(number) + "]の相談受付表がありません");
  Recordset client = db.OpenKey(kClientTable, number);
  client.Edit();
  for (const auto& [to, from] : kCopiedIntakeItems) client.Set(to, intake.Get(from));
  client.Update();

  Recordset first_section = db.OpenKey(kFirstSectionTable, number, date);
  first_section.Edit();
  first_section.Set("A1", date.IsoDate());
  first_section.Update();
}

void EntryWindow::AssessmentEdit() {
  if (!CloseIfOpen()) return;
  ctx_.table_name = kClientTable;
  ctx_.new_intake = false;
  ctx_.ClearKeys();
  dialogs_.assessment_search(ctx_, host_, env_);
  if (ctx_.record_number < 1) return;
  if (OpenRecord(ctx_.db->OpenKey(kFirstSectionTable, ctx_.record_number,
                                  ctx_.reference_date.DateOnly())))
    ShowFirstPage(kFirstSectionPage, EntryMenu::kAssessment, true);
}

bool EntryWindow::OpenRecord(Recordset rows) {
  if (rows.Eof()) {
    host_.ShowMessage("選択されたデータが見つかりません。", Buttons::kOk, Icon::kCritical, "");
    ctx_.ClearKeys();
    return false;
  }
  ctx_.current = std::move(rows);
  return true;
}

void EntryWindow::ShowFirstPage(std::string_view page, EntryMenu menu, bool fill) {
  ctx_.closing = false;
  ctx_.next_page.clear();
  open_ = true;
  host_.ShowWindow(View::kEntry, true);
  host_.ShowWindow(View::kMain, false);
  host_.SetEntryMenu(menu);
  if (NavigateEntryPage(ctx_, host_, std::string(page)) && fill) LoadPage(ctx_, host_);
  if (fill) ctx_.current->Edit();
}

void EntryWindow::OnStatusText(const std::string& text) {
  if (!open_ || text.empty()) return;
  if (text[0] == '!') {
    host_.ClearStatus(View::kEntry);
    PickDate(text.substr(1));
  } else if (text[0] == '#') {
    host_.ClearStatus(View::kEntry);
    Move(Piece2(text.substr(1), 2, "|"));
  }
}

void EntryWindow::PickDate(const std::string& request) {
  const std::string element = Piece2(request, 1, "|");
  std::string format = Piece2(request, 2, "|");
  const std::string mode = Piece2(request, 3, "|");
  const std::string age_element = Piece2(request, 4, "|");

  PickerState& picker = ctx_.picker;
  picker.target_element = element;
  picker.time_mode = UpperAscii(mode) == "TIME";
  picker.accepted = false;
  dialogs_.date_picker(ctx_, host_, env_);
  if (!picker.accepted) return;

  if (format.empty()) format = picker.time_mode ? "yyyy/mm/dd hh:nn" : "yyyy/mm/dd";
  std::vector<ElementUpdate> updates{ValueUpdate(element, FormatDate(picker.picked, format))};
  if (!age_element.empty()) {
    int age = CompletedYears(picker.picked, env_.Today());
    if (age >= 0) updates.push_back(ValueUpdate(age_element, std::to_string(age)));  // never a negative age
  }
  host_.WriteForm(View::kEntry, updates);
}

void EntryWindow::OnMenu(const std::string& id) {
  if (!open_) return;
  const EntryMenuItem* item = FindMenuItem(id);
  if (!item || item->page.empty()) return;
  Move(std::string(item->page));
}

void EntryWindow::Move(const std::string& page) {
  ctx_.next_page = page;
  SaveAndMove(ctx_, host_, [this] { CloseWindow(); });
}

void EntryWindow::OnTitleBarClose() {
  if (!open_) return;
  if (host_.ShowMessage("データを保存しないで終了しますか？", Buttons::kYesNo, Icon::kExclamation,
                        "") != Answer::kYes)
    return;
  ctx_.closing = true;
  CloseCurrentRows(ctx_);  // the page's unsaved values are dropped
  CloseWindow();
}

bool EntryWindow::CloseIfOpen() {
  if (!open_) return true;
  Move("");
  return !open_;
}

void EntryWindow::CloseWindow() {
  open_ = false;
  ctx_.next_page.clear();
  host_.ShowWindow(View::kEntry, false);
  host_.SetEntryMenu(EntryMenu::kNone);
  host_.ShowWindow(View::kMain, true);
}

}  // namespace zelka
