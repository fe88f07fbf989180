#include "platform/texts.h"
#include "res/string_table.h"

namespace kbt::platform {
namespace {
uint16_t g_language = 0;
}

void SetThreadLanguage(uint32_t locale) {
  const uint16_t language = static_cast<uint16_t>(locale & 0xFFFF);
  // The platform refuses what is no locale; the substitute knows the two it carries and a few others.
  if (language == 0 || (language & 0x3FF) == 0) return;
  g_language = language;
}

uint16_t ChosenLanguage() { return g_language; }

Text LoadText(unsigned id) {
  const uint16_t language = g_language == 0 ? 1033 : g_language;
  if (const char16_t* text = res::FindString(language, id)) return text;
  if (language != 1033) {
    if (const char16_t* text = res::FindString(1033, id)) return text;
  }
  return Text();
}

// The substitute knows the sentences of the codes its file functions give.
Text ErrorText(long code) {
  switch (code) {
    case 0: return Text();
    case 2: return u"The system cannot find the file specified.";
    case 3: return u"The system cannot find the path specified.";
    case 5: return u"Access is denied.";
    case 32: return u"The process cannot access the file because it is being used by another process.";
    case 112: return u"There is not enough space on the disk.";
    default: return u"Error " + DecimalText(static_cast<uint64_t>(code)) + u".";
  }
}

}  // namespace kbt::platform
