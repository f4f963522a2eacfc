// Reads the answers the trigger rules read (kRuleItems) from the store into
// an AnswerSheet. Every table of the list is read with one query that returns
// its rows in stored order, only the key columns and the listed items, and
// each row goes to the assessment with its key: for a section table the one
// with its 整理番号 and 基準日, for table AA every assessment of the client.
// A row is taken when its 整理番号 is the stored whole number of the key and
// its 基準日 the key's date as stored ISO text, which are the rows a lookup
// by key finds; of two rows with one key, the first stored counts. Works on
// the caller's connection and inside the caller's transaction.
#pragma once

#include "cap/answers.h"
#include "store/database.h"

namespace zelka {

// The answers of many assessments (in practice every row of table A, in its
// stored order), with one pass over each table.
AnswerSheet ReadAllAnswers(Database& db, std::vector<AssessmentKey> keys);

// The answers of one assessment, each table's row found by key; with
// keep_values, the stored values too.
AnswerSheet ReadAnswers(Database& db, const AssessmentKey& key, bool keep_values = false);

}  // namespace zelka
