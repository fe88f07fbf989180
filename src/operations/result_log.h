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

  // The message, then the system's own sentence for why it failed (nothing more for 0).
  template <typename... Args>
  void AddFailure(long reason, const TextRef& message, const Args&... arguments) {
    Text text = FormatText(message.Resolve(), {Text(arguments)...});
    const Text why = platform::ErrorText(reason);
    if (!why.empty()) text += u' ' + why;
    entries_.push_back(std::move(text));
  }

  const std::vector<Text>& Entries() const { return entries_; }
  size_t Size() const { return entries_.size(); }

 private:
  std::vector<Text> entries_;
};

}  // namespace kbt
