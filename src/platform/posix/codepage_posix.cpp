#include "platform/codepage.h"

namespace kbt::platform {

std::string Narrow(const Text& text) { return ToUtf8(text); }
Text Widen(const std::string& narrow) { return FromUtf8(narrow.substr(0, narrow.find('\0'))); }

}  // namespace kbt::platform
