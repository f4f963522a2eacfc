// The evidence collections and AddTrigger.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"
#include "cap/rule_kit.h"

namespace zelka::testing {
namespace {

TEST(TriggerCol, KeysIgnoreCaseKeepOrderAndClearDetachesGroups) {
  TriggerCol groups;
  EXPECT_EQ(groups.Item("体重"), nullptr) << "no error for a missing member";
  auto weight = groups.Add("体重");
  weight->GetTrgFlagCol()->Add("L1a", "1");
  groups.Add("ADL");
  EXPECT_EQ(groups.Item(1L), weight);
  EXPECT_EQ(groups.Item("adl")->trigger_name, "ADL");
  EXPECT_THROW(groups.Add("adl"), std::invalid_argument);
  EXPECT_EQ(weight->GetTrgFlagCol()->Item("l1A")->value, "1");
  EXPECT_THROW(weight->GetTrgFlagCol()->Item("L2a"), std::out_of_range);
  auto items = weight->GetTrgFlagCol();
  groups.Clear();
  EXPECT_EQ(groups.Count(), 0);
  EXPECT_EQ(items->Count(), 0);
  EXPECT_FALSE(weight->HasTrgFlagCol());
  EXPECT_EQ(weight->GetTrgFlagCol()->Count(), 0) << "a detached group reads a new, empty collection";
}

TEST(AddTrigger, CheckFlagAndValueText) {
  MemoryAssessment a;
  a.Set("K", "k3-a", int64_t{1}).Set("K", "k3-b", int64_t{0}).Set("K", "k3-c", std::string("1"));
  a.Set("K", "k5", int64_t{8}).Set("K", "k4-a", 2.0);
  AssessmentRows rows(a, a.key());
  TriggerCol evidence;
  const SectionRow& k = rows.Row("k");
  for (const char* column : {"K3-A", "k3-b", "k3-c", "k3-d"})
    rules::AddTrigger(evidence, k, "現症", column, column, true);
  rules::AddTrigger(evidence, k, "転倒頻度", "k5", "K5", false);
  rules::AddTrigger(evidence, k, "現症", "k3-e", "K3e", false);
  rules::AddTrigger(evidence, k, "痛み", "k4-a", "K4a", false);
  EXPECT_EQ(Describe(evidence),
            "現症: K3-A=ﾚ k3-b=ﾁｪｯｸなし k3-c=ﾚ k3-d=ﾁｪｯｸなし K3e= | 転倒頻度: K5=8 | 痛み: K4a=2");
  EXPECT_THROW(rules::AddTrigger(evidence, k, "現症", "k99", "K99", false), CapError);
}

TEST(Evidence, EachRoutineStartsEmpty) {
  MemoryAssessment a;
  a.Set("K", "k7-a", int64_t{1}).Set("B", "b1-a", int64_t{1}).Set("J", "j1-x", int64_t{1});
  AssessmentRows rows(a, a.key());
  TriggerCol evidence;
  for (const char* cap : {"8", "16", "7"}) GatherEvidence(FindCap(cap), rows, evidence);
  EXPECT_EQ(Describe(evidence), "生活習慣: K7a=1");
  GatherEvidence(FindCap("30"), rows, evidence);
  EXPECT_EQ(evidence.Count(), 0);
}

TEST(GetNum, WholeNumbersNullAndText) {
  const std::pair<Value, int64_t> cases[] = {
      {Value{}, -1}, {int64_t{0}, 0}, {2.0, 2}, {2.5, 2}, {3.5, 4},  // halves round to even
      {std::string("3"), 3}, {std::string(" 3 "), 3}, {std::string(""), -1}, {std::string("abc"), -1},
      {std::string("3x"), -1}};
  for (const auto& [value, number] : cases) EXPECT_EQ(GetNum(value), number) << ValueText(value);
}

}  // namespace
}  // namespace zelka::testing
