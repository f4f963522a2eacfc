// The section rows of many assessments, read the fast way for a run over all
// of them: one streaming query per table in key order (整理番号, 基準日; AA by
// 整理番号), merged with the assessments asked for in that same order, each
// query reading only the columns the rules have asked for so far. A rule that
// asks for a column not yet read gets the whole row by point lookup, and the
// table's query reads that column too from the next assessment on. The rows
// given are the stored rows, as CapStore would give them; only the way they
// are fetched differs. Works inside the caller's read transaction.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cap/assessment_rows.h"
#include "cap/cap_store.h"

namespace zelka {

class KeyOrderedRows : public RowSource {
 public:
  // `store` gives the table names and the whole rows; it must outlive this.
  explicit KeyOrderedRows(CapStore& store);
  ~KeyOrderedRows() override;
  KeyOrderedRows(const KeyOrderedRows&) = delete;
  KeyOrderedRows& operator=(const KeyOrderedRows&) = delete;

  // Rows of assessments asked for in increasing key order come from the
  // streaming queries; an assessment asked for out of that order is looked up
  // by key instead, so any order gives the right rows.
  std::optional<SectionRow> Fetch(const std::string& table, const AssessmentKey& key) override;
  std::optional<SectionRow> FetchWhole(const std::string& table, std::string_view column,
                                       const AssessmentKey& key) override;

 private:
  class Cursor;
  Cursor& CursorOf(const std::string& table);

  CapStore& store_;
  std::vector<std::unique_ptr<Cursor>> cursors_;
  AssessmentKey last_key_;  // the key whose date text is held below
  std::string last_date_;
};

}  // namespace zelka
