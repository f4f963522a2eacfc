// The selection of one assessment: slot order, room for every CAP, and the
// errors that name what is missing.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"

namespace zelka::testing {
namespace {

using I = int64_t;
using Numbers = std::vector<std::string>;

TEST(Selection, FirstTriggeredCapTakesSlotOne) {
  MemoryAssessment a;
  EXPECT_EQ(Selected(a), Numbers{}) << "c3 <= 2 and b2-a < 2 hold unanswered, but their partners do not";
  a.Set("C", "c1", I{1}).Set("J", "j1-x", I{2});
  EXPECT_EQ(Selected(a), (Numbers{"5", "16"}));
  CapSelection selection = SelectCaps(a.Sheet()[0]);
  EXPECT_EQ(selection.client_name, "山田 花子");
  EXPECT_EQ(selection.slots[0].name, "コミュニケーション");
  EXPECT_EQ(selection.slots[1].name, "栄養");
}

// Every CAP at once: more than 30 triggered CAPs all find a slot, in
// catalogue order (2a before 2b).
MemoryAssessment EverythingTriggered() {
  MemoryAssessment a;
  a.Set("AA", "aa-10", I{1}).Set("AA", "aa-2", I{2});
  a.Set("B", "b1-a", I{1}).Set("B", "b2-a", I{1}).Set("B", "b2-b", I{1}).Set("B", "b3-a", I{1});
  a.Set("C", "c1", I{1}).Set("C", "c3", I{1}).Set("D", "d3", I{1});
  a.Set("E", "e1-a", I{2}).Set("E", "e3-a", I{1});
  a.Set("F", "f2", I{2}).Set("F", "f3-a", I{3});
  a.Set("G", "g1-c-1", I{2}).Set("G", "g1-f-1", I{1});
  for (const char* c : {"h2-a", "h2-b", "h2-e"}) a.Set("H", c, I{3});
  a.Set("H", "h3", I{1}).Set("H", "h7-a", I{1}).Set("H", "h7-d", I{1}).Set("H", "h6-b", I{1});
  a.Set("H", "h1-a-1", I{1}).Set("H", "h1-a-2", I{1}).Set("H", "h1-d-2", I{1}).Set("H", "h1-f-2", I{1});
  a.Set("H", "h1-a-1", I{8}).Set("H", "h1-f-1", I{8}).Set("H", "h1-c-1", I{2}).Set("H", "h1-c-2", I{0});
  a.Set("I", "i1-a", I{3}).Set("I", "i3", I{3});
  a.Set("J", "j1-e", I{1}).Set("J", "j1-x", I{1}).Set("J", "j1-g", I{2}).Set("J", "j1-l", I{1});
  a.Set("K", "k7-a", I{1}).Set("K", "k9-a", I{1}).Set("K", "k2-c", I{1}).Set("K", "k4-a", I{1});
  a.Set("K", "k8-e", I{1}).Set("K", "k1-a", I{0});
  a.Set("L", "l3", I{1}).Set("N", "n1", I{1}).Set("N", "n2-a", I{1});
  a.Set("O", "o1-a", I{1}).Set("P", "p1-a", I{2}).Set("P", "p5", I{1});
  a.Set("Q", "q1", I{5}).Set("Q", "q3", I{1}).Set("Q", "q2-a", I{1});
  return a;
}

TEST(Selection, AllThirtyThreeFitInTheirSlots) {
  MemoryAssessment a = EverythingTriggered();
  Numbers expected;
  for (const CapEntry& entry : kCapCatalogue) expected.emplace_back(entry.number);
  EXPECT_EQ(Selected(a), expected);
}

TEST(Selection, WriteCapRefusesASlotBeyondTheRow) {
  CapSelection selection;
  for (int i = 0; i < kCapSlots; ++i) WriteCap(selection, "1", "x");
  EXPECT_THROW(WriteCap(selection, "1", "x"), CapError);
  EXPECT_EQ(selection.slots.size(), static_cast<size_t>(kCapSlots));
}

TEST(Selection, MissingClientNameOrRowIsNamed) {
  MemoryAssessment a;
  a.Set("AA", "AA-1", Value{});
  try {
    SelectCaps(a.Sheet()[0]);
    FAIL();
  } catch (const CapError& e) {
    EXPECT_NE(std::string(e.what()).find("AA-1"), std::string::npos);
  }
  MemoryAssessment b;
  b.RemoveRow("H");
  try {
    SelectCaps(b.Sheet()[0]);
    FAIL();
  } catch (const CapError& e) {
    EXPECT_EQ(std::string(e.what()), "H 表の行がありません");
  }
}

TEST(Catalogue, NumbersAndSlotFields) {
  EXPECT_EQ(FindCap("1"), 0);
  EXPECT_EQ(FindCap("22b"), 23);
  EXPECT_EQ(FindCap("30"), 32);
  EXPECT_EQ(FindCap("2A"), -1) << "the worksheet compares exactly";
  EXPECT_EQ(FindCap(" 5"), -1);
  EXPECT_EQ(CapNumberColumn(1), "CAP番号01");
  for (const auto& [table, code] : kItemInfo)
    EXPECT_NE(DeliveredCatalogue().Find(kRuleItems[table].table)->Find(code), nullptr)
        << "the rules read " << code << ", which the catalogue lacks";
  EXPECT_EQ(CapNameColumn(33), "CAP種類33");
}

}  // namespace
}  // namespace zelka::testing
