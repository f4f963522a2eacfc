// The two date dialogs: the date and time picker ("カレンダー") that pages and
// the reference-date fields open, and the dialog that asks for the reference
// date of a new assessment ("アセスメント基準日の設定").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/host.h"
#include "store/record_context.h"
#include "util/env.h"

namespace zelka {

// How a reference-date field shows a picked date: 平成15年04月01日.
inline constexpr const char kEraDateFormat[] = "ggge年mm月dd日";

// Shows the picker modally. It starts from the value of the entry page's
// element ctx.picker.target_element (today and the current time when there is
// none or it is not a date), offers hours and minutes only in time mode, sets
// ctx.picker.accepted only on OK and ctx.picker.picked on every close.
void ShowDatePicker(RecordContext& ctx, Host& host, Env& env);

// Shows the reference-date dialog modally. ctx.reference_date is set only when
// the user confirms a valid date; closing it otherwise leaves it unchanged.
void ShowReferenceDateDialog(RecordContext& ctx, Host& host, Env& env);

// Opens the picker for a date alone and, when the user confirms, returns the
// picked date as a reference-date field shows it (kEraDateFormat).
std::optional<std::string> PickReferenceDateText(RecordContext& ctx, Host& host, Env& env);

// Reads the text of a reference-date field: Western or era forms, as the date
// fields accept them; the time of day, if typed, is dropped. A text that holds
// no date (empty, invalid, or a time alone) gives nullopt.
std::optional<Date> ParseReferenceDate(std::string_view text);

}  // namespace zelka
