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
  TriggerCol evidence;
  const std::pair<const char*, Value> checks[] = {
      {"K3a", int64_t{1}}, {"K3b", int64_t{0}}, {"K3c", std::string("1")}, {"K3d", Value{}}, {"K3f", 1.0}};
  for (const auto& [label, value] : checks) rules::AddTrigger(evidence, value, "現症", label, true);
  rules::AddTrigger(evidence, int64_t{8}, "転倒頻度", "K5", false);
  rules::AddTrigger(evidence, Value{}, "現症", "K3e", false);
  rules::AddTrigger(evidence, 2.0, "痛み", "K4a", false);
  EXPECT_EQ(Describe(evidence),
            "現症: K3a=ﾚ K3b=ﾁｪｯｸなし K3c=ﾚ K3d=ﾁｪｯｸなし K3f=ﾚ K3e= | 転倒頻度: K5=8 | 痛み: K4a=2");
}

TEST(Evidence, EachRoutineStartsEmpty) {
  MemoryAssessment a;
  a.Set("K", "k7-a", int64_t{1}).Set("B", "b1-a", int64_t{1}).Set("J", "j1-x", int64_t{1});
  const AnswerSheet sheet = a.Sheet();
  TriggerCol evidence;
  GatherEvidence(FindCap("8"), sheet[0], evidence);
  GatherEvidence(FindCap("16"), sheet[0], evidence);
  GatherEvidence(FindCap("7"), sheet[0], evidence);
  EXPECT_EQ(Describe(evidence), "生活習慣: K7a=1");
  GatherEvidence(FindCap("30"), sheet[0], evidence);
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
