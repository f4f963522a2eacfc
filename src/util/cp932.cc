#include "util/cp932.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>

#include "util/utf8.h"

namespace zelka {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// The CP932 table, with both directions set to stop at an unmappable
// character (ICU's default would quietly write a substitute and report success).
Converter OpenCp932() {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open("windows-31j", &status));
  if (U_FAILURE(status)) throw Cp932Error("the CP932 converter is not available");
  ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) throw Cp932Error("the CP932 converter cannot be set up");
  return c;
}

UConverter* Shared() {
  thread_local Converter converter = OpenCp932();
  return converter.get();
}

int ToUtf16(char32_t c, UChar* out) {
  if (c < 0x10000) {
    out[0] = static_cast<UChar>(c);
    return 1;
  }
  c -= 0x10000;
  out[0] = static_cast<UChar>(0xD800 + (c >> 10));
  out[1] = static_cast<UChar>(0xDC00 + (c & 0x3FF));
  return 2;
}

}  // namespace

bool EncodeCp932(char32_t c, std::string* bytes) {
  if (c < 0x80) {
    *bytes = std::string(1, static_cast<char>(c));
    return true;
  }
  UConverter* conv = Shared();
  ucnv_reset(conv);
  UChar units[2];
  int n = ToUtf16(c, units);
  char out[8];
  UErrorCode status = U_ZERO_ERROR;
  int32_t len = ucnv_fromUChars(conv, out, sizeof out, units, n, &status);
  if (U_FAILURE(status) || len <= 0) return false;
  bytes->assign(out, static_cast<size_t>(len));
  return true;
}

std::string Utf8ToCp932(std::string_view utf8, const UnmappableHandler& unmappable) {
  if (!IsValidUtf8(utf8)) throw Cp932Error("the text is not well-formed UTF-8");
  std::string out;
  out.reserve(utf8.size());
  std::string bytes;
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t c = NextChar(utf8, pos);
    if (EncodeCp932(c, &bytes)) {
      out += bytes;
    } else {
      out += unmappable(c);
    }
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  UConverter* conv = Shared();
  for (size_t pos = 0; pos < bytes.size();) {
    unsigned char lead = static_cast<unsigned char>(bytes[pos]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++pos;
      continue;
    }
    // A lead byte of a two-byte character, or a one-byte katakana.
    bool two = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    size_t len = two ? 2 : 1;
    if (pos + len > bytes.size())
      throw Cp932Error("CP932 の文字の途中で終わっています（" + std::to_string(pos) + " バイト目）");
    ucnv_reset(conv);
    UChar units[4];
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(conv, units, 4, bytes.data() + pos, static_cast<int32_t>(len), &status);
    if (U_FAILURE(status) || n <= 0)
      throw Cp932Error(std::to_string(pos) + " バイト目は CP932 の文字ではありません");
    char32_t c = units[0];
    if (n == 2 && c >= 0xD800 && c <= 0xDBFF) c = 0x10000 + ((c - 0xD800) << 10) + (units[1] - 0xDC00);
    AppendUtf8(out, c);
    pos += len;
  }
  return out;
}

std::string XmlCharacterReference(char32_t c) { return "&#" + std::to_string(c) + ";"; }

std::string RtfUnicodeEscape(char32_t c) {
  UChar units[2];
  int n = ToUtf16(c, units);
  std::string out;
  for (int i = 0; i < n; ++i) out += "\\u" + std::to_string(static_cast<int16_t>(units[i])) + "?";
  return out;
}

}  // namespace zelka
