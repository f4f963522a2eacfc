#include "output/report_xml.h"

#include "util/cp932.h"
#include "util/utf8.h"

namespace zelka {
namespace {

// XML 1.0 allows TAB, LF, CR and everything from U+0020 on except the
// surrogates and U+FFFE, U+FFFF.
bool AllowedInXml(char32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  if (c >= 0xD800 && c <= 0xDFFF) return false;
  return c != 0xFFFE && c != 0xFFFF;
}

// CP932 characters whose bytes a JIS-based Shift_JIS decoder reads as another
// character: the yen and overline readings of 0x5C and 0x7E, and the six
// symbols Microsoft mapped apart from JIS X 0208 (～ ∥ － ￠ ￡ ￢) with ＼.
bool ReadDifferently(char32_t c) {
  switch (c) {
    case U'\\': case U'~': case 0xFF5E: case 0x2225: case 0xFF0D:
    case 0xFFE0: case 0xFFE1: case 0xFFE2: case 0xFF3C:
      return true;
    default:
      return false;
  }
}

// The CP932 bytes of a character that every Shift_JIS decoder reads the same
// way: ASCII, half-width katakana, and JIS X 0208 (rows 1-8 and 16-84). The
// NEC and IBM extensions (①, Ⅰ, ㈱, 髙 …) fall outside; so do characters
// CP932 writes only as a near neighbour (a one-way mapping).
bool PlainShiftJis(char32_t c, std::string* bytes) {
  if (ReadDifferently(c) || !EncodeCp932(c, bytes)) return false;
  auto lead = static_cast<unsigned char>((*bytes)[0]);
  if (bytes->size() == 1) return lead < 0x80 || (lead >= 0xA1 && lead <= 0xDF);
  bool jis_row = (lead >= 0x81 && lead <= 0x84) || (lead >= 0x88 && lead <= 0x9F) ||
                 (lead >= 0xE0 && lead <= 0xEA);
  if (!jis_row) return false;
  std::string back = Cp932ToUtf8(*bytes);
  size_t pos = 0;
  return NextChar(back, pos) == c && pos == back.size();
}

// Decodes one reference at text[pos] ("&amp;", "&#10;", "&#x1F600;").
bool DecodeReference(std::string_view text, size_t& pos, std::string& out) {
  size_t end = text.find(';', pos);
  if (end == std::string_view::npos) return false;
  std::string_view name = text.substr(pos + 1, end - pos - 1);
  static const std::pair<std::string_view, char> kNamed[] = {
      {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, c] : kNamed)
    if (name == entity) {
      out += c;
      pos = end + 1;
      return true;
    }
  if (name.size() < 2 || name[0] != '#') return false;
  bool hex = name[1] == 'x';
  std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return false;
  char32_t value = 0;
  for (char d : digits) {
    int v = d >= '0' && d <= '9' ? d - '0'
            : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
            : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10 : -1;
    if (v < 0) return false;
    value = value * (hex ? 16 : 10) + static_cast<char32_t>(v);
  }
  if (value > 0x10FFFF || !AllowedInXml(value)) return false;
  AppendUtf8(out, value);
  pos = end + 1;
  return true;
}

[[noreturn]] void Malformed(const std::string& why) {
  throw ReportError(std::string(kXmlDataFile) + " を読めません: " + why);
}

}  // namespace

std::string XmlContentCp932(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::string bytes;
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t c = NextChar(utf8, pos);
    if (!AllowedInXml(c)) continue;
    switch (c) {
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;  // "]]>" is not allowed as text
      case '&': out += "&amp;"; continue;
      case '\t': case '\n': case '\r': out += XmlCharacterReference(c); continue;
    }
    if (PlainShiftJis(c, &bytes))
      out += bytes;
    else
      out += XmlCharacterReference(c);
  }
  return out;
}

std::string XmlElementLine(std::string_view column, std::string_view utf8_value) {
  std::string name;
  for (char c : column) name += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  std::string tag = XmlContentCp932(name);
  return "<" + tag + ">" + XmlContentCp932(utf8_value) + "</" + tag + ">\r\n";
}

std::string XmlDataFile(const std::string& element_lines) {
  return std::string(kXmlDeclaration) + "\r\n<" + kXmlRoot + ">\r\n" + element_lines + "</" + kXmlRoot + ">\r\n";
}

std::map<std::string, std::string> ReadXmlFields(std::string_view bytes) {
  std::string text;
  try {
    text = Cp932ToUtf8(bytes);
  } catch (const Cp932Error& e) {
    Malformed(e.what());
  }
  std::string_view s = text;
  size_t pos = 0;
  auto skip_space = [&] {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\r' || s[pos] == '\n' || s[pos] == '\t')) ++pos;
  };
  auto take = [&](std::string_view what) {
    skip_space();
    if (s.substr(pos, what.size()) != what) Malformed("expected " + std::string(what));
    pos += what.size();
  };
  if (s.substr(0, 5) == "<?xml") {
    pos = s.find("?>");
    if (pos == std::string_view::npos) Malformed("unfinished declaration");
    pos += 2;
  }
  take(std::string("<") + kXmlRoot + ">");
  std::map<std::string, std::string> fields;
  const std::string end_root = std::string("</") + kXmlRoot + ">";
  for (;;) {
    skip_space();
    if (s.substr(pos, end_root.size()) == end_root) break;
    if (pos >= s.size() || s[pos] != '<') Malformed("expected an element at byte " + std::to_string(pos));
    size_t close = s.find('>', pos);
    if (close == std::string_view::npos) Malformed("unfinished tag");
    std::string name(s.substr(pos + 1, close - pos - 1));
    pos = close + 1;
    std::string value;
    if (!name.empty() && name.back() == '/') {
      name.pop_back();
    } else {
      while (pos < s.size() && s[pos] != '<') {
        if (s[pos] == '&') {
          if (!DecodeReference(s, pos, value)) Malformed("bad reference in " + name);
        } else {
          value += s[pos++];
        }
      }
      take("</" + name + ">");
    }
    fields[name] = std::move(value);
  }
  return fields;
}

}  // namespace zelka
