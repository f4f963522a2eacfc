#include "search/date_dialogs.h"

#include <cctype>
#include <cstdio>
#include <exception>

#include "host/controls.h"
#include "host/dialog.h"
#include "util/japanese_date.h"

namespace zelka {

namespace {

constexpr char kBadReferenceDate[] = "基準日の指定の仕方が間違っています";

std::string TwoDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

Control NumberList(std::string id, int count) {
  Control list = MakeControl("select", std::move(id));
  for (int i = 0; i < count; ++i) list.options.push_back(TwoDigits(i));
  list.value = list.options.front();
  return list;
}

// "00" … "59" as the lists hold them; nullopt for anything else.
std::optional<int> ListNumber(const std::string& text, int limit) {
  if (text.size() != 2 || !std::isdigit(static_cast<unsigned char>(text[0])) ||
      !std::isdigit(static_cast<unsigned char>(text[1])))
    return std::nullopt;
  int n = (text[0] - '0') * 10 + (text[1] - '0');
  return n < limit ? std::optional<int>(n) : std::nullopt;
}

// The value of the entry page's element, "" when it cannot be read.
std::string EntryElementValue(Host& host, const std::string& name) {
  if (name.empty()) return "";
  try {
    for (const auto& element : host.ReadForm(View::kEntry))
      if (element.name == name) return element.value;
  } catch (const std::exception&) {
    // No entry page to read from: start from today.
  }
  return "";
}

std::string Replaced(std::string text, char from, char to) {
  for (char& c : text)
    if (c == from) c = to;
  return text;
}

class DatePickerDialog : public Dialog {
 public:
  DatePickerDialog(RecordContext& ctx, Host& host, Env& env) : picker_(ctx.picker) {
    caption = "カレンダー";
    placement = Placement::kPointer;
    controls = {MakeControl("calendar", "Cal"), Label("lbJikan", "時間"), NumberList("cbHour", 24),
                Label("lbHm", "："),            NumberList("cbMinutes", 60), Button("cmdOK", "OK")};
    ShowStart(StartingValue(host, env));
    if (!picker_.time_mode)
      for (const char* id : {"lbJikan", "cbHour", "lbHm", "cbMinutes"}) Find(id)->visible = false;
  }

  void OnEvent(const DialogEvent& event, Host&) override {
    using Kind = DialogEvent::Kind;
    if (event.kind == Kind::kClick && event.control == "cmdOK") {
      picker_.accepted = true;
      Close();
    } else if ((event.kind == Kind::kKey && event.key == "Escape") || event.kind == Kind::kClose) {
      Close();
    }
  }

 private:
  // The date and time the picker opens on: the target element's value when
  // it holds a date ("." read as "/", so 2003.04.01 is a date), else now.
  Date StartingValue(Host& host, Env& env) {
    const std::string value = EntryElementValue(host, picker_.target_element);
    if (!value.empty()) {
      if (auto day = ParseDateText(Replaced(value, '.', '/'))) {
        Date start = day->DateOnly();
        // The time of day as the page wrote it; 00:00 when it holds none.
        auto timed = ParseDateText(value);
        if (!timed) timed = day;
        start.hour = timed->hour;
        start.minute = timed->minute;
        return start;
      }
    }
    Date now = env.Now();
    now.second = 0;
    return now;
  }

  void ShowStart(const Date& start) {
    Find("Cal")->value = start.IsoDate();
    Find("cbHour")->value = TwoDigits(start.hour);
    Find("cbMinutes")->value = TwoDigits(start.minute);
  }

  // Every close hands back what the calendar and the lists show.
  void Close() {
    auto day = Date::FromIso(Find("Cal")->value);
    auto hour = ListNumber(Find("cbHour")->value, 24);
    auto minute = ListNumber(Find("cbMinutes")->value, 60);
    if (day && hour && minute) {
      Date picked = day->DateOnly();
      picked.hour = *hour;
      picked.minute = *minute;
      picker_.picked = picked;
    }
    closed = true;
  }

  PickerState& picker_;
};

class ReferenceDateDialog : public Dialog {
 public:
  ReferenceDateDialog(RecordContext& ctx, Env& env) : ctx_(ctx), env_(env) {
    caption = "アセスメント基準日の設定";
    controls = {TextBox("txtAssDate", "アセスメント基準日"), Button("cmdDTPICK", "..."),
                Button("cmdOK", "OK")};
  }

  void OnEvent(const DialogEvent& event, Host& host) override {
    using Kind = DialogEvent::Kind;
    if (event.kind == Kind::kClose) {
      closed = true;
    } else if (event.kind == Kind::kClick && event.control == "cmdDTPICK") {
      if (auto text = PickReferenceDateText(ctx_, host, env_)) Find("txtAssDate")->value = *text;
    } else if (event.kind == Kind::kClick && event.control == "cmdOK") {
      auto date = ParseReferenceDate(Find("txtAssDate")->value);
      if (!date) {
        host.ShowMessage(kBadReferenceDate, Buttons::kOk, Icon::kCritical);
        return;
      }
      ctx_.reference_date = *date;
      closed = true;
    }
  }

 private:
  RecordContext& ctx_;
  Env& env_;
};

}  // namespace

void ShowDatePicker(RecordContext& ctx, Host& host, Env& env) {
  ctx.picker.accepted = false;
  DatePickerDialog dialog(ctx, host, env);
  host.RunDialog(dialog);
}

std::optional<std::string> PickReferenceDateText(RecordContext& ctx, Host& host, Env& env) {
  ctx.picker.time_mode = false;
  ctx.picker.target_element.clear();
  ShowDatePicker(ctx, host, env);
  if (!ctx.picker.accepted) return std::nullopt;
  return FormatDate(ctx.picker.picked, kEraDateFormat);
}

void ShowReferenceDateDialog(RecordContext& ctx, Host& host, Env& env) {
  ReferenceDateDialog dialog(ctx, env);
  host.RunDialog(dialog);
}

std::optional<Date> ParseReferenceDate(std::string_view text) {
  auto date = ParseDateText(text);
  // A time alone reads as the zero day of the date type (1899-12-30): no date.
  if (!date || (date->year == 1899 && date->month == 12 && date->day == 30)) return std::nullopt;
  return date->DateOnly();
}

}  // namespace zelka
