#include "store/validation.h"

#include <gtest/gtest.h>

#include "host/scripted_host.h"
#include "store/catalogue.h"

namespace zelka {
namespace {

constexpr const char kDateMessage[] =
    "日付または時間を入力する項目で、正しく入力していないところがあります";

// Only names past the prefix are bound: a button or a bare prefix is not.
TEST(ElementNaming, OnlyNamedElementsWithThePrefixAreBound) {
  EXPECT_TRUE(IsBoundElement("zlk_1_1"));
  EXPECT_FALSE(IsBoundElement("cmdNext"));
  EXPECT_FALSE(IsBoundElement("zlk_"));
  EXPECT_FALSE(IsBoundElement("ZLK_1_1"));
}

// A column takes only what it holds exactly: no fraction in a whole-number
// column, nothing beyond its type's range, no sign, separator or letter.
TEST(ReadNumber, ColumnsTakeOnlyWhatTheyHoldExactly) {
  const std::tuple<const char*, int, Value> read[] = {
      {"12", kTypeInteger, int64_t{12}},  {"１２", kTypeInteger, int64_t{12}},
      {"007", kTypeLong, int64_t{7}},     {"2.0", kTypeByte, int64_t{2}},
      {"", kTypeLong, Value{}},           {"255", kTypeByte, int64_t{255}},
      {"32767", kTypeInteger, int64_t{32767}}, {"2147483647", kTypeLong, int64_t{2147483647}},
      {"0000000000000000000000042", kTypeLong, int64_t{42}},
      {"1.5", kTypeSingle, 1.5},          {"６２．５", kTypeSingle, 62.5}, {"3.", kTypeSingle, 3.0}};
  for (const auto& [text, type, value] : read) EXPECT_EQ(ReadNumber(text, type), value) << text;
  const std::pair<const char*, int> refused[] = {
      {"256", kTypeByte}, {"32768", kTypeInteger}, {"2147483648", kTypeLong},
      {"99999999999999999999999", kTypeLong}, {"1.2.3", kTypeSingle}};
  for (const auto& [text, type] : refused) EXPECT_FALSE(ReadNumber(text, type)) << text;
  EXPECT_FALSE(ReadNumber(std::string(60, '9'), kTypeSingle));
  for (int type : {kTypeByte, kTypeInteger, kTypeLong})
    for (const char* text : {"1.5", "1.2.3", ".5"}) EXPECT_FALSE(ReadNumber(text, type)) << text << " " << type;
  for (const char* text : {"-1", "1,000", " 1", "1 ", "1e3", ".", "+2", "１ ２", "abc", "0x10"})
    EXPECT_FALSE(ReadNumber(text, kTypeLong)) << text;
}

TEST(ReadDate, NarrowsAndReadsPointsAsSlashes) {
  EXPECT_EQ(ReadDate("2003.04.01"), (Date{2003, 4, 1}));
  EXPECT_EQ(ReadDate("２００３．４．１"), (Date{2003, 4, 1}));
  EXPECT_EQ(ReadDate("2003/04/01 13:05"), (Date{2003, 4, 1, 13, 5}));
  EXPECT_FALSE(ReadDate("2003.13.01"));
  EXPECT_FALSE(ReadDate(""));
}

class CheckTest : public ::testing::Test {
 protected:
  // The last message must be the check's refusal, shown the way all of them are.
  void ExpectRefused(const std::string& message, const std::string& element) {
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, message);
    EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
    EXPECT_EQ(host.messages[0].buttons, Buttons::kOk);
    EXPECT_EQ(host.messages[0].title, "");
    EXPECT_EQ(host.focused[View::kEntry], element);
    EXPECT_EQ(host.Background(View::kEntry, element), "#ff0000");
  }
  ScriptedHost host;
};

TEST_F(CheckTest, LengthCountsCharactersNotBytes) {
  std::string name;
  for (int i = 0; i < 32; ++i) name += "山";  // 96 bytes
  EXPECT_TRUE(CheckLength(name, host, "1-1", 32));
  EXPECT_EQ(host.Background(View::kEntry, "zlk_1_1"), "#ffffff");
  EXPECT_TRUE(host.messages.empty());

  EXPECT_FALSE(CheckLength(name + "田", host, "1-1", 32));
  ExpectRefused("文字数が多すぎます。32文字以内で入力してください。", "zlk_1_1");
}

// A named refusal: the item, then the message, then why a date is none when
// the reader can tell.
TEST_F(CheckTest, RefusalNamesTheItemAndSaysWhyADateIsNone) {
  EXPECT_FALSE(CheckLength(std::string(21, '9'), host, "1-4-2", 20, nullptr, "1-4-2 電話番号"));
  ExpectRefused("1-4-2 電話番号: 文字数が多すぎます。20文字以内で入力してください。", "zlk_1_4_2");
  host.messages.clear();
  EXPECT_FALSE(CheckDate("H31.5.1", host, "A1", nullptr, "A1 基準日"));
  ExpectRefused(std::string("A1 基準日: ") + kDateMessage +
                    "\r\n平成は平成31年4月30日で終わっています。この日付は令和元年5月1日です。",
                "zlk_A1");
  host.messages.clear();
  EXPECT_FALSE(CheckDate("あした", host, "1-8-1-4", nullptr, "1-8-1-4 治療開始"));
  ExpectRefused(std::string("1-8-1-4 治療開始: ") + kDateMessage, "zlk_1_8_1_4");
}

}  // namespace
}  // namespace zelka
