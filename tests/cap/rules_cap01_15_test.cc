// The trigger rules of CAPs 1 to 15: the range of every item that decides a
// CAP, the combinations that take more than one item, and the evidence each
// CAP lists. Answers are written as on the form, "c3=2" ("-" for
// unanswered); each step adds to the answers before it.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"

namespace zelka::testing {
namespace {

TEST(Cap1To15, EachDecidingItemTriggersInItsRangeOnly) {
  const Range alone[] = {
      {"3", "h5", 1, 2},    {"3", "h6-a", 2, 3},      {"3", "h6-b", 1, 1},  {"3", "k7-c", 1, 1},  {"5", "c1", 1, 3},
      {"5", "c2", 1, 4},    {"5", "c3", 1, 4},        {"6", "d1", 1, 4},    {"6", "d2", 1, 1},    {"6", "d3", 1, 1},
      {"7", "k7-a", 1, 1},  {"7", "k7-b", 1, 1},      {"8", "b1-a", 1, 1},  {"8", "b2-a", 2, 4},  {"8", "b3-a", 1, 1},
      {"8", "b3-b", 1, 1},  {"9", "e3-a", 1, 2},      {"9", "e3-c", 1, 2},  {"9", "e3-e", 1, 2},  {"10", "e1-a", 2, 2},
      {"10", "e1-g", 2, 2}, {"11", "k9-a", 1, 1},     {"11", "k9-c", 1, 1}, {"11", "k9-d", 1, 1}, {"11", "k9-e", 1, 1},
      {"12", "f2", 2, 2},   {"12", "f3-b", 1, 1},     {"13", "j1-e", 1, 2}, {"13", "k3-a", 1, 1}, {"13", "k3-e", 1, 1},
      {"14", "k2-c", 1, 1}, {"14", "l2-b", 1, 1},     {"14", "l2-c", 1, 1}, {"15", "b3-a", 1, 1}, {"15", "j1-g", 2, 2},
      {"15", "j1-l", 2, 2}, {"15", "k5", 1, kNoUpper}};
  for (const Range& range : alone) ExpectRange(range);
  // On top of the other items the CAP needs: CAP 1 two H2 items at 2 or more, CAP 2a a pair and
  // an H7 item, CAP 2b two more support items.
  const Range with_others[] = {{"1", "h2-a=2 h2-b=3 h3", 1, 1},          {"1", "h2-a=2 h2-b=3 h7-a", 1, 1},
                               {"1", "h2-a=2 h2-b=3 h7-c", 1, 1},        {"1", "h2-a=2 h2-b=3 k8-b", 1, 1},
                               {"1", "h2-a=2 h2-b=3 k8-d", 1, 1},        {"1", "h2-a=2 h2-b=3 p5", 2, 2},
                               {"1", "h2-c=2 h3=1 h2-d", 2, kNoUpper},   {"2a", "h7-a=1 h1-a-2=0 h1-a-1", 1, 3},
                               {"2a", "h7-a=1 h1-a-1=1 h1-a-2", 0, 1},   {"2a", "h7-b=1 h1-c-2=1 h1-c-1", 1, 3},
                               {"2a", "h7-c=1 h1-d-1=3 h1-d-2", 0, 1},   {"2a", "h1-a-1=1 h1-a-2=0 h7-c", 1, 1},
                               {"2b", "h1-a-2=1 h1-d-2=2 h1-g-2", 1, 2}, {"2b", "h1-a-2=2 h1-g-2=1 h1-f-2", 1, 2}};
  for (const Range& range : with_others) ExpectRange(range);
  // CAP 4 fires at four points: three to start with, one from the item.
  const Range fourth_point[] = {{"4", "aa-10=1 b3-a=1 h3=1 h2-e", 2, 6}, {"4", "aa-10=1 b3-a=1 h3=1 h2-j", 2, 6},
                                {"4", "aa-10=1 b3-a=1 h3=1 h6-a", 2, 3}, {"4", "aa-10=1 b3-a=1 h3=1 i1-a", 3, 5},
                                {"4", "aa-10=1 b3-a=1 h3=1 j1-g", 1, 2}, {"4", "aa-10=1 b3-a=1 h3=1 j1-k", 1, 2},
                                {"4", "b3-a=1 h3=1 h6-a=2 aa-10", 1, 1}, {"4", "aa-10=1 h3=1 h6-a=2 b3-a", 1, 1},
                                {"4", "aa-10=1 b3-a=1 h6-a=2 p5", 2, 2}};
  for (const Range& range : fourth_point) ExpectRange(range);
  ExpectRange({"4", "aa-10=1 b3-a=1 h3=1 h1-f-1=8 h1-a-1", 8, 8});  // both IADL items at 8 score one point
  ExpectRange({"15", "k6-b=0 k6-a", 1, 1});                         // the fall risk takes both items
  ExpectRange({"15", "k6-a=1 k6-b", 0, 0});                         // an unanswered k6-b is not 0
}

TEST(Cap1, ComprehensionBoundaryAndEvidence) {
  // Two H2 items at 2 and h3 = 1; an unanswered c3 reads -1 and passes c3 <= 2,
  // c3 = 3 rules it out whatever the rest.
  ExpectSteps("1", {{"h2-a=2 h2-j=2 h3=1 h7-b=1 k8-c=0 p5=2", true,
                     "理解力: C3= | ADL自立度: H2a=2 H2j=2 | ADLの低下: H3=1 | 身体機能の潜在能力: H7b=ﾚ | "
                     "ケアニーズの変化: P5=2 H3=1"},
                    {"c3=2", true},
                    {"c3=3", false},
                    {"h7-a=1 k8-b=1", false}});
  ExpectSteps("1", {{"h2-a=2 h2-b=3 k8-a=1", false}});  // k8-a is no potential
}

TEST(Cap2, IadlPairsAndSupportItems) {
  ExpectSteps("2a", {{"h7-a=1 h1-b-1=1 h1-b-2=1", false},  // item b is not part of the rule
                     {"h1-a-1=1 h1-a-2=0", true},
                     {"c3=2", true},
                     {"c3=3", false}});
  ExpectSteps("2a",
              {{"c3=0 h7-c=1 h1-a-1=1 h1-a-2=1 h1-c-1=3 h1-c-2=2 h1-d-1=3 h1-d-2=0",
                {},
                "理解力: C3=0 | 身体機能の潜在能力: H7c=ﾚ | IADL実施状況: H1a(ア)=1 H1a(イ)=1 H1d(ア)=3 H1d(イ)=0"}});
  ExpectSteps("2b", {{"h1-a-2=1 h1-d-2=2 h1-f-2=3 h1-b-2=1", false},  // h1-b-2 does not count
                     {"h1-g-2=2", true, "IADL実施状況: H1a(イ)=1 H1d(イ)=2 H1g(イ)=2"}});
}

TEST(Cap3, DecisionMakingBoundaryAndEvidence) {
  // An unanswered b2-a passes.
  ExpectSteps("3", {{"h6-b=1", true}, {"b2-a=1", true}, {"b2-a=2", false}});
  ExpectSteps("3", {{"b2-a=0 h5=3 h6-a=4 k7-c=1", true, "日常の意思決定の認知能力: B2a=0 | 生活習慣: K7c=1"}});
}

TEST(Cap4, ScoreCountsOnePointPerFactor) {
  // Four H2 and four J1 items score 2.
  ExpectSteps("4", {{"h2-e=6 h2-f=6 h2-i=6 h2-j=6 j1-g=1 j1-h=1 j1-i=1 j1-k=1", false},
                    {"aa-10=1", false},
                    {"p5=2", true,
                     "相談前５年間の入院・入所歴: AA10=1 | ADL自立度: H2e=6 H2f=6 H2i=6 H2j=6 | "
                     "疾患: J1g=1 J1h=1 J1i=1 J1k=1 | ケアニーズの変化: P5=2"}});
}

TEST(Cap5To15, Evidence) {
  ExpectSteps("5", {{"c1=3 c2=4 c3=5", {}, "聴覚: C1=3 | 伝達能力または理解力: C2=4"}});
  ExpectSteps("6", {{"d2=1 d3=1", {}, "視力，視覚の制限・障害: D2=1 | 視力低下: D3=1"}});
  ExpectSteps("7", {{"k7-b=1", true, "生活習慣: K7b=1"}});
  ExpectSteps("8", {{"b1-a=1 b3-b=1", {}, "記憶を想起する能力: B1a=1 | せん妄の兆候: B3b=1"}});
  ExpectSteps("15", {{"k6-a=1 k6-b=0", true, "転倒の危険: K6a=1 K6b=0"}});
  ExpectSteps("15", {{"j1-l=1 j1-g=2 k5=0 b3-a=1", true, "せん妄の兆候: B3a=1 | 疾患: J1g=2"}});
}

TEST(Cap10To12, MoodOtherStatesAndSocialActivity) {
  ExpectSteps("10", {{"e1-c=1", false}, {"e1-g=1", true}});                    // ones need a second
  ExpectSteps("10", {{"e1-a=2 e1-b=3", true, "うつ状態，不安の兆候: E1a=2"}});  // twos do not
  ExpectSteps("11", {{"k9-b=1", false},                                        // k9-b is ignored
                     {"k9-e=1 k9-a=1", true, "その他の状況: K9a=ﾚ K9e=ﾚ"}});
  ExpectSteps("12", {{"f2=1 f3-b=0", false}, {"f2=2", true, "社会的活動の変化: F2=2"}});
}

TEST(Cap13And14, TablesAreReadOnlyWhenNeeded) {
  MemoryAssessment b;
  b.Set("j1-e=2");
  b.RemoveRow("K");
  EXPECT_TRUE(Triggered(b, "13")) << "table K is read only when j1-e fails";
  b.Set("j1-e=3");
  EXPECT_THROW(Triggered(b, "13"), CapError);
  MemoryAssessment c;
  c.Set("k2-c=1");
  c.RemoveRow("L");
  EXPECT_TRUE(Triggered(c, "14")) << "table L is read only when k2-c fails";
  EXPECT_THROW(EvidenceOf(c, "14"), CapError) << "evidence reads every table";
  ExpectSteps("13", {{"k3-e=1 l2-c=1 k2-c=0", {}, "現症: K3e=ﾚ"}});
  ExpectSteps("14", {{"k3-e=1 l2-c=1 k2-c=0", {}, "食事摂取: L2c=1"}});  // k2-c = 0 is not listed
}

}  // namespace
}  // namespace zelka::testing
