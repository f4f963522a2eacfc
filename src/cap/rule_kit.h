// The vocabulary the trigger rules are written in: answer tests (ranges,
// equalities, "or equal to 8"), families of columns that differ by one letter
// ("h2-" + a … j), and the recorder through which an evidence routine lists
// the items that hold. Shared by the rule files only.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cap/answers.h"
#include "cap/evidence.h"

namespace zelka::rules {

// A test of one answer read with GetNum: lo ≤ v ≤ hi, or v equal to `also`.
// Its makers take only constants strictly inside kLowestCode … kHighestCode,
// the range in which a sheet keeps answers exactly.
struct Test {
  int64_t lo;
  int64_t hi;
  std::optional<int64_t> also;

  bool operator()(int64_t v) const { return (lo <= v && v <= hi) || (also && v == *also); }
  consteval Test Or(int64_t value) const { return Test{lo, hi, Kept(value)}; }

  // Reached only while compiling a test whose constant is out of that range.
  static int64_t OutOfKeptRange() { return 0; }
  static consteval int64_t Kept(int64_t k) { return kLowestCode < k && k < kHighestCode ? k : OutOfKeptRange(); }
};

inline constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
inline constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

consteval Test Eq(int64_t k) { return Test{Test::Kept(k), k, std::nullopt}; }
consteval Test Between(int64_t lo, int64_t hi) { return Test{Test::Kept(lo), Test::Kept(hi), std::nullopt}; }
consteval Test AtLeast(int64_t k) { return Test{Test::Kept(k), kMax, std::nullopt}; }
consteval Test AtMost(int64_t k) { return Test{kMin, Test::Kept(k), std::nullopt}; }
consteval Test Below(int64_t k) { return Test{kMin, Test::Kept(k) - 1, std::nullopt}; }

// A family of columns: prefix + letter + suffix for each letter in order, shown
// as label prefix + letter + label suffix ("h1-" a "-1" is H1a(ア)). Each
// member's slot is found when the rule is compiled, as for a single item.
class Family {
 public:
  consteval Family(const char* prefix, const char* letters, const char* suffix = "",
                   const char* label_prefix = "", const char* label_suffix = "")
      : letters_(letters), label_prefix_(label_prefix), label_suffix_(label_suffix) {
    std::string_view head(prefix), tail(suffix);
    if (letters_.size() > slots_.size()) answer_items::NotInRuleItems();
    for (size_t i = 0; i < letters_.size(); ++i) {
      int found = -1;
      for (int slot = 0; slot < kRuleItemCount; ++slot) {
        std::string_view code = kItemInfo[slot].code;
        if (code.size() == head.size() + 1 + tail.size() && answer_items::SameName(code.substr(0, head.size()), head) &&
            answer_items::Upper(code[head.size()]) == answer_items::Upper(letters_[i]) &&
            answer_items::SameName(code.substr(head.size() + 1), tail))
          found = slot;
      }
      slots_[i] = static_cast<uint16_t>(found >= 0 ? found : answer_items::NotInRuleItems());
    }
  }

  std::string_view letters() const { return letters_; }
  // The member of the i-th letter, and of a letter of the family.
  Item At(size_t i) const { return Item::AtSlot(slots_[i]); }
  Item operator[](char letter) const { return At(Position(letter)); }
  std::string Label(char letter) const {
    return std::string(label_prefix_) + letter + std::string(label_suffix_);
  }

 private:
  size_t Position(char letter) const {
    size_t i = letters_.find(letter);
    if (i == std::string_view::npos) throw std::out_of_range(std::string("no member ") + letter);
    return i;
  }
  std::string_view letters_, label_prefix_, label_suffix_;
  std::array<uint16_t, 26> slots_{};
};

// Whether the test holds for one item of a table.
inline bool Holds(const Answers& answers, Table table, Item item, Test test) {
  return test(answers.Num(table, item));
}
// Whether it holds for any member of a family, looking at the letters in order
// and stopping at the first that holds.
bool AnyOf(const Answers& answers, Table table, const Family& family, Test test);
// How many members of a family it holds for (all are read).
int CountOf(const Answers& answers, Table table, const Family& family, Test test);

// Records one item in the evidence: its stored value, or, with `check`, "ﾚ"
// for a stored 1 and "ﾁｪｯｸなし" for anything else. The item joins its group,
// which is added when it is new. An unanswered value recorded without check
// shows as empty text.
void AddTrigger(TriggerCol& evidence, const zelka::Value& value, const std::string& group,
                const std::string& label, bool check);

// What an evidence routine works with: it clears the evidence when it starts
// and records every item whose own test holds.
class EvidenceRecorder {
 public:
  EvidenceRecorder(const Answers& answers, TriggerCol& evidence);

  // The item, shown with its stored value, when the test holds.
  void Value(Table table, const std::string& group, Item item, const std::string& label, Test test);
  // The item, shown as a check mark, when the test holds.
  void Check(Table table, const std::string& group, Item item, const std::string& label, Test test);
  // Each member of a family, in letter order, whose test holds (stored value shown).
  void Values(Table table, const std::string& group, const Family& family, Test test);
  void Checks(Table table, const std::string& group, const Family& family, Test test);
  // The item unconditionally, for items whose condition spans two columns.
  void Record(Table table, const std::string& group, Item item, const std::string& label, bool check);

  const Answers& rows() const { return answers_; }

 private:
  const Answers& answers_;
  TriggerCol& evidence_;
};

}  // namespace zelka::rules
