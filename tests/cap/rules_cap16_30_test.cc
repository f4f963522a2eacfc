// The trigger rules of CAPs 16 to 30: the range of every item that decides a
// CAP, the combinations that take more than one item, and the evidence each
// CAP lists. Answers are written as on the form, "i3=2" ("-" for
// unanswered); each step adds to the answers before it.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"

namespace zelka::testing {
namespace {

TEST(Cap16To30, EachDecidingItemTriggersInItsRangeOnly) {
  const Range alone[] = {
      {"16", "j1-x", 1, 2}, {"16", "l1-a", 1, 1}, {"16", "l1-b", 1, 1}, {"16", "l2-b", 1, 1}, {"16", "l2-c", 1, 1},
      {"17", "l3", 1, 4},   {"17", "m1-a", 1, 1}, {"17", "m1-c", 1, 1}, {"18", "k4-a", 1, 3}, {"19", "h2-a", 3, 6},
      {"19", "h2-a", 8, 8}, {"19", "i3", 3, 5},   {"19", "n2-a", 1, 4}, {"19", "n4", 1, 1},   {"20", "n1", 1, 1},
      {"20", "n3-b", 1, 1}, {"20", "n3-e", 1, 1}, {"21", "p1-a", 2, 3}, {"21", "p1-p", 2, 3}, {"21", "p1-t", 2, 3},
      {"21", "p1-z", 2, 3}, {"21", "q4", 2, 2},   {"24", "k8-e", 1, 1}, {"24", "p1-s", 1, 3}, {"25", "k1-a", 0, 0},
      {"25", "k1-c", 0, 0}, {"28", "o1-a", 1, 1}, {"28", "o1-f", 1, 1}, {"29", "i3", 2, 5},   {"29", "k2-a", 1, 1},
      {"29", "k3-b", 1, 1}, {"30", "i1-a", 3, 5}, {"30", "i2-a", 1, 1}, {"30", "i2-b", 1, 1}};
  for (const Range& range : alone) ExpectRange(range);
  // CAP 22a without a main carer, CAP 22b with help needed and a second strain.
  const Range carers[] = {{"22a", "g1-c-1=2 h1-a-1", 1, 3},         {"22a", "g1-c-1=2 h1-d-1", 1, 3},
                          {"22a", "g1-c-1=2 h1-g-1", 8, 8},         {"22a", "h1-e-1=8 g1-c-1", 2, 2},
                          {"22b", "f3-a=3 g1-f-1=1 h1-b-1", 1, 3},  {"22b", "g1-f-1=1 g1-g-1=1 h1-f-1", 8, 8},
                          {"22b", "h1-a-1=1 g1-g-1=1 f3-a", 3, 3},  {"22b", "h1-a-1=1 f3-a=3 g1-f-1", 1, 1},
                          {"22b", "h1-a-1=1 g1-f-1=1 g1-g-1", 1, 1}};
  for (const Range& range : carers) ExpectRange(range);
  // On top of the other item they need: CAP 23 q1 and q3, CAP 25 a woman without
  // k1-d, CAP 27 the potential and a change.
  const Range pairs[] = {{"23a", "q3=1 q1", 1, kNoUpper}, {"23a", "q1=1 q3", 1, 1},    {"23b", "n1=1 q1", 5, kNoUpper},
                         {"25", "aa-2=2 k1-d", 0, 0},     {"25", "k1-d=0 aa-2", 2, 2}, {"27", "h7-d=1 p4", 1, 1},
                         {"27", "h7-d=1 p5", 1, 1},       {"27", "p4=1 h7-d", 1, 1}};
  for (const Range& range : pairs) ExpectRange(range);
  // CAP 23b with five drugs or more.
  const Range side_effects[] = {{"23b", "q1=5 j1-l", 1, 2}, {"23b", "q1=5 j1-aa", 1, 2}, {"23b", "q1=5 k2-a", 1, 1},
                                {"23b", "q1=5 k3-b", 1, 1}, {"23b", "q1=5 k3-c", 1, 1},  {"23b", "q1=5 m1-b", 1, 1},
                                {"23b", "q1=5 n1", 1, 1}};
  for (const Range& range : side_effects) ExpectRange(range);
  // CAP 26 with a psychotropic drug taken.
  const Range psychotropic[] = {
      {"26", "q2-b=2 b2-b", 1, 1}, {"26", "q2-b=2 b3-a", 1, 1},      {"26", "q2-b=2 b3-b", 1, 1},
      {"26", "q2-b=2 c4", 1, 1},   {"26", "q2-b=2 e3-a", 2, 2},      {"26", "q2-b=2 e3-e", 2, 2},
      {"26", "q2-b=2 e4", 1, 1},   {"26", "q2-b=2 h2-c", 2, 6},      {"26", "q2-b=2 h2-c", 8, 8},
      {"26", "q2-b=2 h2-d", 2, 6}, {"26", "q2-b=2 h2-d", 8, 8},      {"26", "q2-b=2 i1-a", 3, 5},
      {"26", "q2-b=2 i3", 3, 5},   {"26", "q2-b=2 j1-l", 1, 2},      {"26", "q2-b=2 k3-f", 1, 1},
      {"26", "q2-b=2 k3-g", 1, 1}, {"26", "q2-b=2 k5", 1, kNoUpper}, {"26", "q2-b=2 k6-a", 1, 1}};
  for (const Range& range : psychotropic) ExpectRange(range);
}

TEST(Cap16To20, Evidence) {
  ExpectSteps("16", {{"j1-x=2 l1-a=1 l1-b=0 l2-b=1 l2-c=1", {}, "疾患: J1x=2 | 体重: L1a=1 | 食事摂取: L2b=1 L2c=1"}});
  ExpectSteps("17", {{"l3=5 m1-b=1 k4-a=4", true, "口腔状態: M1b=ﾚ"}});
  ExpectSteps("18", {{"l3=5 m1-b=1 k4-a=4", false}, {"k4-a=3", true, "痛み: K4a=3"}});
  ExpectSteps("19", {{"h2-a=2 i3=2 n2-a=4 n4=1", true, "褥瘡・潰瘍，褥瘡既往: N2a=4 N4=1"}});
  ExpectSteps("20", {{"n3-e=1 n3-b=0 n1=2", true, "皮膚のその他の問題: N3e=ﾚ"}});
}

TEST(Cap21, SkipsQRAndS) {
  MemoryAssessment a;
  for (char x = 'a'; x <= 'z'; ++x) a.Set(std::string("p1-") + x + "=0");
  ExpectSteps("21",
              {{"p1-s=3 p1-q=2 p1-r=3 q4=1", false},
               {"p1-t=2 p1-a=3 p1-z=4", true},
               {"q4=2", {}, "治療・ケア，薬剤の遵守: P1a=3 P1t=2 Q4=2"}},
              a);
}

TEST(Cap22, FrailSupport) {
  ExpectSteps("22b", {{"h1-a-1=1 f3-a=3 g1-f-1=0 g1-g-1=0", false},
                      {"g1-g-1=1", true},
                      {"f3-a=2 g1-f-1=1", true},
                      {"h1-a-1=0", false}});  // no H1 column in 1 to 3 or 8
  MemoryAssessment no_f;
  no_f.RemoveRow("F");
  ExpectSteps("22b", {{"g1-g-1=1 h1-a-1=0", false}}, no_f);  // F is read only when the H test holds
  // The evidence joins the carer group before isolation.
  const std::string carer = "h1-b-1=3 h1-e-1=8 f3-a=3 g1-f-1=1";
  ExpectSteps("22b", {{carer, {}, "介護者について: H1b(ア)=3 H1e(ア)=8 G1f(ア)=1 | 孤立: F3a=3"}});
  ExpectSteps("22a", {{carer, {}}, {"g1-c-1=2", {}, "介護者について: G1c(ア)=2 | IADL実施状況: H1b(ア)=3 H1e(ア)=8"}});
}

TEST(Cap23, Medication) {
  ExpectSteps("23a", {{"q3=1 q1=1", true, "薬剤の種類: Q1=1 Q3=1"}});
  ExpectSteps("23b", {{"q1=5 j1-l=0 n1=1 k3-c=1", true, "薬剤の種類: Q1=5 | 現症: K3c=ﾚ | 皮膚の問題: N1=1"}});
  MemoryAssessment no_k;
  no_k.RemoveRow("K");
  ExpectSteps("23b", {{"q1=4 j1-aa=2", false}}, no_k);  // nothing after Q is read when q1 < 5
}

TEST(Cap24And25, PalliativeAndPrevention) {
  ExpectSteps("24", {{"p1-s=4 k8-e=1", true, "健康状態: K8e=ﾚ"}});
  ExpectSteps("25", {{"k1-a=1 k1-b=1 k1-c=1 aa-2=2 k1-d=0", true, "予防: K1d=ﾁｪｯｸなし"},
                     {"aa-2=1", false},
                     {"k1-a=-", false},  // an unanswered k1-a is not 0
                     {"k1-b=0", true, "予防: K1b=ﾁｪｯｸなし"}});
}

TEST(Cap26, PsychotropicRequirementAndConditions) {
  ExpectSteps("26", {{"q2-a=0 q2-b=0 q2-c=0 c4=1", false}});
  // Three unanswered q2 items pass.
  ExpectSteps("26", {{"c4=1", true, "コミュニケーション能力の低下: C4=1"}});
  ExpectSteps(
      "26", {{"q2-a=1 e1-c=2", false}, {"e1-g=2", true, "向精神薬の服用: Q2a=1 | うつ状態，不安の兆候: E1c=2 E1g=2"}});
}

TEST(Cap27To30, Evidence) {
  ExpectSteps("27",
              {{"h7-d=1 p4=0 p5=0", false}, {"p5=1", true, "身体機能の潜在能力: H7d=ﾚ | ケアニーズの変化: P5=1"}});
  MemoryAssessment not_potential;
  not_potential.Set("p4=1");
  not_potential.RemoveRow("P");
  EXPECT_THROW(Triggered(not_potential, "27"), CapError) << "both tables are always read";
  ExpectSteps("28", {{"o1-f=1", true, "居住環境: O1f=ﾚ"}});
  ExpectSteps("29", {{"i3=5 k2-a=1", true, "便失禁: I3=5 | 現症: K2a=ﾚ"}, {"i3=6", true}, {"k2-a=0", false}});
  ExpectSteps("30", {{"i1-a=2 i2-b=1", true, "尿失禁用器材: I2b=ﾚ"}, {"i2-b=0", false}, {"i1-a=5", true}});
}

}  // namespace
}  // namespace zelka::testing
