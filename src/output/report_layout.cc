#include "output/report_layout.h"

#include <algorithm>

#include "util/utf8.h"
#include "util/html_text.h"

namespace zelka {
namespace {

// --- The sheets of the two forms ----------------------------------------------

// One part of a sheet: a heading and the entry page whose columns it prints.
struct Part {
  std::string_view heading;
  std::string_view page;
};
using SheetPlan = std::vector<Part>;

const std::vector<SheetPlan> kIntakeSheets = {
    {{"Ⅰ．受付情報", "UKETUKE1"}},
    {{"Ⅱ．相談内容と決定事項", "UKETUKE2"}},
    {{"Ⅲ．基本情報", "UKETUKE3"}, {"Ⅳ．家族に関する情報", "UKETUKE4"}},
    {{"Ⅴ．現在の状態およびサービス内容", "UKETUKE5"}},
};

const std::vector<SheetPlan> kAssessmentSheets = {
    {{"Ａ．アセスメント情報", "A"}},
    {{"Ｂ．記憶", "B"}},
    {{"Ｃ．コミュニケーション・聴覚", "C"}, {"Ｄ．視力", "D"}},
    {{"Ｅ．気分と行動", "E"}},
    {{"Ｆ．社会的機能", "F"}},
    {{"Ｇ．インフォーマルな支援の状況", "G"}},
    {{"Ｈ．IADL(過去7日間)とADL(過去3日間)", "H"}},
    {{"Ｉ．排泄(過去7日間)", "I"}},
    {{"Ｊ．疾患", "J"}},
    {{"Ｋ．健康状態および予防", "K"}},
    {{"Ｌ．栄養状態", "L"}},
    {{"Ｍ．歯および口腔状態", "M"}},
    {{"Ｎ．皮膚の状態", "N"}},
    {{"Ｏ．環境評価", "O"}},
    {{"Ｐ．治療方針の順守", "P"}},
    {{"Ｑ．薬剤(過去7日間)", "Q"}},
    {{"Ｒ．アセスメントへの参加", "R"}},
    {{"Ｓ．薬物治療調査票", "S"}},
    {{"AA．基本情報（相談・受付時のみ）", "AA"}},
};

// Fields repeated in every sheet's head: caption and table/column.
struct HeadField {
  std::string_view caption;
  std::string_view table;
  std::string_view column;
};
const std::vector<HeadField> kIntakeHead = {{"対象者氏名", "相談受付表", "1-1"}};
const std::vector<HeadField> kAssessmentHead = {{"利用者名", "AA", "AA-1"},
                                                {"アセスメント基準日", "A", "A1"}};

// How a form writes its item numbers and coded answers.
struct Style {
  bool roman_codes;  // the intake sheet numbers its parts Ⅰ to Ⅴ: "Ⅰ-3-1"
  bool code_boxes;   // the assessment writes a coded answer's code in a box
};

constexpr char kCss[] = R"css(
@page { size: A4 portrait; margin: 0; }
* { box-sizing: border-box; }
html { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body { margin: 0; background: #808080; color: #000;
  font: 7.6pt/1.25 "Noto Sans CJK JP", "Noto Sans JP", "IPAexGothic", sans-serif; }
.sheet { width: 210mm; min-height: 296mm; margin: 6mm auto; padding: 8mm 10mm 6mm; background: #fff;
  display: flex; flex-direction: column; break-after: page; }
.sheet:last-child { break-after: auto; }
@media print { body { background: none; } .sheet { margin: 0; } }
.head { display: flex; align-items: flex-end; justify-content: space-between; gap: 4mm;
  border-bottom: 0.7mm solid #000; padding-bottom: 1mm; margin-bottom: 2mm; }
.title { font-size: 13pt; font-weight: bold; letter-spacing: 0.05em; white-space: nowrap; }
.head-fields { display: flex; gap: 3mm; }
.head-field { display: flex; border: 0.3mm solid #000; }
.head-field .k { background: #d9d9d9; padding: 0.5mm 1.5mm; border-right: 0.3mm solid #000; white-space: nowrap; }
.head-field .v { min-width: 26mm; padding: 0.5mm 1.5mm; white-space: nowrap; }
.foot { margin-top: auto; padding-top: 2mm; text-align: center; font-size: 7pt; }
h2 { font-size: 10pt; margin: 0 0 1.5mm; padding: 0.6mm 2mm; background: #000; color: #fff; }
h2 ~ h2 { margin-top: 3mm; }
.group { margin-bottom: 1.8mm; break-inside: avoid; }
.ghead { display: flex; justify-content: space-between; gap: 3mm; border: 0.3mm solid #000;
  border-bottom: none; background: #d9d9d9; padding: 0.4mm 1.5mm; font-weight: bold; }
.ghead .legend, th .legend { font-weight: normal; font-size: 6.5pt; text-align: right; }
.items { display: grid; grid-template-columns: 1fr 1fr; border-left: 0.3mm solid #000;
  border-top: 0.3mm solid #000; }
.items + .items, table + .items, .items + table, table + table { margin-top: -0.3mm; }
.item { display: flex; min-height: 5.4mm; border-right: 0.3mm solid #000; border-bottom: 0.3mm solid #000; }
.item.wide { grid-column: span 2; }
.q { width: 44%; flex: none; display: flex; gap: 1mm; padding: 0.35mm 1mm; background: #f2f2f2;
  border-right: 0.2mm solid #000; }
.item.wide .q { width: 22%; }
.item.short .q { width: 78%; }
.item.wide.short .q { width: 89%; }
.no { flex: none; font-size: 6.5pt; color: #333; white-space: nowrap; padding-top: 0.3mm; }
.a { flex: 1; display: flex; flex-wrap: wrap; align-items: center; gap: 0.4mm 1.5mm; padding: 0.35mm 1mm;
  overflow-wrap: anywhere; }
.box { display: inline-block; min-width: 5.5mm; height: 4.3mm; padding: 0 0.8mm; border: 0.3mm solid #000;
  text-align: center; line-height: 3.9mm; font-weight: bold; }
.box.code { margin-left: auto; }
.box.num { min-width: 12mm; text-align: right; }
.line { flex: 1; min-height: 3.9mm; }
.choices { display: flex; flex-wrap: wrap; gap: 0.3mm 1.6mm; font-size: 7pt; }
.choices span { white-space: nowrap; padding: 0 0.7mm; border: 0.3mm solid transparent; border-radius: 2.4mm; }
.choices .on { border-color: #000; font-weight: bold; }
.memo { width: 100%; min-height: 11mm; white-space: pre-wrap; }
.memo.small { font-size: 6.8pt; }
.memo.tiny { font-size: 5.8pt; line-height: 1.2; }
table { width: 100%; border-collapse: collapse; }
th, td { border: 0.3mm solid #000; padding: 0.3mm 1mm; vertical-align: middle; }
th { background: #f2f2f2; font-weight: normal; font-size: 7pt; text-align: center; }
th.row { text-align: left; white-space: nowrap; }
td { height: 5.4mm; overflow-wrap: anywhere; }
td .a { padding: 0; }
.cap .title { text-align: center; width: 100%; font-size: 18pt; letter-spacing: 0.5em; }
.cap .name { display: flex; margin: 4mm 0 3mm; width: 90mm; border: 0.3mm solid #000; font-size: 11pt; }
.cap .name .k { background: #d9d9d9; padding: 1mm 3mm; border-right: 0.3mm solid #000; }
.cap .name .v { padding: 1mm 3mm; }
.cap h2 { font-size: 10pt; }
.cap table { table-layout: fixed; font-size: 7pt; line-height: 1.15; }
.cap th { font-size: 7.5pt; height: 7mm; }
.cap td { height: 6.6mm; padding: 0.3mm 0.8mm; }
.cap col.num { width: 6.5mm; }
.cap td.num { text-align: right; border-right-style: dotted; }
.cap td.cap-name { border-left: none; }
)css";


std::string Document(std::string_view title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + HtmlEscape(title) +
         "</title>\n<style>" + kCss + "</style>\n</head>\n<body>\n" + body + "</body>\n</html>\n";
}

std::string DisplayCode(std::string_view code, const Style& style) {
  static const char* const kRoman[] = {"Ⅰ", "Ⅱ", "Ⅲ", "Ⅳ", "Ⅴ", "Ⅵ"};
  if (style.roman_codes && !code.empty() && code[0] >= '1' && code[0] <= '6' && (code.size() == 1 || code[1] == '-'))
    return kRoman[code[0] - '1'] + std::string(code.substr(1));
  return std::string(code);
}

// A group name reads "code title": "B1 記憶", "1-8 病歴(1)".
std::pair<std::string, std::string> SplitGroup(const std::string& group) {
  size_t space = group.find(' ');
  if (space == std::string::npos) return {"", group};
  return {group.substr(0, space), group.substr(space + 1)};
}

// "病歴(1)" → "病歴"; a title without a trailing "(…)" stays whole.
std::string WithoutNumber(const std::string& title) {
  if (title.empty() || title.back() != ')') return title;
  size_t open = title.rfind('(');
  return open == std::string::npos || open == 0 ? title : title.substr(0, open);
}

// The code of the row a column belongs to: "G1-C-1" → "G1-C".
std::string RowCode(const std::string& code) {
  size_t dash = code.rfind('-');
  return dash == std::string::npos ? code : code.substr(0, dash);
}

bool Chosen(const Choice& choice, const std::string& value) {
  return !value.empty() && (value == std::to_string(choice.code) || value == choice.text);
}

std::string ChoiceText(const Choice& choice) { return std::to_string(choice.code) + "." + choice.text; }

std::string Legend(const std::vector<Choice>& choices) {
  std::string text;
  for (const Choice& c : choices) text += (text.empty() ? "" : "　") + ChoiceText(c);
  return "<span class=\"legend\">" + HtmlEscape(text) + "</span>";
}

bool SameChoices(const ColumnDef& a, const ColumnDef& b) {
  if (a.choices.size() != b.choices.size()) return false;
  for (size_t i = 0; i < a.choices.size(); ++i)
    if (a.choices[i].code != b.choices[i].code || a.choices[i].text != b.choices[i].text) return false;
  return true;
}

std::string Box(const std::string& value, const char* kind) {
  return "<span class=\"box " + std::string(kind) + "\">" + HtmlEscape(value) + "</span>";
}

std::string MemoClass(const std::string& value) {
  size_t length = CharCount(value);
  return length > 400 ? "memo tiny" : length > 160 ? "memo small" : "memo";
}

// The answer of one column. With `legend` the group prints the choices once
// and the answer is the code alone.
std::string Answer(const ColumnDef& column, const std::string& value, const Style& style, bool legend) {
  if (column.kind == "check") return Box(value, "mark");
  if (column.kind == "number") return Box(value, "num");
  if (column.kind == "memo") return "<div class=\"" + MemoClass(value) + "\">" + HtmlEscape(value) + "</div>";
  if (column.kind != "choice") return "<span class=\"line\">" + HtmlEscape(value) + "</span>";
  if (legend && style.code_boxes) return Box(value, "code");
  std::string list = "<span class=\"choices\">";
  bool matched = false;
  for (const Choice& c : column.choices) {
    bool on = Chosen(c, value);
    matched = matched || on;
    list += std::string(on ? "<span class=\"on\">" : "<span>") + HtmlEscape(ChoiceText(c)) + "</span>";
  }
  list += "</span>";
  // A stored code the form does not list is still printed.
  if (style.code_boxes) return list + Box(value, "code");
  return matched || value.empty() ? list : list + "<span class=\"line\">" + HtmlEscape(value) + "</span>";
}

struct Entry {
  const ColumnDef* column;
  std::string value;
};

bool Wide(const Entry& e, bool legend) {
  const ColumnDef& c = *e.column;
  if (c.kind == "memo") return true;
  if (c.kind == "text") return c.size >= 100 || CharCount(e.value) > 24;
  if (c.kind != "choice" || legend) return false;
  size_t length = 0;
  for (const Choice& choice : c.choices) length += CharCount(choice.text) + 3;
  return length > 26;
}

std::string ItemCell(const Entry& e, const Style& style, bool legend, bool wide) {
  // Columns named in words (整理番号, 受付日時 …) are their own caption.
  bool numbered = static_cast<unsigned char>(e.column->code.front()) < 0x80;
  // An answer that is a box alone leaves the label most of the row.
  bool short_answer = e.column->kind == "check" || e.column->kind == "number" ||
                      (e.column->kind == "choice" && legend && style.code_boxes);
  return std::string("<div class=\"item") + (wide ? " wide" : "") + (short_answer ? " short" : "") +
         "\"><div class=\"q\">" +
         (numbered ? "<span class=\"no\">" + HtmlEscape(DisplayCode(e.column->code, style)) + "</span>" : "") + "<span>" +
         LabelHtml(e.column->label) + "</span></div><div class=\"a\">" + Answer(*e.column, e.value, style, legend) +
         "</div></div>";
}

// Items two to a row; an item that would stand alone in its row (before a
// wide one, or last) takes the whole row, so the form has no holes.
std::string ItemGrid(const std::vector<const Entry*>& items, const Style& style, bool legend) {
  std::string html = "<div class=\"items\">";
  bool left = true;
  for (size_t i = 0; i < items.size(); ++i) {
    bool wide = Wide(*items[i], legend);
    if (!wide && left && (i + 1 == items.size() || Wide(*items[i + 1], legend))) wide = true;
    html += ItemCell(*items[i], style, legend, wide);
    left = wide || !left;
  }
  return html + "</div>";
}

// A label splits into a base and a tail at its first "(": "訪問介護(利用)".
std::pair<std::string, std::string> SplitLabel(const std::string& label) {
  size_t open = label.find('(');
  if (open == std::string::npos || open == 0) return {label, ""};
  return {label.substr(0, open), label.substr(open)};
}

// The column's shared choices are printed in the header when every item of a
// table column has the same ones (and the form writes codes in boxes).
bool ColumnLegend(const std::vector<const Entry*>& cells, const Style& style) {
  if (!style.code_boxes || cells.empty() || !cells[0] || cells[0]->column->kind != "choice") return false;
  for (const Entry* e : cells)
    if (!e || !SameChoices(*e->column, *cells[0]->column)) return false;
  return true;
}

// A table: header cells over the columns, one row per item row. Cells a row
// lacks stay empty.
std::string Table(const std::vector<std::string>& headers, const std::vector<std::string>& row_heads,
                  const std::vector<std::vector<const Entry*>>& rows, const Style& style) {
  std::string html = "<table><thead><tr><th></th>";
  std::vector<bool> legends;
  for (size_t c = 0; c < headers.size(); ++c) {
    std::vector<const Entry*> cells;
    for (const auto& row : rows) cells.push_back(row[c]);
    legends.push_back(ColumnLegend(cells, style));
    html += "<th>" + LabelHtml(headers[c]) +
            (legends[c] ? "<br>" + Legend(cells[0]->column->choices) : std::string()) + "</th>";
  }
  html += "</tr></thead><tbody>";
  for (size_t r = 0; r < rows.size(); ++r) {
    html += "<tr><th class=\"row\">" + row_heads[r] + "</th>";
    for (size_t c = 0; c < headers.size(); ++c) {
      const Entry* e = rows[r][c];
      html += "<td>" + (e ? "<div class=\"a\">" + Answer(*e->column, e->value, style, legends[c]) + "</div>" : "") +
              "</td>";
    }
    html += "</tr>";
  }
  return html + "</tbody></table>";
}

// The items of one group: single items in a two-column grid; runs of items
// that share a label base ("本人との同居(ア)", "本人との同居(イ)") as the rows
// of a table whose columns are the tails.
std::string GroupBody(const std::vector<Entry>& entries, const Style& style, bool legend) {
  std::string html;
  std::vector<const Entry*> grid;
  std::vector<std::string> tails, row_heads;
  std::vector<std::vector<std::pair<std::string, const Entry*>>> rows;
  auto flush_grid = [&] {
    if (!grid.empty()) html += ItemGrid(grid, style, legend);
    grid.clear();
  };
  auto flush_table = [&] {
    if (rows.empty()) return;
    std::vector<std::vector<const Entry*>> cells;
    for (const auto& row : rows) {
      std::vector<const Entry*> line(tails.size(), nullptr);
      for (const auto& [tail, entry] : row)
        line[std::find(tails.begin(), tails.end(), tail) - tails.begin()] = entry;
      cells.push_back(std::move(line));
    }
    html += Table(tails, row_heads, cells, style);
    tails.clear();
    row_heads.clear();
    rows.clear();
  };
  // The end of the run of items that share the label base of item i.
  auto run_end = [&](size_t i) {
    auto [base, tail] = SplitLabel(entries[i].column->label);
    size_t j = i + 1;
    while (!tail.empty() && j < entries.size() && SplitLabel(entries[j].column->label).first == base &&
           !SplitLabel(entries[j].column->label).second.empty())
      ++j;
    return j;
  };
  for (size_t i = 0; i < entries.size();) {
    size_t j = run_end(i);
    // A lone run ("認定有効期間(開始)", "(終了)") reads better as items.
    bool in_table = j - i >= 2 && (!rows.empty() || (j < entries.size() && run_end(j) - j >= 2));
    if (!in_table) {
      flush_table();
      for (size_t k = i; k < j; ++k) grid.push_back(&entries[k]);
      i = j;
      continue;
    }
    flush_grid();
    std::vector<std::pair<std::string, const Entry*>> row;
    for (size_t k = i; k < j; ++k) {
      std::string t = SplitLabel(entries[k].column->label).second;
      if (std::find(tails.begin(), tails.end(), t) == tails.end()) tails.push_back(t);
      row.emplace_back(t, &entries[k]);
    }
    row_heads.push_back("<span class=\"no\">" + HtmlEscape(DisplayCode(RowCode(entries[i].column->code), style)) +
                        "</span> " + LabelHtml(SplitLabel(entries[i].column->label).first));
    rows.push_back(std::move(row));
    i = j;
  }
  flush_table();
  flush_grid();
  return html;
}

std::string GroupHead(const std::string& code, const std::string& title, const Style& style,
                      const std::string& legend) {
  return "<div class=\"ghead\"><span>" + HtmlEscape(DisplayCode(code, style)) + (code.empty() ? "" : "．") +
         LabelHtml(title) + "</span>" + legend + "</div>";
}

// One group's items, with the choices printed once when its coded items
// (three or more) all offer the same ones.
std::string Group(const std::string& name, const std::vector<Entry>& entries, const Style& style) {
  std::vector<const Entry*> coded;
  for (const Entry& e : entries)
    if (e.column->kind == "choice") coded.push_back(&e);
  bool legend = style.code_boxes && coded.size() >= 3 &&
                std::all_of(coded.begin(), coded.end(),
                            [&](const Entry* e) { return SameChoices(*e->column, *coded[0]->column); });
  auto [code, title] = SplitGroup(name);
  return "<section class=\"group\">" +
         GroupHead(code, title, style, legend ? Legend(coded[0]->column->choices) : "") +
         GroupBody(entries, style, legend) + "</section>";
}

// Neighbouring groups with the same labels in the same order ("病歴(1)" …
// "病歴(4)", "処方薬(1)" … "処方薬(10)") print as one table, a row per group.
std::string RepeatedGroups(const std::vector<std::pair<std::string, std::vector<Entry>>>& groups,
                           const Style& style) {
  std::vector<std::string> headers;
  for (const Entry& e : groups[0].second) headers.push_back(e.column->label);
  auto [code, first_title] = SplitGroup(groups[0].first);
  std::string base = WithoutNumber(first_title);
  // "病歴(1)" … share a base and differ in their number; "主治医" and
  // "その他の医師" are rows of their own names.
  bool numbered = true;
  for (const auto& g : groups) {
    std::string t = SplitGroup(g.first).second;
    numbered = numbered && t != base && WithoutNumber(t) == base;
  }
  std::string title;
  std::vector<std::string> row_heads;
  std::vector<std::vector<const Entry*>> rows;
  for (const auto& g : groups) {
    std::string t = SplitGroup(g.first).second;
    if (!numbered) title += (title.empty() ? "" : "・") + t;
    row_heads.push_back(LabelHtml(numbered ? t.substr(base.size()) : t));
    std::vector<const Entry*> row;
    for (const Entry& e : g.second) row.push_back(&e);
    rows.push_back(std::move(row));
  }
  return "<section class=\"group\">" + GroupHead(code, numbered ? base : title, style, "") +
         Table(headers, row_heads, rows, style) + "</section>";
}

bool SameLabels(const std::vector<Entry>& a, const std::vector<Entry>& b) {
  if (a.size() != b.size() || a.size() < 2) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].column->label != b[i].column->label || a[i].column->kind != b[i].column->kind) return false;
  return true;
}

// The groups of one entry page, in catalogue order.
std::string PartHtml(const Catalogue& catalogue, const Part& part, const ReportValues& values, const Style& style) {
  std::vector<std::pair<std::string, std::vector<Entry>>> groups;
  for (const TableDef& table : catalogue.tables())
    for (const ColumnDef& column : table.columns) {
      if (column.page != part.page || column.kind == "key") continue;
      if (groups.empty() || groups.back().first != column.group) groups.emplace_back(column.group, std::vector<Entry>{});
      groups.back().second.push_back(Entry{&column, values(column)});
    }
  std::string html = "<h2>" + HtmlEscape(part.heading) + "</h2>";
  for (size_t i = 0; i < groups.size();) {
    size_t j = i + 1;
    while (j < groups.size() && SameLabels(groups[i].second, groups[j].second)) ++j;
    if (j - i >= 2) {
      html += RepeatedGroups({groups.begin() + static_cast<long>(i), groups.begin() + static_cast<long>(j)}, style);
    } else {
      html += Group(groups[i].first, groups[i].second, style);
    }
    i = j;
  }
  return html;
}

std::string HeadFields(const Catalogue& catalogue, const std::vector<HeadField>& fields, const ReportValues& values) {
  std::string html = "<div class=\"head-fields\">";
  for (const HeadField& f : fields) {
    const TableDef* table = catalogue.Find(f.table);
    const ColumnDef* column = table ? table->Find(f.column) : nullptr;
    html += "<div class=\"head-field\"><span class=\"k\">" + HtmlEscape(f.caption) + "</span><span class=\"v\">" +
            (column ? HtmlEscape(values(*column)) : "") + "</span></div>";
  }
  return html + "</div>";
}

std::string Sheet(std::string_view title, const std::string& head_fields, const std::string& body, size_t number,
                  size_t count, const char* extra_class = "") {
  return std::string("<div class=\"sheet") + extra_class + "\">\n<div class=\"head\"><span class=\"title\">" +
         HtmlEscape(title) + "</span>" + head_fields + "</div>\n" + body + "\n<div class=\"foot\">" +
         std::to_string(number) + " / " + std::to_string(count) + "</div>\n</div>\n";
}

std::string FormHtml(std::string_view title, const std::vector<SheetPlan>& sheets, const std::vector<HeadField>& head,
                     const Catalogue& catalogue, const ReportValues& values, const Style& style) {
  std::string head_fields = HeadFields(catalogue, head, values);
  std::string body;
  for (size_t i = 0; i < sheets.size(); ++i) {
    std::string parts;
    for (const Part& part : sheets[i]) parts += PartHtml(catalogue, part, values, style);
    body += Sheet(title, head_fields, parts, i + 1, sheets.size());
  }
  return Document(title, body);
}

}  // namespace

std::string LabelHtml(std::string_view label) {
  std::string html = HtmlEscape(label);
  const std::string note = "♪";
  for (size_t pos = 0; (pos = html.find(note, pos)) != std::string::npos;) html.replace(pos, note.size(), "<br>");
  return html;
}

std::string IntakeReportHtml(const Catalogue& catalogue, const ReportValues& values) {
  return FormHtml(kIntakeReportTitle, kIntakeSheets, kIntakeHead, catalogue, values, Style{true, false});
}

std::string AssessmentReportHtml(const Catalogue& catalogue, const ReportValues& values) {
  return FormHtml(kAssessmentReportTitle, kAssessmentSheets, kAssessmentHead, catalogue, values, Style{false, true});
}

std::string CapListHtml(const std::string& client_name, const std::array<CapListColumn, 6>& columns, int slots) {
  std::string body = "<div class=\"sheet cap\">\n<div class=\"title\">" + HtmlEscape(kCapListReportTitle) +
                     "</div>\n<div class=\"name\"><span class=\"k\">利用者名</span><span class=\"v\">" +
                     HtmlEscape(client_name) + "</span></div>\n<h2>アセスメント結果</h2>\n<table><colgroup>";
  for (size_t i = 0; i < columns.size(); ++i) body += "<col class=\"num\"><col>";
  body += "</colgroup><thead><tr>";
  for (const CapListColumn& c : columns) body += "<th colspan=\"2\">" + HtmlEscape(c.print_date) + "</th>";
  body += "</tr></thead><tbody>";
  for (int slot = 0; slot < slots; ++slot) {
    body += "<tr>";
    for (const CapListColumn& c : columns) {
      bool filled = slot < static_cast<int>(c.caps.size());
      body += "<td class=\"num\">" + (filled ? HtmlEscape(c.caps[slot].first) : "") + "</td><td class=\"cap-name\">" +
              (filled ? HtmlEscape(c.caps[slot].second) : "") + "</td>";
    }
    body += "</tr>";
  }
  body += "</tbody></table>\n</div>\n";
  return Document(kCapListReportTitle, body);
}

}  // namespace zelka
