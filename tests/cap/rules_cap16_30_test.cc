// The trigger rules of CAPs 16 to 30: the boundaries that decide each CAP and
// the evidence each one lists.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"

namespace zelka::testing {
namespace {

using I = int64_t;

TEST(Cap16, NutritionAndEvidenceGroups) {
  MemoryAssessment a;
  a.Set("L", "l2-b", I{1});
  EXPECT_TRUE(Triggered(a, "16"));
  MemoryAssessment b;
  b.Set("J", "j1-x", I{3});
  for (const char* c : {"l1-a", "l1-b", "l2-b", "l2-c"}) b.Set("L", c, I{0});
  EXPECT_FALSE(Triggered(b, "16"));
  MemoryAssessment c;
  c.Set("J", "j1-x", I{2}).Set("L", "l1-a", I{1}).Set("L", "l1-b", I{0}).Set("L", "l2-b", I{1}).Set("L", "l2-c", I{1});
  EXPECT_EQ(EvidenceOf(c, "16"), "疾患: J1x=2 | 体重: L1a=1 | 食事摂取: L2b=1 L2c=1");
}

TEST(Cap17To20, RangesAndChecks) {
  MemoryAssessment a;
  a.Set("L", "l3", I{5}).Set("M", "m1-b", I{1}).Set("K", "k4-a", I{4});
  EXPECT_TRUE(Triggered(a, "17"));
  EXPECT_FALSE(Triggered(a, "18"));
  EXPECT_EQ(EvidenceOf(a, "17"), "口腔状態: M1b=ﾚ");
  a.Set("K", "k4-a", I{3});
  EXPECT_TRUE(Triggered(a, "18"));
  EXPECT_EQ(EvidenceOf(a, "18"), "痛み: K4a=3");

  MemoryAssessment b;
  b.Set("H", "h2-a", I{7});
  EXPECT_FALSE(Triggered(b, "19"));
  b.Set("H", "h2-a", I{8});
  EXPECT_TRUE(Triggered(b, "19"));
  b.Set("H", "h2-a", I{2}).Set("I", "i3", I{2});
  EXPECT_FALSE(Triggered(b, "19")) << "i3 = 2 is for CAP 29 only";
  EXPECT_TRUE(Triggered(b, "29"));
  b.Set("N", "n2-a", I{4}).Set("N", "n4", I{1});
  EXPECT_TRUE(Triggered(b, "19"));
  EXPECT_EQ(EvidenceOf(b, "19"), "褥瘡・潰瘍，褥瘡既往: N2a=4 N4=1");

  MemoryAssessment c;
  c.Set("N", "n3-e", I{1}).Set("N", "n3-b", I{0}).Set("N", "n1", I{2});
  EXPECT_TRUE(Triggered(c, "20"));
  EXPECT_EQ(EvidenceOf(c, "20"), "皮膚のその他の問題: N3e=ﾚ");
}

TEST(Cap21, SkipsQRAndS) {
  MemoryAssessment a;
  for (char x = 'a'; x <= 'z'; ++x) a.Set("P", std::string("p1-") + x, I{0});
  a.Set("P", "p1-s", I{3}).Set("P", "p1-q", I{2}).Set("P", "p1-r", I{3}).Set("Q", "q4", I{1});
  EXPECT_FALSE(Triggered(a, "21"));
  a.Set("P", "p1-t", I{2}).Set("P", "p1-a", I{3}).Set("P", "p1-z", I{4});
  EXPECT_TRUE(Triggered(a, "21"));
  a.Set("Q", "q4", I{2});
  EXPECT_EQ(EvidenceOf(a, "21"), "治療・ケア，薬剤の遵守: P1a=3 P1t=2 Q4=2");
}

TEST(Cap22, FrailSupport) {
  MemoryAssessment a;
  a.Set("G", "g1-c-1", I{2});
  for (char x : std::string("abcdef")) a.Set("H", std::string("h1-") + x + "-1", I{4 + (x % 4)});
  EXPECT_FALSE(Triggered(a, "22a"));
  a.Set("H", "h1-g-1", I{8});
  EXPECT_TRUE(Triggered(a, "22a"));
  a.Set("G", "g1-c-1", I{1});
  EXPECT_FALSE(Triggered(a, "22a"));

  MemoryAssessment b;
  b.Set("H", "h1-a-1", I{1}).Set("F", "f3-a", I{3}).Set("G", "g1-f-1", I{0}).Set("G", "g1-g-1", I{0});
  EXPECT_FALSE(Triggered(b, "22b"));
  b.Set("G", "g1-g-1", I{1});
  EXPECT_TRUE(Triggered(b, "22b"));
  b.Set("F", "f3-a", I{2}).Set("G", "g1-f-1", I{1});
  EXPECT_TRUE(Triggered(b, "22b"));
  b.Set("H", "h1-a-1", I{0});
  EXPECT_FALSE(Triggered(b, "22b")) << "no H1 column in 1 to 3 or 8";
  b.RemoveRow("F");
  EXPECT_FALSE(Triggered(b, "22b")) << "F is read only when the H test holds";
}

TEST(Cap22b, EvidenceJoinsCarerGroupBeforeIsolation) {
  MemoryAssessment a;
  a.Set("H", "h1-b-1", I{3}).Set("H", "h1-e-1", I{8}).Set("F", "f3-a", I{3}).Set("G", "g1-f-1", I{1});
  EXPECT_EQ(EvidenceOf(a, "22b"), "介護者について: H1b(ア)=3 H1e(ア)=8 G1f(ア)=1 | 孤立: F3a=3");
  a.Set("G", "g1-c-1", I{2});
  EXPECT_EQ(EvidenceOf(a, "22a"), "介護者について: G1c(ア)=2 | IADL実施状況: H1b(ア)=3 H1e(ア)=8");
}

TEST(Cap23, Medication) {
  MemoryAssessment a;
  a.Set("Q", "q3", I{1});
  EXPECT_FALSE(Triggered(a, "23a")) << "unanswered q1";
  a.Set("Q", "q1", I{1});
  EXPECT_TRUE(Triggered(a, "23a"));
  EXPECT_EQ(EvidenceOf(a, "23a"), "薬剤の種類: Q1=1 Q3=1");

  MemoryAssessment b;
  b.Set("Q", "q1", I{4}).Set("J", "j1-l", I{1});
  EXPECT_FALSE(Triggered(b, "23b"));
  b.Set("Q", "q1", I{5});
  EXPECT_TRUE(Triggered(b, "23b"));
  b.Set("J", "j1-l", I{0}).Set("N", "n1", I{1}).Set("K", "k3-c", I{1});
  EXPECT_TRUE(Triggered(b, "23b"));
  EXPECT_EQ(EvidenceOf(b, "23b"), "薬剤の種類: Q1=5 | 現症: K3c=ﾚ | 皮膚の問題: N1=1");
  MemoryAssessment c;
  c.Set("J", "j1-aa", I{2});
  c.RemoveRow("K");
  EXPECT_FALSE(Triggered(c, "23b")) << "nothing after Q is read when q1 < 5";
}

TEST(Cap24And25, PalliativeAndPrevention) {
  MemoryAssessment a;
  a.Set("P", "p1-s", I{3});
  EXPECT_TRUE(Triggered(a, "24"));
  a.Set("P", "p1-s", I{4}).Set("K", "k8-e", I{1});
  EXPECT_TRUE(Triggered(a, "24"));
  EXPECT_EQ(EvidenceOf(a, "24"), "健康状態: K8e=ﾚ");

  MemoryAssessment b;
  for (const char* c : {"k1-a", "k1-b", "k1-c"}) b.Set("K", c, I{1});
  b.Set("AA", "aa-2", I{2}).Set("K", "k1-d", I{0});
  EXPECT_TRUE(Triggered(b, "25"));
  EXPECT_EQ(EvidenceOf(b, "25"), "予防: K1d=ﾁｪｯｸなし");
  b.Set("AA", "aa-2", I{1});
  EXPECT_FALSE(Triggered(b, "25"));
  b.Set("K", "k1-a", Value{});
  EXPECT_FALSE(Triggered(b, "25")) << "an unanswered k1-a is not 0";
  b.Set("K", "k1-b", I{0});
  EXPECT_TRUE(Triggered(b, "25"));
  EXPECT_EQ(EvidenceOf(b, "25"), "予防: K1b=ﾁｪｯｸなし");
}

TEST(Cap26, PsychotropicRequirementAndConditions) {
  MemoryAssessment a;
  a.Set("Q", "q2-a", I{0}).Set("Q", "q2-b", I{0}).Set("Q", "q2-c", I{0}).Set("C", "c4", I{1});
  EXPECT_FALSE(Triggered(a, "26"));
  MemoryAssessment b;
  b.Set("C", "c4", I{1});
  EXPECT_TRUE(Triggered(b, "26")) << "three unanswered q2 items pass";
  EXPECT_EQ(EvidenceOf(b, "26"), "コミュニケーション能力の低下: C4=1");

  MemoryAssessment c;
  c.Set("Q", "q2-a", I{1}).Set("E", "e1-c", I{2});
  EXPECT_FALSE(Triggered(c, "26"));
  c.Set("E", "e1-g", I{2});
  EXPECT_TRUE(Triggered(c, "26"));
  EXPECT_EQ(EvidenceOf(c, "26"), "向精神薬の服用: Q2a=1 | うつ状態，不安の兆候: E1c=2 E1g=2");

  struct Case { const char* table; const char* column; I value; bool fires; };
  for (const Case& k : {Case{"E", "e3-e", 2, true}, Case{"E", "e3-a", 1, false}, Case{"E", "e4", 1, true},
                        Case{"H", "h2-c", 8, true}, Case{"H", "h2-d", 7, false}, Case{"H", "h2-d", 2, true},
                        Case{"I", "i1-a", 3, true}, Case{"I", "i3", 2, false}, Case{"J", "j1-l", 2, true},
                        Case{"K", "k3-f", 1, true}, Case{"K", "k5", 1, true}, Case{"K", "k6-a", 1, true},
                        Case{"B", "b2-b", 1, true}, Case{"B", "b2-a", 1, false}}) {
    MemoryAssessment d;
    d.Set("Q", "q2-b", I{2}).Set(k.table, k.column, k.value);
    EXPECT_EQ(Triggered(d, "26"), k.fires) << k.column << "=" << k.value;
  }
}

TEST(Cap27To30, Conditions) {
  MemoryAssessment a;
  a.Set("H", "h7-d", I{1}).Set("P", "p4", I{0}).Set("P", "p5", I{0});
  EXPECT_FALSE(Triggered(a, "27"));
  a.Set("P", "p5", I{1});
  EXPECT_TRUE(Triggered(a, "27"));
  EXPECT_EQ(EvidenceOf(a, "27"), "身体機能の潜在能力: H7d=ﾚ | ケアニーズの変化: P5=1");
  MemoryAssessment not_potential;
  not_potential.Set("P", "p4", I{1});
  not_potential.RemoveRow("P");
  EXPECT_THROW(Triggered(not_potential, "27"), CapError) << "both tables are always read";

  MemoryAssessment b;
  b.Set("O", "o1-f", I{1});
  EXPECT_TRUE(Triggered(b, "28"));
  EXPECT_EQ(EvidenceOf(b, "28"), "居住環境: O1f=ﾚ");

  MemoryAssessment c;
  c.Set("I", "i3", I{5}).Set("K", "k2-a", I{1});
  EXPECT_TRUE(Triggered(c, "29"));
  EXPECT_EQ(EvidenceOf(c, "29"), "便失禁: I3=5 | 現症: K2a=ﾚ");
  c.Set("I", "i3", I{6});
  EXPECT_TRUE(Triggered(c, "29"));
  c.Set("K", "k2-a", I{0});
  EXPECT_FALSE(Triggered(c, "29"));

  MemoryAssessment d;
  d.Set("I", "i1-a", I{2}).Set("I", "i2-b", I{1});
  EXPECT_TRUE(Triggered(d, "30"));
  EXPECT_EQ(EvidenceOf(d, "30"), "尿失禁用器材: I2b=ﾚ");
  d.Set("I", "i2-b", I{0});
  EXPECT_FALSE(Triggered(d, "30"));
  d.Set("I", "i1-a", I{5});
  EXPECT_TRUE(Triggered(d, "30"));
}

}  // namespace
}  // namespace zelka::testing
