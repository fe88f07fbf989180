#pragma once
// Narrow text for the zip library: the thread's ANSI code page on Windows, UTF-8 elsewhere.
#include <stdexcept>
#include <string>

#include "platform/text.h"

namespace kbt::platform {

// The system's error exception: carries an HRESULT.
class SystemError : public std::runtime_error {
 public:
  explicit SystemError(long hresult) : std::runtime_error("system error"), hresult_(hresult) {}
  long HResult() const { return hresult_; }

 private:
  long hresult_;
};

// Characters the code page cannot represent become its default character.
std::string Narrow(const Text& text);
// Stops at the first zero byte.
Text Widen(const std::string& narrow);

}  // namespace kbt::platform
