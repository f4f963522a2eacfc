#include "store/binding.h"

#include <span>
#include <variant>

#include "store/entry_menus.h"
#include "store/validation.h"
#include "util/japanese_date.h"

namespace zelka {

namespace {

constexpr const char kCommitFailed[] = "登録時にエラーが発生しました";
constexpr const char kDuplicateTitle[] = "整理番号が重複しています";
constexpr const char kNumberFixed[] = "整理番号は変更できません";
constexpr const char kNumberMissing[] = "整理番号が入力されていません。";
constexpr const char kLeaveUnnumbered[] =
    "整理番号が入力されていません。\r\nデータを登録しないでウインドウを閉じます。\r\nよろしいですか？";

bool IsNumberType(int type) {
  return type == kTypeByte || type == kTypeInteger || type == kTypeLong || type == kTypeSingle;
}

// Whether a display format shows the time of day (hours or minutes), so that
// the column keeps dates with their time.
bool FormatShowsTime(std::string_view format) {
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c == '\\') {
      ++i;  // an escaped character is copied, not a field
    } else if (c == 'h' || c == 'H' || c == 'n' || c == 'N') {
      return true;
    }
  }
  return false;
}

// How a date column stores a date: with its time when the column shows times
// (or, without a format, when a time was typed), else the day alone.
std::string StoredDateText(const FieldInfo& field, const Date& date) {
  bool with_time = field.format.empty() ? date.HasTime() : FormatShowsTime(field.format);
  return with_time ? date.IsoDateTime() : date.IsoDate();
}

Value TextValue(const std::string& text) { return text.empty() ? Value{} : Value{text}; }

// The value a page text becomes in a column, after its check. Sets `ok` to
// the check's result; nullopt when nothing is to be written.
std::optional<Value> ConvertItem(Host& host, const FieldInfo& field, const std::string& column,
                                 const std::string& text, ClearList* clears, bool& ok) {
  ok = true;
  if (IsNumberType(field.type)) {
    ok = CheckNumber(text, host, column, field.type, clears);
    return ok ? ReadNumber(text, field.type) : std::nullopt;
  }
  switch (field.type) {
    case kTypeDate:
      if (text.empty()) return Value{};
      ok = CheckDate(text, host, column, clears);
      return ok ? std::optional<Value>(StoredDateText(field, *ReadDate(text))) : std::nullopt;
    case kTypeText:
      ok = CheckLength(text, host, column, field.size, clears);
      return TextValue(text);
    case kTypeMemo:
      return TextValue(text);
    default:
      // Types the pages do not edit keep what they hold.
      return std::nullopt;
  }
}

bool SameNumber(const Value& value, int64_t number) {
  if (const auto* n = std::get_if<int64_t>(&value)) return *n == number;
  return ValueText(value) == std::to_string(number);
}

int64_t AsNumber(const Value& value) {
  if (const auto* n = std::get_if<int64_t>(&value)) return *n;
  if (const auto* d = std::get_if<double>(&value)) return static_cast<int64_t>(*d);
  return 0;
}

// The record number rule. A new intake not yet stored takes its number from
// the page (and may still correct it, say after a duplicate); once the row is
// stored, its number can neither change nor be emptied. False when refused;
// `write` tells whether the value goes into the row.
bool AcceptRecordNumber(RecordContext& ctx, Host& host, const Value& value, bool& write) {
  write = true;
  if (ctx.new_intake && ctx.current->mode() == Recordset::Mode::kAdd) {
    ctx.record_number = IsNull(value) ? 0 : AsNumber(value);
    write = !IsNull(value);
    return true;
  }
  if (!IsNull(value) && SameNumber(value, ctx.record_number)) return true;
  host.ShowMessage(kNumberFixed, Buttons::kOk, Icon::kCritical, "");
  return false;
}

// How an element carries its item: in its value, or ticked for "1". For any
// other element type the user is told and the element is left out.
enum class Carrier { kValue, kCheck, kNone };

Carrier CarrierOf(Host& host, const std::string& type) {
  if (type == "text" || type == "select-one" || type == "textarea" || type == "hidden")
    return Carrier::kValue;
  if (type == "checkbox") return Carrier::kCheck;
  host.ShowMessage("知らないType:" + type, Buttons::kOk, Icon::kNone, "");
  return Carrier::kNone;
}

// Writes every bound element of the page into the current row; false at the
// first element refused.
bool StoreElements(RecordContext& ctx, Host& host, ClearList& clears) {
  for (const PageElement& element : host.ReadForm(View::kEntry)) {
    if (!IsBoundElement(element.name)) continue;
    std::string text;
    switch (CarrierOf(host, element.type)) {
      case Carrier::kValue:
        text = element.value;
        break;
      case Carrier::kCheck:
        text = element.checked ? "1" : "0";
        break;
      case Carrier::kNone:
        continue;  // stores nothing rather than blank its column
    }
    if (!PutItem(ctx, host, ColumnOfElement(element.name), text, &clears)) return false;
  }
  return true;
}

// As StoreElements; the elements that passed their checks are cleared
// together at the end, in one write.
bool StorePage(RecordContext& ctx, Host& host) {
  ClearList clears;
  bool stored = StoreElements(ctx, host, clears);
  if (!clears.empty()) host.WriteForm(View::kEntry, clears);
  return stored;
}

void CloseEntry(RecordContext& ctx, const std::function<void()>& close_window) {
  ctx.closing = true;
  close_window();
  CloseCurrentRows(ctx);
  ctx.next_page.clear();
}

void RowMissing(Host& host, const std::string& page) {
  host.ShowMessage("ページ「" + page + "」のデータが見つかりません。", Buttons::kOk, Icon::kCritical,
                   "");
}

// Positions the current recordset on the row that `page` shows, keeps it in
// edit mode and shows the page.
bool MoveTo(RecordContext& ctx, Host& host, const std::string& page) {
  if (ctx.reference_date.IsZero()) {
    // All intake pages show the one 相談受付表 row.
    if (!ctx.current->FindFirst(ctx.record_number)) {
      RowMissing(host, page);
      return false;
    }
  } else {
    std::string table = page.substr(0, page.find('.'));
    std::optional<Date> date;
    if (!SameName(table, "AA")) date = ctx.reference_date;
    Recordset rows = ctx.db->OpenKey(table, ctx.record_number, date);
    if (rows.Eof()) {
      RowMissing(host, page);
      ctx.current->Edit();  // stay on the stored page, still editable
      return false;
    }
    ctx.current->Close();
    ctx.current = std::move(rows);
  }
  ctx.current->Edit();
  if (NavigateEntryPage(ctx, host, page)) LoadPage(ctx, host);
  return true;
}

}  // namespace

ElementUpdate ValueUpdate(const std::string& element, const std::string& text) {
  ElementUpdate update;
  update.name = element;
  update.value = text;
  return update;
}

std::string GetFormatProperty(const FieldInfo& field) { return field.format; }

std::string GetItemText(const RecordContext& ctx, const std::string& column) {
  Value value = ctx.current->Get(column);
  if (IsNull(value)) return "";
  const FieldInfo* field = ctx.current->Field(column);
  if (field && field->type == kTypeDate) {
    if (auto date = Date::FromIso(ValueText(value))) {
      std::string format = GetFormatProperty(*field);
      if (format.empty()) format = date->HasTime() ? "yyyy/mm/dd hh:nn:ss" : "yyyy/mm/dd";
      return FormatDate(*date, format);
    }
  }
  return ValueText(value);
}

bool PutItem(RecordContext& ctx, Host& host, const std::string& column, const std::string& text,
             ClearList* clears) {
  const FieldInfo* field = ctx.current->Field(column);
  if (!field) {
    host.ShowMessage("ページの項目「" + ElementName(column) + "」を保存する列がありません。",
                     Buttons::kOk, Icon::kCritical, "");
    return false;
  }
  bool ok = true;
  std::optional<Value> value = ConvertItem(host, *field, column, text, clears, ok);
  if (!ok) return false;
  if (!value) return true;
  bool write = true;
  if (column == kRecordNumberColumn && !AcceptRecordNumber(ctx, host, *value, write)) return false;
  if (write) ctx.current->Set(column, std::move(*value));
  return true;
}

void LoadPage(RecordContext& ctx, Host& host) {
  std::vector<ElementUpdate> updates;
  for (const PageElement& element : host.ReadForm(View::kEntry)) {
    if (!IsBoundElement(element.name)) continue;
    std::string column = ColumnOfElement(element.name);
    if (!ctx.current->Field(column)) continue;  // the save names it
    Carrier carrier = CarrierOf(host, element.type);
    if (carrier == Carrier::kNone) continue;
    std::string text = GetItemText(ctx, column);
    ElementUpdate update;
    update.name = element.name;
    if (carrier == Carrier::kCheck) {
      update.checked = text == "1";
    } else {
      update.value = std::move(text);
    }
    updates.push_back(std::move(update));
  }
  host.WriteForm(View::kEntry, updates);
}

bool NavigateEntryPage(RecordContext& ctx, Host& host, const std::string& page) {
  ctx.navigation_permit = true;
  bool shown = host.Navigate(View::kEntry, "FORM/" + page);
  ctx.navigation_permit = false;
  if (!shown) {
    host.ShowMessage("ページ「" + page + "」を表示できません。", Buttons::kOk, Icon::kCritical, "");
  }
  return shown;
}

std::string KnownPage(const RecordContext& ctx, const std::string& page) {
  std::span<const EntryMenuItem> menu(kAssessmentMenu);
  if (ctx.reference_date.IsZero()) menu = kIntakeMenu;
  for (const EntryMenuItem& item : menu)
    if (!item.page.empty() && SameName(item.page, page)) return std::string(item.page);
  return "";
}

void CloseCurrentRows(RecordContext& ctx) {
  try {
    if (ctx.current) ctx.current->Close();
  } catch (const std::exception&) {
    // The window is going away: a failure to release the rows changes nothing.
  }
  ctx.current.reset();
}

void ReportStoreError(Host& host, const std::string& title, const std::exception& error) {
  host.ShowMessage(kCommitFailed, Buttons::kOk, Icon::kCritical, title);
  host.ShowMessage(error.what(), Buttons::kOk, Icon::kExclamation, "DEBUG");
}

bool SaveAndMove(RecordContext& ctx, Host& host, const std::function<void()>& close_window) {
  std::string next;
  if (!ctx.next_page.empty()) {
    next = KnownPage(ctx, ctx.next_page);
    if (next.empty()) {
      host.ShowMessage("ページ「" + ctx.next_page + "」はこの記録のページではありません。",
                       Buttons::kOk, Icon::kCritical, "");
      ctx.next_page.clear();
      return false;
    }
  }
  if (!ctx.current) {  // nothing to store
    if (next.empty()) CloseEntry(ctx, close_window);
    return next.empty();
  }
  if (!StorePage(ctx, host)) return false;

  if (ctx.record_number < 1) {
    if (!next.empty()) {
      host.ShowMessage(kNumberMissing, Buttons::kOk, Icon::kCritical, "");
      return false;
    }
    if (host.ShowMessage(kLeaveUnnumbered, Buttons::kYesNo, Icon::kExclamation, "") != Answer::kYes)
      return false;
    CloseEntry(ctx, close_window);  // the unnumbered row is dropped
    return true;
  }

  try {
    ctx.current->Update();
  } catch (const StoreError& e) {
    ReportStoreError(host, ctx.new_intake ? kDuplicateTitle : "", e);
    return false;
  }

  if (next.empty()) {
    CloseEntry(ctx, close_window);
    return true;
  }
  if (!MoveTo(ctx, host, next)) return false;
  ctx.next_page.clear();
  return true;
}

}  // namespace zelka
