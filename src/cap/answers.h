// The answers of assessments as the trigger rules read them. An AnswerSheet
// holds, for each of its assessments, one compact block with a small whole
// number per item of kRuleItems (the answer as GetNum reads it) and which
// section rows were found; Answers is the view of one assessment that a rule
// reads. A sheet for one assessment may also keep the stored values, which the
// evidence shows on the worksheet.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cap/answer_items.h"
#include "store/value.h"
#include "util/date.h"

namespace zelka {

// A rule could not be evaluated: a section row or a column is missing, or the
// client has no name. The text says what is missing; whoever runs the rules
// names the assessment (DescribeAssessment) in front of it.
class CapError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct AssessmentKey {
  int64_t record_number = 0;
  Date reference_date;
};

// "整理番号 12 基準日 2003/04/01", the way messages name an assessment.
std::string DescribeAssessment(const AssessmentKey& key);

// ASCII upper case; other bytes (Japanese table names) unchanged.
std::string UpperAscii(std::string_view text);
// Equality of two names without regard to ASCII case.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// A stored value as a whole number, the way every rule compares answers:
// Null (unanswered) is -1; a number with a fraction is rounded to the nearest
// whole number (halves to even), beyond the range of whole numbers to its
// end; a text that holds a number counts as that number, and any other text
// counts as unanswered (-1).
int64_t GetNum(const Value& value);
int64_t RealNum(double number);
int64_t TextNum(const char* text);  // up to the first NUL; nullptr is -1

// An answer as a sheet keeps it: GetNum held to kLowestCode … kHighestCode.
// The rules' tests compare with constants strictly inside that range (their
// makers refuse others when the rule is compiled), so a number beyond either
// end passes and fails exactly the tests the true number does.
inline constexpr int kLowestCode = -126;
inline constexpr int kHighestCode = 126;
constexpr int8_t AnswerCode(int64_t number) {
  return static_cast<int8_t>(number < kLowestCode ? kLowestCode : number > kHighestCode ? kHighestCode : number);
}

class AnswerSheet;

// The answers of one assessment, as a rule reads them. A missing section row,
// a missing column or a missing table is a CapError when a rule reads it.
class Answers {
 public:
  Answers(const AnswerSheet& sheet, size_t assessment);

  const AssessmentKey& key() const;

  // GetNum of an item of the assessment's row of a table.
  int64_t Num(Table table, Item item) const {
    int8_t code = codes_[item.slot()];
    if (code < kLowestCode || item.table() != table.index()) [[unlikely]] Missing(table, item);
    return code;
  }
  // The stored value of an item, for a sheet that keeps them.
  const Value& Get(Table table, Item item) const;
  // Requires the assessment's row of a table.
  void Row(Table table) const;
  // AA-1 of the client's AA row, nullopt when it is Null.
  const std::optional<std::string>& ClientName() const;

 private:
  [[noreturn]] void Missing(Table table, Item item) const;
  const AnswerSheet& sheet_;
  size_t assessment_;
  size_t block_;
  const int8_t* codes_;
};

class AnswerSheet {
 public:
  // Every row of every table starts missing; keep_values keeps stored values too.
  explicit AnswerSheet(std::vector<AssessmentKey> keys, bool keep_values = false);

  size_t size() const { return keys_.size(); }
  const AssessmentKey& key(size_t assessment) const { return keys_[assessment]; }
  const std::vector<AssessmentKey>& keys() const { return keys_; }
  bool keeps_values() const { return keep_values_; }
  Answers operator[](size_t assessment) const { return Answers(*this, assessment); }

  // Filling. The answers of an assessment are kept in a block of their own;
  // Block gives the next free block to an assessment asked for the first
  // time, so that rows read in a table's stored order fill the blocks one
  // after the other, and the tables stored in the same order do too.
  size_t Block(size_t assessment) {
    uint32_t& block = block_of_[assessment];
    if (block == keys_.size()) block = next_block_++;
    return block;
  }
  // A row found for the assessment of a block, whose items are then set one
  // by one (a column the table lacks with SetMissingColumn). False when the
  // row was found before: the first row found counts.
  bool TakeRow(size_t block, int table) {
    uint32_t& rows = rows_[block];
    if (rows >> table & 1) return false;
    rows |= 1u << table;
    return true;
  }
  void SetCode(size_t block, int slot, int8_t code) { codes_[block * kRuleItemCount + slot] = code; }
  void SetMissingColumn(size_t block, int slot) { SetCode(block, slot, kNoColumn); }
  // The answer from a stored value (also kept, when the sheet keeps values).
  void SetValue(size_t block, int slot, Value value);
  void KeepValue(size_t block, int slot, Value value);
  void SetClientName(size_t block, std::string name) { names_[block] = std::move(name); }
  void SetTableMissing(int table) { missing_tables_ |= 1u << table; }
  void SetNameColumnMissing() { name_column_missing_ = true; }
  // Gives an assessment the answers of another (a key that table A repeats).
  void CopyAnswers(size_t from_assessment, size_t to_assessment);

 private:
  friend class Answers;
  static constexpr int8_t kNoRow = -128;
  static constexpr int8_t kNoColumn = -127;
  static_assert(kNoColumn < kLowestCode);

  std::vector<AssessmentKey> keys_;
  bool keep_values_;
  // One block per assessment, and one more that stays empty: the block of
  // every assessment not yet given one.
  std::vector<uint32_t> block_of_;
  uint32_t next_block_ = 0;
  std::vector<int8_t> codes_;        // kRuleItemCount per block
  std::vector<uint32_t> rows_;       // per block, bit t: the row of table t was found
  std::vector<Value> values_;        // as codes_, when kept
  std::vector<std::optional<std::string>> names_;
  uint32_t missing_tables_ = 0;
  bool name_column_missing_ = false;
};

}  // namespace zelka
