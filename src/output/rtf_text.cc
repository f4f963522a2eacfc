#include "output/rtf_text.h"

#include "util/cp932.h"
#include "util/utf8.h"

namespace zelka {

namespace {

// Control characters never go into the document raw (a NUL or an escape
// character breaks the readers). In inserted text a line break becomes \line
// and a TAB \tab; in RTF text TAB, CR and LF stay (a line end may close a
// control word); all others are left out.
std::string Escape(std::string_view utf8, bool escape_syntax) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t c = NextChar(utf8, pos);
    if (c < 0x20 || c == 0x7F) {
      if (!escape_syntax) {
        if (c == '\t' || c == '\r' || c == '\n') out += static_cast<char>(c);
      } else if (c == '\t') {
        out += "\\tab ";
      } else if (c == '\n' || (c == '\r' && (pos >= utf8.size() || utf8[pos] != '\n'))) {
        out += "\\line ";
      }
    } else if (c >= 0x80) {
      out += RtfUnicodeEscape(c);
    } else if (escape_syntax && (c == '\\' || c == '{' || c == '}')) {
      out += '\\';
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string RtfEscape(std::string_view utf8) { return Escape(utf8, true); }
std::string RtfAsciiOnly(std::string_view utf8) { return Escape(utf8, false); }

}  // namespace zelka
