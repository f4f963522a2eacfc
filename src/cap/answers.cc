#include "cap/answers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace zelka {

std::string DescribeAssessment(const AssessmentKey& key) {
  std::string text = "整理番号 " + std::to_string(key.record_number);
  if (!key.reference_date.IsZero()) text += " 基準日 " + key.reference_date.Slashed();
  return text;
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = answer_items::Upper(c);
  return upper;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) { return answer_items::SameName(a, b); }

int64_t RealNum(double number) {
  if (!std::isfinite(number)) return -1;
  double whole = std::nearbyint(number);  // halves to even
  if (whole >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (whole < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(whole);
}

int64_t TextNum(const char* text) {
  if (!text) return -1;
  char* end = nullptr;
  double number = std::strtod(text, &end);
  if (end == text) return -1;
  while (*end == ' ') ++end;
  if (*end != '\0' || !std::isfinite(number)) return -1;
  return RealNum(number);
}

int64_t GetNum(const Value& value) {
  if (const auto* whole = std::get_if<int64_t>(&value)) return *whole;
  if (const auto* number = std::get_if<double>(&value)) return RealNum(*number);
  if (const auto* text = std::get_if<std::string>(&value)) return TextNum(text->c_str());
  return -1;
}

// ---- Answers --------------------------------------------------------------------

Answers::Answers(const AnswerSheet& sheet, size_t assessment)
    : sheet_(sheet),
      assessment_(assessment),
      block_(sheet.block_of_[assessment]),
      codes_(sheet.codes_.data() + block_ * kRuleItemCount) {}

const AssessmentKey& Answers::key() const { return sheet_.keys_[assessment_]; }

void Answers::Row(Table table) const {
  std::string name(table.name());
  if (sheet_.missing_tables_ >> table.index() & 1) throw CapError("表 " + name + " がありません");
  if (!(sheet_.rows_[block_] >> table.index() & 1)) throw CapError(name + " 表の行がありません");
}

void Answers::Missing(Table table, Item item) const {
  Row(table);
  throw CapError("表 " + std::string(table.name()) + " に項目 " + std::string(item.code()) + " がありません");
}

const Value& Answers::Get(Table table, Item item) const {
  Num(table, item);
  if (!sheet_.keep_values_) throw std::logic_error("この回答表は値を保持していません");
  return sheet_.values_[block_ * kRuleItemCount + item.slot()];
}

const std::optional<std::string>& Answers::ClientName() const {
  Row("AA");
  if (sheet_.name_column_missing_) throw CapError("表 AA に項目 AA-1 がありません");
  return sheet_.names_[block_];
}

// ---- AnswerSheet ----------------------------------------------------------------

AnswerSheet::AnswerSheet(std::vector<AssessmentKey> keys, bool keep_values)
    : keys_(std::move(keys)),
      keep_values_(keep_values),
      block_of_(keys_.size(), static_cast<uint32_t>(keys_.size())),
      codes_((keys_.size() + 1) * kRuleItemCount, kNoRow),
      rows_(keys_.size() + 1),
      values_(keep_values ? (keys_.size() + 1) * kRuleItemCount : 0),
      names_(keys_.size() + 1) {}

void AnswerSheet::SetValue(size_t block, int slot, Value value) {
  SetCode(block, slot, AnswerCode(GetNum(value)));
  if (keep_values_) KeepValue(block, slot, std::move(value));
}

void AnswerSheet::KeepValue(size_t block, int slot, Value value) {
  values_[block * kRuleItemCount + slot] = std::move(value);
}

void AnswerSheet::CopyAnswers(size_t from_assessment, size_t to_assessment) {
  size_t from = block_of_[from_assessment], to = Block(to_assessment);
  std::copy_n(codes_.begin() + from * kRuleItemCount, kRuleItemCount, codes_.begin() + to * kRuleItemCount);
  if (keep_values_)
    std::copy_n(values_.begin() + from * kRuleItemCount, kRuleItemCount, values_.begin() + to * kRuleItemCount);
  rows_[to] = rows_[from];
  names_[to] = names_[from];
}

}  // namespace zelka
