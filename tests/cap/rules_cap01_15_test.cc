// The trigger rules of CAPs 1 to 15: the boundaries that decide each CAP and
// the evidence each one lists.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"

namespace zelka::testing {
namespace {

using I = int64_t;

TEST(Cap1, ComprehensionBoundaryAndEvidence) {
  ExpectSteps("1", {
      // Two H2 items at 2 and h3 = 1; an unanswered c3 reads -1 and passes c3 <= 2.
      {{{"H", "h2-a", 2}, {"H", "h2-j", 2}, {"H", "h3", 1}, {"H", "h7-b", 1}, {"K", "k8-c", 0}, {"P", "p5", 2}}, true,
       "理解力: C3= | ADL自立度: H2a=2 H2j=2 | ADLの低下: H3=1 | 身体機能の潜在能力: H7b=ﾚ | "
       "ケアニーズの変化: P5=2 H3=1"},
      {{{"C", "c3", 2}}, true},
      {{{"C", "c3", 3}}, false},
      {{{"H", "h7-a", 1}, {"K", "k8-b", 1}}, false},  // c3 = 3 rules it out whatever the rest
  });
}

TEST(Cap1, NeedsTwoAdlItemsAndOnePotential) {
  ExpectSteps("1", {{{{"H", "h2-c", 2}, {"H", "h3", 1}}, false},  // one H2 item is not enough
                    {{{"H", "h2-d", 1}}, false},
                    {{{"H", "h2-d", 8}}, true},
                    {{{"H", "h3", 0}}, false}});
  for (const Answer& potential : {Answer{"H", "h7-c", 1}, Answer{"K", "k8-d", 1}, Answer{"P", "p5", 2}})
    ExpectSteps("1", {{{{"H", "h2-a", 2}, {"H", "h2-b", 3}, potential}, true}});
  // p5 = 1 and k8-a are not conditions.
  ExpectSteps("1", {{{{"H", "h2-a", 2}, {"H", "h2-b", 3}, {"P", "p5", 1}, {"K", "k8-a", 1}}, false}});
}

TEST(Cap2, IadlPairsAndSupportItems) {
  ExpectSteps("2a", {{{{"C", "c3", 1}, {"H", "h7-a", 1}, {"H", "h1-a-1", 2}}, false},  // h1-a-2 unanswered fails the pair
                     {{{"H", "h1-a-2", 0}}, true},
                     {{{"H", "h1-a-2", 2}}, false},
                     {{{"H", "h1-b-1", 1}, {"H", "h1-b-2", 1}}, false},  // item b is not part of the rule
                     {{{"H", "h1-d-1", 3}, {"H", "h1-d-2", 1}}, true},
                     {{{"H", "h1-d-1", 4}}, false},
                     {{{"H", "h1-c-1", 1}, {"H", "h1-c-2", 1}, {"H", "h7-a", 0}}, false},  // needs an H7 item
                     {{{"H", "h7-c", 1}, {"C", "c3", 3}}, false}});
  ExpectSteps("2a", {{{{"C", "c3", 0}, {"H", "h7-c", 1}, {"H", "h1-a-1", 1}, {"H", "h1-a-2", 1}, {"H", "h1-c-1", 3},
                       {"H", "h1-c-2", 2}, {"H", "h1-d-1", 3}, {"H", "h1-d-2", 0}},
                      {},
                      "理解力: C3=0 | 身体機能の潜在能力: H7c=ﾚ | IADL実施状況: H1a(ア)=1 H1a(イ)=1 H1d(ア)=3 H1d(イ)=0"}});
  ExpectSteps("2b", {{{{"H", "h1-a-2", 1}, {"H", "h1-d-2", 2}}, false},
                     {{{"H", "h1-f-2", 3}}, false},
                     {{{"H", "h1-b-2", 1}}, false},  // h1-b-2 does not count
                     {{{"H", "h1-g-2", 2}}, true, "IADL実施状況: H1a(イ)=1 H1d(イ)=2 H1g(イ)=2"}});
}

TEST(Cap3, DecisionMakingBoundary) {
  ExpectSteps("3", {{{{"H", "h6-b", 1}}, true},  // unanswered b2-a passes
                    {{{"B", "b2-a", 1}}, true},
                    {{{"B", "b2-a", 2}}, false}});
  ExpectSteps("3", {{{{"B", "b2-a", 0}, {"H", "h5", 3}, {"H", "h6-a", 1}}, false},
                    {{{"H", "h6-a", 3}}, true},
                    {{{"H", "h6-a", 4}, {"H", "h5", 1}}, true},
                    {{{"H", "h5", 0}, {"K", "k7-c", 1}}, true, "日常の意思決定の認知能力: B2a=0 | 生活習慣: K7c=1"}});
}

TEST(Cap4, ScoreCountsOnePointPerFactor) {
  ExpectSteps("4", {{{{"H", "h2-e", 6}, {"H", "h2-f", 6}, {"H", "h2-i", 6}, {"H", "h2-j", 6}, {"J", "j1-g", 1},
                      {"J", "j1-h", 1}, {"J", "j1-i", 1}, {"J", "j1-k", 1}},
                     false},  // four H2 and four J1 items score 2
                    {{{"AA", "aa-10", 1}}, false},
                    {{{"P", "p5", 2}}, true,
                     "相談前５年間の入院・入所歴: AA10=1 | ADL自立度: H2e=6 H2f=6 H2i=6 H2j=6 | "
                     "疾患: J1g=1 J1h=1 J1i=1 J1k=1 | ケアニーズの変化: P5=2"}});
  ExpectSteps("4", {{{{"B", "b3-a", 1}, {"H", "h6-a", 2}, {"H", "h3", 1}}, false},  // three points to start with
                    {{{"H", "h1-f-1", 8}}, false},  // factor 3 needs both IADL items at 8
                    {{{"H", "h1-a-1", 8}}, true},
                    {{{"H", "h1-a-1", 3}, {"I", "i1-a", 2}}, false},
                    {{{"I", "i1-a", 5}}, true},
                    {{{"I", "i1-a", 6}, {"H", "h2-e", 7}, {"J", "j1-k", 3}}, false},
                    {{{"H", "h6-a", 4}, {"H", "h2-j", 2}, {"J", "j1-g", 2}}, true}});
}

TEST(Cap5To9, RangesBothEndsAndOnePast) {
  struct Case { const char* cap; const char* table; const char* column; I low, high; };
  for (const Case& c : {Case{"5", "C", "c1", 1, 3}, Case{"5", "C", "c2", 1, 4}, Case{"5", "C", "c3", 1, 4},
                        Case{"6", "D", "d1", 1, 4}, Case{"8", "B", "b2-a", 2, 4},
                        Case{"9", "E", "e3-a", 1, 2}, Case{"9", "E", "e3-e", 1, 2}}) {
    for (I v : {c.low - 1, c.low, c.high, c.high + 1})
      ExpectSteps(c.cap, {{{{c.table, c.column, v}}, v >= c.low && v <= c.high}});
  }
  MemoryAssessment none;
  for (const char* cap : {"5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"})
    EXPECT_FALSE(Triggered(none, cap)) << "an unanswered assessment triggers no CAP " << cap;
}

TEST(Cap5To8, Evidence) {
  ExpectSteps("5", {{{{"C", "c1", 3}, {"C", "c2", 4}, {"C", "c3", 5}}, {}, "聴覚: C1=3 | 伝達能力または理解力: C2=4"}});
  ExpectSteps("6", {{{{"D", "d2", 1}, {"D", "d3", 1}}, {}, "視力，視覚の制限・障害: D2=1 | 視力低下: D3=1"}});
  ExpectSteps("7", {{{{"K", "k7-b", 1}}, true, "生活習慣: K7b=1"}});
  ExpectSteps("8", {{{{"B", "b1-a", 1}, {"B", "b3-b", 1}}, {}, "記憶を想起する能力: B1a=1 | せん妄の兆候: B3b=1"}});
}

TEST(Cap10To12, MoodOtherStatesAndSocialActivity) {
  ExpectSteps("10", {{{{"E", "e1-c", 1}}, false}, {{{"E", "e1-g", 1}}, true}});  // ones need a second
  ExpectSteps("10", {{{{"E", "e1-a", 2}, {"E", "e1-b", 3}}, true, "うつ状態，不安の兆候: E1a=2"}});  // twos do not
  ExpectSteps("11", {{{{"K", "k9-b", 1}}, false},  // k9-b is ignored
                     {{{"K", "k9-e", 1}, {"K", "k9-a", 1}}, true, "その他の状況: K9a=ﾚ K9e=ﾚ"}});
  ExpectSteps("12", {{{{"F", "f2", 1}, {"F", "f3-b", 0}}, false}, {{{"F", "f2", 2}}, true, "社会的活動の変化: F2=2"}});
}

TEST(Cap13And14, TablesAreReadOnlyWhenNeeded) {
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
  const Step answers = {{{"K", "k3-e", 1}, {"L", "l2-c", 1}, {"K", "k2-c", 0}}, {}, "現症: K3e=ﾚ"};
  ExpectSteps("13", {answers});
  ExpectSteps("14", {{answers.set, {}, "食事摂取: L2c=1"}});  // k2-c = 0 is not listed
}

TEST(Cap15, FallRisk) {
  ExpectSteps("15", {{{{"K", "k6-a", 1}}, false},  // unanswered k6-b is not 0
                     {{{"K", "k6-b", 1}}, false},
                     {{{"K", "k6-b", 0}}, true, "転倒の危険: K6a=1 K6b=0"}});
  ExpectSteps("15", {{{{"J", "j1-l", 1}, {"J", "j1-g", 1}, {"K", "k5", 0}}, false},
                     {{{"K", "k5", 1}}, true},
                     {{{"K", "k5", 0}, {"J", "j1-g", 2}, {"B", "b3-a", 1}}, true, "せん妄の兆候: B3a=1 | 疾患: J1g=2"}});
}

}  // namespace
}  // namespace zelka::testing
