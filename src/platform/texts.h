#pragma once
// The string table of the thread's language, and the text arguments that take an id or a literal.
#include <cstdint>

#include "platform/text.h"

namespace kbt::platform {

// Sets the thread locale (low 16 bits); when the platform accepts it, later texts and dialogs
// come in that language where the program has it.
void SetThreadLanguage(uint32_t locale);
// The language chosen by SetThreadLanguage, or 0 while the platform chooses.
uint16_t ChosenLanguage();
// The string-table entry in the chosen language; empty when there is none.
Text LoadText(unsigned id);
// The system's own sentence for a Win32 error code ("There is not enough space on the disk."),
// in the chosen language where the system has it; empty for 0.
Text ErrorText(long code);

}  // namespace kbt::platform

namespace kbt {

// A string-table id or a literal text, as message routines take them.
class TextRef {
 public:
  TextRef(int id) : id_(static_cast<unsigned>(id)) {}  // NOLINT: ids convert implicitly
  TextRef(const char16_t* literal) : literal_(literal), isLiteral_(true) {}  // NOLINT
  TextRef(const Text& literal) : literal_(literal), isLiteral_(true) {}      // NOLINT
  Text Resolve() const { return isLiteral_ ? literal_ : platform::LoadText(id_); }

 private:
  unsigned id_ = 0;
  Text literal_;
  bool isLiteral_ = false;
};

}  // namespace kbt
