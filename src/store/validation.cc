#include "store/validation.h"

#include <cfloat>
#include <charconv>
#include <cstdint>

#include "store/catalogue.h"
#include "util/japanese_date.h"
#include "util/utf8.h"

namespace zelka {

namespace {

constexpr std::string_view kElementPrefix = "zlk_";

constexpr const char kNumberMessage[] = "数値を入力する項目で、数字以外の文字が入力されています。";
constexpr const char kDateMessage[] =
    "日付または時間を入力する項目で、正しく入力していないところがあります";

std::string Replaced(std::string_view text, char from, char to) {
  std::string out(text);
  for (char& c : out)
    if (c == from) c = to;
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with at most one ".", and at least one digit.
bool IsPlainDecimal(std::string_view text) {
  int points = 0;
  bool digit = false;
  for (char c : text) {
    if (c == '.') {
      ++points;
    } else if (IsDigit(c)) {
      digit = true;
    } else {
      return false;
    }
  }
  return digit && points <= 1;
}

struct IntegerRange {
  int64_t low, high;
};

std::optional<IntegerRange> WholeNumberRange(int type) {
  switch (type) {
    case kTypeByte:
      return IntegerRange{0, 255};
    case kTypeInteger:
      return IntegerRange{-32768, 32767};
    case kTypeLong:
      return IntegerRange{INT32_MIN, INT32_MAX};
    default:
      return std::nullopt;
  }
}

std::optional<Value> ReadWholeNumber(std::string_view text, IntegerRange range) {
  std::string_view whole = text.substr(0, text.find('.'));
  if (whole.size() < text.size()) {
    for (char c : text.substr(whole.size() + 1))
      if (c != '0') return std::nullopt;  // a fraction the column would lose
  }
  while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
  int64_t n = 0;
  if (whole.empty()) return Value{n};  // ".0"
  if (whole.size() > 18) return std::nullopt;
  std::from_chars(whole.data(), whole.data() + whole.size(), n);
  if (n < range.low || n > range.high) return std::nullopt;
  return Value{n};
}

std::optional<Value> ReadSingle(std::string_view text) {
  double d = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (ec != std::errc() || end != text.data() + text.size() || d > FLT_MAX) return std::nullopt;
  return Value{d};
}

ElementUpdate Background(const std::string& element, const char* colour) {
  ElementUpdate update;
  update.name = element;
  update.background = colour;
  return update;
}

// The field is marked and brought into view before the message shows, so
// that the user sees which one the message means (the box keeps clear of the
// focused field); the caret goes back into it once the message is answered.
bool Refuse(Host& host, const std::string& message, const std::string& column,
            const std::string& caption) {
  std::string element = ElementName(column);
  host.WriteForm(View::kEntry, {Background(element, kMarkColour)});
  host.Focus(View::kEntry, element);
  host.ShowMessage(caption.empty() ? message : caption + ": " + message, Buttons::kOk, Icon::kCritical,
                   "");
  host.Focus(View::kEntry, element);
  return false;
}

bool Pass(Host& host, const std::string& column, ClearList* clears) {
  ElementUpdate clear = Background(ElementName(column), kClearColour);
  if (clears) {
    clears->push_back(std::move(clear));
  } else {
    host.WriteForm(View::kEntry, {clear});
  }
  return true;
}

}  // namespace

std::string ElementName(std::string_view column) {
  return std::string(kElementPrefix) + Replaced(column, '-', '_');
}

bool IsBoundElement(std::string_view element) {
  return element.size() > kElementPrefix.size() && element.starts_with(kElementPrefix);
}

std::string ColumnOfElement(std::string_view element) {
  return Replaced(element.substr(kElementPrefix.size()), '_', '-');
}

std::optional<Value> ReadNumber(std::string_view text, int type) {
  std::string narrow = NarrowWidth(text);
  if (narrow.empty()) return Value{};
  if (!IsPlainDecimal(narrow)) return std::nullopt;
  if (auto range = WholeNumberRange(type)) return ReadWholeNumber(narrow, *range);
  return ReadSingle(narrow);
}

std::optional<Date> ReadDate(std::string_view text) {
  std::string narrow = Replaced(NarrowWidth(text), '.', '/');
  if (narrow.empty()) return std::nullopt;
  return ParseDateText(narrow);
}

bool CheckNumber(const std::string& text, Host& host, const std::string& column, int type,
                 ClearList* clears, const std::string& caption) {
  if (!ReadNumber(text, type)) return Refuse(host, kNumberMessage, column, caption);
  return Pass(host, column, clears);
}

bool CheckLength(const std::string& text, Host& host, const std::string& column, int size,
                 ClearList* clears, const std::string& caption) {
  if (size > 0 && CharCount(text) > static_cast<std::size_t>(size)) {
    return Refuse(host, "文字数が多すぎます。" + std::to_string(size) + "文字以内で入力してください。",
                  column, caption);
  }
  return Pass(host, column, clears);
}

bool CheckDate(const std::string& text, Host& host, const std::string& column,
               ClearList* clears, const std::string& caption) {
  if (!ReadDate(text)) {
    // Said why when it can be: 平成31年5月1日 is in 令和.
    const std::string reason = DateRefusalReason(Replaced(NarrowWidth(text), '.', '/'));
    return Refuse(host, reason.empty() ? kDateMessage : kDateMessage + std::string("\r\n") + reason,
                  column, caption);
  }
  return Pass(host, column, clears);
}

}  // namespace zelka
