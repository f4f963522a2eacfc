// The entry pages as the binding and the entry window use them: generated
// from the catalogue and committed unchanged, every column once on its own
// page as the element type the binding expects, and the status commands of
// the move and date-picker buttons.
#include "store/entry_pages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "store/validation.h"
#include "support/temp_dir.h"

namespace zelka {
namespace {

const Catalogue& Items() {
  static const Catalogue catalogue =
      Catalogue::Load(testing::SourceAppDir() + "/catalogue/items.tsv");
  return catalogue;
}

const std::vector<EntryPage>& Pages() {
  static const std::vector<EntryPage> pages = BuildEntryPages(Items());
  return pages;
}

const EntryPage& Page(const std::string& file) {
  for (const EntryPage& page : Pages()) {
    if (page.file == file) return page;
  }
  throw std::runtime_error("no page " + file);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One start tag of a page with its attributes.
struct Tag {
  std::string name;
  std::map<std::string, std::string> attributes;
  size_t position = 0;
  std::string Attribute(const std::string& key) const {
    auto found = attributes.find(key);
    return found == attributes.end() ? "" : found->second;
  }
};

std::string Unescape(std::string text) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : entities) {
    for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
      text.replace(at, std::string_view(entity).size(), plain);
    }
  }
  return text;
}

// The start tags of the given names, in document order (enough HTML for the
// generated pages: quoted attribute values, bare boolean attributes).
std::vector<Tag> Tags(const std::string& html, const std::set<std::string>& names) {
  std::vector<Tag> tags;
  for (size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
    size_t end = html.find('>', at);
    std::string inside = html.substr(at + 1, end - at - 1);
    size_t name_end = inside.find_first_of(" \n");
    Tag tag{inside.substr(0, name_end), {}, at};
    if (!names.count(tag.name)) continue;
    size_t i = name_end;
    while (i != std::string::npos && i < inside.size()) {
      i = inside.find_first_not_of(" \n", i);
      if (i == std::string::npos) break;
      size_t key_end = inside.find_first_of("= \n", i);
      std::string key = inside.substr(i, key_end - i);
      if (key_end != std::string::npos && inside[key_end] == '=') {
        size_t close = inside.find('"', key_end + 2);
        tag.attributes[key] = Unescape(inside.substr(key_end + 2, close - key_end - 2));
        i = close + 1;
      } else {
        tag.attributes[key] = "";
        i = key_end;
      }
    }
    tags.push_back(std::move(tag));
  }
  return tags;
}

// The type string the page's element reports to the binding.
std::string ElementType(const Tag& tag) {
  if (tag.name == "select") return "select-one";
  if (tag.name == "textarea") return "textarea";
  return tag.Attribute("type");
}

std::string ExpectedType(const ColumnDef& column) {
  if (column.kind == "choice") return "select-one";
  if (column.kind == "check") return "checkbox";
  if (column.kind == "memo") return "textarea";
  return "text";
}

std::vector<Tag> Fields(const std::string& html) {
  return Tags(html, {"input", "select", "textarea"});
}

std::vector<std::string> StatusCommands(const std::string& html) {
  std::vector<std::string> commands;
  for (const Tag& tag : Tags(html, {"button"})) commands.push_back(tag.Attribute("data-status"));
  return commands;
}

TEST(EntryPages, CommittedPagesAreTheGeneratorsOutput) {
  std::set<std::string> generated;
  for (const EntryPage& page : Pages()) {
    generated.insert(page.file);
    EXPECT_EQ(ReadFile(testing::SourceAppDir() + "/FORM/" + page.file), page.html)
        << page.file << " differs: run gen_pages --catalogue app/catalogue/items.tsv --out app/FORM";
  }
  std::set<std::string> committed;
  for (const auto& entry : std::filesystem::directory_iterator(testing::SourceAppDir() + "/FORM")) {
    if (entry.path().extension() == ".HTM") committed.insert(entry.path().filename().string());
  }
  EXPECT_EQ(committed, generated);
  EXPECT_EQ(generated.size(), 25u);
}

TEST(EntryPages, EveryColumnIsOnceOnItsOwnPageInTheFirstForm) {
  std::map<std::string, std::string> expected_page;  // element name -> page file
  std::map<std::string, std::string> expected_type;
  for (const TableDef& table : Items().tables()) {
    for (const ColumnDef& column : table.columns) {
      if (column.page.empty()) continue;
      const std::string name = ElementName(column.code);
      // Element names are shared across the intake pages and across the
      // assessment pages alike: no two shown columns may meet in one name.
      ASSERT_TRUE(expected_page.emplace(name, column.page + ".HTM").second) << name;
      expected_type[name] = ExpectedType(column);
    }
  }
  std::map<std::string, int> seen;
  for (const EntryPage& page : Pages()) {
    SCOPED_TRACE(page.file);
    const size_t form_start = page.html.find("<form");
    const size_t form_end = page.html.find("</form>");
    ASSERT_NE(form_start, std::string::npos);
    EXPECT_EQ(page.html.find("<form", form_start + 1), std::string::npos) << "one form only";
    std::set<std::string> ids;
    for (const Tag& field : Fields(page.html)) {
      const std::string name = field.Attribute("name");
      EXPECT_EQ(name.find('-'), std::string::npos) << name;
      EXPECT_TRUE(IsBoundElement(name)) << name;
      EXPECT_GT(field.position, form_start);
      EXPECT_LT(field.position, form_end);
      EXPECT_EQ(expected_page[name], page.file) << name;
      EXPECT_EQ(ElementType(field), expected_type[name]) << name;
      EXPECT_EQ(field.Attribute("id"), name);
      EXPECT_TRUE(ids.insert(name).second) << name << " twice on the page";
      ++seen[name];
    }
    std::set<std::string> labelled;
    for (const Tag& label : Tags(page.html, {"label"})) labelled.insert(label.Attribute("for"));
    EXPECT_EQ(labelled, ids) << "every field has exactly one label";
  }
  for (const auto& [name, page] : expected_page) EXPECT_EQ(seen[name], 1) << name;
  EXPECT_EQ(seen.size(), expected_page.size());
}

TEST(EntryPages, TheRecordNumberIsTypedOnlyOnTheFirstIntakePage) {
  for (const EntryPage& page : Pages()) {
    for (const Tag& field : Fields(page.html)) {
      const std::string name = field.Attribute("name");
      EXPECT_NE(name, "zlk_基準日") << page.file;
      if (name == "zlk_整理番号") {
        EXPECT_EQ(page.file, "UKETUKE1.HTM");
        EXPECT_EQ(field.Attribute("type"), "text");
      }
    }
  }
  EXPECT_NE(Page("UKETUKE1.HTM").html.find("name=\"zlk_整理番号\""), std::string::npos);
}

TEST(EntryPages, ChoicesStartUnansweredAndOfferTheCatalogueCodes) {
  const std::string& html = Page("H.HTM").html;
  const size_t select = html.find("<select id=\"zlk_H2_A\"");
  ASSERT_NE(select, std::string::npos);
  const std::string list = html.substr(select, html.find("</select>", select) - select);
  std::vector<std::string> values;
  for (const Tag& option : Tags(list, {"option"})) values.push_back(option.Attribute("value"));
  EXPECT_EQ(values, (std::vector<std::string>{"", "0", "1", "2", "3", "4", "5", "6", "8"}));
  EXPECT_NE(list.find("<option value=\"8\">8 "), std::string::npos) << "the code leads the text";
  // A tick box stores 1 when ticked.
  for (const Tag& field : Fields(Page("O.HTM").html)) {
    if (field.Attribute("type") == "checkbox") EXPECT_EQ(field.Attribute("value"), "1");
  }
}

TEST(EntryPages, DateButtonsAskForThePickerWithFormatModeAndAge) {
  auto picker_of = [](const std::string& file, const std::string& element) {
    for (const std::string& command : StatusCommands(Page(file).html)) {
      if (command.rfind("!" + element + "|", 0) == 0) return command;
    }
    return std::string("none");
  };
  EXPECT_EQ(picker_of("UKETUKE1.HTM", "zlk_1_3_1"), "!zlk_1_3_1|yyyy/mm/dd|DATE|zlk_1_3_2");
  EXPECT_EQ(picker_of("AA.HTM", "zlk_AA_3_1"), "!zlk_AA_3_1|yyyy/mm/dd|DATE|zlk_AA_3_2");
  EXPECT_EQ(picker_of("UKETUKE1.HTM", "zlk_受付日時"), "!zlk_受付日時|yyyy/mm/dd hh:nn|TIME|");
  EXPECT_EQ(picker_of("AA.HTM", "zlk_AA_4"), "!zlk_AA_4|yyyy/mm/dd hh:nn|TIME|");
  EXPECT_EQ(picker_of("UKETUKE4.HTM", "zlk_4_4_d_2"), "!zlk_4_4_d_2|hh:nn|TIME|");
  EXPECT_EQ(picker_of("A.HTM", "zlk_A1"), "!zlk_A1|yyyy/mm/dd|DATE|");
  EXPECT_EQ(picker_of("B.HTM", "zlk_B1_A"), "none");

  // One picker per date item, none for anything else.
  for (const EntryPage& page : Pages()) {
    std::set<std::string> dated;
    for (const TableDef& table : Items().tables()) {
      for (const ColumnDef& column : table.columns) {
        if (column.page + ".HTM" == page.file && (column.kind == "date" || column.kind == "datetime"))
          dated.insert(ElementName(column.code));
      }
    }
    std::multiset<std::string> pickers;
    for (const std::string& command : StatusCommands(page.html)) {
      if (command.rfind("!", 0) == 0) pickers.insert(command.substr(1, command.find('|') - 1));
    }
    EXPECT_EQ(pickers, std::multiset<std::string>(dated.begin(), dated.end())) << page.file;
  }
}

TEST(EntryPages, MoveButtonsFollowTheJumpMenus) {
  auto moves = [](const std::string& file) {
    std::vector<std::string> commands;
    for (const std::string& command : StatusCommands(Page(file).html)) {
      if (command.rfind("#", 0) == 0) commands.push_back(command);
    }
    return commands;
  };
  using List = std::vector<std::string>;
  EXPECT_EQ(moves("B.HTM"), (List{"#B|A.HTM", "#B|", "#B|C.HTM"}));
  EXPECT_EQ(moves("AA.HTM"), (List{"#AA|", "#AA|A.HTM"}));
  EXPECT_EQ(moves("A.HTM"), (List{"#A|AA.HTM", "#A|", "#A|B.HTM"}));
  EXPECT_EQ(moves("S.HTM"), (List{"#S|R.HTM", "#S|"}));
  EXPECT_EQ(moves("UKETUKE1.HTM"), (List{"#UKETUKE1|", "#UKETUKE1|UKETUKE2.HTM"}));
  // The menu's last intake item has no page: page 5 ends the intake.
  EXPECT_EQ(moves("UKETUKE5.HTM"), (List{"#UKETUKE5|UKETUKE4.HTM", "#UKETUKE5|"}));
  EXPECT_NE(Page("B.HTM").html.find(">保存して閉じる</button>"), std::string::npos);
  EXPECT_NE(Page("B.HTM").html.find("<h1>B.記憶</h1>"), std::string::npos);
}

Catalogue Sample(const std::string& rows) {
  return Catalogue::Parse(
      "table\tcode\ttype\tsize\tformat\tkind\tcheck\tpage\tgroup\tlabel\tchoices\n" + rows);
}

TEST(EntryPages, GroupsFollowTheCatalogueAndTextIsEscaped) {
  const auto pages = BuildEntryPages(Sample(
      "B\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
      "B\tB1-A\t2\t0\t\tchoice\t0\tB\t記憶 <1>\t\"短期\" & 長期\t0:なし|1:あり & <他>\n"
      "B\tB1-B\t10\t80\t\ttext\t0\tB\t記憶 <1>\t補足\t\n"
      "B\tB2\t12\t0\t\tmemo\t0\tB\t判断\t所見\t\n"));
  ASSERT_EQ(pages.size(), 25u);
  ASSERT_EQ(pages.at(7).file, "B.HTM");  // after UKETUKE1 … UKETUKE5, AA and A
  const std::string& b = pages.at(7).html;
  for (const EntryPage& page : pages) {
    if (page.file != "B.HTM") EXPECT_TRUE(Fields(page.html).empty()) << page.file;
  }
  const size_t first = b.find("<h2 id=\"g1\">記憶 &lt;1&gt;</h2>");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(b.find("<h2", first + 1), b.find("<h2 id=\"g2\">判断</h2>")) << "two groups";
  EXPECT_NE(b.find("&quot;短期&quot; &amp; 長期"), std::string::npos);
  EXPECT_NE(b.find(">1 あり &amp; &lt;他&gt;</option>"), std::string::npos);
  EXPECT_EQ(Fields(b).size(), 3u) << "the key of a section is not on its page";
}

TEST(EntryPages, SharedScalesArePrintedOnceAboveTheirGroupAndTheHeadAwaitsTheRecord) {
  std::string rows;
  for (const char* item : {"B1-A\t記憶\tA\t0:できる|1:できない", "B1-B\t記憶\tB\t0:できる|1:できない",
                           "B1-C\t記憶\tC\t0:はい|1:いいえ", "B2-A\t判断\t朝(イ)\t0:自立", "B2-B\t判断\t夜(イ)\t0:自立",
                           "B2-C\t判断\t昼\t0:ない", "B2-D\t判断\t夕\t0:ない"}) {
    std::string fields(item);
    fields.replace(fields.find('\t'), 1, "\t2\t0\t\tchoice\t0\tB\t");
    rows += "B\t" + fields + "\n";
  }
  const std::string& b = BuildEntryPages(Sample(rows)).at(7).html;
  // One untitled scale for 記憶 (はい/いいえ serves one item and stays in its list).
  EXPECT_NE(b.find("記憶</h2>\n<p class=\"scale\"><span class=\"scale-entry\"><b>0</b> できる</span>"
                   "<span class=\"scale-entry\"><b>1</b> できない</span></p>\n<div class=\"items\">"), std::string::npos);
  EXPECT_NE(b.find("<span class=\"scale-title\">(イ)</span>"), std::string::npos);
  EXPECT_NE(b.find("<span class=\"scale-title\">B2-C〜B2-D</span>"), std::string::npos);
  EXPECT_EQ(Tags(b, {"p"}).size(), 4u) << "the document name and three scales";
  EXPECT_LT(b.find("<output form=\"zlk\" name=\"zelka-client\">"), b.find("<form name=\"zlk\" id=\"zlk\""));
}

TEST(EntryPages, RepeatedGroupsBecomeTheRowsOfOneTable) {
  const auto pages = BuildEntryPages(Sample(
      "R\tR4-1-1\t10\t20\t\ttext\t0\tR\t参加者(1)\t氏名\t\n"
      "R\tR4-1-2\t8\t0\tyyyy/mm/dd\tdate\t0\tR\t参加者(1)\t参加日\t\n"
      "R\tR4-2-1\t10\t20\t\ttext\t0\tR\t参加者(2)\t氏名\t\n"
      "R\tR4-2-2\t8\t0\tyyyy/mm/dd\tdate\t0\tR\t参加者(2)\t参加日\t\n"
      "R\tR5-1\t10\t20\t\ttext\t0\tR\t連絡(1)\t相手\t\n"
      "R\tR5-2\t2\t0\t\tcheck\t0\tR\t連絡(2)\t済み\t\n"));
  const std::string& r = pages.at(23).html;  // R.HTM, before S.HTM
  ASSERT_EQ(pages.at(23).file, "R.HTM");
  EXPECT_EQ(Tags(r, {"table"}).size(), 1u);
  EXPECT_NE(r.find("<h2 id=\"g1\">参加者</h2>\n<table"), std::string::npos);
  EXPECT_NE(r.find("<th scope=\"col\">氏名</th><th scope=\"col\">参加日</th>"), std::string::npos);
  EXPECT_EQ(Tags(r, {"tr"}).size(), 3u) << "a heading row and two rows";
  // Repeats whose items differ stay separate cards under their own headings.
  EXPECT_NE(r.find("<h2 id=\"g2\">連絡(1)</h2>"), std::string::npos);
  EXPECT_NE(r.find("<h2 id=\"g3\">連絡(2)</h2>"), std::string::npos);
  EXPECT_NE(r.find("<label for=\"zlk_R4_2_2\" class=\"cell-label\">R4-2-2 参加日</label>"),
            std::string::npos);
}

TEST(EntryPages, RefusesAColumnOnAPageNoMenuShows) {
  try {
    BuildEntryPages(Sample("T\tT1\t2\t0\t\tnumber\t0\tUKETUKE6\tg\tl\t\n"));
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("UKETUKE6"), std::string::npos) << e.what();
  }
}

TEST(EntryPages, WritesEveryPageAndReportsAFolderItCannotWrite) {
  testing::TempDir dir;
  WriteEntryPages(Pages(), dir.path());
  for (const EntryPage& page : Pages()) EXPECT_EQ(ReadFile(dir.Child(page.file)), page.html);
  EXPECT_THROW(WriteEntryPages(Pages(), dir.Child("missing")), std::runtime_error);
}

}  // namespace
}  // namespace zelka
