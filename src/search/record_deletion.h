// Removing stored records: one assessment, or everything kept about one
// client. Each removal runs in one transaction, so a failure part-way leaves
// the store exactly as it was (the StoreError is passed on to the caller).
#pragma once

#include <cstdint>

#include "store/database.h"
#include "util/date.h"

namespace zelka {

// Deletes one assessment: its rows in the section tables A … S and its
// CAP選定 row; the client's AA row goes too when no assessment of the client
// remains. The intake sheet is never touched. A zero reference date names no
// assessment: StoreError, nothing deleted.
void AssessmentDel(Database& db, int64_t record_number, const Date& reference_date);

// Deletes everything of one client: the intake sheet (相談受付表), the AA row,
// the rows of every assessment in A … S and every CAP選定 row of the client.
void DeleteClient(Database& db, int64_t record_number);

}  // namespace zelka
