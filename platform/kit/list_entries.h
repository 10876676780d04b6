// The entries of a combo box's list, kept by the backend beside the native
// list: the checks every list makes (32,767 entries at most, indexes in
// range) and reads that cost no call into the toolkit. The history update
// reads every entry on each navigation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "platform/ports/failure.h"

namespace corvane {

class ListEntries {
 public:
  static constexpr std::int16_t kMax = 32767;

  [[nodiscard]] std::int16_t Count() const { return static_cast<std::int16_t>(items_.size()); }
  [[nodiscard]] const std::string& At(std::int16_t index) const {
    CheckIndex(index);
    return items_[static_cast<std::size_t>(index)];
  }
  // Throws Failure unless `index` (-1: the end) is a place a new entry can go.
  void CheckInsert(std::int16_t index) const {
    if (Count() >= kMax) {
      throw Failure("the list is full");
    }
    if (index < -1 || index > Count()) {
      throw Failure("invalid list index");
    }
  }
  // Throws Failure unless `index` names an entry.
  void CheckIndex(std::int16_t index) const {
    if (index < 0 || index >= Count()) {
      throw Failure("invalid list index");
    }
  }
  void Insert(std::size_t at, std::string text) {
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(text));
  }
  void Erase(std::int16_t index) { items_.erase(items_.begin() + index); }
  [[nodiscard]] std::size_t Size() const { return items_.size(); }
  [[nodiscard]] const std::string& operator[](std::size_t at) const { return items_[at]; }

 private:
  std::deque<std::string> items_;
};

}  // namespace corvane
