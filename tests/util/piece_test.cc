#include "util/piece.h"

#include <gtest/gtest.h>

#include "host/scripted_host.h"

namespace zelka {
namespace {

TEST(PieceTest, PiecesOfADelimitedText) {
  for (auto* fn : {&Piece, &Piece2}) {
    EXPECT_EQ(fn("ab|cd|ef", 1, "|", nullptr), "ab");
    EXPECT_EQ(fn("ab|cd|ef", 2, "|", nullptr), "cd");
    EXPECT_EQ(fn("ab|cd|ef", 3, "|", nullptr), "ef");
    EXPECT_EQ(fn("ab|cd|ef", 4, "|", nullptr), "");
    EXPECT_EQ(fn("abc", 1, "|", nullptr), "abc");
    EXPECT_EQ(fn("abc", 2, "|", nullptr), "");
    EXPECT_EQ(fn("|x|", 1, "|", nullptr), "");
    EXPECT_EQ(fn("|x|", 3, "|", nullptr), "");
    EXPECT_EQ(fn("", 1, "|", nullptr), "");
  }
}

TEST(PieceTest, MultiByteTextAndDelimiter) {
  EXPECT_EQ(Piece("転倒、栄養、口腔", 2, "、"), "栄養");
  EXPECT_EQ(PieceCnt("転倒、栄養、口腔", "、"), 2);
  // A delimiter byte inside another character never splits it.
  EXPECT_EQ(Piece2("表|予", 2, "|"), "予");
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
  EXPECT_EQ(host.messages.size(), 4u);

  // An empty text returns at once: no complaint about the piece number.
  Piece2("", 0, ",", MessageBoxWarning(host));
  EXPECT_EQ(host.messages.size(), 4u);
  // Without a host nothing is shown and nothing fails.
  EXPECT_EQ(Piece2("a", 0, "", nullptr), "");
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

TEST(PieceTest, CountsDelimiters) {
  EXPECT_EQ(PieceCnt("", ","), 0);
  EXPECT_EQ(PieceCnt("a", ","), 0);
  EXPECT_EQ(PieceCnt(",,", ","), 2);
}

TEST(StrRepTest, ReplacesLeftToRightWithoutRescanning) {
  EXPECT_EQ(StrRep("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(StrRep("a¶b¶", "¶", "\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(StrRep("aaa", "aa", "b"), "ba");
  EXPECT_EQ(StrRep("abc", "x", "y"), "abc");
  EXPECT_EQ(StrRep("", "x", "y"), "");
  EXPECT_EQ(StrRep("abc", "b", ""), "ac");
}

}  // namespace
}  // namespace zelka
