// The trigger rules of CAPs 1 to 15: the boundaries that decide each CAP and
// the evidence each one lists.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"

namespace zelka::testing {
namespace {

using I = int64_t;

// An assessment that triggers CAP 1 once c3 is set: two H2 items at 2, h3 = 1.
MemoryAssessment Cap1Base() {
  MemoryAssessment a;
  a.Set("H", "h2-a", I{2}).Set("H", "h2-j", I{2}).Set("H", "h3", I{1});
  return a;
}

TEST(Cap1, ComprehensionBoundary) {
  auto a = Cap1Base();
  EXPECT_TRUE(Triggered(a, "1")) << "unanswered c3 reads -1 and passes c3 <= 2";
  a.Set("C", "c3", I{2});
  EXPECT_TRUE(Triggered(a, "1"));
  a.Set("C", "c3", I{3});
  EXPECT_FALSE(Triggered(a, "1"));
  a.Set("H", "h7-a", I{1}).Set("K", "k8-b", I{1}).Set("P", "p5", I{2});
  EXPECT_FALSE(Triggered(a, "1")) << "c3 = 3 rules it out whatever the rest";
}

TEST(Cap1, NeedsTwoAdlItemsAndOnePotential) {
  MemoryAssessment a;
  a.Set("H", "h2-c", I{2}).Set("H", "h3", I{1});
  EXPECT_FALSE(Triggered(a, "1")) << "one H2 item is not enough";
  a.Set("H", "h2-d", I{1});
  EXPECT_FALSE(Triggered(a, "1"));
  a.Set("H", "h2-d", I{8});
  EXPECT_TRUE(Triggered(a, "1"));
  a.Set("H", "h3", I{0});
  EXPECT_FALSE(Triggered(a, "1"));
  for (auto [table, column, value] : std::vector<std::tuple<std::string, std::string, I>>{
           {"H", "h7-c", 1}, {"K", "k8-d", 1}, {"P", "p5", 2}}) {
    MemoryAssessment b;
    b.Set("H", "h2-a", I{2}).Set("H", "h2-b", I{3}).Set(table, column, value);
    EXPECT_TRUE(Triggered(b, "1")) << column;
  }
  MemoryAssessment c;
  c.Set("H", "h2-a", I{2}).Set("H", "h2-b", I{3}).Set("P", "p5", I{1}).Set("K", "k8-a", I{1});
  EXPECT_FALSE(Triggered(c, "1")) << "p5 = 1 and k8-a are not conditions";
}

TEST(Cap1, EvidenceListsH3TwiceAndUnansweredC3Empty) {
  auto a = Cap1Base();
  a.Set("H", "h7-b", I{1}).Set("K", "k8-c", I{0}).Set("P", "p5", I{2});
  EXPECT_EQ(EvidenceOf(a, "1"),
            "理解力: C3= | ADL自立度: H2a=2 H2j=2 | ADLの低下: H3=1 | 身体機能の潜在能力: H7b=ﾚ | "
            "ケアニーズの変化: P5=2 H3=1");
}

TEST(Cap2a, PairTest) {
  MemoryAssessment a;
  a.Set("C", "c3", I{1}).Set("H", "h7-a", I{1}).Set("H", "h1-a-1", I{2});
  EXPECT_FALSE(Triggered(a, "2a")) << "h1-a-2 unanswered fails the pair test";
  a.Set("H", "h1-a-2", I{0});
  EXPECT_TRUE(Triggered(a, "2a"));
  a.Set("H", "h1-a-2", I{2});
  EXPECT_FALSE(Triggered(a, "2a"));
  a.Set("H", "h1-b-1", I{1}).Set("H", "h1-b-2", I{1});
  EXPECT_FALSE(Triggered(a, "2a")) << "item b is not part of the rule";
  a.Set("H", "h1-d-1", I{3}).Set("H", "h1-d-2", I{1});
  EXPECT_TRUE(Triggered(a, "2a"));
  a.Set("H", "h1-d-1", I{4});
  EXPECT_FALSE(Triggered(a, "2a"));
  a.Set("H", "h1-c-1", I{1}).Set("H", "h1-c-2", I{1}).Set("H", "h7-a", I{0});
  EXPECT_FALSE(Triggered(a, "2a")) << "needs an H7 item";
  a.Set("H", "h7-c", I{1}).Set("C", "c3", I{3});
  EXPECT_FALSE(Triggered(a, "2a"));
}

TEST(Cap2a, EvidenceListsPairs) {
  MemoryAssessment a;
  a.Set("C", "c3", I{0}).Set("H", "h7-c", I{1}).Set("H", "h1-a-1", I{1}).Set("H", "h1-a-2", I{1});
  a.Set("H", "h1-c-1", I{3}).Set("H", "h1-c-2", I{2}).Set("H", "h1-d-1", I{3}).Set("H", "h1-d-2", I{0});
  EXPECT_EQ(EvidenceOf(a, "2a"),
            "理解力: C3=0 | 身体機能の潜在能力: H7c=ﾚ | IADL実施状況: H1a(ア)=1 H1a(イ)=1 H1d(ア)=3 H1d(イ)=0");
}

TEST(Cap2b, ThreeOfFourSupportItems) {
  MemoryAssessment a;
  a.Set("H", "h1-a-2", I{1}).Set("H", "h1-d-2", I{2});
  EXPECT_FALSE(Triggered(a, "2b"));
  a.Set("H", "h1-f-2", I{3});
  EXPECT_FALSE(Triggered(a, "2b"));
  a.Set("H", "h1-b-2", I{1});
  EXPECT_FALSE(Triggered(a, "2b")) << "h1-b-2 does not count";
  a.Set("H", "h1-g-2", I{2});
  EXPECT_TRUE(Triggered(a, "2b"));
  EXPECT_EQ(EvidenceOf(a, "2b"), "IADL実施状況: H1a(イ)=1 H1d(イ)=2 H1g(イ)=2");
}

TEST(Cap3, DecisionMakingBoundary) {
  MemoryAssessment a;
  a.Set("H", "h6-b", I{1});
  EXPECT_TRUE(Triggered(a, "3")) << "unanswered b2-a passes";
  a.Set("B", "b2-a", I{1});
  EXPECT_TRUE(Triggered(a, "3"));
  a.Set("B", "b2-a", I{2});
  EXPECT_FALSE(Triggered(a, "3"));
  MemoryAssessment b;
  b.Set("B", "b2-a", I{0}).Set("H", "h5", I{3}).Set("H", "h6-a", I{1});
  EXPECT_FALSE(Triggered(b, "3"));
  b.Set("H", "h6-a", I{3});
  EXPECT_TRUE(Triggered(b, "3"));
  b.Set("H", "h6-a", I{4}).Set("H", "h5", I{1});
  EXPECT_TRUE(Triggered(b, "3"));
  b.Set("H", "h5", I{0}).Set("K", "k7-c", I{1});
  EXPECT_TRUE(Triggered(b, "3"));
  EXPECT_EQ(EvidenceOf(b, "3"), "日常の意思決定の認知能力: B2a=0 | 生活習慣: K7c=1");
}

TEST(Cap4, ScoreCountsOnePointPerFactor) {
  MemoryAssessment a;
  for (const char* c : {"h2-e", "h2-f", "h2-i", "h2-j"}) a.Set("H", c, I{6});
  for (const char* c : {"j1-g", "j1-h", "j1-i", "j1-k"}) a.Set("J", c, I{1});
  EXPECT_FALSE(Triggered(a, "4")) << "four H2 and four J1 items score 2";
  a.Set("AA", "aa-10", I{1});
  EXPECT_FALSE(Triggered(a, "4"));
  a.Set("P", "p5", I{2});
  EXPECT_TRUE(Triggered(a, "4"));
  EXPECT_EQ(EvidenceOf(a, "4"),
            "相談前５年間の入院・入所歴: AA10=1 | ADL自立度: H2e=6 H2f=6 H2i=6 H2j=6 | "
            "疾患: J1g=1 J1h=1 J1i=1 J1k=1 | ケアニーズの変化: P5=2");
}

TEST(Cap4, EachFactorAtItsBoundary) {
  MemoryAssessment a;  // three points to start with
  a.Set("B", "b3-a", I{1}).Set("H", "h6-a", I{2}).Set("H", "h3", I{1});
  EXPECT_FALSE(Triggered(a, "4"));
  a.Set("H", "h1-f-1", I{8});
  EXPECT_FALSE(Triggered(a, "4")) << "factor 3 needs both IADL items at 8";
  a.Set("H", "h1-a-1", I{8});
  EXPECT_TRUE(Triggered(a, "4"));
  a.Set("H", "h1-a-1", I{3}).Set("I", "i1-a", I{2});
  EXPECT_FALSE(Triggered(a, "4"));
  a.Set("I", "i1-a", I{5});
  EXPECT_TRUE(Triggered(a, "4"));
  a.Set("I", "i1-a", I{6}).Set("H", "h2-e", I{7}).Set("J", "j1-k", I{3});
  EXPECT_FALSE(Triggered(a, "4"));
  a.Set("H", "h6-a", I{4}).Set("H", "h2-j", I{2}).Set("J", "j1-g", I{2});
  EXPECT_TRUE(Triggered(a, "4"));
}

TEST(Cap5To9, RangesBothEndsAndOnePast) {
  struct Case { const char* cap; const char* table; const char* column; I low, high; };
  for (const Case& c : {Case{"5", "C", "c1", 1, 3}, Case{"5", "C", "c2", 1, 4}, Case{"5", "C", "c3", 1, 4},
                        Case{"6", "D", "d1", 1, 4}, Case{"8", "B", "b2-a", 2, 4},
                        Case{"9", "E", "e3-a", 1, 2}, Case{"9", "E", "e3-e", 1, 2}}) {
    for (I v : {c.low - 1, c.low, c.high, c.high + 1}) {
      MemoryAssessment a;
      a.Set(c.table, c.column, v);
      EXPECT_EQ(Triggered(a, c.cap), v >= c.low && v <= c.high) << "CAP " << c.cap << " " << c.column << "=" << v;
    }
  }
  MemoryAssessment none;
  for (const char* cap : {"5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"})
    EXPECT_FALSE(Triggered(none, cap)) << "an unanswered assessment triggers no CAP " << cap;
}

TEST(Cap5To8, Evidence) {
  MemoryAssessment a;
  a.Set("C", "c1", I{3}).Set("C", "c2", I{4}).Set("C", "c3", I{5});
  EXPECT_EQ(EvidenceOf(a, "5"), "聴覚: C1=3 | 伝達能力または理解力: C2=4");
  a.Set("D", "d2", I{1}).Set("D", "d3", I{1});
  EXPECT_EQ(EvidenceOf(a, "6"), "視力，視覚の制限・障害: D2=1 | 視力低下: D3=1");
  a.Set("K", "k7-b", I{1});
  EXPECT_TRUE(Triggered(a, "7"));
  EXPECT_EQ(EvidenceOf(a, "7"), "生活習慣: K7b=1");
  a.Set("B", "b1-a", I{1}).Set("B", "b3-b", I{1});
  EXPECT_EQ(EvidenceOf(a, "8"), "記憶を想起する能力: B1a=1 | せん妄の兆候: B3b=1");
}

TEST(Cap10, OnesNeedASecondTwosDoNot) {
  MemoryAssessment a;
  a.Set("E", "e1-c", I{1});
  EXPECT_FALSE(Triggered(a, "10"));
  a.Set("E", "e1-g", I{1});
  EXPECT_TRUE(Triggered(a, "10"));
  MemoryAssessment b;
  b.Set("E", "e1-a", I{2}).Set("E", "e1-b", I{3});
  EXPECT_TRUE(Triggered(b, "10"));
  EXPECT_EQ(EvidenceOf(b, "10"), "うつ状態，不安の兆候: E1a=2");
}

TEST(Cap11, IgnoresK9b) {
  MemoryAssessment a;
  a.Set("K", "k9-b", I{1});
  EXPECT_FALSE(Triggered(a, "11"));
  a.Set("K", "k9-e", I{1}).Set("K", "k9-a", I{1});
  EXPECT_TRUE(Triggered(a, "11"));
  EXPECT_EQ(EvidenceOf(a, "11"), "その他の状況: K9a=ﾚ K9e=ﾚ");
}

TEST(Cap12To14, ConditionsAndLaziness) {
  MemoryAssessment a;
  a.Set("F", "f2", I{1}).Set("F", "f3-b", I{0});
  EXPECT_FALSE(Triggered(a, "12"));
  a.Set("F", "f2", I{2});
  EXPECT_TRUE(Triggered(a, "12"));
  EXPECT_EQ(EvidenceOf(a, "12"), "社会的活動の変化: F2=2");

  MemoryAssessment b;
  b.Set("J", "j1-e", I{2});
  b.RemoveRow("K");
  EXPECT_TRUE(Triggered(b, "13")) << "table K is read only when j1-e fails";
  b.Set("J", "j1-e", I{3});
  EXPECT_THROW(Triggered(b, "13"), CapError);

  MemoryAssessment c;
  c.Set("K", "k2-c", I{1});
  c.RemoveRow("L");
  EXPECT_TRUE(Triggered(c, "14")) << "table L is read only when k2-c fails";
  EXPECT_THROW(EvidenceOf(c, "14"), CapError) << "evidence reads every table";
  MemoryAssessment d;
  d.Set("K", "k3-e", I{1}).Set("L", "l2-c", I{1}).Set("K", "k2-c", I{0});
  EXPECT_EQ(EvidenceOf(d, "13"), "現症: K3e=ﾚ");
  EXPECT_EQ(EvidenceOf(d, "14"), "食事摂取: L2c=1") << "k2-c = 0 is not listed";
}

TEST(Cap15, FallRisk) {
  MemoryAssessment a;
  a.Set("K", "k6-a", I{1});
  EXPECT_FALSE(Triggered(a, "15")) << "unanswered k6-b is not 0";
  a.Set("K", "k6-b", I{1});
  EXPECT_FALSE(Triggered(a, "15"));
  a.Set("K", "k6-b", I{0});
  EXPECT_TRUE(Triggered(a, "15"));
  EXPECT_EQ(EvidenceOf(a, "15"), "転倒の危険: K6a=1 K6b=0");
  MemoryAssessment b;
  b.Set("J", "j1-l", I{1}).Set("J", "j1-g", I{1}).Set("K", "k5", I{0});
  EXPECT_FALSE(Triggered(b, "15"));
  b.Set("K", "k5", I{1});
  EXPECT_TRUE(Triggered(b, "15"));
  b.Set("K", "k5", I{0}).Set("J", "j1-g", I{2}).Set("B", "b3-a", I{1});
  EXPECT_TRUE(Triggered(b, "15"));
  EXPECT_EQ(EvidenceOf(b, "15"), "せん妄の兆候: B3a=1 | 疾患: J1g=2");
}

}  // namespace
}  // namespace zelka::testing
