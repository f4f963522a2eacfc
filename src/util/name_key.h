// The form in which the search dialogs compare client names. Names are kept
// in kana as typed (ヤマダ　ハナコ), and users type them back in whatever their
// keyboard gives (やまだ, ﾔﾏﾀﾞ, ヤマダ ハナコ, ヤマダハナコ): two texts that differ
// only in those ways have the same key.
#pragma once

#include <string>
#include <string_view>

namespace zelka {

// Hiragana becomes katakana; half-width katakana becomes full-width, with a
// following voiced or semi-voiced mark joined to its letter (ﾀﾞ is ダ);
// full-width ASCII becomes ASCII and ASCII letters lower case; blanks (space,
// ideographic space, tab) are dropped. Other characters are kept.
std::string NameSearchKey(std::string_view text);
// The same, appended to `key` (for callers that reuse one buffer).
void AppendNameSearchKey(std::string_view text, std::string& key);

}  // namespace zelka
