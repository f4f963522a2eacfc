#include "util/cp932.h"

#include <gtest/gtest.h>

#include "util/utf8.h"

namespace zelka {
namespace {

std::string Fail(char32_t c) {
  ADD_FAILURE() << "unexpected unmappable U+" << std::hex << static_cast<uint32_t>(c);
  return "";
}

// Characters that other CP932 tables fold silently into look-alikes reach
// the handler (the full-width forms CP932 holds round trip in the report
// tests' XML data file).
TEST(Cp932Test, LookAlikesAreNeverFoldedSilently) {
  for (char32_t c : {U'〜', U'−', U'‖', U'¢', U'£', U'¬', U'€', U'𠮷'}) {
    std::string text = "a";
    AppendUtf8(text, c);
    text += "b";
    std::vector<char32_t> handed;
    std::string bytes = Utf8ToCp932(text, [&](char32_t u) {
      handed.push_back(u);
      return XmlCharacterReference(u);
    });
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0], c);
    EXPECT_EQ(bytes, "a&#" + std::to_string(c) + ";b");
  }
}

TEST(Cp932Test, MalformedInputIsRefusedWithAClearError) {
  EXPECT_THROW(Utf8ToCp932("\xFF", Fail), Cp932Error);
  EXPECT_THROW(Cp932ToUtf8("a\x95"), Cp932Error);       // ends inside a character
  EXPECT_THROW(Cp932ToUtf8("\x85\x40"), Cp932Error);    // an undefined code
  try {
    Cp932ToUtf8("ab\x95");
    FAIL();
  } catch (const Cp932Error& e) {
    EXPECT_NE(std::string(e.what()).find("2"), std::string::npos);
  }
}

}  // namespace
}  // namespace zelka
