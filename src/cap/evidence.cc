#include "cap/evidence.h"

namespace zelka {

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::shared_ptr<TrgFlagCls> TrgFlagCol::Add(const std::string& key, const std::string& value) {
  auto item = std::make_shared<TrgFlagCls>(TrgFlagCls{key, value});
  items_.Add(key, item);
  return item;
}

std::shared_ptr<TrgFlagCls> TrgFlagCol::Item(long position) const {
  auto item = items_.Find(position);
  if (!item) throw std::out_of_range("no trigger item at position " + std::to_string(position));
  return item;
}

std::shared_ptr<TrgFlagCls> TrgFlagCol::Item(std::string_view key) const {
  auto item = items_.Find(key);
  if (!item) throw std::out_of_range("no trigger item " + std::string(key));
  return item;
}

void TrgFlagCol::Clear() {
  for (long n = Count(); n > 0; --n) items_.Remove(1L);
}

const std::shared_ptr<TrgFlagCol>& TriggerCls::GetTrgFlagCol() {
  if (!items_) items_ = std::make_shared<TrgFlagCol>();
  return items_;
}

std::shared_ptr<TriggerCls> TriggerCol::Add(const std::string& trigger_name) {
  auto group = std::make_shared<TriggerCls>();
  group->trigger_name = trigger_name;
  group->GetTrgFlagCol();
  groups_.Add(trigger_name, group);
  return group;
}

void TriggerCol::Clear() {
  for (long n = Count(); n > 0; --n) {
    std::shared_ptr<TriggerCls> first = groups_.Find(1L);
    if (first->HasTrgFlagCol()) {
      first->GetTrgFlagCol()->Clear();
      first->SetTrgFlagCol(nullptr);
    }
    groups_.Remove(1L);
  }
}

}  // namespace zelka
