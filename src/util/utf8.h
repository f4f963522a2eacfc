// Small helpers for walking UTF-8 text one character (code point) at a time.
#pragma once

#include <string>
#include <string_view>

namespace zelka {

// Decodes the character at text[pos] and advances pos past it. A malformed
// byte is returned as U+FFFD and skipped alone.
char32_t NextChar(std::string_view text, size_t& pos);

void AppendUtf8(std::string& out, char32_t c);

// Number of characters (not bytes) in the text.
size_t CharCount(std::string_view text);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace zelka
