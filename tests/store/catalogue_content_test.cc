// What the rest of the program relies on in the delivered item catalogue:
// the columns the reports and the XML file carry, the coded answers the CAP
// rules test, the dates and date-times the staging formats, and the check
// items it turns into tick marks.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "store/catalogue.h"
#include "support/temp_dir.h"

namespace zelka {
namespace {

const Catalogue& Items() {
  static const Catalogue catalogue =
      Catalogue::Load(testing::SourceAppDir() + "/catalogue/items.tsv");
  return catalogue;
}

const ColumnDef& Column(std::string_view table, std::string_view code) {
  const TableDef* t = Items().Find(table);
  if (t == nullptr) throw std::runtime_error("no table " + std::string(table));
  const ColumnDef* c = t->Find(code);
  if (c == nullptr) throw std::runtime_error("no column " + std::string(table) + "." + std::string(code));
  return *c;
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::set<int> ChoiceCodes(const ColumnDef& column) {
  std::set<int> codes;
  for (const Choice& choice : column.choices) codes.insert(choice.code);
  return codes;
}

bool IsNumberType(int type) {
  return type == kTypeByte || type == kTypeInteger || type == kTypeLong || type == kTypeSingle;
}

// The item columns of every table, in the order the reports and the XML file
// lay them out, keys not included.
const std::vector<std::pair<std::string, std::string>> kItemColumns = {
    {"相談受付表",
      "受付日時 受付職員名 受付場所 1-1 1-2 1-3-1 1-3-2 1-4-1 1-4-2 1-5 1-6-1 1-6-2 1-7-1 1-7-2 "
      "1-8-1-1 1-8-1-2 1-8-1-3 1-8-1-4 1-8-1-5 1-8-2-1 1-8-2-2 1-8-2-3 1-8-2-4 1-8-2-5 "
      "1-8-3-1 1-8-3-2 1-8-3-3 1-8-3-4 1-8-3-5 1-8-4-1 1-8-4-2 1-8-4-3 1-8-4-4 1-8-4-5 "
      "2-1 2-2 2-3-1 2-3-2 2-3-3 2-3-4 2-3-5 2-3-6 2-3-7 2-3-8 2-3-9 2-3-10 2-3-11 "
      "2-3-12 2-3-13 2-3-14 2-3-15 2-3-16 2-3-17 2-3-18 2-3-19 2-3-20 2-3-21 2-4-1 "
      "2-4-2 2-4-3 2-4-4 2-4-5 2-5-1 2-5-2 2-6 3-1-1 3-1-2 3-1-3 3-1-4 3-2-1 3-2-2 "
      "3-2-3 3-2-4 3-3-1 3-3-2 3-3-3 3-3-4 3-3-5 3-3-6 3-3-7 3-3-8 3-3-9 3-3-10 3-4-1-1 "
      "3-4-1-2 3-4-1-3 3-4-1-4 3-4-2-1 3-4-2-2 3-4-2-3 3-4-2-4 3-5-1 3-5-2 4-0-1 4-2 "
      "4-3-1 4-3-2 4-3-3 4-4-a 4-4-b-1 4-4-b-2 4-4-c-1 4-4-c-2 4-4-d-1 4-4-d-2 4-4-d-3 "
      "4-4-d-4 4-4-d-5 5-1-1 5-1-2 5-2-1-1 5-2-1-2 5-2-2-1 5-2-2-2 5-2-2-3 5-2-3-1 "
      "5-2-3-2 5-2-3-3 5-2-4-1 5-2-4-2 5-2-4-3 5-2-5-1 5-2-5-2 5-2-5-3 5-2-6-1 5-2-6-2 "
      "5-2-6-3 5-2-7-1 5-2-7-2 5-2-7-3 5-2-8-1 5-2-8-2 5-2-8-3 5-2-9-1 5-2-9-2 5-2-9-3 "
      "5-2-10-1 5-2-10-2 5-2-10-3 5-2-11-1 5-2-11-2 5-2-11-3 5-2-12-1 5-2-12-2 5-2-12-3 "
      "5-2-13-1 5-2-13-2 5-2-14-1 5-2-14-2 5-2-15-1 5-2-15-2 5-2-16-1 5-2-16-2 5-2-17-1 "
      "5-2-17-2 5-2-18-1 5-2-18-2 5-3-1 5-3-2 5-4 5-5 5-6-1 5-6-2 5-6-3 5-7-2 5-8 5-9"},
    {"AA",
      "AA-1 AA-2 AA-3-1 AA-3-2 AA-4 AA-5 AA-6 AA-7-1 AA-7-2 AA-8-1 AA-8-2 AA-9 AA-10 "
      "AA-11 AA-12 AA-13-A AA-13-B"},
    {"A",
      "A1 A2-1 A2-2 A3-A A3-B A3-C"},
    {"B",
      "B1-A B1-B B2-A B2-B B3-A B3-B"},
    {"C",
      "C1 C2 C3 C4"},
    {"D",
      "D1 D2 D3"},
    {"E",
      "E1-A E1-B E1-C E1-D E1-E E1-F E1-G E1-H E1-I E2 E3-A E3-B E3-C E3-D E3-E E4"},
    {"F",
      "F1-A F1-B F2 F3-A F3-B"},
    {"G",
      "G1-A G1-B G1-C-1 G1-C-2 G1-D-1 G1-D-2 G1-E-1 G1-E-2 G1-F-1 G1-F-2 G1-G-1 G1-G-2 "
      "G1-H-1 G1-H-2 G1-I-1 G1-I-2 G1-J-1 G1-J-2 G2-A G2-B G2-C G2-D"},
    {"H",
      "H1-A-1 H1-A-2 H1-B-1 H1-B-2 H1-C-1 H1-C-2 H1-D-1 H1-D-2 H1-E-1 H1-E-2 H1-F-1 "
      "H1-F-2 H1-G-1 H1-G-2 H2-A H2-B H2-C H2-D H2-E H2-F H2-G H2-H H2-I H2-J H3 H4-A "
      "H4-B H5 H6-A H6-B H7-A H7-B H7-C H7-D"},
    {"I",
      "I1-A I1-B I2-A I2-B I2-C I3"},
    {"J",
      "J1-A J1-B J1-C J1-D J1-E J1-F J1-G J1-H J1-I J1-J J1-K J1-L J1-M J1-N J1-O J1-P "
      "J1-Q J1-R J1-S J1-T J1-U J1-V J1-W J1-X J1-Y J1-Z J1-AA J1-AB J1-AC J2-A-1 "
      "J2-A-2 J2-B-1 J2-B-2 J2-C-1 J2-C-2 J2-D-1 J2-D-2"},
    {"K",
      "K1-A K1-B K1-C K1-D K1-E K2-A K2-B K2-C K2-D K2-E K2-F K3-A K3-B K3-C K3-D K3-E "
      "K3-F K3-G K3-H K4-A K4-B K4-C K4-D K4-E K5 K6-A K6-B K7-A K7-B K7-C K8-A K8-B "
      "K8-C K8-D K8-E K8-F K9-A K9-B K9-C K9-D K9-E K9-F"},
    {"L",
      "L1-A L1-B L1-C L2-A L2-B L2-C L2-D L3"},
    {"M",
      "M1-A M1-B M1-C M1-D"},
    {"N",
      "N1 N2-A N2-B N3-A N3-B N3-C N3-D N3-E N3-F N4 N5-A N5-B N5-C N5-D N5-E"},
    {"O",
      "O1-A O1-B O1-C O1-D O1-E O1-F O1-G O1-H O1-I O2-A O2-B"},
    {"P",
      "P1-A P1-B P1-C P1-D P1-E P1-F P1-G P1-H P1-I P1-J P1-K P1-L P1-M P1-N P1-O P1-P "
      "P1-Q P1-R P1-S P1-T P1-U P1-V P1-W P1-X P1-Y P1-Z P1-AA P2-A P2-B P2-C P2-D P3-A "
      "P3-B P3-C P4 P5 P6"},
    {"Q",
      "Q1 Q2-A Q2-B Q2-C Q2-D Q3 Q4"},
    {"R",
      "R1 R2 R3 R4-1-1 R4-1-2 R4-1-3 R4-2-1 R4-2-2 R4-2-3 R4-3-1 R4-3-2 R4-3-3 R4-4-1 "
      "R4-4-2 R4-4-3 R4-5-1 R4-5-2 R4-5-3 R4-6-1 R4-6-2 R4-6-3 R5-A R5-B R5-C R5-D R5-E "
      "R5-F R5-G R5-H R5-I-1 R5-I-2"},
    {"S",
      "S-A-1-1 S-A-1-2 S-A-1-3 S-A-1-4 S-A-1-5 S-A-2-1 S-A-2-2 S-A-2-3 S-A-2-4 S-A-2-5 "
      "S-A-3-1 S-A-3-2 S-A-3-3 S-A-3-4 S-A-3-5 S-A-4-1 S-A-4-2 S-A-4-3 S-A-4-4 S-A-4-5 "
      "S-A-5-1 S-A-5-2 S-A-5-3 S-A-5-4 S-A-5-5 S-A-6-1 S-A-6-2 S-A-6-3 S-A-6-4 S-A-6-5 "
      "S-A-7-1 S-A-7-2 S-A-7-3 S-A-7-4 S-A-7-5 S-A-8-1 S-A-8-2 S-A-8-3 S-A-8-4 S-A-8-5 "
      "S-A-9-1 S-A-9-2 S-A-9-3 S-A-9-4 S-A-9-5 S-A-10-1 S-A-10-2 S-A-10-3 S-A-10-4 "
      "S-A-10-5 S-B-1-1 S-B-1-2 S-B-1-3 S-B-1-4 S-B-1-5 S-B-1-6 S-B-2-1 S-B-2-2 S-B-2-3 "
      "S-B-2-4 S-B-2-5 S-B-2-6 S-B-3-1 S-B-3-2 S-B-3-3 S-B-3-4 S-B-3-5 S-B-3-6 S-B-4-1 "
      "S-B-4-2 S-B-4-3 S-B-4-4 S-B-4-5 S-B-4-6 S-B-5-1 S-B-5-2 S-B-5-3 S-B-5-4 S-B-5-5 "
      "S-B-5-6 S-C-1-1 S-C-1-2 S-C-1-3 S-C-1-4 S-C-2-1 S-C-2-2 S-C-2-3 S-C-2-4 S-C-3-1 "
      "S-C-3-2 S-C-3-3 S-C-3-4 S-C-4-1 S-C-4-2 S-C-4-3 S-C-4-4 S-C-5-1 S-C-5-2 S-C-5-3 "
      "S-C-5-4 S1 S2 S3"},
};

TEST(CatalogueContent, TablesHoldExactlyTheReportedColumnsInOrderAfterTheirKeys) {
  ASSERT_EQ(Items().tables().size(), kItemColumns.size());
  size_t assessment_columns = 0;
  for (size_t t = 0; t < kItemColumns.size(); ++t) {
    const auto& [name, list] = kItemColumns[t];
    const TableDef& table = Items().tables()[t];
    ASSERT_EQ(table.name, name);
    const bool section = name.size() == 1;
    std::vector<std::string> keys = {"整理番号"};
    if (section) keys.push_back("基準日");
    std::vector<std::string> codes;
    for (const ColumnDef& column : table.columns) codes.push_back(column.code);
    std::vector<std::string> expected = keys;
    for (const std::string& code : Words(list)) expected.push_back(code);
    EXPECT_EQ(codes, expected) << name;
    for (size_t k = 0; k < keys.size(); ++k) EXPECT_EQ(table.columns[k].kind, "key") << name;
    EXPECT_EQ(table.columns[0].type, kTypeLong) << name;
    if (section) EXPECT_EQ(table.columns[1].type, kTypeDate) << name;
    if (name != "相談受付表") assessment_columns += table.columns.size() - keys.size();
  }
  EXPECT_EQ(Column("相談受付表", "整理番号").page, "UKETUKE1");
  EXPECT_EQ(assessment_columns, 414u);
}

// Each (table, column, values) is a test the CAP rules make; 'c' marks items
// the rules treat as tick boxes (1 = ticked), '#' items they read as counts.
struct RuleTest {
  const char* table;
  const char* columns;  // several columns sharing the same test
  char kind;            // 'v' coded answer, 'c' tick box, '#' count
  std::set<int> values;
};

const std::vector<RuleTest> kRuleTests = {
    {"AA", "AA-10", 'v', {1}},
    {"AA", "AA-2", 'v', {2}},
    {"B", "B1-A B3-A B3-B B2-B", 'v', {1}},
    {"B", "B2-A", 'v', {0, 1, 2, 3, 4}},
    {"C", "C1", 'v', {1, 2, 3}},
    {"C", "C2 C3", 'v', {1, 2, 3, 4}},
    {"C", "C3", 'v', {0, 1, 2}},
    {"C", "C4", 'v', {1}},
    {"D", "D1", 'v', {1, 2, 3, 4}},
    {"D", "D2 D3", 'v', {1}},
    {"E", "E1-A E1-B E1-C E1-D E1-E E1-F E1-G", 'v', {1, 2}},
    {"E", "E3-A E3-B E3-C E3-D E3-E", 'v', {1, 2}},
    {"E", "E4", 'v', {1}},
    {"F", "F2", 'v', {2}},
    {"F", "F3-A", 'v', {3}},
    {"F", "F3-B", 'v', {1}},
    {"G", "G1-C-1", 'v', {2}},
    {"G", "G1-F-1 G1-G-1", 'v', {1}},
    {"H", "H1-A-1 H1-B-1 H1-C-1 H1-D-1 H1-E-1 H1-F-1 H1-G-1", 'v', {1, 2, 3, 8}},
    {"H", "H1-A-2 H1-C-2 H1-D-2", 'v', {0, 1}},
    {"H", "H1-A-2 H1-D-2 H1-F-2 H1-G-2", 'v', {1, 2}},
    {"H", "H2-A H2-B H2-C H2-D H2-E H2-F H2-G H2-H H2-I H2-J", 'v', {2, 3, 4, 5, 6}},
    {"H", "H2-A H2-C H2-D", 'v', {8}},
    {"H", "H3 H6-B", 'v', {1}},
    {"H", "H5", 'v', {1, 2}},
    {"H", "H6-A", 'v', {2, 3}},
    {"H", "H7-A H7-B H7-C H7-D", 'c', {1}},
    {"I", "I1-A", 'v', {3, 4, 5}},
    {"I", "I3", 'v', {2, 3, 4, 5}},
    {"I", "I2-A I2-B", 'c', {1}},
    {"J", "J1-E J1-G J1-H J1-I J1-K J1-L J1-X J1-AA", 'v', {1, 2}},
    {"K", "K1-A K1-B K1-C K1-D", 'c', {0}},
    {"K", "K2-A K2-C K3-A K3-B K3-C K3-E K3-F K3-G", 'c', {1}},
    {"K", "K4-A", 'v', {1, 2, 3}},
    {"K", "K5", '#', {1}},
    {"K", "K6-A", 'v', {1}},
    {"K", "K6-B", 'v', {0}},
    {"K", "K7-A K7-B K7-C", 'v', {1}},
    {"K", "K8-B K8-C K8-D K8-E K9-A K9-C K9-D K9-E", 'c', {1}},
    {"L", "L1-A L1-B L2-B L2-C", 'v', {1}},
    {"L", "L3", 'v', {1, 2, 3, 4}},
    {"M", "M1-A M1-B M1-C", 'c', {1}},
    {"N", "N1 N4", 'v', {1}},
    {"N", "N2-A", 'v', {1, 2, 3, 4}},
    {"N", "N3-B N3-E", 'c', {1}},
    {"O", "O1-A O1-B O1-C O1-D O1-E O1-F", 'c', {1}},
    {"P", "P1-A P1-B P1-C P1-D P1-E P1-F P1-G P1-H P1-I P1-J P1-K P1-L P1-M P1-N P1-O "
          "P1-P P1-T P1-U P1-V P1-W P1-X P1-Y P1-Z",
     'v', {2, 3}},
    {"P", "P1-S", 'v', {1, 2, 3}},
    {"P", "P4", 'v', {1}},
    {"P", "P5", 'v', {1, 2}},
    {"Q", "Q1", '#', {1, 5}},
    {"Q", "Q2-A Q2-B Q2-C", 'v', {0, 1}},
    {"Q", "Q3", 'v', {1}},
    {"Q", "Q4", 'v', {2}},
};

TEST(CatalogueContent, EveryValueTheCapRulesTestIsAnAnswerOfItsColumn) {
  for (const RuleTest& test : kRuleTests) {
    for (const std::string& code : Words(test.columns)) {
      SCOPED_TRACE(std::string(test.table) + "." + code);
      const ColumnDef& column = Column(test.table, code);
      ASSERT_TRUE(IsNumberType(column.type)) << "the rules read it as a whole number";
      switch (test.kind) {
        case 'c':
          EXPECT_TRUE(column.check);
          EXPECT_EQ(column.kind, "check");
          break;
        case '#':
          EXPECT_EQ(column.kind, "number");
          EXPECT_FALSE(column.check);
          break;
        default: {
          EXPECT_EQ(column.kind, "choice");
          EXPECT_FALSE(column.check);
          const std::set<int> codes = ChoiceCodes(column);
          for (int value : test.values) EXPECT_TRUE(codes.count(value)) << "no answer " << value;
        }
      }
    }
  }
}

TEST(CatalogueContent, ScalesTheRulesCompareWithRangesKeepTheirOrder) {
  // Rules test ranges such as 3 <= i1-a <= 5 or h2-x = 8: the codes must be
  // these and no others, or an answer would fall silently outside a range.
  const std::map<std::pair<std::string, std::string>, std::set<int>> scales = {
      {{"H", "H2-A"}, {0, 1, 2, 3, 4, 5, 6, 8}}, {{"H", "H1-A-1"}, {0, 1, 2, 3, 8}},
      {{"H", "H1-A-2"}, {0, 1, 2}},              {{"I", "I1-A"}, {0, 1, 2, 3, 4, 5}},
      {{"I", "I3"}, {0, 1, 2, 3, 4, 5}},         {{"C", "C1"}, {0, 1, 2, 3}},
      {{"C", "C2"}, {0, 1, 2, 3, 4}},            {{"C", "C3"}, {0, 1, 2, 3, 4}},
      {{"D", "D1"}, {0, 1, 2, 3, 4}},            {{"B", "B2-A"}, {0, 1, 2, 3, 4}},
      {{"E", "E1-A"}, {0, 1, 2}},                {{"E", "E3-A"}, {0, 1, 2}},
      {{"N", "N2-A"}, {0, 1, 2, 3, 4}},          {{"L", "L3"}, {0, 1, 2, 3, 4}},
      {{"K", "K4-A"}, {0, 1, 2, 3}},             {{"P", "P1-A"}, {0, 1, 2, 3}},
      {{"P", "P5"}, {0, 1, 2}},                  {{"F", "F2"}, {0, 1, 2}},
      {{"F", "F3-A"}, {0, 1, 2, 3}},             {{"J", "J1-A"}, {0, 1, 2}},
      {{"G", "G1-C-1"}, {0, 1, 2}},              {{"AA", "AA-2"}, {1, 2}},
  };
  for (const auto& [where, codes] : scales) {
    EXPECT_EQ(ChoiceCodes(Column(where.first, where.second)), codes) << where.second;
  }
  // The same question asked of several items uses one scale.
  for (char letter = 'B'; letter <= 'J'; ++letter) {
    EXPECT_EQ(ChoiceCodes(Column("H", std::string("H2-") + letter)),
              ChoiceCodes(Column("H", "H2-A")));
  }
}

TEST(CatalogueContent, DatesAndTimesThePrintFormatsConvertAreDateColumns) {
  const std::vector<std::pair<std::string, std::string>> dates = {
      {"相談受付表", "1-3-1 2-4-3 2-4-5 3-2-3 3-2-4 3-3-8 3-3-9 3-4-1-3 3-4-1-4 3-4-2-3 "
                    "3-4-2-4 4-0-1 5-1-1 5-1-2 5-2-13-2 5-2-14-2 5-2-15-2 1-8-1-2 1-8-1-4 "
                    "1-8-1-5 1-8-2-2 1-8-2-4 1-8-2-5 1-8-3-2 1-8-3-4 1-8-3-5 1-8-4-2 1-8-4-4 "
                    "1-8-4-5"},
      {"A", "A1"},
      {"R", "R3 R4-1-3 R4-2-3 R4-3-3 R4-4-3 R4-5-3 R4-6-3"},
      {"S", "S1"},
      {"AA", "AA-3-1"},
  };
  for (const auto& [table, codes] : dates) {
    for (const std::string& code : Words(codes)) {
      const ColumnDef& column = Column(table, code);
      EXPECT_EQ(column.type, kTypeDate) << code;
      EXPECT_EQ(column.kind, "date") << code;
      EXPECT_EQ(column.format, "yyyy/mm/dd") << code;
    }
  }
  for (const auto& [table, code] : std::vector<std::pair<std::string, std::string>>{
           {"相談受付表", "受付日時"}, {"AA", "AA-4"}}) {
    const ColumnDef& column = Column(table, code);
    EXPECT_EQ(column.type, kTypeDate) << code;
    EXPECT_EQ(column.kind, "datetime") << code;
    EXPECT_EQ(column.format, "yyyy/mm/dd hh:nn") << code;
  }
  for (const char* code : {"4-4-d-2", "4-4-d-3"}) {
    const ColumnDef& column = Column("相談受付表", code);
    EXPECT_EQ(column.type, kTypeDate) << code;
    EXPECT_EQ(column.kind, "datetime") << code;
    EXPECT_EQ(column.format, "hh:nn") << code;
  }
  // No other column is a date: a date column the staging does not convert
  // would print in its stored form.
  int date_columns = 0;
  for (const TableDef& table : Items().tables()) {
    for (const ColumnDef& column : table.columns) {
      if (column.type == kTypeDate && column.kind != "key") ++date_columns;
    }
  }
  EXPECT_EQ(date_columns, 29 + 1 + 7 + 1 + 1 + 2 + 2);
}

TEST(CatalogueContent, IntakeItemsPrintedAsMarksAreTickBoxes) {
  std::vector<std::string> marks;
  for (int k = 1; k <= 17; ++k) {
    marks.push_back("2-3-" + std::to_string(k));
    marks.push_back("5-2-" + std::to_string(k) + "-1");
  }
  marks.push_back("5-2-18-1");
  for (const std::string& code : marks) {
    const ColumnDef& column = Column("相談受付表", code);
    EXPECT_TRUE(column.check) << code;
    EXPECT_EQ(column.kind, "check") << code;
  }
  const std::set<int> sex = {1, 2};
  EXPECT_EQ(ChoiceCodes(Column("相談受付表", "1-2")), sex);
  EXPECT_EQ(Column("相談受付表", "1-2").choices[0].text, "男");
  EXPECT_EQ(Column("相談受付表", "1-2").choices[1].text, "女");
}

TEST(CatalogueContent, ItemsCopiedFromTheIntakeIntoAaHaveTheSameShape) {
  const std::vector<std::pair<std::string, std::string>> copies = {
      {"1-1", "AA-1"}, {"1-2", "AA-2"}, {"1-3-1", "AA-3-1"}, {"1-3-2", "AA-3-2"},
      {"受付日時", "AA-4"}};
  for (const auto& [from, to] : copies) {
    const ColumnDef& source = Column("相談受付表", from);
    const ColumnDef& target = Column("AA", to);
    EXPECT_EQ(source.type, target.type) << to;
    EXPECT_EQ(source.format, target.format) << to;
    EXPECT_EQ(source.kind, target.kind) << to;
    EXPECT_LE(source.size, target.size) << to;
    EXPECT_EQ(ChoiceCodes(source), ChoiceCodes(target)) << to;
  }
  for (const auto& [table, code] : std::vector<std::pair<std::string, std::string>>{
           {"相談受付表", "1-3-2"}, {"AA", "AA-3-2"}}) {
    EXPECT_EQ(Column(table, code).kind, "number");
    EXPECT_TRUE(IsNumberType(Column(table, code).type));
  }
}

TEST(CatalogueContent, EveryColumnCanBeEnteredAndShownOnItsPage) {
  for (const TableDef& table : Items().tables()) {
    for (const ColumnDef& column : table.columns) {
      SCOPED_TRACE(table.name + "." + column.code);
      if (column.kind == "key") continue;
      // Assessment items sit on their section's page; intake items on the
      // page of their number's first part (受付… with part 1).
      if (table.name == "相談受付表") {
        const char part = column.code[0] >= '1' && column.code[0] <= '5' ? column.code[0] : '1';
        EXPECT_EQ(column.page, std::string("UKETUKE") + part);
      } else {
        EXPECT_EQ(column.page, table.name);
      }
      EXPECT_FALSE(column.group.empty());
      EXPECT_FALSE(column.label.empty());
      // A loaded value is checked again when the page is stored: a display
      // format on a number would put grouping commas the number check refuses.
      if (IsNumberType(column.type)) EXPECT_TRUE(column.format.empty());
      if (column.type == kTypeText) {
        EXPECT_GT(column.size, 0);
        EXPECT_LE(column.size, 255);
      }
      EXPECT_EQ(column.check, column.kind == "check");
      if (column.check) EXPECT_EQ(column.type, kTypeByte);
      if (column.kind == "choice") {
        EXPECT_TRUE(IsNumberType(column.type));
        std::set<int> seen;
        for (const Choice& choice : column.choices) {
          // The number check refuses a minus sign; a Byte holds 0 to 255.
          EXPECT_GE(choice.code, 0);
          if (column.type == kTypeByte) EXPECT_LE(choice.code, 255);
          EXPECT_TRUE(seen.insert(choice.code).second) << "code " << choice.code << " twice";
          EXPECT_FALSE(choice.text.empty());
        }
      } else {
        EXPECT_TRUE(column.choices.empty());
      }
    }
  }
}

}  // namespace
}  // namespace zelka
