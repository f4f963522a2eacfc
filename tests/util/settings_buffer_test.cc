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
    testing::WriteBytes(path, text);
    buffer_.SetPrivateAppBuf(path, Env::Default(), MessageBoxWarning(host_));
  }
  std::string Get(const std::string& section, const std::string& key) {
    return buffer_.GetPrivateAppBuf(section, key);
  }
  testing::TempDir dir_;
  ScriptedHost host_;
  SettingsBuffer buffer_;
};

TEST_F(SettingsBufferTest, SectionsKeysContinuationsAndGeneralKeys) {
  Load("top\tgeneral value\n"
       "; a comment\n"
       "\n"
       "   \n"
       "[RTF]\r\n"
       "BEGIN_ITEM\t{\\b ¶}\n"
       "  APPEND_LINE\tline\textra dropped\n"
       "EMPTY\n"
       "[Other]\n"
       "BEGIN_ITEM\tother\n");
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_EQ(Get("", "top"), "general value");
  EXPECT_EQ(Get("PrivateAppBufGeneral", "top"), "general value");
  EXPECT_EQ(Get("RTF", "BEGIN_ITEM"), "{\\b \r\n}");
  EXPECT_EQ(Get("RTF", "APPEND_LINE"), "line");
  EXPECT_EQ(Get("RTF", "EMPTY"), "");
  EXPECT_EQ(Get("Other", "BEGIN_ITEM"), "other");
  EXPECT_EQ(Get("rtf", "BEGIN_ITEM"), "");  // names are case-sensitive
  EXPECT_EQ(Get("RTF", "missing"), "");
  buffer_.ClearPrivateAppBuf();
  EXPECT_EQ(Get("Other", "BEGIN_ITEM"), "");
  Load("[]\nloose\tl\n[S]\nK\tv\n");  // an empty section name does not hide later sections
  EXPECT_EQ(Get("", "loose"), "l");
  EXPECT_EQ(Get("S", "K"), "v");
}

TEST_F(SettingsBufferTest, ProblemsAreReportedAndTheRestIsLoaded) {
  Load("[RTF]\n\torphan\nKEY\tv\n");
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text,
            "セクション内でキーワードが１度も出現していないのに、キーワードが省略されています。\r[RTF]");
  EXPECT_EQ(host_.messages[0].title, "SetPrivateAppBuf");
  EXPECT_EQ(host_.messages[0].icon, Icon::kCritical);
  EXPECT_EQ(Get("RTF", "KEY"), "v");

  Load("[S]\nK\t\"quoted\"\n");  // quoted values warn and keep their quotes
  EXPECT_EQ(Get("S", "K"), "\"quoted\"");
  ASSERT_EQ(host_.messages.size(), 2u);
  EXPECT_EQ(host_.messages[1].title, "Piece2");

  buffer_.SetPrivateAppBuf(dir_.Child("nothing.PRA"), Env::Default(), MessageBoxWarning(host_));
  ASSERT_EQ(host_.messages.size(), 3u);
  EXPECT_EQ(host_.messages[2].title, "SetPrivateAppBuf");
  EXPECT_NE(host_.messages[2].text.find("53"), std::string::npos);
  EXPECT_NE(host_.messages[2].text.find("nothing.PRA"), std::string::npos);
  EXPECT_EQ(Get("S", "K"), "");
}

// A hundred sections (keys before any section take one) and 201 keys a
// section fit; one more stops the load with a message and keeps what was loaded.
TEST_F(SettingsBufferTest, LimitsOfSectionsAndKeys) {
  std::string sections = "general\tg\n", keys = "[S]\n";
  for (int i = 1; i <= 99; ++i) sections += "[S" + std::to_string(i) + "]\nK\tv" + std::to_string(i) + "\n";
  for (int i = 0; i < 201; ++i) keys += "K" + std::to_string(i) + "\tv" + std::to_string(i) + "\n";
  for (const std::string& text : {sections, keys}) {
    Load(text);
    EXPECT_TRUE(host_.messages.empty());
  }
  Load(sections + "[S100]\nK\tv100\n");
  EXPECT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(Get("S99", "K"), "v99");
  EXPECT_EQ(Get("S100", "K"), "");
  Load(keys + "K201\tv\n");
  EXPECT_EQ(host_.messages.size(), 2u);
  EXPECT_EQ(Get("S", "K200"), "v200");
  EXPECT_EQ(Get("S", "K201"), "");
}

TEST_F(SettingsBufferTest, ReadsUtf8WithBomAndCp932FilesAndTheDeliveredOne) {
  Load("\xEF\xBB\xBF[RTF]\nK\t表示\n");
  EXPECT_EQ(Get("RTF", "K"), "表示");
  Load(Utf8ToCp932("[RTF]\nK\t表示¶\n", RtfUnicodeEscape));
  EXPECT_EQ(Get("RTF", "K"), "表示\r\n");
  buffer_.SetPrivateAppBuf(testing::SourceAppDir() + "/ZELKA20.PRA", Env::Default(), MessageBoxWarning(host_));
  EXPECT_FALSE(Get("RTF", "BEGIN_ITEM").empty());
  EXPECT_TRUE(host_.messages.empty());
}

}  // namespace
}  // namespace zelka
