// Checks of a page value before it is stored in its column: numbers for the
// numeric columns, length for text columns, a date or time for date columns.
// A failed check tells the user, puts the caret into the element and marks it
// red; a passed check clears the mark. The readers below are the same rules
// without the user: the binding uses them to convert what a check let pass.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"
#include "store/value.h"
#include "util/date.h"

namespace zelka {

inline constexpr const char kMarkColour[] = "#ff0000";
inline constexpr const char kClearColour[] = "#ffffff";

// The page element that shows a column: "zlk_" + the column with "-" as "_".
std::string ElementName(std::string_view column);
// Whether an element takes part in binding, and the column it stands for
// (the name without "zlk_", "_" read as "-").
bool IsBoundElement(std::string_view element);
std::string ColumnOfElement(std::string_view element);

// The value a number column receives for a page text: Null for an empty text,
// a whole number for Byte, Integer and Long, a number with fraction for
// Single. nullopt when the column cannot hold the text exactly as typed: any
// character but digits and one ".", a fraction in a whole-number column, or a
// value beyond the column's range. Full-width digits count as digits.
std::optional<Value> ReadNumber(std::string_view text, int type);
// A date or time as typed: full-width characters narrowed, "." read as "/".
std::optional<Date> ReadDate(std::string_view text);

// Where a passed check puts the clearing of its element: null writes it at
// once; a list collects it, so that a whole page is cleared in one write.
using ClearList = std::vector<ElementUpdate>;

// Each returns true when the text may be stored in the column. On failure:
// the message (critical icon, OK, no title), focus to the column's element,
// background red. On success the element's background is cleared to white.
bool CheckNumber(const std::string& text, Host& host, const std::string& column, int type,
                 ClearList* clears = nullptr);
bool CheckLength(const std::string& text, Host& host, const std::string& column, int size,
                 ClearList* clears = nullptr);
bool CheckDate(const std::string& text, Host& host, const std::string& column,
               ClearList* clears = nullptr);

}  // namespace zelka
