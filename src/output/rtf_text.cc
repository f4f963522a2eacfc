#include "output/rtf_text.h"

#include "util/cp932.h"
#include "util/utf8.h"

namespace zelka {

namespace {

std::string Escape(std::string_view utf8, bool escape_syntax) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t c = NextChar(utf8, pos);
    if (c >= 0x80) {
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
