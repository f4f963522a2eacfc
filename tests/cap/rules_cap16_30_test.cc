// The trigger rules of CAPs 16 to 30: the boundaries that decide each CAP and
// the evidence each one lists.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"

namespace zelka::testing {
namespace {

using I = int64_t;

TEST(Cap16To20, NutritionMouthPainAndSkin) {
  ExpectSteps("16", {{{{"L", "l2-b", 1}}, true}});
  ExpectSteps("16", {{{{"J", "j1-x", 3}, {"L", "l1-a", 0}, {"L", "l1-b", 0}, {"L", "l2-b", 0}, {"L", "l2-c", 0}}, false}});
  ExpectSteps("16", {{{{"J", "j1-x", 2}, {"L", "l1-a", 1}, {"L", "l1-b", 0}, {"L", "l2-b", 1}, {"L", "l2-c", 1}},
                      {},
                      "疾患: J1x=2 | 体重: L1a=1 | 食事摂取: L2b=1 L2c=1"}});
  const std::vector<Answer> mouth = {{"L", "l3", 5}, {"M", "m1-b", 1}, {"K", "k4-a", 4}};
  ExpectSteps("17", {{mouth, true, "口腔状態: M1b=ﾚ"}});
  ExpectSteps("18", {{mouth, false}, {{{"K", "k4-a", 3}}, true, "痛み: K4a=3"}});
  ExpectSteps("19", {{{{"H", "h2-a", 7}}, false},
                     {{{"H", "h2-a", 8}}, true},
                     {{{"H", "h2-a", 2}, {"I", "i3", 2}}, false},  // i3 = 2 is for CAP 29 only
                     {{{"N", "n2-a", 4}, {"N", "n4", 1}}, true, "褥瘡・潰瘍，褥瘡既往: N2a=4 N4=1"}});
  ExpectSteps("29", {{{{"H", "h2-a", 2}, {"I", "i3", 2}}, true}});
  ExpectSteps("20", {{{{"N", "n3-e", 1}, {"N", "n3-b", 0}, {"N", "n1", 2}}, true, "皮膚のその他の問題: N3e=ﾚ"}});
}

TEST(Cap21, SkipsQRAndS) {
  MemoryAssessment a;
  for (char x = 'a'; x <= 'z'; ++x) a.Set("P", std::string("p1-") + x, I{0});
  ExpectSteps("21", {{{{"P", "p1-s", 3}, {"P", "p1-q", 2}, {"P", "p1-r", 3}, {"Q", "q4", 1}}, false},
                     {{{"P", "p1-t", 2}, {"P", "p1-a", 3}, {"P", "p1-z", 4}}, true},
                     {{{"Q", "q4", 2}}, {}, "治療・ケア，薬剤の遵守: P1a=3 P1t=2 Q4=2"}},
              a);
}

TEST(Cap22, FrailSupport) {
  ExpectSteps("22a", {{{{"G", "g1-c-1", 2}, {"H", "h1-a-1", 5}, {"H", "h1-b-1", 6}, {"H", "h1-c-1", 7},
                        {"H", "h1-d-1", 4}, {"H", "h1-e-1", 5}, {"H", "h1-f-1", 6}},
                       false},
                      {{{"H", "h1-g-1", 8}}, true},
                      {{{"G", "g1-c-1", 1}}, false}});
  ExpectSteps("22b", {{{{"H", "h1-a-1", 1}, {"F", "f3-a", 3}, {"G", "g1-f-1", 0}, {"G", "g1-g-1", 0}}, false},
                      {{{"G", "g1-g-1", 1}}, true},
                      {{{"F", "f3-a", 2}, {"G", "g1-f-1", 1}}, true},
                      {{{"H", "h1-a-1", 0}}, false}});  // no H1 column in 1 to 3 or 8
  MemoryAssessment no_f;
  no_f.RemoveRow("F");
  ExpectSteps("22b", {{{{"G", "g1-g-1", 1}, {"H", "h1-a-1", 0}}, false}}, no_f);  // F is read only when the H test holds
  // The evidence joins the carer group before isolation.
  const std::vector<Answer> carer = {{"H", "h1-b-1", 3}, {"H", "h1-e-1", 8}, {"F", "f3-a", 3}, {"G", "g1-f-1", 1}};
  ExpectSteps("22b", {{carer, {}, "介護者について: H1b(ア)=3 H1e(ア)=8 G1f(ア)=1 | 孤立: F3a=3"}});
  ExpectSteps("22a", {{carer, {}}, {{{"G", "g1-c-1", 2}}, {}, "介護者について: G1c(ア)=2 | IADL実施状況: H1b(ア)=3 H1e(ア)=8"}});
}

TEST(Cap23, Medication) {
  ExpectSteps("23a", {{{{"Q", "q3", 1}}, false},  // unanswered q1
                      {{{"Q", "q1", 1}}, true, "薬剤の種類: Q1=1 Q3=1"}});
  ExpectSteps("23b", {{{{"Q", "q1", 4}, {"J", "j1-l", 1}}, false},
                      {{{"Q", "q1", 5}}, true},
                      {{{"J", "j1-l", 0}, {"N", "n1", 1}, {"K", "k3-c", 1}}, true,
                       "薬剤の種類: Q1=5 | 現症: K3c=ﾚ | 皮膚の問題: N1=1"}});
  MemoryAssessment no_k;
  no_k.RemoveRow("K");
  ExpectSteps("23b", {{{{"J", "j1-aa", 2}}, false}}, no_k);  // nothing after Q is read when q1 < 5
}

TEST(Cap24And25, PalliativeAndPrevention) {
  ExpectSteps("24", {{{{"P", "p1-s", 3}}, true}, {{{"P", "p1-s", 4}, {"K", "k8-e", 1}}, true, "健康状態: K8e=ﾚ"}});
  ExpectSteps("25", {{{{"K", "k1-a", 1}, {"K", "k1-b", 1}, {"K", "k1-c", 1}, {"AA", "aa-2", 2}, {"K", "k1-d", 0}}, true,
                      "予防: K1d=ﾁｪｯｸなし"},
                     {{{"AA", "aa-2", 1}}, false},
                     {{{"K", "k1-a", kNull}}, false},  // an unanswered k1-a is not 0
                     {{{"K", "k1-b", 0}}, true, "予防: K1b=ﾁｪｯｸなし"}});
}

TEST(Cap26, PsychotropicRequirementAndConditions) {
  ExpectSteps("26", {{{{"Q", "q2-a", 0}, {"Q", "q2-b", 0}, {"Q", "q2-c", 0}, {"C", "c4", 1}}, false}});
  // Three unanswered q2 items pass.
  ExpectSteps("26", {{{{"C", "c4", 1}}, true, "コミュニケーション能力の低下: C4=1"}});
  ExpectSteps("26", {{{{"Q", "q2-a", 1}, {"E", "e1-c", 2}}, false},
                     {{{"E", "e1-g", 2}}, true, "向精神薬の服用: Q2a=1 | うつ状態，不安の兆候: E1c=2 E1g=2"}});
  const std::pair<Answer, bool> conditions[] = {
      {{"E", "e3-e", 2}, true},  {{"E", "e3-a", 1}, false}, {{"E", "e4", 1}, true},   {{"H", "h2-c", 8}, true},
      {{"H", "h2-d", 7}, false}, {{"H", "h2-d", 2}, true},  {{"I", "i1-a", 3}, true}, {{"I", "i3", 2}, false},
      {{"J", "j1-l", 2}, true},  {{"K", "k3-f", 1}, true},  {{"K", "k5", 1}, true},   {{"K", "k6-a", 1}, true},
      {{"B", "b2-b", 1}, true},  {{"B", "b2-a", 1}, false}};
  for (const auto& [condition, fires] : conditions) {
    SCOPED_TRACE(condition.column);
    ExpectSteps("26", {{{{"Q", "q2-b", 2}, condition}, fires}});
  }
}

TEST(Cap27To30, Conditions) {
  ExpectSteps("27", {{{{"H", "h7-d", 1}, {"P", "p4", 0}, {"P", "p5", 0}}, false},
                     {{{"P", "p5", 1}}, true, "身体機能の潜在能力: H7d=ﾚ | ケアニーズの変化: P5=1"}});
  MemoryAssessment not_potential;
  not_potential.Set("P", "p4", I{1});
  not_potential.RemoveRow("P");
  EXPECT_THROW(Triggered(not_potential, "27"), CapError) << "both tables are always read";
  ExpectSteps("28", {{{{"O", "o1-f", 1}}, true, "居住環境: O1f=ﾚ"}});
  ExpectSteps("29", {{{{"I", "i3", 5}, {"K", "k2-a", 1}}, true, "便失禁: I3=5 | 現症: K2a=ﾚ"},
                     {{{"I", "i3", 6}}, true},
                     {{{"K", "k2-a", 0}}, false}});
  ExpectSteps("30", {{{{"I", "i1-a", 2}, {"I", "i2-b", 1}}, true, "尿失禁用器材: I2b=ﾚ"},
                     {{{"I", "i2-b", 0}}, false},
                     {{{"I", "i1-a", 5}}, true}});
}

}  // namespace
}  // namespace zelka::testing
