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

namespace {

char UpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  return true;
}

size_t ColumnIndex::CaseFreeHash::operator()(std::string_view name) const {
  size_t hash = 14695981039346656037ull;  // FNV-1a over the upper-case bytes
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(UpperChar(c))) * 1099511628211ull;
  return hash;
}

ColumnIndex::ColumnIndex(std::vector<std::string> names) : names_(std::move(names)) {
  for (size_t i = 0; i < names_.size(); ++i) positions_.emplace(names_[i], static_cast<int>(i));
}

int ColumnIndex::Find(std::string_view name) const {
  auto it = positions_.find(name);
  return it == positions_.end() ? -1 : it->second;
}

SectionRow::SectionRow(std::string table, std::shared_ptr<const ColumnIndex> columns,
                       std::vector<Value> values, bool partial)
    : table_(std::move(table)), columns_(std::move(columns)), values_(std::move(values)), partial_(partial) {}

const Value* SectionRow::Find(std::string_view column) const {
  int position = columns_->Find(column);
  if (position < 0 || static_cast<size_t>(position) >= values_.size()) return nullptr;
  return &values_[position];
}

const Value& SectionRow::Get(std::string_view column) const {
  if (const Value* value = Find(column)) return *value;
  throw CapError("表 " + table_ + " に項目 " + std::string(column) + " がありません");
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

size_t AssessmentRows::RowIndex(std::string_view table) {
  // Rules mostly read several columns of one table in a row.
  if (last_row_ < rows_.size() && rows_[last_row_].first == table) return last_row_;
  for (size_t i = 0; i < rows_.size(); ++i)
    if (SameNameIgnoringCase(rows_[i].first, table)) return last_row_ = i;
  std::string name = UpperAscii(table);
  std::optional<SectionRow> row = source_.Fetch(name, key_);
  if (!row) throw CapError(name + " 表の行がありません");
  rows_.emplace_back(std::move(name), std::move(*row));
  return last_row_ = rows_.size() - 1;
}

const SectionRow& AssessmentRows::Row(std::string_view table) { return rows_[RowIndex(table)].second; }

const Value& AssessmentRows::Get(std::string_view table, std::string_view column) {
  auto& [name, row] = rows_[RowIndex(table)];
  if (const Value* value = row.Find(column)) return *value;
  if (row.partial()) {
    std::optional<SectionRow> whole = source_.FetchWhole(name, column, key_);
    if (!whole) throw CapError(name + " 表の行がありません");
    row = std::move(*whole);
  }
  return row.Get(column);
}

}  // namespace zelka
