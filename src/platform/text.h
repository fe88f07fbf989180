#pragma once
// UTF-16 text as the whole program holds it; narrow text exists only at the zip library boundary.
#include <cstdint>
#include <string>

namespace kbt {

using Text = std::u16string;

std::string ToUtf8(const Text& text);
// The number in decimal digits, as messages show counts and sizes.
Text DecimalText(uint64_t value);
Text FromUtf8(const std::string& utf8);

// Folds only A-Z onto a-z, as the command line and the settings file expect.
char16_t LowerAscii(char16_t c);
// The text with A-Z folded: one spelling for names the registry and the file system compare alike.
Text LowerAsciiText(Text text);
bool EqualsIgnoreAsciiCase(const Text& a, const Text& b);
bool StartsWithIgnoreAsciiCase(const Text& text, const Text& prefix);

}  // namespace kbt
