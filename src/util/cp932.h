// Conversion between the program's UTF-8 text and CP932, the Japanese Windows
// code page its written files use. Nothing is lost silently: every character
// CP932 cannot hold is handed to the caller, who writes it in the escape its
// file format offers (an RTF \uN? escape, an XML character reference).
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zelka {

class Cp932Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Returns the bytes that stand for one character CP932 cannot hold; they are
// written to the output as they are.
using UnmappableHandler = std::function<std::string(char32_t)>;

// UTF-8 text to CP932 bytes. Text that is not well-formed UTF-8 throws Cp932Error.
std::string Utf8ToCp932(std::string_view utf8, const UnmappableHandler& unmappable);

// Encodes one character; false when CP932 has no code for it.
bool EncodeCp932(char32_t c, std::string* bytes);

// CP932 bytes to UTF-8. A byte sequence CP932 does not define throws
// Cp932Error naming its offset.
std::string Cp932ToUtf8(std::string_view bytes);

// Handlers for the two file formats: "&#N;" and "\uN?" (N as a signed 16-bit
// number, with a surrogate pair for characters beyond the BMP).
std::string XmlCharacterReference(char32_t c);
std::string RtfUnicodeEscape(char32_t c);

}  // namespace zelka
