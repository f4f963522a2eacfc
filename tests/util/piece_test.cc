#include "util/piece.h"

#include <gtest/gtest.h>

#include "host/scripted_host.h"

namespace zelka {
namespace {

TEST(PieceTest, PiecesCountsAndReplacements) {
  const std::tuple<std::string, int, std::string> pieces[] = {
      {"ab|cd|ef", 1, "ab"}, {"ab|cd|ef", 2, "cd"}, {"ab|cd|ef", 3, "ef"}, {"ab|cd|ef", 4, ""}, {"abc", 1, "abc"},
      {"abc", 2, ""},        {"|x|", 1, ""},        {"|x|", 3, ""},       {"", 1, ""}};
  for (auto* fn : {&Piece, &Piece2})
    for (const auto& [text, n, piece] : pieces) EXPECT_EQ(fn(text, n, "|", nullptr), piece) << text << " " << n;
  EXPECT_EQ(Piece("転倒、栄養、口腔", 2, "、"), "栄養");
  EXPECT_EQ(Piece2("表|予", 2, "|"), "予") << "a delimiter byte inside another character never splits it";
  for (const auto& [text, count] : std::vector<std::pair<std::string, int>>{
           {"", 0}, {"a", 0}, {",,", 2}, {"転倒、栄養、口腔", 2}})
    EXPECT_EQ(PieceCnt(text, text.find("、") == std::string::npos ? "," : "、"), count) << text;
  // Left to right, without rescanning what was put in.
  const std::tuple<std::string, std::string, std::string, std::string> replacements[] = {
      {"aa", "a", "aa", "aaaa"}, {"a¶b¶", "¶", "\r\n", "a\r\nb\r\n"}, {"aaa", "aa", "b", "ba"},
      {"abc", "x", "y", "abc"},  {"", "x", "y", ""},                    {"abc", "b", "", "ac"}};
  for (const auto& [text, find, put, result] : replacements) EXPECT_EQ(StrRep(text, find, put), result) << text;
}

TEST(PieceTest, ArgumentErrorsAreShownAndTheFunctionGoesOn) {
  ScriptedHost host;
  EXPECT_EQ(Piece2("a,,b", 1, ",,", MessageBoxWarning(host)), "a");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Piece2ﾕｰｻﾞｰ関数: 区切り文字は1文字で指定してく出さい");
  EXPECT_EQ(host.messages[0].title, "引数のｴﾗｰ");
  EXPECT_EQ(host.messages[0].icon, Icon::kExclamation);
  EXPECT_EQ(Piece("a,b", 0, ",", MessageBoxWarning(host)), "");
  EXPECT_EQ(host.LastMessage(), "Pieceﾕｰｻﾞｰ関数: 何個めかは、1以上を指定して下さい");
  EXPECT_EQ(PieceCnt("a,b", "", MessageBoxWarning(host)), 0);
  EXPECT_EQ(host.LastMessage(), "PieceCntﾕｰｻﾞｰ関数: 区切り文字は1文字で指定してく出さい");
  EXPECT_EQ(StrRep("abc", "", "x", MessageBoxWarning(host)), "");
  EXPECT_EQ(host.LastMessage(), "StrRepﾕｰｻﾞｰ関数: 検索文字列がありません");
  EXPECT_EQ(host.messages.back().title, "引数ｴﾗｰ");
  Piece2("", 0, ",", MessageBoxWarning(host));  // an empty text returns at once: no complaint
  EXPECT_EQ(host.messages.size(), 4u);
  EXPECT_EQ(Piece2("a", 0, "", nullptr), "");  // without a host nothing is shown
}

TEST(PieceTest, QuotedPieceWarnsOnlyInPiece2) {
  ScriptedHost host;
  EXPECT_EQ(Piece2("k\t\"v\"", 2, "\t", MessageBoxWarning(host)), "\"v\"");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text,
            "このデータはダブルクォーティーションで囲まれています。\r余計なスペースが入っていると思われます");
  EXPECT_EQ(host.messages[0].title, "Piece2");
  Piece("k\t\"v\"", 2, "\t", MessageBoxWarning(host));
  Piece2("\"", 1, "\t", MessageBoxWarning(host));  // one quote alone is not enclosed
  Piece2("\"a", 1, "\t", MessageBoxWarning(host));
  EXPECT_EQ(host.messages.size(), 1u);
}

}  // namespace
}  // namespace zelka
