#include "util/utf8.h"

namespace zelka {
namespace {

// Length of a well-formed sequence starting at text[pos], or 0.
size_t SequenceLength(std::string_view text, size_t pos, char32_t* out) {
  unsigned char c = static_cast<unsigned char>(text[pos]);
  size_t len;
  char32_t value;
  if (c < 0x80) {
    *out = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    len = 2, value = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, value = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, value = c & 0x07;
  } else {
    return 0;
  }
  if (pos + len > text.size()) return 0;
  for (size_t i = 1; i < len; ++i) {
    unsigned char cc = static_cast<unsigned char>(text[pos + i]);
    if ((cc & 0xC0) != 0x80) return 0;
    value = (value << 6) | (cc & 0x3F);
  }
  static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kMin[len] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *out = value;
  return len;
}

}  // namespace

char32_t NextChar(std::string_view text, size_t& pos) {
  char32_t c;
  size_t len = SequenceLength(text, pos, &c);
  if (len == 0) {
    ++pos;
    return 0xFFFD;
  }
  pos += len;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

size_t CharCount(std::string_view text) {
  size_t count = 0;
  for (size_t pos = 0; pos < text.size(); ++count) NextChar(text, pos);
  return count;
}

bool IsValidUtf8(std::string_view text) {
  char32_t c;
  for (size_t pos = 0; pos < text.size();) {
    size_t len = SequenceLength(text, pos, &c);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

}  // namespace zelka
