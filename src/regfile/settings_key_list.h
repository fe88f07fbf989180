#pragma once
// The client's registry keys that make up its settings, in their fixed order.
#include <vector>

#include "platform/text.h"

namespace kbt {

class SettingsKeyList {
 public:
  SettingsKeyList() { Fill(); }
  // Empties the list, then appends the twelve keys.
  void Fill();

  std::vector<Text>::const_iterator begin() const { return keys_.begin(); }
  std::vector<Text>::const_iterator end() const { return keys_.end(); }
  size_t size() const { return keys_.size(); }

 private:
  std::vector<Text> keys_;
};

}  // namespace kbt
