// The entry pages as the binding and the entry window use them: generated
// from the catalogue and committed unchanged, every column once on its own
// page as the element type the binding expects, and the status commands of
// the move and date-picker buttons.
#include "store/entry_pages.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "store/validation.h"
#include "support/store.h"

namespace zelka {
namespace {

using Attributes = std::map<std::string, std::string>;
using List = std::vector<std::string>;
using testing::DeliveredCatalogue;

const std::vector<EntryPage>& Pages() {
  static const std::vector<EntryPage> pages = BuildEntryPages(DeliveredCatalogue());
  return pages;
}

const std::string& Html(const std::string& file) {
  for (const EntryPage& page : Pages())
    if (page.file == file) return page.html;
  throw std::runtime_error("no page " + file);
}

// The start tags named by `names` (a regex alternation), in document order,
// with their attributes; the generator quotes every attribute value.
std::vector<Attributes> Tags(const std::string& html, const std::string& names) {
  static const std::regex attribute(R"re(([\w-]+)="([^"]*)")re");
  const std::regex tag("<(" + names + ")(\\s[^>]*)?>");
  std::vector<Attributes> tags;
  for (std::sregex_iterator it(html.begin(), html.end(), tag), end; it != end; ++it) {
    const std::string inside = (*it)[2];
    Attributes attributes{{"<", (*it)[1]}};
    for (std::sregex_iterator a(inside.begin(), inside.end(), attribute); a != end; ++a)
      attributes[(*a)[1]] = (*a)[2];
    tags.push_back(std::move(attributes));
  }
  return tags;
}

std::vector<Attributes> Fields(const std::string& html) { return Tags(html, "input|select|textarea"); }

// The data-status commands of a page's buttons that start with `lead`.
List Commands(const std::string& file, char lead) {
  List commands;
  for (Attributes& button : Tags(Html(file), "button"))
    if (button["data-status"].starts_with(lead)) commands.push_back(button["data-status"]);
  return commands;
}

bool IsNumberType(int type) {
  return type == kTypeByte || type == kTypeInteger || type == kTypeLong || type == kTypeSingle;
}

TEST(EntryPages, CommittedPagesAreTheGeneratorsOutput) {
  std::set<std::string> generated, committed;
  for (const EntryPage& page : Pages()) {
    generated.insert(page.file);
    EXPECT_EQ(testing::ReadBytes(testing::SourceAppDir() + "/FORM/" + page.file), page.html)
        << page.file << " differs: run gen_pages --catalogue app/catalogue/items.tsv --out app/FORM";
  }
  for (const auto& entry : std::filesystem::directory_iterator(testing::SourceAppDir() + "/FORM"))
    if (entry.path().extension() == ".HTM") committed.insert(entry.path().filename().string());
  EXPECT_EQ(committed, generated);
  EXPECT_EQ(generated.size(), 25u);
}

// Every column of the catalogue can be entered on its page: once, in the
// page's one form, labelled, as the element type the binding reads, with the
// catalogue's answers; and its kind suits what the checks accept.
TEST(EntryPages, EveryColumnIsOnceOnItsPageAsTheElementTheBindingReads) {
  struct Expected {
    std::string page, type;
    List options;
    bool dated = false;
  };
  std::map<std::string, Expected> expected;  // element name -> where and what
  for (const TableDef& table : DeliveredCatalogue().tables()) {
    for (const ColumnDef& column : table.columns) {
      SCOPED_TRACE(table.name + "." + column.code);
      const bool date_type = column.type == kTypeDate;
      EXPECT_EQ(date_type, column.kind == "date" || column.kind == "datetime" || (date_type && column.kind == "key"));
      if (column.kind == "date") { EXPECT_EQ(column.format, "yyyy/mm/dd"); }
      // A display format on a number would put in grouping commas the number check refuses.
      if (IsNumberType(column.type)) { EXPECT_EQ(column.format, ""); }
      if (column.type == kTypeText) { EXPECT_TRUE(column.size > 0 && column.size <= 255) << column.size; }
      EXPECT_EQ(column.check, column.kind == "check");
      if (column.check) { EXPECT_EQ(column.type, kTypeByte); }
      EXPECT_EQ(column.kind == "choice", !column.choices.empty());
      if (column.page.empty()) continue;
      Expected e{column.page + ".HTM", "text", {}, column.kind == "date" || column.kind == "datetime"};
      if (column.kind == "choice") e.type = "select";
      if (column.kind == "check") e.type = "checkbox";
      if (column.kind == "memo") e.type = "textarea";
      if (column.kind == "choice") e.options.push_back("");
      for (const Choice& choice : column.choices) {
        // The number check refuses a minus sign; a Byte holds 0 to 255.
        EXPECT_TRUE(choice.code >= 0 && (column.type != kTypeByte || choice.code <= 255)) << choice.code;
        e.options.push_back(std::to_string(choice.code));
      }
      // Names are shared across the intake pages and across the assessment
      // pages alike: no two shown columns may meet in one name.
      ASSERT_TRUE(expected.emplace(ElementName(column.code), e).second) << column.code;
    }
  }
  std::map<std::string, int> seen;
  for (const EntryPage& page : Pages()) {
    SCOPED_TRACE(page.file);
    const size_t form = page.html.find("<form");
    ASSERT_EQ(page.html.find("<form", form + 1), std::string::npos) << "one form only";
    const std::string inside = page.html.substr(form, page.html.find("</form>") - form);
    EXPECT_EQ(Fields(inside).size(), Fields(page.html).size()) << "every field in the form";
    std::set<std::string> ids, labelled, dated, pickers;
    for (Attributes& field : Fields(page.html)) {
      const std::string name = field["name"];
      ASSERT_TRUE(IsBoundElement(name) && expected.count(name)) << name;
      const Expected& e = expected[name];
      EXPECT_EQ(e.page, page.file) << name;
      EXPECT_EQ(field["<"] == "input" ? field["type"] : field["<"], e.type) << name;
      if (e.type == "checkbox") { EXPECT_EQ(field["value"], "1") << name << ": a tick stores 1"; }
      if (e.type == "select") {
        const size_t at = page.html.find("id=\"" + name + "\"");
        List options;
        for (Attributes& option : Tags(page.html.substr(at, page.html.find("</select>", at) - at), "option"))
          options.push_back(option["value"]);
        EXPECT_EQ(options, e.options) << name;
      }
      EXPECT_EQ(field["id"], name);
      EXPECT_TRUE(ids.insert(name).second) << name << " twice on the page";
      if (e.dated) dated.insert(name);
      ++seen[name];
    }
    for (Attributes& label : Tags(page.html, "label")) labelled.insert(label["for"]);
    EXPECT_EQ(labelled, ids) << "every field has exactly one label";
    for (const std::string& command : Commands(page.file, '!'))
      EXPECT_TRUE(pickers.insert(command.substr(1, command.find('|') - 1)).second) << command;
    EXPECT_EQ(pickers, dated) << "one date picker per date item";
  }
  EXPECT_EQ(seen.size(), expected.size());
  for (const auto& [name, e] : expected) EXPECT_EQ(seen[name], 1) << name;
}

TEST(EntryPages, DateButtonsAskForThePickerWithFormatModeAndAge) {
  const std::pair<const char*, List> pickers[] = {
      {"UKETUKE1.HTM", {"!zlk_受付日時|yyyy/mm/dd hh:nn|TIME|", "!zlk_1_3_1|yyyy/mm/dd|DATE|zlk_1_3_2"}},
      {"AA.HTM", {"!zlk_AA_3_1|yyyy/mm/dd|DATE|zlk_AA_3_2", "!zlk_AA_4|yyyy/mm/dd hh:nn|TIME|"}},
      {"UKETUKE4.HTM", {"!zlk_4_4_d_2|hh:nn|TIME|"}},
      {"A.HTM", {"!zlk_A1|yyyy/mm/dd|DATE|"}},
  };
  for (const auto& [file, expected] : pickers)
    for (const std::string& command : expected) EXPECT_THAT(Commands(file, '!'), ::testing::Contains(command));
}

Catalogue Sample(const std::string& rows) {
  return Catalogue::Parse("table\tcode\ttype\tsize\tformat\tkind\tcheck\tpage\tgroup\tlabel\tchoices\n" + rows);
}

// The layout on a small catalogue: groups under their headings, text escaped,
// a scale shared by a group's items printed once above them, repeated groups
// with the same items as the rows of one table.
TEST(EntryPages, GroupsScalesAndRepeatsFollowTheCatalogueAndTextIsEscaped) {
  std::string rows;
  for (const char* item : {"B1-A\t記憶 <1>\tA\t0:できる|1:できない", "B1-B\t記憶 <1>\tB\t0:できる|1:できない",
                           "B1-C\t記憶 <1>\t\"短期\" & 長期\t0:はい|1:いいえ & <他>", "B2-A\t判断\t朝(イ)\t0:自立",
                           "B2-B\t判断\t夜(イ)\t0:自立", "B2-C\t判断\t昼\t0:ない", "B2-D\t判断\t夕\t0:ない"}) {
    std::string fields(item);
    fields.replace(fields.find('\t'), 1, "\t2\t0\t\tchoice\t0\tB\t");
    rows += "B\t" + fields + "\n";
  }
  rows += "R\tR4-1-1\t10\t20\t\ttext\t0\tR\t参加者(1)\t氏名\t\n"
          "R\tR4-1-2\t8\t0\tyyyy/mm/dd\tdate\t0\tR\t参加者(1)\t参加日\t\n"
          "R\tR4-2-1\t10\t20\t\ttext\t0\tR\t参加者(2)\t氏名\t\n"
          "R\tR4-2-2\t8\t0\tyyyy/mm/dd\tdate\t0\tR\t参加者(2)\t参加日\t\n"
          "R\tR5-1\t10\t20\t\ttext\t0\tR\t連絡(1)\t相手\t\n"
          "R\tR5-2\t2\t0\t\tcheck\t0\tR\t連絡(2)\t済み\t\n";
  const auto pages = BuildEntryPages(Sample(rows));
  ASSERT_EQ(pages.at(7).file, "B.HTM");  // after UKETUKE1 … UKETUKE5, AA and A
  ASSERT_EQ(pages.at(23).file, "R.HTM");
  const std::string& b = pages.at(7).html;
  // One untitled scale for 記憶 (はい/いいえ serves one item and stays in its list).
  const size_t first = b.find("<h2 id=\"g1\">記憶 &lt;1&gt;</h2>\n<p class=\"scale\"><span class=\"scale-entry\"><b>0</b> "
                              "できる</span><span class=\"scale-entry\"><b>1</b> できない</span></p>\n<div class=\"items\">");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(b.find("<h2", first + 1), b.find("<h2 id=\"g2\">判断</h2>")) << "two groups";
  EXPECT_NE(b.find("&quot;短期&quot; &amp; 長期"), std::string::npos);
  EXPECT_NE(b.find(">1 いいえ &amp; &lt;他&gt;</option>"), std::string::npos);
  EXPECT_NE(b.find("<span class=\"scale-title\">(イ)</span>"), std::string::npos);
  EXPECT_NE(b.find("<span class=\"scale-title\">B2-C〜B2-D</span>"), std::string::npos);
  EXPECT_EQ(Tags(b, "p").size(), 4u) << "the document name and three scales";
  EXPECT_LT(b.find("<output form=\"zlk\" name=\"zelka-client\">"), b.find("<form name=\"zlk\" id=\"zlk\""));

  // Repeated groups with the same items become the rows of one table;
  // repeats whose items differ stay separate under their own headings.
  const std::string& r = pages.at(23).html;
  EXPECT_EQ(Tags(r, "table").size(), 1u);
  EXPECT_NE(r.find("<h2 id=\"g1\">参加者</h2>\n<table"), std::string::npos);
  EXPECT_NE(r.find("<th scope=\"col\">氏名</th><th scope=\"col\">参加日</th>"), std::string::npos);
  EXPECT_EQ(Tags(r, "tr").size(), 3u) << "a heading row and two rows";
  EXPECT_NE(r.find("<h2 id=\"g2\">連絡(1)</h2>"), std::string::npos);
  EXPECT_NE(r.find("<h2 id=\"g3\">連絡(2)</h2>"), std::string::npos);
  EXPECT_NE(r.find("<label for=\"zlk_R4_2_2\" class=\"cell-label\">R4-2-2 参加日</label>"), std::string::npos);
}

TEST(EntryPages, WritesEveryPageAndRefusesWhatItCannotDo) {
  testing::TempDir dir;
  WriteEntryPages(Pages(), dir.path());
  for (const EntryPage& page : Pages()) EXPECT_EQ(testing::ReadBytes(dir.Child(page.file)), page.html);
  EXPECT_THROW(WriteEntryPages(Pages(), dir.Child("missing")), std::runtime_error);
  EXPECT_THAT([] { BuildEntryPages(Sample("T\tT1\t2\t0\t\tnumber\t0\tUKETUKE6\tg\tl\t\n")); },
              ::testing::ThrowsMessage<std::runtime_error>(::testing::HasSubstr("UKETUKE6")));
}

}  // namespace
}  // namespace zelka
