// The evidence of one triggered CAP: the answers that triggered it, grouped by
// topic. A TriggerCol holds the groups (TriggerCls) in the order of their first
// item; each group holds its items (TrgFlagCls: label and shown value) in the
// order they were recorded. Both collections are keyed by text without regard
// to ASCII letter case, keep insertion order and count positions from 1.
// Members are shared: a caller holding one keeps it alive after removal.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zelka {

// An ordered, keyed container: the one base of both evidence collections.
template <typename T>
class KeyedCollection {
 public:
  using Entry = std::pair<std::string, std::shared_ptr<T>>;

  // Appends a member; a key already present is an error (std::invalid_argument).
  void Add(std::string key, std::shared_ptr<T> member) {
    if (Position(key) >= 0) throw std::invalid_argument("duplicate key: " + key);
    entries_.emplace_back(std::move(key), std::move(member));
  }
  // The member at a 1-based position or under a key; nullptr when absent.
  std::shared_ptr<T> Find(long position) const {
    if (position < 1 || position > Count()) return nullptr;
    return entries_[position - 1].second;
  }
  std::shared_ptr<T> Find(std::string_view key) const {
    long i = Position(key);
    return i < 0 ? nullptr : entries_[i].second;
  }
  long Count() const { return static_cast<long>(entries_.size()); }
  // Removes the member at a position or under a key; std::out_of_range when absent.
  void Remove(long position) {
    if (position < 1 || position > Count()) throw std::out_of_range("no member at position " + std::to_string(position));
    entries_.erase(entries_.begin() + (position - 1));
  }
  void Remove(std::string_view key) {
    long i = Position(key);
    if (i < 0) throw std::out_of_range("no member with key " + std::string(key));
    entries_.erase(entries_.begin() + i);
  }

  // Enumeration in insertion order (NewEnum).
  class Iterator {
   public:
    explicit Iterator(typename std::vector<Entry>::const_iterator it) : it_(it) {}
    T& operator*() const { return *it_->second; }
    const std::shared_ptr<T>& shared() const { return it_->second; }
    Iterator& operator++() { ++it_; return *this; }
    bool operator!=(const Iterator& other) const { return it_ != other.it_; }

   private:
    typename std::vector<Entry>::const_iterator it_;
  };
  Iterator begin() const { return Iterator(entries_.begin()); }
  Iterator end() const { return Iterator(entries_.end()); }

 private:
  static bool SameKey(std::string_view a, std::string_view b);
  long Position(std::string_view key) const {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (SameKey(entries_[i].first, key)) return static_cast<long>(i);
    return -1;
  }
  std::vector<Entry> entries_;
};

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

template <typename T>
bool KeyedCollection<T>::SameKey(std::string_view a, std::string_view b) {
  return EqualIgnoringAsciiCase(a, b);
}

// One trigger item: the label as printed on the form and the text shown after it.
struct TrgFlagCls {
  std::string key;    // "L1a"
  std::string value;  // "1", "ﾚ", "ﾁｪｯｸなし"
};

// The items of one group.
class TrgFlagCol {
 public:
  std::shared_ptr<TrgFlagCls> Add(const std::string& key, const std::string& value);
  // The item at a 1-based position or with a label; std::out_of_range when absent.
  std::shared_ptr<TrgFlagCls> Item(long position) const;
  std::shared_ptr<TrgFlagCls> Item(std::string_view key) const;
  long Count() const { return items_.Count(); }
  void Remove(long position) { items_.Remove(position); }
  void Remove(std::string_view key) { items_.Remove(key); }
  void Clear();
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  KeyedCollection<TrgFlagCls> items_;
};

// One trigger group: its heading and its items. Reading the items of a group
// whose collection was detached gives a new, empty collection.
class TriggerCls {
 public:
  std::string trigger_name;

  const std::shared_ptr<TrgFlagCol>& GetTrgFlagCol();
  // Stores the given collection; nullptr detaches the group's collection.
  void SetTrgFlagCol(std::shared_ptr<TrgFlagCol> vData) { items_ = std::move(vData); }
  bool HasTrgFlagCol() const { return items_ != nullptr; }

 private:
  std::shared_ptr<TrgFlagCol> items_;
};

// The groups of one CAP's evidence.
class TriggerCol {
 public:
  // Appends a new group with an empty item collection; a name already present
  // is an error (std::invalid_argument).
  std::shared_ptr<TriggerCls> Add(const std::string& trigger_name);
  // The group at a 1-based position or with a name; nullptr when absent.
  std::shared_ptr<TriggerCls> Item(long position) const { return groups_.Find(position); }
  std::shared_ptr<TriggerCls> Item(std::string_view trigger_name) const { return groups_.Find(trigger_name); }
  long Count() const { return groups_.Count(); }
  void Remove(long position) { groups_.Remove(position); }
  void Remove(std::string_view trigger_name) { groups_.Remove(trigger_name); }
  // Empties the collection: each group's items are cleared and detached first,
  // so that a caller still holding a group sees it empty.
  void Clear();
  auto begin() const { return groups_.begin(); }
  auto end() const { return groups_.end(); }

 private:
  KeyedCollection<TriggerCls> groups_;
};

}  // namespace zelka
