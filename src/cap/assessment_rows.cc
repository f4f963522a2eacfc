#include "cap/assessment_rows.h"

#include <cmath>
#include <cstdlib>

namespace zelka {

std::string DescribeAssessment(const AssessmentKey& key) {
  std::string text = "整理番号 " + std::to_string(key.record_number);
  if (!key.reference_date.IsZero()) text += " 基準日 " + key.reference_date.Slashed();
  return text;
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

ColumnIndex::ColumnIndex(std::vector<std::string> names) : names_(std::move(names)) {
  for (size_t i = 0; i < names_.size(); ++i) positions_.emplace(UpperAscii(names_[i]), static_cast<int>(i));
}

int ColumnIndex::Find(std::string_view name) const {
  auto it = positions_.find(UpperAscii(name));
  return it == positions_.end() ? -1 : it->second;
}

SectionRow::SectionRow(std::string table, std::shared_ptr<const ColumnIndex> columns,
                       std::vector<Value> values)
    : table_(std::move(table)), columns_(std::move(columns)), values_(std::move(values)) {}

const Value& SectionRow::Get(std::string_view column) const {
  int position = columns_->Find(column);
  if (position < 0 || static_cast<size_t>(position) >= values_.size())
    throw CapError("表 " + table_ + " に項目 " + std::string(column) + " がありません");
  return values_[position];
}

namespace {

int64_t RoundHalfEven(double number) { return static_cast<int64_t>(std::nearbyint(number)); }

int64_t TextNum(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  double number = std::strtod(begin, &end);
  if (end == begin) return -1;
  while (*end == ' ') ++end;
  if (*end != '\0' || !std::isfinite(number)) return -1;
  return RoundHalfEven(number);
}

}  // namespace

int64_t GetNum(const Value& value) {
  if (const auto* whole = std::get_if<int64_t>(&value)) return *whole;
  if (const auto* number = std::get_if<double>(&value))
    return std::isfinite(*number) ? RoundHalfEven(*number) : -1;
  if (const auto* text = std::get_if<std::string>(&value)) return TextNum(*text);
  return -1;
}

const SectionRow& AssessmentRows::Row(std::string_view table) {
  std::string name = UpperAscii(table);
  auto it = rows_.find(name);
  if (it != rows_.end()) return it->second;
  std::optional<SectionRow> row = source_.Fetch(name, key_);
  if (!row) throw CapError(name + " 表の行がありません");
  return rows_.emplace(name, std::move(*row)).first->second;
}

}  // namespace zelka
