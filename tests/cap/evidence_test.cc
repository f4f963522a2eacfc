// The evidence collections and AddTrigger.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"
#include "cap/rule_kit.h"

namespace zelka::testing {
namespace {

TEST(TriggerCol, KeysIgnoreCaseKeepOrderAndCountFromOne) {
  TriggerCol groups;
  EXPECT_EQ(groups.Item("体重"), nullptr);
  EXPECT_EQ(groups.Item(1L), nullptr) << "no error for a missing member";
  auto weight = groups.Add("体重");
  groups.Add("ADL");
  EXPECT_EQ(groups.Item(1L), weight);
  EXPECT_EQ(groups.Item("adl")->trigger_name, "ADL");
  EXPECT_THROW(groups.Add("adl"), std::invalid_argument);
  groups.Remove("体重");
  EXPECT_EQ(groups.Count(), 1);
  EXPECT_EQ(groups.Item(1L)->trigger_name, "ADL");
  EXPECT_EQ(weight->trigger_name, "体重") << "a removed group lives on for its holder";
}

TEST(TrgFlagCol, MissingItemIsAnError) {
  TrgFlagCol items;
  items.Add("L1a", "1");
  items.Add("L1b", "0");
  EXPECT_EQ(items.Item("l1B")->value, "0");
  EXPECT_EQ(items.Item(2L)->key, "L1b");
  EXPECT_THROW(items.Item(3L), std::out_of_range);
  EXPECT_THROW(items.Item("L2a"), std::out_of_range);
  EXPECT_THROW(items.Add("L1A", "1"), std::invalid_argument);
  items.Clear();
  EXPECT_EQ(items.Count(), 0);
}

TEST(TriggerCol, ClearEmptiesAndDetachesGroups) {
  TriggerCol groups;
  groups.Clear();
  EXPECT_EQ(groups.Count(), 0);
  std::vector<std::shared_ptr<TrgFlagCol>> held;
  for (const char* name : {"a", "b", "c"}) {
    auto group = groups.Add(name);
    group->GetTrgFlagCol()->Add("X", "1");
    held.push_back(group->GetTrgFlagCol());
  }
  auto first = groups.Item(1L);
  groups.Clear();
  EXPECT_EQ(groups.Count(), 0);
  for (auto& items : held) EXPECT_EQ(items->Count(), 0);
  EXPECT_FALSE(first->HasTrgFlagCol());
  EXPECT_EQ(first->GetTrgFlagCol()->Count(), 0) << "a detached group reads a new, empty collection";
  EXPECT_TRUE(first->HasTrgFlagCol());
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
  GatherEvidence(FindCap("8"), rows, evidence);
  GatherEvidence(FindCap("16"), rows, evidence);
  GatherEvidence(FindCap("7"), rows, evidence);
  EXPECT_EQ(Describe(evidence), "生活習慣: K7a=1");
  GatherEvidence(FindCap("30"), rows, evidence);
  EXPECT_EQ(evidence.Count(), 0);
}

TEST(GetNum, WholeNumbersNullAndText) {
  EXPECT_EQ(GetNum(Value{}), -1);
  EXPECT_EQ(GetNum(Value{int64_t{0}}), 0);
  EXPECT_EQ(GetNum(Value{2.0}), 2);
  EXPECT_EQ(GetNum(Value{2.5}), 2) << "halves round to even";
  EXPECT_EQ(GetNum(Value{3.5}), 4);
  EXPECT_EQ(GetNum(Value{std::string("3")}), 3);
  EXPECT_EQ(GetNum(Value{std::string(" 3 ")}), 3);
  EXPECT_EQ(GetNum(Value{std::string("")}), -1);
  EXPECT_EQ(GetNum(Value{std::string("abc")}), -1);
  EXPECT_EQ(GetNum(Value{std::string("3x")}), -1);
}

}  // namespace
}  // namespace zelka::testing
