// The answers of one assessment as the trigger rules read them: the row of each
// section table (A to S by 整理番号 and 基準日, AA by 整理番号 alone), fetched
// once from a row source and kept for the assessment. Table and column names are
// matched without regard to case ("o" is table O, "C3" is column c3).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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

// The column names of one table with a case-insensitive lookup, shared by all
// rows read from that table.
class ColumnIndex {
 public:
  explicit ColumnIndex(std::vector<std::string> names);
  // Position of a column, or -1.
  int Find(std::string_view name) const;
  const std::vector<std::string>& names() const { return names_; }

 private:
  // Hashing and equality without regard to ASCII case, so that a lookup
  // needs no upper-case copy of the name.
  struct CaseFreeHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const;
  };
  struct CaseFreeEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return SameNameIgnoringCase(a, b); }
  };
  std::vector<std::string> names_;
  std::unordered_map<std::string, int, CaseFreeHash, CaseFreeEqual> positions_;
};

// One stored row of a section table: every column, or (a partial row) only
// the columns a run chose to read.
class SectionRow {
 public:
  SectionRow(std::string table, std::shared_ptr<const ColumnIndex> columns,
             std::vector<Value> values, bool partial = false);

  const std::string& table() const { return table_; }
  bool partial() const { return partial_; }
  // The stored value of a column, or nullptr when the row does not hold it.
  const Value* Find(std::string_view column) const;
  // The stored value of a column; throws CapError for a column the row lacks.
  const Value& Get(std::string_view column) const;

 private:
  std::string table_;
  std::shared_ptr<const ColumnIndex> columns_;
  std::vector<Value> values_;
  bool partial_ = false;
};

// Where rows come from: the store, or memory in tests.
class RowSource {
 public:
  virtual ~RowSource() = default;
  // The row of a section table for the assessment (table AA: by record number
  // alone), or nullopt when the table has no such row. `table` is upper case.
  virtual std::optional<SectionRow> Fetch(const std::string& table, const AssessmentKey& key) = 0;
  // Asked when a partial row it gave lacks `column`: the whole row (a source
  // that gives partial rows also learns to read that column from now on).
  virtual std::optional<SectionRow> FetchWhole(const std::string& table, std::string_view column,
                                               const AssessmentKey& key) {
    (void)column;
    return Fetch(table, key);
  }
};

// A stored value as a whole number, the way every rule compares answers:
// Null (unanswered) is -1; a number with a fraction is rounded to the nearest
// whole number (halves to even); a text that holds a number counts as that
// number, and any other text counts as unanswered (-1).
int64_t GetNum(const Value& value);

class AssessmentRows {
 public:
  AssessmentRows(RowSource& source, AssessmentKey key) : source_(source), key_(key) {}

  const AssessmentKey& key() const { return key_; }
  // The assessment's row of a table; a missing row is a CapError naming the table.
  const SectionRow& Row(std::string_view table);
  // The stored value of one column of the assessment's row of a table; a
  // missing row or column is a CapError.
  const Value& Get(std::string_view table, std::string_view column);
  // GetNum of one column of the assessment's row of a table.
  int64_t Num(std::string_view table, std::string_view column) { return GetNum(Get(table, column)); }

 private:
  RowSource& source_;
  AssessmentKey key_;
  // Position in rows_ of a table's row, fetched when first asked for.
  size_t RowIndex(std::string_view table);

  // The rows read so far, by upper-case table name; a handful, searched in
  // order. A deque, so that a row handed out stays where it is.
  std::deque<std::pair<std::string, SectionRow>> rows_;
  size_t last_row_ = 0;  // the row found last
};

}  // namespace zelka
