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
  a.Set("k7-a=1 b1-a=1 j1-x=1");
  const AnswerSheet sheet = a.Sheet();
  TriggerCol evidence;
  for (const char* cap : {"8", "16", "7"}) GatherEvidence(FindCap(cap), sheet[0], evidence);
  EXPECT_EQ(Describe(evidence), "生活習慣: K7a=1");
  GatherEvidence(FindCap("30"), sheet[0], evidence);
  EXPECT_EQ(evidence.Count(), 0);
}

TEST(GetNum, WholeNumbersNullAndText) {
  const std::pair<Value, int64_t> cases[] = {
      {Value{}, -1}, {int64_t{0}, 0}, {2.0, 2}, {2.5, 2}, {3.5, 4},  // halves round to even
      {std::string("3"), 3}, {std::string(" 3 "), 3}, {std::string(""), -1}, {std::string("abc"), -1},
      {std::string("3x"), -1},
      // beyond whole numbers: held at their ends
      {1e300, INT64_MAX}, {-1e300, INT64_MIN}, {std::string("1e30"), INT64_MAX}, {std::string("1e999"), -1}};
  for (const auto& [value, number] : cases) EXPECT_EQ(GetNum(value), number) << ValueText(value);
}

}  // namespace
}  // namespace zelka::testing
