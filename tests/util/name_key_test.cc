#include "util/name_key.h"

#include <gtest/gtest.h>

namespace zelka {
namespace {

TEST(NameSearchKeyTest, KanaWidthCaseAndBlanksFoldAway) {
  const struct {
    const char* text;
    const char* key;
  } cases[] = {
      {"ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ ｶﾞﾂﾞﾄﾞ ｳﾞ", "パピプペポガヅドヴ"},
      {"ゔぁ ゞ", "ヴァヾ"},
      {"ﾞア", "゛ア"},  // a mark with no letter before it stays
      {"ｱﾞ", "ア゛"},  // nor does ア take one
      {"ＡＢｃ　１２", "abc12"},
      {"山田\t花子", "山田花子"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NameSearchKey(c.text), c.key) << c.text;
}

}  // namespace
}  // namespace zelka
