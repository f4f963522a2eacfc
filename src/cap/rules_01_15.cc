// Trigger rules of CAPs 1 to 15 (catalogue entries 1, 2a, 2b, 3 … 15). Each CAP
// has its selection routine and, beside it, its evidence routine. Selection
// routines stop reading as soon as their result is decided; evidence routines
// read every item they list.
#include "cap/cap_rules.h"
#include "cap/rule_kit.h"

namespace zelka {
namespace {

using namespace rules;

constexpr Family kH2AToJ{"h2-", "abcdefghij", "", "H2"};
constexpr Family kH7AToC{"h7-", "abc", "", "H7"};
constexpr Family kE3AToE{"e3-", "abcde", "", "E3"};
constexpr Family kE1AToG{"e1-", "abcdefg", "", "E1"};

// ---- CAP 1: ADL/リハ -------------------------------------------------------

bool Select1(const Answers& r) {
  return Holds(r, "C", "c3", AtMost(2)) &&
         CountOf(r, "H", kH2AToJ, AtLeast(2)) >= 2 &&
         (Holds(r, "H", "h3", Eq(1)) || AnyOf(r, "H", kH7AToC, Eq(1)) ||
          AnyOf(r, "K", {"k8-", "bcd"}, Eq(1)) || Holds(r, "P", "p5", Eq(2)));
}

void Evidence1(EvidenceRecorder& e) {
  e.Value("C", "理解力", "c3", "C3", AtMost(2));
  e.Values("H", "ADL自立度", kH2AToJ, AtLeast(2));
  e.Value("H", "ADLの低下", "h3", "H3", Eq(1));
  e.Checks("H", "身体機能の潜在能力", kH7AToC, Eq(1));
  e.Checks("K", "健康状態", {"k8-", "bcd", "", "K8"}, Eq(1));
  e.Value("P", "ケアニーズの変化", "p5", "P5", Eq(2));
  e.Value("H", "ケアニーズの変化", "h3", "H3", Eq(1));
}

// ---- CAP 2a: IADL(改善)(A) -------------------------------------------------

// 1 ≤ h1-x-1 ≤ 3 and h1-x-2 is 1 or 0, for an IADL item x.
constexpr Family kIadlDone{"h1-", "acd", "-1", "H1", "(ア)"};
constexpr Family kIadlHelp{"h1-", "acd", "-2", "H1", "(イ)"};

bool IadlPairHolds(const Answers& r, char x) {
  return Holds(r, "H", kIadlDone[x], Between(1, 3)) && Holds(r, "H", kIadlHelp[x], Between(0, 1));
}

bool Select2a(const Answers& r) {
  if (!Holds(r, "C", "c3", AtMost(2)) || !AnyOf(r, "H", kH7AToC, Eq(1))) return false;
  for (char x : std::string_view("acd"))
    if (IadlPairHolds(r, x)) return true;
  return false;
}

void Evidence2a(EvidenceRecorder& e) {
  e.Value("C", "理解力", "c3", "C3", AtMost(2));
  e.Checks("H", "身体機能の潜在能力", kH7AToC, Eq(1));
  for (char x : std::string_view("acd")) {
    if (!IadlPairHolds(e.rows(), x)) continue;
    e.Record("H", "IADL実施状況", kIadlDone[x], kIadlDone.Label(x), false);
    e.Record("H", "IADL実施状況", kIadlHelp[x], kIadlHelp.Label(x), false);
  }
}

// ---- CAP 2b: IADL(支援)(B) -------------------------------------------------

constexpr Family kIadlSupport{"h1-", "adfg", "-2", "H1", "(イ)"};

bool Select2b(const Answers& r) { return CountOf(r, "H", kIadlSupport, Between(1, 2)) >= 3; }

void Evidence2b(EvidenceRecorder& e) { e.Values("H", "IADL実施状況", kIadlSupport, Between(1, 2)); }

// ---- CAP 3: 健康増進 -------------------------------------------------------

bool Select3(const Answers& r) {
  return Holds(r, "B", "b2-a", Below(2)) &&
         (Holds(r, "H", "h5", Between(1, 2)) || Holds(r, "H", "h6-a", Between(2, 3)) ||
          Holds(r, "H", "h6-b", Eq(1)) || Holds(r, "K", "k7-c", Eq(1)));
}

void Evidence3(EvidenceRecorder& e) {
  e.Value("B", "日常の意思決定の認知能力", "b2-a", "B2a", Below(2));
  e.Value("H", "階段昇降", "h5", "H5", Between(1, 2));
  e.Value("H", "健康活動", "h6-a", "H6a", Between(2, 3));
  e.Value("H", "健康活動", "h6-b", "H6b", Eq(1));
  e.Value("K", "生活習慣", "k7-c", "K7c", Eq(1));
}

// ---- CAP 4: 施設入所のリスク -----------------------------------------------

constexpr Family kH2Risk{"h2-", "efij", "", "H2"};
constexpr Family kJ1Risk{"j1-", "ghik", "", "J1"};

bool BothIadlDependent(const Answers& r) {
  return Holds(r, "H", "h1-f-1", Eq(8)) && Holds(r, "H", "h1-a-1", Eq(8));
}

bool Select4(const Answers& r) {
  // Eight factors of one point each, all evaluated.
  const bool factors[] = {
      Holds(r, "AA", "aa-10", Eq(1)),
      Holds(r, "B", "b3-a", Eq(1)),
      BothIadlDependent(r),
      AnyOf(r, "H", kH2Risk, Between(2, 6)),
      Holds(r, "H", "h6-a", Between(2, 3)),
      Holds(r, "I", "i1-a", Between(3, 5)),
      AnyOf(r, "J", kJ1Risk, Between(1, 2)),
      Holds(r, "P", "p5", Eq(2)) || Holds(r, "H", "h3", Eq(1)),
  };
  int score = 0;
  for (bool holds : factors) score += holds ? 1 : 0;
  return score >= 4;
}

void Evidence4(EvidenceRecorder& e) {
  e.Value("AA", "相談前５年間の入院・入所歴", "aa-10", "AA10", Eq(1));
  e.Value("B", "せん妄の兆候", "b3-a", "B3a", Eq(1));
  if (BothIadlDependent(e.rows())) {
    e.Record("H", "IADL実施状況", "h1-a-1", "H1a(ア)", false);
    e.Record("H", "IADL実施状況", "h1-f-1", "H1f(ア)", false);
  }
  e.Values("H", "ADL自立度", kH2Risk, Between(2, 6));
  e.Value("H", "健康活動", "h6-a", "H6a", Between(2, 3));
  e.Value("I", "尿失禁", "i1-a", "I1a", Between(3, 5));
  e.Values("J", "疾患", kJ1Risk, Between(1, 2));
  e.Value("P", "ケアニーズの変化", "p5", "P5", Eq(2));
  e.Value("H", "ケアニーズの変化", "h3", "H3", Eq(1));
}

// ---- CAP 5: コミュニケーション ---------------------------------------------

bool Select5(const Answers& r) {
  return Holds(r, "C", "c1", Between(1, 3)) || Holds(r, "C", "c3", Between(1, 4)) ||
         Holds(r, "C", "c2", Between(1, 4));
}

void Evidence5(EvidenceRecorder& e) {
  e.Value("C", "聴覚", "c1", "C1", Between(1, 3));
  e.Value("C", "伝達能力または理解力", "c2", "C2", Between(1, 4));
  e.Value("C", "伝達能力または理解力", "c3", "C3", Between(1, 4));
}

// ---- CAP 6: 視覚 -----------------------------------------------------------

bool Select6(const Answers& r) {
  return Holds(r, "D", "d1", Between(1, 4)) || Holds(r, "D", "d2", Eq(1)) || Holds(r, "D", "d3", Eq(1));
}

void Evidence6(EvidenceRecorder& e) {
  e.Value("D", "視力，視覚の制限・障害", "d1", "D1", Between(1, 4));
  e.Value("D", "視力，視覚の制限・障害", "d2", "D2", Eq(1));
  e.Value("D", "視力低下", "d3", "D3", Eq(1));
}

// ---- CAP 7: アルコール依存 -------------------------------------------------

bool Select7(const Answers& r) { return Holds(r, "K", "k7-b", Eq(1)) || Holds(r, "K", "k7-a", Eq(1)); }

void Evidence7(EvidenceRecorder& e) {
  e.Value("K", "生活習慣", "k7-a", "K7a", Eq(1));
  e.Value("K", "生活習慣", "k7-b", "K7b", Eq(1));
}

// ---- CAP 8: 認知 -----------------------------------------------------------

bool Select8(const Answers& r) {
  return Holds(r, "B", "b1-a", Eq(1)) || Holds(r, "B", "b2-a", Between(2, 4)) ||
         Holds(r, "B", "b3-a", Eq(1)) || Holds(r, "B", "b3-b", Eq(1));
}

void Evidence8(EvidenceRecorder& e) {
  e.Value("B", "記憶を想起する能力", "b1-a", "B1a", Eq(1));
  e.Value("B", "日常の意思決定の認知能力", "b2-a", "B2a", Between(2, 4));
  e.Value("B", "せん妄の兆候", "b3-a", "B3a", Eq(1));
  e.Value("B", "せん妄の兆候", "b3-b", "B3b", Eq(1));
}

// ---- CAP 9: 行動 -----------------------------------------------------------

bool Select9(const Answers& r) { return AnyOf(r, "E", kE3AToE, Between(1, 2)); }

void Evidence9(EvidenceRecorder& e) { e.Values("E", "問題行動", kE3AToE, Between(1, 2)); }

// ---- CAP 10: うつと不安 ----------------------------------------------------

bool Select10(const Answers& r) {
  return CountOf(r, "E", kE1AToG, Eq(1)) >= 2 || CountOf(r, "E", kE1AToG, Eq(2)) >= 1;
}

void Evidence10(EvidenceRecorder& e) { e.Values("E", "うつ状態，不安の兆候", kE1AToG, Between(1, 2)); }

// ---- CAP 11: 高齢者の虐待 --------------------------------------------------

bool Select11(const Answers& r) { return AnyOf(r, "K", {"k9-", "edca"}, Eq(1)); }

void Evidence11(EvidenceRecorder& e) { e.Checks("K", "その他の状況", {"k9-", "acde", "", "K9"}, Eq(1)); }

// ---- CAP 12: 社会的機能 ----------------------------------------------------

bool Select12(const Answers& r) { return Holds(r, "F", "f2", Eq(2)) || Holds(r, "F", "f3-b", Eq(1)); }

void Evidence12(EvidenceRecorder& e) {
  e.Value("F", "社会的活動の変化", "f2", "F2", Eq(2));
  e.Value("F", "孤立", "f3-b", "F3b", Eq(1));
}

// ---- CAP 13: 心肺の管理 ----------------------------------------------------

bool Select13(const Answers& r) {
  return Holds(r, "J", "j1-e", Between(1, 2)) || Holds(r, "K", "k3-e", Eq(1)) || Holds(r, "K", "k3-a", Eq(1));
}

void Evidence13(EvidenceRecorder& e) {
  e.Value("J", "疾患", "j1-e", "J1e", Between(1, 2));
  e.Check("K", "現症", "k3-a", "K3a", Eq(1));
  e.Check("K", "現症", "k3-e", "K3e", Eq(1));
}

// ---- CAP 14: 脱水 ----------------------------------------------------------

bool Select14(const Answers& r) {
  return Holds(r, "K", "k2-c", Eq(1)) || Holds(r, "L", "l2-c", Eq(1)) || Holds(r, "L", "l2-b", Eq(1));
}

void Evidence14(EvidenceRecorder& e) {
  e.Check("K", "現症", "k2-c", "K2c", Eq(1));
  e.Value("L", "食事摂取", "l2-b", "L2b", Eq(1));
  e.Value("L", "食事摂取", "l2-c", "L2c", Eq(1));
}

// ---- CAP 15: 転倒 ----------------------------------------------------------

// k6-a = 1 and k6-b = 0; an unanswered k6-b is not 0.
bool FallRiskHolds(const Answers& r) { return Holds(r, "K", "k6-a", Eq(1)) && Holds(r, "K", "k6-b", Eq(0)); }

bool Select15(const Answers& r) {
  return Holds(r, "B", "b3-a", Eq(1)) ||
         Holds(r, "J", "j1-l", Eq(2)) || Holds(r, "J", "j1-g", Eq(2)) ||
         Holds(r, "K", "k5", AtLeast(1)) || FallRiskHolds(r);
}

void Evidence15(EvidenceRecorder& e) {
  e.Value("B", "せん妄の兆候", "b3-a", "B3a", Eq(1));
  e.Value("J", "疾患", "j1-g", "J1g", Eq(2));
  e.Value("J", "疾患", "j1-l", "J1l", Eq(2));
  e.Value("K", "転倒頻度", "k5", "K5", AtLeast(1));
  if (FallRiskHolds(e.rows())) {
    e.Record("K", "転倒の危険", "k6-a", "K6a", false);
    e.Record("K", "転倒の危険", "k6-b", "K6b", false);
  }
}

}  // namespace

const std::array<CapRule, 16> kRulesCap1To15 = {{
    {Select1, Evidence1},   {Select2a, Evidence2a}, {Select2b, Evidence2b}, {Select3, Evidence3},
    {Select4, Evidence4},   {Select5, Evidence5},   {Select6, Evidence6},   {Select7, Evidence7},
    {Select8, Evidence8},   {Select9, Evidence9},   {Select10, Evidence10}, {Select11, Evidence11},
    {Select12, Evidence12}, {Select13, Evidence13}, {Select14, Evidence14}, {Select15, Evidence15},
}};

}  // namespace zelka
