// The answers the trigger rules read: for each section table they read, the
// item codes (column names) they read from it. This list is the one place
// that says which columns a run over all assessments reads, and where in an
// assessment's block of answers each one is kept (its slot). Rules name a
// table and an item as text ("C", "c3"); those names are looked up in this
// list when the rule is compiled, so a rule reads a slot at run time, and a
// rule naming an item missing from the list does not compile.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zelka {

struct SectionItems {
  std::string_view table;  // upper case
  std::string_view codes;  // item codes, separated by one space
};

inline constexpr SectionItems kRuleItems[] = {
    {"AA", "aa-2 aa-10"},
    {"B", "b1-a b2-a b2-b b3-a b3-b"},
    {"C", "c1 c2 c3 c4"},
    {"D", "d1 d2 d3"},
    {"E", "e1-a e1-b e1-c e1-d e1-e e1-f e1-g e3-a e3-b e3-c e3-d e3-e e4"},
    {"F", "f2 f3-a f3-b"},
    {"G", "g1-c-1 g1-f-1 g1-g-1"},
    {"H", "h1-a-1 h1-a-2 h1-b-1 h1-c-1 h1-c-2 h1-d-1 h1-d-2 h1-e-1 h1-f-1 h1-f-2 h1-g-1 h1-g-2 "
          "h2-a h2-b h2-c h2-d h2-e h2-f h2-g h2-h h2-i h2-j h3 h5 h6-a h6-b h7-a h7-b h7-c h7-d"},
    {"I", "i1-a i2-a i2-b i3"},
    {"J", "j1-aa j1-e j1-g j1-h j1-i j1-k j1-l j1-x"},
    {"K", "k1-a k1-b k1-c k1-d k2-a k2-c k3-a k3-b k3-c k3-e k3-f k3-g k4-a k5 k6-a k6-b "
          "k7-a k7-b k7-c k8-b k8-c k8-d k8-e k9-a k9-c k9-d k9-e"},
    {"L", "l1-a l1-b l2-b l2-c l3"},
    {"M", "m1-a m1-b m1-c"},
    {"N", "n1 n2-a n3-b n3-e n4"},
    {"O", "o1-a o1-b o1-c o1-d o1-e o1-f"},
    {"P", "p1-a p1-b p1-c p1-d p1-e p1-f p1-g p1-h p1-i p1-j p1-k p1-l p1-m p1-n p1-o p1-p p1-s "
          "p1-t p1-u p1-v p1-w p1-x p1-y p1-z p4 p5"},
    {"Q", "q1 q2-a q2-b q2-c q3 q4"},
};

inline constexpr int kRuleTableCount = static_cast<int>(std::size(kRuleItems));
// Table AA: one row per client, found by 整理番号 alone.
inline constexpr int kClientTable = 0;

namespace answer_items {

constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

// Calls visit(table, code) for every item in list order; stops when it returns true.
template <typename Visit>
constexpr void ForEachItem(Visit&& visit) {
  for (int table = 0; table < kRuleTableCount; ++table) {
    std::string_view codes = kRuleItems[table].codes;
    while (!codes.empty()) {
      size_t end = codes.find(' ');
      if (visit(table, codes.substr(0, end))) return;
      codes = end == std::string_view::npos ? std::string_view() : codes.substr(end + 1);
    }
  }
}

struct ItemInfo {
  uint8_t table = 0;
  std::string_view code;
};

constexpr int CountItems() {
  int count = 0;
  ForEachItem([&](int, std::string_view) { return ++count, false; });
  return count;
}

}  // namespace answer_items

inline constexpr int kRuleItemCount = answer_items::CountItems();

// Every item by slot, and the first slot and number of slots of each table.
inline constexpr auto kItemInfo = [] {
  std::array<answer_items::ItemInfo, kRuleItemCount> items{};
  int slot = 0;
  answer_items::ForEachItem([&](int table, std::string_view code) {
    items[slot++] = {static_cast<uint8_t>(table), code};
    return false;
  });
  return items;
}();

inline constexpr auto kFirstSlot = [] {
  std::array<int, kRuleTableCount + 1> first{};
  for (int slot = kRuleItemCount - 1; slot >= 0; --slot) first[kItemInfo[slot].table] = slot;
  first[kRuleTableCount] = kRuleItemCount;
  return first;
}();

// The index of a table in the list (any case), or -1.
constexpr int FindRuleTable(std::string_view name) {
  for (int table = 0; table < kRuleTableCount; ++table)
    if (answer_items::SameName(kRuleItems[table].table, name)) return table;
  return -1;
}

// The slot of an item (any case), or -1. Item codes begin with their
// section's letters, so a code is found in one table only.
constexpr int FindRuleItem(std::string_view code) {
  for (int slot = 0; slot < kRuleItemCount; ++slot)
    if (answer_items::SameName(kItemInfo[slot].code, code)) return slot;
  return -1;
}

static_assert([] {
  for (int a = 0; a < kRuleItemCount; ++a)
    if (FindRuleItem(kItemInfo[a].code) != a) return false;
  return true;
}(), "an item code appears twice in kRuleItems");

namespace answer_items {
// Reached only while compiling a rule that names what the list lacks: the
// compiler reports the call as not a constant expression.
inline int NotInRuleItems() { return -1; }
}  // namespace answer_items

// A section table a rule reads, found in the list when the rule is compiled.
class Table {
 public:
  consteval Table(const char* name)  // implicit: rules write the name
      : index_(static_cast<uint8_t>(FindRuleTable(name) >= 0 ? FindRuleTable(name) : answer_items::NotInRuleItems())) {}

  static constexpr Table At(int index) { return Table(static_cast<uint8_t>(index)); }

  constexpr int index() const { return index_; }
  constexpr std::string_view name() const { return kRuleItems[index_].table; }

 private:
  constexpr explicit Table(uint8_t index) : index_(index) {}
  uint8_t index_;
};

// An item a rule reads: its slot, found in the list when the rule is compiled.
class Item {
 public:
  consteval Item(const char* code)  // implicit: rules write the code
      : slot_(static_cast<uint16_t>(FindRuleItem(code) >= 0 ? FindRuleItem(code) : answer_items::NotInRuleItems())) {}
  static constexpr Item AtSlot(int slot) { return Item(static_cast<uint16_t>(slot)); }

  constexpr int slot() const { return slot_; }
  constexpr int table() const { return kItemInfo[slot_].table; }
  constexpr std::string_view code() const { return kItemInfo[slot_].code; }

 private:
  constexpr explicit Item(uint16_t slot) : slot_(slot) {}
  uint16_t slot_;
};

}  // namespace zelka
