#include "util/name_key.h"

#include "util/utf8.h"

namespace zelka {

namespace {

// Full-width forms of the half-width katakana block U+FF61 … U+FF9F.
constexpr char16_t kFullWidthKana[] = {
    u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ', u'ョ', u'ッ',
    u'ー', u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ', u'サ', u'シ', u'ス', u'セ',
    u'ソ', u'タ', u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ', u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ',
    u'ホ', u'マ', u'ミ', u'ム', u'メ', u'モ', u'ヤ', u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ',
    u'ン', u'゛', u'゜'};

bool IsVoicedMark(char32_t c) { return c == U'゛' || c == 0x3099; }
bool IsSemiVoicedMark(char32_t c) { return c == U'゜' || c == 0x309A; }

// The letter with a voiced mark (カ → ガ, ウ → ヴ), or 0 when it takes none.
char32_t Voiced(char32_t c) {
  if (c == U'ウ') return U'ヴ';
  if ((c >= U'カ' && c <= U'チ') && (c - U'カ') % 2 == 0) return c + 1;  // カ … チ
  if (c == U'ツ' || c == U'テ' || c == U'ト') return c + 1;
  if (c >= U'ハ' && c <= U'ホ' && (c - U'ハ') % 3 == 0) return c + 1;  // ハ ヒ フ ヘ ホ
  return 0;
}

char32_t SemiVoiced(char32_t c) {
  if (c >= U'ハ' && c <= U'ホ' && (c - U'ハ') % 3 == 0) return c + 2;
  return 0;
}

char32_t Fold(char32_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) c = c - 0xFF01 + 0x21;       // full-width ASCII
  if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
  if (c >= 0x3041 && c <= 0x3096) return c + 0x60;             // hiragana ぁ … ゖ
  if (c == U'ゝ' || c == U'ゞ') return c + 0x60;                 // ゝ ゞ → ヽ ヾ
  if (c >= 0xFF61 && c <= 0xFF9F) return kFullWidthKana[c - 0xFF61];
  return c;
}

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000; }

}  // namespace

void AppendNameSearchKey(std::string_view text, std::string& key) {
  char32_t last = 0;        // the last letter written, which a mark may join
  size_t last_at = key.size();
  for (size_t pos = 0; pos < text.size();) {
    const char32_t c = Fold(NextChar(text, pos));
    if (IsBlank(c)) continue;
    const char32_t joined = IsVoicedMark(c) ? Voiced(last) : IsSemiVoicedMark(c) ? SemiVoiced(last) : 0;
    if (joined) {
      key.resize(last_at);
      AppendUtf8(key, joined);
      last = 0;
      continue;
    }
    last_at = key.size();
    if (c < 0x80) {
      key += static_cast<char>(c);
    } else {
      AppendUtf8(key, c);
    }
    last = c;
  }
}

std::string NameSearchKey(std::string_view text) {
  std::string key;
  key.reserve(text.size());
  AppendNameSearchKey(text, key);
  return key;
}

}  // namespace zelka
