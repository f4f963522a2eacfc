// Trigger rules of CAPs 16 to 30 (catalogue entries 16 … 21, 22a, 22b, 23a,
// 23b, 24 … 30). Each CAP has its selection routine and, beside it, its
// evidence routine. Selection routines stop reading as soon as their result is
// decided; evidence routines read every item they list.
#include "cap/cap_rules.h"
#include "cap/rule_kit.h"

namespace zelka {
namespace {

using namespace rules;

// ---- CAP 16: 栄養 ----------------------------------------------------------

bool Select16(const Answers& r) {
  return Holds(r, "J", "j1-x", Between(1, 2)) || Holds(r, "L", "l1-b", Eq(1)) ||
         Holds(r, "L", "l1-a", Eq(1)) || Holds(r, "L", "l2-c", Eq(1)) || Holds(r, "L", "l2-b", Eq(1));
}

void Evidence16(EvidenceRecorder& e) {
  e.Value("J", "疾患", "j1-x", "J1x", Between(1, 2));
  e.Value("L", "体重", "l1-a", "L1a", Eq(1));
  e.Value("L", "体重", "l1-b", "L1b", Eq(1));
  e.Value("L", "食事摂取", "l2-b", "L2b", Eq(1));
  e.Value("L", "食事摂取", "l2-c", "L2c", Eq(1));
}

// ---- CAP 17: 口腔衛生 ------------------------------------------------------

bool Select17(const Answers& r) {
  return Holds(r, "L", "l3", Between(1, 4)) || AnyOf(r, "M", {"m1-", "cba"}, Eq(1));
}

void Evidence17(EvidenceRecorder& e) {
  e.Value("L", "嚥下問題", "l3", "L3", Between(1, 4));
  e.Checks("M", "口腔状態", {"m1-", "abc", "", "M1"}, Eq(1));
}

// ---- CAP 18: 痛みの管理 ----------------------------------------------------

bool Select18(const Answers& r) { return Holds(r, "K", "k4-a", Between(1, 3)); }

void Evidence18(EvidenceRecorder& e) { e.Value("K", "痛み", "k4-a", "K4a", Between(1, 3)); }

// ---- CAP 19: 褥瘡 ----------------------------------------------------------

constexpr Test kPressureAdl = Between(3, 6).Or(8);

bool Select19(const Answers& r) {
  return Holds(r, "H", "h2-a", kPressureAdl) || Holds(r, "I", "i3", Between(3, 5)) ||
         Holds(r, "N", "n2-a", Between(1, 4)) || Holds(r, "N", "n4", Eq(1));
}

void Evidence19(EvidenceRecorder& e) {
  e.Value("H", "ADL自立度", "h2-a", "H2a", kPressureAdl);
  e.Value("I", "便失禁", "i3", "I3", Between(3, 5));
  e.Value("N", "褥瘡・潰瘍，褥瘡既往", "n2-a", "N2a", Between(1, 4));
  e.Value("N", "褥瘡・潰瘍，褥瘡既往", "n4", "N4", Eq(1));
}

// ---- CAP 20: 皮膚と足の状態 ------------------------------------------------

bool Select20(const Answers& r) {
  return Holds(r, "N", "n1", Eq(1)) || Holds(r, "N", "n3-e", Eq(1)) || Holds(r, "N", "n3-b", Eq(1));
}

void Evidence20(EvidenceRecorder& e) {
  e.Value("N", "皮膚の問題", "n1", "N1", Eq(1));
  e.Check("N", "皮膚のその他の問題", "n3-b", "N3b", Eq(1));
  e.Check("N", "皮膚のその他の問題", "n3-e", "N3e", Eq(1));
}

// ---- CAP 21: 順守 ----------------------------------------------------------

// The treatments p1-a … p1-p and p1-t … p1-z; q, r and s are not examined.
constexpr Family kTreatments{"p1-", "abcdefghijklmnoptuvwxyz", "", "P1"};

bool Select21(const Answers& r) {
  return AnyOf(r, "P", kTreatments, Between(2, 3)) || Holds(r, "Q", "q4", Eq(2));
}

void Evidence21(EvidenceRecorder& e) {
  e.Values("P", "治療・ケア，薬剤の遵守", kTreatments, Between(2, 3));
  e.Value("Q", "治療・ケア，薬剤の遵守", "q4", "Q4", Eq(2));
}

// ---- CAP 22a: もろい支援(主なし)(A) ----------------------------------------

// IADL performance h1-a-1 … h1-g-1 needing help: 1 to 3, or 8.
constexpr Family kIadlPerformance{"h1-", "abcdefg", "-1", "H1", "(ア)"};
constexpr Test kNeedsHelp = Between(1, 3).Or(8);

bool Select22a(const Answers& r) {
  bool no_carer = Holds(r, "G", "g1-c-1", Eq(2));
  r.Row("H");  // both tables are always read
  return no_carer && AnyOf(r, "H", kIadlPerformance, kNeedsHelp);
}

void Evidence22a(EvidenceRecorder& e) {
  e.Value("G", "介護者について", "g1-c-1", "G1c(ア)", Eq(2));
  e.Values("H", "IADL実施状況", kIadlPerformance, kNeedsHelp);
}

// ---- CAP 22b: もろい支援(主あり)(B) ----------------------------------------

bool Select22b(const Answers& r) {
  if (!AnyOf(r, "H", kIadlPerformance, kNeedsHelp)) return false;
  int strains = (Holds(r, "F", "f3-a", Eq(3)) ? 1 : 0) + (Holds(r, "G", "g1-f-1", Eq(1)) ? 1 : 0) +
                (Holds(r, "G", "g1-g-1", Eq(1)) ? 1 : 0);
  return strains >= 2;
}

void Evidence22b(EvidenceRecorder& e) {
  e.Values("H", "介護者について", kIadlPerformance, kNeedsHelp);
  e.Value("F", "孤立", "f3-a", "F3a", Eq(3));
  e.Value("G", "介護者について", "g1-f-1", "G1f(ア)", Eq(1));
  e.Value("G", "介護者について", "g1-g-1", "G1g(ア)", Eq(1));
}

// ---- CAP 23a: 薬剤(管理)(A) ------------------------------------------------

bool MedicationManagementHolds(const Answers& r) {
  return Holds(r, "Q", "q3", Eq(1)) && Holds(r, "Q", "q1", AtLeast(1));
}

bool Select23a(const Answers& r) { return MedicationManagementHolds(r); }

void Evidence23a(EvidenceRecorder& e) {
  if (!MedicationManagementHolds(e.rows())) return;
  e.Record("Q", "薬剤の種類", "q1", "Q1", false);
  e.Record("Q", "薬剤の種類", "q3", "Q3", false);
}

// ---- CAP 23b: 薬剤(副作用)(B) ----------------------------------------------

bool Select23b(const Answers& r) {
  return Holds(r, "Q", "q1", AtLeast(5)) &&
         (Holds(r, "J", "j1-l", Between(1, 2)) || Holds(r, "J", "j1-aa", Between(1, 2)) ||
          Holds(r, "K", "k3-b", Eq(1)) || Holds(r, "K", "k2-a", Eq(1)) || Holds(r, "K", "k3-c", Eq(1)) ||
          Holds(r, "M", "m1-b", Eq(1)) || Holds(r, "N", "n1", Eq(1)));
}

void Evidence23b(EvidenceRecorder& e) {
  e.Value("Q", "薬剤の種類", "q1", "Q1", AtLeast(5));
  e.Value("J", "疾患", "j1-l", "J1l", Between(1, 2));
  e.Value("J", "疾患", "j1-aa", "J1aa", Between(1, 2));
  e.Check("K", "現症", "k2-a", "K2a", Eq(1));
  e.Check("K", "現症", "k3-b", "K3b", Eq(1));
  e.Check("K", "現症", "k3-c", "K3c", Eq(1));
  e.Check("M", "口腔状態", "m1-b", "M1b", Eq(1));
  e.Value("N", "皮膚の問題", "n1", "N1", Eq(1));
}

// ---- CAP 24: 緩和ケア ------------------------------------------------------

bool Select24(const Answers& r) { return Holds(r, "K", "k8-e", Eq(1)) || Holds(r, "P", "p1-s", Between(1, 3)); }

void Evidence24(EvidenceRecorder& e) {
  e.Check("K", "健康状態", "k8-e", "K8e", Eq(1));
  e.Value("P", "特別な治療・ケア", "p1-s", "P1s", Between(1, 3));
}

// ---- CAP 25: 保健予防サービス ----------------------------------------------

// A woman (aa-2 = 2) without the preventive item k1-d.
bool MissingWomensCheck(const Answers& r) {
  return Holds(r, "AA", "aa-2", Eq(2)) && Holds(r, "K", "k1-d", Eq(0));
}

bool Select25(const Answers& r) { return AnyOf(r, "K", {"k1-", "cba"}, Eq(0)) || MissingWomensCheck(r); }

void Evidence25(EvidenceRecorder& e) {
  e.Checks("K", "予防", {"k1-", "abc", "", "K1"}, Eq(0));
  if (MissingWomensCheck(e.rows())) e.Record("K", "予防", "k1-d", "K1d", true);
}

// ---- CAP 26: 向精神薬 ------------------------------------------------------

constexpr Test kAdlDecline = Between(2, 6).Or(8);

// Any psychotropic drug taken: not all of q2-c, q2-b, q2-a are 0.
bool TakesPsychotropics(const Answers& r) {
  return !(Holds(r, "Q", "q2-c", Eq(0)) && Holds(r, "Q", "q2-b", Eq(0)) && Holds(r, "Q", "q2-a", Eq(0)));
}

bool Select26(const Answers& r) {
  if (!TakesPsychotropics(r)) return false;
  return Holds(r, "B", "b2-b", Eq(1)) || Holds(r, "B", "b3-a", Eq(1)) || Holds(r, "B", "b3-b", Eq(1)) ||
         Holds(r, "C", "c4", Eq(1)) ||
         CountOf(r, "E", {"e1-", "abcdefg"}, Eq(2)) >= 2 ||
         AnyOf(r, "E", {"e3-", "abcde"}, Eq(2)) ||
         Holds(r, "E", "e4", Eq(1)) ||
         Holds(r, "H", "h2-c", kAdlDecline) || Holds(r, "H", "h2-d", kAdlDecline) ||
         Holds(r, "I", "i1-a", Between(3, 5)) || Holds(r, "I", "i3", Between(3, 5)) ||
         Holds(r, "J", "j1-l", Between(1, 2)) ||
         Holds(r, "K", "k3-g", Eq(1)) || Holds(r, "K", "k3-f", Eq(1)) ||
         Holds(r, "K", "k5", AtLeast(1)) || Holds(r, "K", "k6-a", Eq(1));
}

void Evidence26(EvidenceRecorder& e) {
  e.Values("Q", "向精神薬の服用", {"q2-", "abc", "", "Q2"}, Eq(1));
  e.Value("B", "日常の意思決定の認知能力", "b2-b", "B2b", Eq(1));
  e.Value("B", "せん妄の兆候", "b3-a", "B3a", Eq(1));
  e.Value("B", "せん妄の兆候", "b3-b", "B3b", Eq(1));
  e.Value("C", "コミュニケーション能力の低下", "c4", "C4", Eq(1));
  e.Values("E", "うつ状態，不安の兆候", {"e1-", "abcdefg", "", "E1"}, Eq(2));
  e.Values("E", "問題行動", {"e3-", "abcde", "", "E3"}, Eq(2));
  e.Value("E", "問題行動の悪化", "e4", "E4", Eq(1));
  e.Value("H", "ADL自立度", "h2-c", "H2c", kAdlDecline);
  e.Value("H", "ADL自立度", "h2-d", "H2d", kAdlDecline);
  e.Value("I", "尿失禁", "i1-a", "I1a", Between(3, 5));
  e.Value("I", "便失禁", "i3", "I3", Between(3, 5));
  e.Value("J", "疾患", "j1-l", "J1l", Between(1, 2));
  e.Check("K", "現症", "k3-f", "K3f", Eq(1));
  e.Check("K", "現症", "k3-g", "K3g", Eq(1));
  e.Value("K", "転倒頻度", "k5", "K5", AtLeast(1));
  e.Value("K", "転倒の危険", "k6-a", "K6a", Eq(1));
}

// ---- CAP 27: 在宅サービス削減 ----------------------------------------------

bool Select27(const Answers& r) {
  bool potential = Holds(r, "H", "h7-d", Eq(1));
  r.Row("P");  // both tables are always read
  return potential && (Holds(r, "P", "p5", Eq(1)) || Holds(r, "P", "p4", Eq(1)));
}

void Evidence27(EvidenceRecorder& e) {
  e.Check("H", "身体機能の潜在能力", "h7-d", "H7d", Eq(1));
  e.Value("P", "達成されたケア目標の有無", "p4", "P4", Eq(1));
  e.Value("P", "ケアニーズの変化", "p5", "P5", Eq(1));
}

// ---- CAP 28: 環境評価 ------------------------------------------------------

constexpr Family kHomeEnvironment{"o1-", "abcdef", "", "O1"};

bool Select28(const Answers& r) { return AnyOf(r, "o", kHomeEnvironment, Eq(1)); }

void Evidence28(EvidenceRecorder& e) { e.Checks("o", "居住環境", kHomeEnvironment, Eq(1)); }

// ---- CAP 29: 排便の管理 ----------------------------------------------------

bool Select29(const Answers& r) {
  return Holds(r, "I", "i3", Between(2, 5)) || Holds(r, "K", "k3-b", Eq(1)) || Holds(r, "K", "k2-a", Eq(1));
}

void Evidence29(EvidenceRecorder& e) {
  e.Value("I", "便失禁", "i3", "I3", Between(2, 5));
  e.Check("K", "現症", "k2-a", "K2a", Eq(1));
  e.Check("K", "現症", "k3-b", "K3b", Eq(1));
}

// ---- CAP 30: 尿失禁と留置カテ ----------------------------------------------

bool Select30(const Answers& r) {
  return Holds(r, "I", "i1-a", Between(3, 5)) || Holds(r, "I", "i2-b", Eq(1)) || Holds(r, "I", "i2-a", Eq(1));
}

void Evidence30(EvidenceRecorder& e) {
  e.Value("I", "尿失禁", "i1-a", "I1a", Between(3, 5));
  e.Check("I", "尿失禁用器材", "i2-a", "I2a", Eq(1));
  e.Check("I", "尿失禁用器材", "i2-b", "I2b", Eq(1));
}

}  // namespace

const std::array<CapRule, 17> kRulesCap16To30 = {{
    {Select16, Evidence16},   {Select17, Evidence17},   {Select18, Evidence18},
    {Select19, Evidence19},   {Select20, Evidence20},   {Select21, Evidence21},
    {Select22a, Evidence22a}, {Select22b, Evidence22b}, {Select23a, Evidence23a},
    {Select23b, Evidence23b}, {Select24, Evidence24},   {Select25, Evidence25},
    {Select26, Evidence26},   {Select27, Evidence27},   {Select28, Evidence28},
    {Select29, Evidence29},   {Select30, Evidence30},
}};

}  // namespace zelka
