// The XML data file of the assessment report, ZLK20.XML: one root element
// XML1 holding one element per staged column (upper-case column name), every
// table's columns side by side. The file is CP932 with CR LF line ends and
// keeps its classic declaration line, so any reader that relies on it still
// reads it. Nothing is lost on the way: markup characters are escaped, the
// control characters XML 1.0 forbids are dropped, and every character that
// CP932 cannot carry, or that a standard Shift_JIS decoder would read as
// something else (①, Ⅰ, ㈱, 髙, ～, "\" …), is written as a numeric character
// reference, so a standard parser reads back the stored text.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/program_files.h"  // kXmlDataFile

namespace zelka {

inline constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"shift-jis\"?>";
inline constexpr char kXmlRoot[] = "XML1";

// A printed report cannot be prepared: a missing record or row, a staging
// table or a file that cannot be written. The text says which.
class ReportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Element content in CP932 bytes, escaped as above. Line breaks and tabs are
// references too, so that each element stays on its own line and a parser
// gives them back unchanged.
std::string XmlContentCp932(std::string_view utf8);

// "<NAME>content</NAME>" CR LF (CP932) for one column.
std::string XmlElementLine(std::string_view column, std::string_view utf8_value);

// The whole file around the element lines: declaration, root, lines, end.
std::string XmlDataFile(const std::string& element_lines);

// Reads the file back: the text of each child of XML1 by element name, UTF-8.
// Throws ReportError when the bytes are not such a file.
std::map<std::string, std::string> ReadXmlFields(std::string_view bytes);

}  // namespace zelka
