#include "store/entry_pages.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <span>
#include <stdexcept>
#include <string_view>

#include "store/entry_menus.h"
#include "store/validation.h"
#include "util/utf8.h"
#include "util/html_text.h"

namespace zelka {
namespace {

constexpr std::string_view kDateFormat = "yyyy/mm/dd";
constexpr std::string_view kDateTimeFormat = "yyyy/mm/dd hh:nn";
constexpr std::string_view kBirthDateLabel = "生年月日";
constexpr std::string_view kAgeLabel = "年齢";

// One page of a jump menu with its neighbours in that menu.
struct PagePlan {
  std::string_view caption;    // "B.記憶"
  std::string_view file;       // "B.HTM"
  std::string_view title;      // the document the page belongs to
  std::string_view previous;   // file, "" on the first page
  std::string_view previous_caption;
  std::string_view next;       // file, "" on the last page
  std::string_view next_caption;
  std::vector<const ColumnDef*> columns;
};


std::string_view PageBase(std::string_view file) { return file.substr(0, file.find('.')); }

void AddMenuPages(std::span<const EntryMenuItem> menu, std::string_view title,
                  std::vector<PagePlan>& plans) {
  std::vector<const EntryMenuItem*> items;
  for (const EntryMenuItem& item : menu) {
    if (!item.page.empty()) items.push_back(&item);
  }
  for (size_t i = 0; i < items.size(); ++i) {
    PagePlan plan;
    plan.caption = items[i]->caption;
    plan.file = items[i]->page;
    plan.title = title;
    if (i > 0) {
      plan.previous = items[i - 1]->page;
      plan.previous_caption = items[i - 1]->caption;
    }
    if (i + 1 < items.size()) {
      plan.next = items[i + 1]->page;
      plan.next_caption = items[i + 1]->caption;
    }
    plans.push_back(plan);
  }
}

// The pages in menu order, each with the catalogue's columns for it.
std::vector<PagePlan> PlanPages(const Catalogue& catalogue) {
  std::vector<PagePlan> plans;
  AddMenuPages(kIntakeMenu, "相談受付表", plans);
  AddMenuPages(kAssessmentMenu, "在宅ケア アセスメント表", plans);
  std::map<std::string, PagePlan*, std::less<>> by_base;
  for (PagePlan& plan : plans) by_base[std::string(PageBase(plan.file))] = &plan;
  for (const TableDef& table : catalogue.tables()) {
    for (const ColumnDef& column : table.columns) {
      if (column.page.empty()) continue;
      auto found = by_base.find(column.page);
      if (found == by_base.end()) {
        throw std::runtime_error("column " + table.name + "." + column.code +
                                 " names page " + column.page + ", which no menu shows");
      }
      found->second->columns.push_back(&column);
    }
  }
  return plans;
}

// The age element a birth date fills in: the number column labelled 年齢 in the
// same group of the same page, or "" when there is none.
std::string AgeElementFor(const ColumnDef& column, const PagePlan& plan) {
  if (column.label != kBirthDateLabel) return "";
  for (const ColumnDef* other : plan.columns) {
    if (other->table == column.table && other->group == column.group &&
        other->label == kAgeLabel && other->kind == "number") {
      return ElementName(other->code);
    }
  }
  return "";
}

std::string StatusAttribute(std::string_view command) {
  return " data-status=\"" + HtmlEscape(command) + "\"";
}

// The label shows the item number before the caption; columns named in words
// (整理番号, 受付日時 …) are their own caption.
std::string Label(const ColumnDef& column, const std::string& id) {
  const bool numbered = static_cast<unsigned char>(column.code.front()) < 0x80;
  return "<label for=\"" + id + "\">" +
         (numbered ? "<span class=\"code\">" + HtmlEscape(column.code) + "</span>" : "") +
         HtmlEscape(column.label) + "</label>";
}

std::string TextWidthClass(int size) {
  if (size <= 10) return "w-s";
  if (size <= 20) return "w-m";
  return "w-l";
}

bool IsWide(const ColumnDef& column) {
  return column.kind == "memo" || (column.kind == "text" && column.size > 40);
}

std::string DateField(const ColumnDef& column, const PagePlan& plan, const std::string& id) {
  const bool with_time = column.kind == "datetime";
  std::string format = column.format;
  if (format.empty()) format = with_time ? kDateTimeFormat : kDateFormat;
  const std::string command = "!" + id + "|" + format + "|" + (with_time ? "TIME" : "DATE") +
                              "|" + AgeElementFor(column, plan);
  return "<span class=\"pickable\"><input type=\"text\" id=\"" + id + "\" name=\"" + id +
         "\" class=\"date\" inputmode=\"numeric\" placeholder=\"" + HtmlEscape(format) +
         "\"><button type=\"button\" class=\"pick\"" + StatusAttribute(command) +
         " aria-label=\"" + HtmlEscape(column.label) + "を選ぶ\" title=\"" +
         (with_time ? "日時を選ぶ (F4)" : "日付を選ぶ (F4)") + "\">…</button></span>";
}

std::string ChoiceField(const ColumnDef& column, const std::string& id) {
  std::string html = "<select id=\"" + id + "\" name=\"" + id + "\">\n<option value=\"\"></option>\n";
  for (const Choice& choice : column.choices) {
    const std::string code = std::to_string(choice.code);
    html += "<option value=\"" + code + "\">" + code + " " + HtmlEscape(choice.text) + "</option>\n";
  }
  return html + "</select>";
}

// The element of one column, as the binding expects it (a check box comes
// without its label, which follows it).
std::string Field(const ColumnDef& column, const PagePlan& plan, const std::string& id) {
  const std::string& kind = column.kind;
  if (kind == "check") {
    return "<input type=\"checkbox\" id=\"" + id + "\" name=\"" + id + "\" value=\"1\">";
  }
  if (kind == "text") {
    return "<input type=\"text\" id=\"" + id + "\" name=\"" + id + "\" class=\"" +
           (IsWide(column) ? std::string("w-x") : TextWidthClass(column.size)) + "\">";
  }
  if (kind == "number" || kind == "key") {
    const bool fraction = column.type == kTypeSingle || column.type == kTypeDouble;
    return "<input type=\"text\" id=\"" + id + "\" name=\"" + id + "\" class=\"num\" inputmode=\"" +
           (fraction ? "decimal" : "numeric") + "\">";
  }
  if (kind == "date" || kind == "datetime") return DateField(column, plan, id);
  if (kind == "choice") return ChoiceField(column, id);
  if (kind == "memo") {
    return "<textarea id=\"" + id + "\" name=\"" + id + "\" rows=\"3\"></textarea>";
  }
  throw std::runtime_error("column " + column.table + "." + column.code +
                           " has the input kind \"" + kind + "\", which a page cannot show");
}

// One item of a card: its label and its element.
std::string Item(const ColumnDef& column, const PagePlan& plan) {
  const std::string id = ElementName(column.code);
  if (column.kind == "check") {
    return "<div class=\"item check\">" + Field(column, plan, id) + Label(column, id) + "</div>\n";
  }
  return std::string("<div class=\"item") + (IsWide(column) ? " wide" : "") + "\">" +
         Label(column, id) + Field(column, plan, id) + "</div>\n";
}

// The columns of one group heading, in catalogue order.
struct Block {
  std::string group;    // the first group's own name
  std::string heading;  // its stem when repeats follow it
  std::vector<std::vector<const ColumnDef*>> rows;  // one row, or one per repeated group
  std::vector<std::string> row_names;               // "1", "2" … for repeated groups
};

// A repeated group is named "<stem>(<n>)", such as "S-A 処方薬(3)".
bool SplitRepeat(const std::string& group, std::string* stem, std::string* number) {
  if (group.size() < 4 || group.back() != ')') return false;
  const size_t open = group.rfind('(');
  if (open == std::string::npos || open == 0 || open + 2 >= group.size()) return false;
  const std::string digits = group.substr(open + 1, group.size() - open - 2);
  if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
  *stem = group.substr(0, open);
  *number = digits;
  return true;
}

bool SameItems(const std::vector<const ColumnDef*>& a, const std::vector<const ColumnDef*>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i]->label != b[i]->label || a[i]->kind != b[i]->kind) return false;
  }
  return true;
}

// Splits the page's columns at every change of group; consecutive repeats of
// one group with the same items become the rows of one block (a table, like
// the rows of a paper form).
std::vector<Block> Blocks(const PagePlan& plan) {
  std::vector<std::pair<std::string, std::vector<const ColumnDef*>>> groups;
  for (const ColumnDef* column : plan.columns) {
    if (groups.empty() || groups.back().first != column->group) groups.push_back({column->group, {}});
    groups.back().second.push_back(column);
  }
  std::vector<Block> blocks;
  for (auto& [name, columns] : groups) {
    std::string stem, number;
    const bool repeat = SplitRepeat(name, &stem, &number);
    if (repeat && !blocks.empty() && blocks.back().heading == stem &&
        SameItems(blocks.back().rows.front(), columns)) {
      blocks.back().rows.push_back(columns);
      blocks.back().row_names.push_back(number);
    } else if (repeat) {
      blocks.push_back({name, stem, {columns}, {number}});
    } else {
      blocks.push_back({name, name, {columns}, {}});
    }
  }
  return blocks;
}

// The scale of a coded answer, printed once as the paper form does:
// "0 自分で行った　1 一部手伝ってもらった …", with a title when it needs one.
std::string Legend(const std::vector<Choice>& choices, const std::string& title) {
  std::string html = "<p class=\"scale\">";
  if (!title.empty()) html += "<span class=\"scale-title\">" + HtmlEscape(title) + "</span>";
  for (const Choice& choice : choices) {
    html += "<span class=\"scale-entry\"><b>" + std::to_string(choice.code) + "</b> " +
            HtmlEscape(choice.text) + "</span>";
  }
  return html + "</p>\n";
}

bool SameChoices(const std::vector<Choice>& a, const std::vector<Choice>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].code != b[i].code || a[i].text != b[i].text) return false;
  return true;
}

// What the labels of the items sharing a scale have in common at their start
// or end ("(ア)実施状況", "本人との同居"), whole characters, at least two.
std::string CommonWords(const std::vector<const ColumnDef*>& items) {
  auto chars = [](const std::string& text) {
    std::vector<std::string> out;
    for (size_t pos = 0; pos < text.size();) {
      size_t start = pos;
      NextChar(text, pos);
      out.push_back(text.substr(start, pos - start));
    }
    return out;
  };
  std::vector<std::string> prefix = chars(items.front()->label), suffix = prefix;
  for (const ColumnDef* item : items) {
    const std::vector<std::string> label = chars(item->label);
    size_t p = 0;
    while (p < prefix.size() && p < label.size() && prefix[p] == label[p]) ++p;
    prefix.resize(p);
    size_t q = 0;
    while (q < suffix.size() && q < label.size() &&
           suffix[suffix.size() - 1 - q] == label[label.size() - 1 - q])
      ++q;
    suffix.erase(suffix.begin(), suffix.end() - q);
  }
  std::vector<std::string> words = prefix.size() >= suffix.size() ? prefix : suffix;
  // No bracket left open at either end: "本人との同居(" is "本人との同居".
  auto open = std::find(words.rbegin(), words.rend(), "(");
  if (open != words.rend() && std::find(words.rbegin(), open, ")") == open) words.erase(open.base() - 1, words.end());
  auto close = std::find(words.begin(), words.end(), ")");
  if (close != words.end() && std::find(words.begin(), close, "(") == close) words.erase(words.begin(), close + 1);
  if (words.size() < 2) return "";
  std::string out;
  for (const std::string& c : words) out += c;
  return out;
}

// The scales that two or more items of a group share, each with its items.
std::vector<std::pair<const ColumnDef*, std::vector<const ColumnDef*>>> SharedScales(
    const std::vector<const ColumnDef*>& columns) {
  std::vector<std::pair<const ColumnDef*, std::vector<const ColumnDef*>>> scales;
  for (const ColumnDef* column : columns) {
    if (column->kind != "choice" || column->choices.empty()) continue;
    auto same = std::find_if(scales.begin(), scales.end(), [&](const auto& scale) {
      return SameChoices(scale.first->choices, column->choices);
    });
    if (same == scales.end()) {
      scales.push_back({column, {column}});
    } else {
      same->second.push_back(column);
    }
  }
  std::erase_if(scales, [](const auto& scale) { return scale.second.size() < 2; });
  return scales;
}

// The items of a group under the scales they share, as the paper form prints
// them. Where a group has more than one, each says whose it is.
std::string Cards(const Block& block, const PagePlan& plan) {
  const auto scales = SharedScales(block.rows.front());
  std::string html;
  for (const auto& [first, items] : scales) {
    std::string title;
    if (scales.size() > 1) {
      title = CommonWords(items);
      if (title.empty()) title = items.front()->code + "〜" + items.back()->code;
    }
    html += Legend(first->choices, title);
  }
  html += "<div class=\"items\">\n";
  for (const ColumnDef* column : block.rows.front()) html += Item(*column, plan);
  return html + "</div>\n";
}

// Repeated rows: a column per item, a row per repeat. Each field keeps its
// own label (read by assistive technology, shown as the cell's tooltip).
std::string Table(const Block& block, const PagePlan& plan) {
  std::string html;
  for (const ColumnDef* column : block.rows.front())  // one scale per coded column
    if (column->kind == "choice" && !column->choices.empty()) html += Legend(column->choices, column->label);
  html += "<table class=\"rows\">\n<thead><tr><th scope=\"col\"></th>";
  for (const ColumnDef* column : block.rows.front()) {
    html += "<th scope=\"col\">" + HtmlEscape(column->label) + "</th>";
  }
  html += "</tr></thead>\n<tbody>\n";
  for (size_t r = 0; r < block.rows.size(); ++r) {
    html += "<tr><th scope=\"row\">" + block.row_names[r] + "</th>";
    for (const ColumnDef* column : block.rows[r]) {
      const std::string id = ElementName(column->code);
      html += "<td class=\"" + column->kind + "\">" + Field(*column, plan, id) +
              "<label for=\"" + id + "\" class=\"cell-label\">" + HtmlEscape(column->code) + " " +
              HtmlEscape(column->label) + "</label></td>";
    }
    html += "</tr>\n";
  }
  return html + "</tbody>\n</table>\n";
}

std::string Groups(const PagePlan& plan) {
  std::string html;
  int number = 0;
  for (const Block& block : Blocks(plan)) {
    const std::string heading = "g" + std::to_string(++number);
    const bool table = block.rows.size() > 1;
    html += "<section class=\"group\" aria-labelledby=\"" + heading + "\">\n<h2 id=\"" + heading +
            "\">" + HtmlEscape(table ? block.heading : block.group) + "</h2>\n";
    html += table ? Table(block, plan) : Cards(block, plan);
    html += "</section>\n";
  }
  return html;
}

std::string MoveButtons(const PagePlan& plan) {
  const std::string section(PageBase(plan.file));
  const std::string prefix = "#" + section + "|";
  std::string html = "<footer class=\"moves\">\n";
  if (!plan.previous.empty()) {
    html += "<button type=\"button\" class=\"move previous\"" +
            StatusAttribute(prefix + std::string(plan.previous)) +
            " accesskey=\"p\" title=\"前のページへ (Alt+P)\">◀ " + HtmlEscape(plan.previous_caption) +
            "</button>\n";
  }
  html += "<button type=\"button\" class=\"move close primary\"" + StatusAttribute(prefix) +
          " accesskey=\"s\" title=\"保存して閉じる (Alt+S)\">保存して閉じる</button>\n";
  if (!plan.next.empty()) {
    html += "<button type=\"button\" class=\"move next\"" +
            StatusAttribute(prefix + std::string(plan.next)) +
            " accesskey=\"n\" title=\"次のページへ (Alt+N)\">" + HtmlEscape(plan.next_caption) +
            " ▶</button>\n";
  }
  return html + "</footer>\n";
}

// Whose record is open: filled by the program with the page (see
// kHeadClientElement). An entry stays hidden while its field is empty.
std::string RecordHead(const PagePlan& plan) {
  auto entry = [](const char* label, const char* name) {
    return std::string("<div><dt>") + label + "</dt><dd><output form=\"zlk\" name=\"" + name +
           "\"></output></dd></div>\n";
  };
  return "<dl class=\"record\" aria-label=\"開いている記録\">\n" + entry("氏名", kHeadClientElement) +
         entry("整理番号", kHeadNumberElement) + entry("基準日", kHeadDateElement) + "</dl>\n";
}

std::string PageHtml(const PagePlan& plan) {
  const std::string caption = HtmlEscape(plan.caption);
  return "<!DOCTYPE html>\n"
         "<html lang=\"ja\">\n"
         "<head>\n"
         "<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>" + caption + "</title>\n"
         "<link rel=\"stylesheet\" href=\"../MainMenu/zelka.css\">\n"
         "<link rel=\"stylesheet\" href=\"form.css\">\n"
         "<script src=\"form.js\" defer></script>\n"
         "</head>\n"
         "<body class=\"entry\">\n"
         "<header class=\"entry-head\">\n"
         "<p class=\"document\">" + HtmlEscape(plan.title) + "</p>\n"
         "<h1>" + caption + "</h1>\n" +
         RecordHead(plan) +
         "</header>\n"
         "<main>\n"
         "<form name=\"zlk\" id=\"zlk\" autocomplete=\"off\" onsubmit=\"return false;\">\n" +
         Groups(plan) +
         "</form>\n"
         "</main>\n" +
         MoveButtons(plan) +
         "</body>\n"
         "</html>\n";
}

}  // namespace

std::vector<EntryPage> BuildEntryPages(const Catalogue& catalogue) {
  std::vector<EntryPage> pages;
  for (const PagePlan& plan : PlanPages(catalogue)) {
    pages.push_back({std::string(plan.file), PageHtml(plan)});
  }
  return pages;
}

void WriteEntryPages(const std::vector<EntryPage>& pages, const std::string& folder) {
  for (const EntryPage& page : pages) {
    const std::string path = folder + "/" + page.file;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << page.html;
    out.close();
    if (!out) throw std::runtime_error("could not write " + path);
  }
}

}  // namespace zelka
