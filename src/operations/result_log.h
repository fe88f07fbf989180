#pragma once
// Messages of failed steps, oldest first. Only ever appended to.
#include <initializer_list>
#include <vector>

#include "platform/texts.h"

namespace kbt {

// printf-style: each %s takes the next text argument, %% gives %; anything else stays as written.
Text FormatText(const Text& format, std::initializer_list<Text> arguments);

class ResultLog {
 public:
  virtual ~ResultLog() = default;

  template <typename... Args>
  void Add(const TextRef& message, const Args&... arguments) {
    entries_.push_back(FormatText(message.Resolve(), {Text(arguments)...}));
  }

  const std::vector<Text>& Entries() const { return entries_; }
  size_t Size() const { return entries_.size(); }

 private:
  std::vector<Text> entries_;
};

}  // namespace kbt
