// Text as it goes into the RTF worksheet. The document is kept pure ASCII:
// every other character becomes an RTF Unicode escape \uN? (N a signed 16-bit
// number, a surrogate pair beyond the BMP), so that no CP932 trail byte such as
// 0x5C ("\" in 表, ソ) can break a control word. Inserted names and values also
// have their "\", "{" and "}" escaped.
#pragma once

#include <string>
#include <string_view>

namespace zelka {

// Escapes text inserted into the document: "\" "{" "}" and every non-ASCII
// character; a line break (LF, CR LF or CR) becomes \line, a TAB \tab, and
// other control characters are left out.
std::string RtfEscape(std::string_view utf8);

// Escapes only the non-ASCII characters of a line that is already RTF (a
// template line or settings fragment), leaving out control characters but
// TAB, CR and LF.
std::string RtfAsciiOnly(std::string_view utf8);

}  // namespace zelka
