#include "util/settings_buffer.h"

#include <gtest/gtest.h>

#include "host/scripted_host.h"
#include "support/temp_dir.h"
#include "util/cp932.h"
#include "util/env.h"

namespace zelka {
namespace {

class SettingsBufferTest : public ::testing::Test {
 protected:
  // Loads the text as a settings file.
  void Load(const std::string& text) {
    std::string path = dir_.Child("ZELKA20.PRA");
    ASSERT_TRUE(Env::Default().WriteFile(path, text));
    buffer_.SetPrivateAppBuf(path, Env::Default(), MessageBoxWarning(host_));
  }
  testing::TempDir dir_;
  ScriptedHost host_;
  SettingsBuffer buffer_;
};

TEST_F(SettingsBufferTest, SectionsKeysAndGeneralKeys) {
  Load("top\tgeneral value\n"
       "; a comment\n"
       "\n"
       "   \n"
       "[RTF]\n"
       "BEGIN_ITEM\t{\\b ¶}\n"
       "  APPEND_LINE\tline\textra dropped\n"
       "EMPTY\n"
       "[Other]\n"
       "BEGIN_ITEM\tother\n");
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(buffer_.GetPrivateAppBuf("", "top"), "general value");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("PrivateAppBufGeneral", "top"), "general value");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("RTF", "BEGIN_ITEM"), "{\\b \r\n}");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("RTF", "APPEND_LINE"), "line");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("RTF", "EMPTY"), "");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("Other", "BEGIN_ITEM"), "other");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("rtf", "BEGIN_ITEM"), "");  // names are case-sensitive
  EXPECT_EQ(buffer_.GetPrivateAppBuf("RTF", "missing"), "");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("Missing", "BEGIN_ITEM"), "");
}

TEST_F(SettingsBufferTest, ContinuationLinesJoinTheLastValue) {
  Load("[RTF]\r\n"
       "BEGIN_ITEM\tpart one¶\r\n"
       "\tpart two¶\r\n"
       "\tpart three\r\n"
       "NEXT\tx\r\n");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("RTF", "BEGIN_ITEM"), "part one\r\npart two\r\npart three");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("RTF", "NEXT"), "x");
}

TEST_F(SettingsBufferTest, ContinuationWithoutKeyIsReportedAndSkipped) {
  Load("[RTF]\n\torphan\nKEY\tv\n");
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text,
            "セクション内でキーワードが１度も出現していないのに、キーワードが省略されています。\r[RTF]");
  EXPECT_EQ(host_.messages[0].title, "SetPrivateAppBuf");
  EXPECT_EQ(host_.messages[0].icon, Icon::kCritical);
  EXPECT_EQ(buffer_.GetPrivateAppBuf("RTF", "KEY"), "v");
}

TEST_F(SettingsBufferTest, QuotedValuesWarnAndKeepTheirQuotes) {
  Load("[S]\nK\t\"quoted\"\n");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("S", "K"), "\"quoted\"");
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].title, "Piece2");
}

TEST_F(SettingsBufferTest, MissingFileIsReportedOnceAndLeavesTheBufferEmpty) {
  Load("[S]\nK\tv\n");
  buffer_.SetPrivateAppBuf(dir_.Child("nothing.PRA"), Env::Default(), MessageBoxWarning(host_));
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].title, "SetPrivateAppBuf");
  EXPECT_EQ(host_.messages[0].icon, Icon::kCritical);
  EXPECT_NE(host_.messages[0].text.find("53"), std::string::npos);
  EXPECT_NE(host_.messages[0].text.find("nothing.PRA"), std::string::npos);
  EXPECT_EQ(buffer_.GetPrivateAppBuf("S", "K"), "");
}

TEST_F(SettingsBufferTest, HundredSectionsFitAndTheHundredAndFirstStopsTheLoad) {
  std::string text;
  for (int i = 1; i <= 101; ++i) text += "[S" + std::to_string(i) + "]\nK\tv" + std::to_string(i) + "\n";
  Load(text);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].title, "SetPrivateAppBuf");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("S100", "K"), "v100");  // what was loaded stays
  EXPECT_EQ(buffer_.GetPrivateAppBuf("S101", "K"), "");
}

TEST_F(SettingsBufferTest, KeysBeforeASectionTakeASlotToo) {
  std::string text = "general\tg\n";
  for (int i = 1; i <= 99; ++i) text += "[S" + std::to_string(i) + "]\n";
  Load(text);
  EXPECT_TRUE(host_.messages.empty());
  Load(text + "[S100]\n");
  EXPECT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(buffer_.GetPrivateAppBuf("", "general"), "g");
}

TEST_F(SettingsBufferTest, TwoHundredAndOneKeysPerSection) {
  std::string text = "[S]\n";
  for (int i = 0; i < 201; ++i) text += "K" + std::to_string(i) + "\tv" + std::to_string(i) + "\n";
  Load(text);
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(buffer_.GetPrivateAppBuf("S", "K200"), "v200");
  Load(text + "K201\tv\n");
  EXPECT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(buffer_.GetPrivateAppBuf("S", "K200"), "v200");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("S", "K201"), "");
}

TEST_F(SettingsBufferTest, AnEmptySectionNameDoesNotHideLaterSections) {
  Load("[]\nloose\tl\n[S]\nK\tv\n");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("", "loose"), "l");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("S", "K"), "v");
}

TEST_F(SettingsBufferTest, ReadsUtf8WithBomAndCp932Files) {
  Load("\xEF\xBB\xBF[RTF]\nK\t表示\n");
  EXPECT_EQ(buffer_.GetPrivateAppBuf("RTF", "K"), "表示");
  Load(Utf8ToCp932("[RTF]\nK\t表示¶\n", RtfUnicodeEscape));
  EXPECT_EQ(buffer_.GetPrivateAppBuf("RTF", "K"), "表示\r\n");
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(SettingsBufferTest, ClearEmptiesEverything) {
  Load("[S]\nK\tv\n");
  buffer_.ClearPrivateAppBuf();
  EXPECT_EQ(buffer_.GetPrivateAppBuf("S", "K"), "");
}

TEST(SettingsBufferDeliveredFile, TheDeliveredSettingsFileLoadsCleanly) {
  std::string path = testing::SourceAppDir() + "/ZELKA20.PRA";
  if (!Env::Default().FileExists(path)) GTEST_SKIP() << "no delivered settings file yet";
  ScriptedHost host;
  SettingsBuffer buffer;
  buffer.SetPrivateAppBuf(path, Env::Default(), MessageBoxWarning(host));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(buffer.GetPrivateAppBuf("RTF", "BEGIN_ITEM").empty());
}

}  // namespace
}  // namespace zelka
