#include "store/catalogue.h"

#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace zelka {
namespace {

constexpr const char* kHeader[] = {"table", "code", "type", "size", "format", "kind",
                                   "check", "page", "group", "label", "choices"};
constexpr int kFieldCount = 11;

const std::set<std::string> kKinds = {"key",  "text",  "number", "date", "datetime",
                                      "choice", "check", "memo"};

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    parts.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return parts;
    start = tab + 1;
  }
}

bool ToInt(std::string_view text, int* out) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return ec == std::errc() && end == text.data() + text.size();
}

bool KnownType(int type) { return type >= kTypeBoolean && type <= kTypeMemo; }

class Reader {
 public:
  explicit Reader(const std::string& origin) : origin_(origin) {}

  [[noreturn]] void Fail(int line, const std::string& what) const {
    throw std::runtime_error(origin_ + ":" + std::to_string(line) + ": " + what);
  }

  std::vector<Choice> ParseChoices(int line, std::string_view text) const {
    std::vector<Choice> choices;
    if (text.empty()) return choices;
    size_t start = 0;
    for (;;) {
      size_t bar = text.find('|', start);
      std::string_view pair = text.substr(start, bar == std::string_view::npos ? bar : bar - start);
      size_t colon = pair.find(':');
      Choice c;
      if (colon == std::string_view::npos || !ToInt(pair.substr(0, colon), &c.code))
        Fail(line, "choice \"" + std::string(pair) + "\" is not code:text");
      c.text = std::string(pair.substr(colon + 1));
      choices.push_back(std::move(c));
      if (bar == std::string_view::npos) return choices;
      start = bar + 1;
    }
  }

  ColumnDef ParseColumn(int line, const std::vector<std::string_view>& f) const {
    ColumnDef c;
    c.table = std::string(f[0]);
    c.code = std::string(f[1]);
    if (c.table.empty()) Fail(line, "the table name is empty");
    if (c.code.empty()) Fail(line, "the column code is empty");
    if (!ToInt(f[2], &c.type) || !KnownType(c.type)) Fail(line, "type \"" + std::string(f[2]) + "\" is not a type code");
    if (f[3].empty()) {
      c.size = 0;
    } else if (!ToInt(f[3], &c.size) || c.size < 0) {
      Fail(line, "size \"" + std::string(f[3]) + "\" is not a number");
    }
    if (c.type == kTypeText && c.size <= 0) Fail(line, "text column " + c.code + " needs a size");
    c.format = std::string(f[4]);
    c.kind = std::string(f[5]);
    if (!kKinds.count(c.kind)) Fail(line, "kind \"" + c.kind + "\" is unknown");
    if (f[6] == "1") c.check = true;
    else if (f[6] != "0" && !f[6].empty()) Fail(line, "check must be 0 or 1");
    c.page = std::string(f[7]);
    c.group = std::string(f[8]);
    c.label = std::string(f[9]);
    c.choices = ParseChoices(line, f[10]);
    if (c.kind == "choice" && c.choices.empty()) Fail(line, "choice column " + c.code + " has no choices");
    // A page element is named after its column with '-' as '_', so '_' in a
    // shown column would make two columns share one element name.
    if (!c.page.empty() && c.code.find('_') != std::string::npos)
      Fail(line, "column " + c.code + " is shown on a page and must not contain '_'");
    return c;
  }

 private:
  const std::string& origin_;
};

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string FoldName(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

const ColumnDef* TableDef::Find(std::string_view code) const {
  for (const ColumnDef& c : columns)
    if (SameName(c.code, code)) return &c;
  return nullptr;
}

const TableDef* Catalogue::Find(std::string_view table) const {
  for (const TableDef& t : tables_)
    if (SameName(t.name, table)) return &t;
  return nullptr;
}

Catalogue Catalogue::Parse(std::string_view text, const std::string& origin) {
  Reader reader(origin);
  Catalogue catalogue;
  std::map<std::string, size_t> table_index;  // folded name -> index
  bool header_seen = false;
  int line_number = 0;
  size_t start = 0;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) start = 3;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string_view> fields = SplitTabs(line);
    if (!header_seen) {
      header_seen = true;
      bool ok = static_cast<int>(fields.size()) == kFieldCount;
      for (int i = 0; ok && i < kFieldCount; ++i) ok = fields[i] == kHeader[i];
      if (!ok) reader.Fail(line_number, "the header must be the 11 column names table … choices");
      continue;
    }
    if (static_cast<int>(fields.size()) != kFieldCount)
      reader.Fail(line_number, "expected 11 TAB-separated fields, found " + std::to_string(fields.size()));
    ColumnDef column = reader.ParseColumn(line_number, fields);
    std::string key = FoldName(column.table);
    auto it = table_index.find(key);
    if (it == table_index.end()) {
      it = table_index.emplace(key, catalogue.tables_.size()).first;
      catalogue.tables_.push_back(TableDef{column.table, {}});
    }
    TableDef& table = catalogue.tables_[it->second];
    if (table.Find(column.code))
      reader.Fail(line_number, "column " + column.code + " appears twice in table " + table.name);
    column.table = table.name;
    table.columns.push_back(std::move(column));
  }
  if (!header_seen) reader.Fail(line_number, "the file has no header line");
  return catalogue;
}

Catalogue Catalogue::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": the catalogue cannot be opened");
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str(), path);
}

}  // namespace zelka
