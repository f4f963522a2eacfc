// Form binding: moves values between the elements of the entry page and the
// current row of the record context. LoadPage fills the page from the row;
// SaveAndMove checks and writes every bound element back, commits the row and
// then shows the next page of the record or closes the entry window. An
// element is bound when its name is "zlk_" + the column, "-" written as "_".
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "host/host.h"
#include "store/database.h"
#include "store/record_context.h"
#include "store/validation.h"

namespace zelka {

inline constexpr const char kRecordNumberColumn[] = "整理番号";
inline constexpr const char kReferenceDateColumn[] = "基準日";

// The column's display format, "" when it has none.
std::string GetFormatProperty(const FieldInfo& field);
// A column of the current row as the page shows it: "" for Null, a date in the
// column's format (or as yyyy/mm/dd [hh:nn:ss] without one), anything else in
// its plain text form.
std::string GetItemText(const RecordContext& ctx, const std::string& column);

// Converts, checks and writes one page text into a column of the current row.
// False when a check failed or the record number may not take the value.
// Clearings of passed checks go to `clears` when given (see ClearList).
bool PutItem(RecordContext& ctx, Host& host, const std::string& column, const std::string& text,
             ClearList* clears = nullptr);

// An update that sets one element's value.
ElementUpdate ValueUpdate(const std::string& element, const std::string& text);

// Fills every bound element of the entry page from the current row.
void LoadPage(RecordContext& ctx, Host& host);

// Shows a page of FORM/ in the entry view, with the navigation permit set
// only while it loads. False (after telling the user) when it cannot be shown.
bool NavigateEntryPage(RecordContext& ctx, Host& host, const std::string& page);

// Whether a page may be shown for the record now open: the five intake pages
// for an intake record, AA.HTM and A.HTM … S.HTM for an assessment. Returns
// the page as the menus spell it, or "" when it is not one of them.
std::string KnownPage(const RecordContext& ctx, const std::string& page);

// Closes the current recordset, dropping a pending row; failures are ignored
// (the entry window is going away).
void CloseCurrentRows(RecordContext& ctx);

// Tells the user that the store refused a write: "登録時にエラーが発生しました"
// (critical, with the given title), then the store's own text titled "DEBUG".
void ReportStoreError(Host& host, const std::string& title, const std::exception& error);

// Stores the page into the current row and commits it, then shows
// ctx.next_page, or closes the entry window (through close_window) when it is
// empty. False when the page stays: a check failed, the record number was
// refused or missing, the commit failed, or the next page is not one of the
// record's pages. Nothing is committed then.
bool SaveAndMove(RecordContext& ctx, Host& host, const std::function<void()>& close_window);

}  // namespace zelka
