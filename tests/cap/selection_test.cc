// The selection of one assessment: slot order, room for every CAP, and the
// errors that name what is missing.
#include <gtest/gtest.h>

#include "cap/memory_assessment.h"

namespace zelka::testing {
namespace {

using Numbers = std::vector<std::string>;

TEST(Selection, FirstTriggeredCapTakesSlotOne) {
  MemoryAssessment a;
  EXPECT_EQ(Selected(a), Numbers{}) << "c3 <= 2 and b2-a < 2 hold unanswered, but their partners do not";
  a.Set("c1=1 j1-x=2");
  EXPECT_EQ(Selected(a), (Numbers{"5", "16"}));
}

// Every CAP at once: more than 30 triggered CAPs all find a slot, in
// catalogue order (2a before 2b).
TEST(Selection, AllThirtyThreeFitInTheirSlots) {
  MemoryAssessment a;
  a.Set("aa-10=1 aa-2=2 b1-a=1 b2-a=1 b2-b=1 b3-a=1 c1=1 c3=1 d3=1 e1-a=2 e3-a=1 f2=2 f3-a=3 g1-c-1=2 g1-f-1=1");
  a.Set("h2-a=3 h2-b=3 h2-e=3 h3=1 h7-a=1 h7-d=1 h6-b=1 h1-a-1=8 h1-a-2=1 h1-d-2=1 h1-f-2=1 h1-f-1=8 h1-c-1=2");
  a.Set("h1-c-2=0 i1-a=3 i3=3 j1-e=1 j1-x=1 j1-g=2 j1-l=1 k7-a=1 k9-a=1 k2-c=1 k4-a=1 k8-e=1 k1-a=0");
  a.Set("l3=1 n1=1 n2-a=1 o1-a=1 p1-a=2 p5=1 q1=5 q3=1 q2-a=1");
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

// The message of the selection's failure, "" when it succeeds.
std::string SelectionError(const MemoryAssessment& assessment) {
  try {
    SelectCaps(assessment.Sheet()[0]);
  } catch (const CapError& e) {
    return e.what();
  }
  return "";
}

TEST(Selection, MissingClientNameOrRowIsNamed) {
  MemoryAssessment a;
  a.Set("aa-1=-");
  EXPECT_NE(SelectionError(a).find("AA-1"), std::string::npos) << SelectionError(a);
  MemoryAssessment b;
  b.RemoveRow("H");
  EXPECT_EQ(SelectionError(b), "H 表の行がありません");
}

TEST(Catalogue, NumbersAndSlotFields) {
  EXPECT_EQ(FindCap("1"), 0);
  EXPECT_EQ(FindCap("22b"), 23);
  EXPECT_EQ(FindCap("30"), 32);
  EXPECT_EQ(FindCap("2A"), -1) << "the worksheet compares exactly";
  EXPECT_EQ(FindCap(" 5"), -1);
  EXPECT_EQ(CapNumberColumn(1), "CAP番号01");
  EXPECT_EQ(CapNameColumn(33), "CAP種類33");
}

}  // namespace
}  // namespace zelka::testing
